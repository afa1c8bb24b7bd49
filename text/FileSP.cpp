#include "text/FileSP.h"

#include "resources/MessageIds.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>

#include "text/AppHome.h"
#include "text/Encoding.h"

namespace {

/// Closes on every path out, so that an early return cannot leak a descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    /// Closing can report a failed write-back (network file systems do); 0 or errno.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

std::string native(std::u16string_view path) {
    return quippet::to_utf8(path);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

/// 0 or errno.
int write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

/// Reads up to `size` bytes; fewer when the file shrank meanwhile. -1 with errno on failure.
long long read_all(int fd, char* out, long long size) {
    long long got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, out + got, static_cast<size_t>(size - got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += n;
    }
    return got;
}

/// The `size` bytes of an open file into `out` (fewer when it shrank meanwhile); false, with `out` empty,
/// when reading fails.
bool read_whole(int fd, long long size, CCharM& out) {
    out.clear();
    out.reserve(static_cast<int>(size));
    const long long got = read_all(fd, out.data(), size);
    if (got < 0) {
        out.clear();
        return false;
    }
    out.set_length(static_cast<int>(got));
    return true;
}

/// UTF-16LE bytes of `text`; on little-endian machines a view of the text itself.
std::string_view le_bytes(std::u16string_view text, std::string& scratch) {
    if constexpr (std::endian::native == std::endian::little) {
        return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
    } else {
        scratch.resize(text.size() * 2);
        for (size_t i = 0; i < text.size(); ++i) {
            scratch[2 * i] = static_cast<char>(text[i] & 0xFF);
            scratch[2 * i + 1] = static_cast<char>(text[i] >> 8);
        }
        return scratch;
    }
}

struct SplitName {
    std::string folder; ///< with its trailing "/", or empty
    std::string base;
    std::string extension; ///< with its dot, or empty
};

/// A leading dot names a hidden file rather than starting an extension.
SplitName split_name(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t name_at = slash == std::string_view::npos ? 0 : slash + 1;
    SplitName parts;
    parts.folder = path.substr(0, name_at);
    const std::string_view name = path.substr(name_at);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        parts.base = name;
    } else {
        parts.base = name.substr(0, dot);
        parts.extension = name.substr(dot);
    }
    return parts;
}

std::string temp_name_for(const SplitName& target) {
    thread_local std::mt19937_64 rng{std::random_device{}() ^ (static_cast<uint64_t>(::getpid()) << 32)};
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = target.base + target.extension;
    // Keep the temporary name within the 255-byte limit of a file name even for the longest destination.
    constexpr size_t kRoom = 255 - 1 - 10;
    if (name.size() > kRoom) name.resize(kRoom);
    std::string temp = target.folder + "." + name + ".tmp";
    for (int i = 0; i < 6; ++i)
        temp += alphabet[rng() % (sizeof alphabet - 1)];
    return temp;
}

/// rename() that fails with EEXIST instead of replacing what is there, so that no other writer's
/// file is lost between our check and our rename.
int rename_no_replace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return err;
    // File systems without the flag: a hard link fails on a taken name too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    const int link_err = errno;
    if (link_err == EEXIST) return EEXIST;
    if (link_err != EPERM && link_err != EOPNOTSUPP && link_err != ENOSYS) return link_err;
    // Neither (FAT and the like): check and rename, the best such a file system allows.
    if (exists(to)) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

/// A descriptor of a regular file no larger than the read limit, with its size; else minus the result code.
int open_for_reading(std::u16string_view path, long long& size) {
    const int fd = ::open(native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    // Only regular files: a directory cannot be read, and a pipe or device could block or never end.
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        return -quippet::msg::kCannotOpen;
    }
    if (st.st_size > CFileSP::kMaxReadBytes) {
        ::close(fd);
        return -quippet::msg::kFileTooLarge;
    }
    size = st.st_size;
    return fd;
}

std::mutex hook_mutex;
quippet::CreationFailureHook& installed_hook() {
    static quippet::CreationFailureHook hook;
    return hook;
}

} // namespace

int CFileSP::fail(int code) {
    error_ = code;
    return -1;
}

int CFileSP::read(std::u16string_view path, CCharM& out) {
    error_ = 0;
    long long size = 0;
    const Fd fd(open_for_reading(path, size));
    if (fd.get() < 0) {
        out.set_error(-fd.get());
        return fail(-fd.get());
    }
    if (!read_whole(fd.get(), size, out)) {
        out.set_error(quippet::msg::kCannotOpen);
        return fail(quippet::msg::kCannotOpen);
    }
    return 0;
}

void CFileBytes::release() {
    if (mapped_) ::munmap(const_cast<char*>(mapped_), size_);
    mapped_ = nullptr;
    size_ = 0;
    copy_.clear();
}

int CFileSP::read(std::u16string_view path, CFileBytes& out) {
    // Below this a read is as cheap as setting up a mapping.
    constexpr long long kMapFrom = 1 << 20;
    out.release();
    error_ = 0;
    long long size = 0;
    const Fd fd(open_for_reading(path, size));
    if (fd.get() < 0) return fail(-fd.get());
    if (size >= kMapFrom) {
        void* at = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (at != MAP_FAILED) {
            ::madvise(at, static_cast<size_t>(size), MADV_SEQUENTIAL);
            out.mapped_ = static_cast<const char*>(at);
            out.size_ = static_cast<size_t>(size);
            return 0;
        }
        // File systems that cannot map fall back to reading.
    }
    return read_whole(fd.get(), size, out.copy_) ? 0 : fail(quippet::msg::kCannotOpen);
}

int CFileSP::read_wide_text(std::u16string_view path, CCharW& out) {
    error_ = 0;
    long long size = 0;
    const Fd fd(open_for_reading(path, size));
    if (fd.get() < 0) {
        out.set_error(-fd.get());
        return fail(-fd.get());
    }
    out.clear();
    // One spare unit takes an odd last byte, which is then left out of the text.
    out.reserve(static_cast<int>(size / 2 + 1));
    char16_t* units = out.data();
    const long long got = read_all(fd.get(), reinterpret_cast<char*>(units), size);
    if (got < 0) {
        out.clear();
        out.set_error(quippet::msg::kCannotOpen);
        return fail(quippet::msg::kCannotOpen);
    }
    const int count = static_cast<int>(got / 2);
    if constexpr (std::endian::native == std::endian::big) {
        for (int i = 0; i < count; ++i)
            units[i] = static_cast<char16_t>((units[i] >> 8) | (units[i] << 8));
    }
    out.set_length(count);
    if (count > 0 && (units[0] == 0xFEFF || units[0] == 0xFFFE)) out.remove_first(1);
    return 0;
}

int CFileSP::read_settings_text(std::u16string_view path, CCharW& out) {
    CCharM bytes;
    if (read(path, bytes) != 0) {
        out.clear();
        out.set_error(bytes.error());
        return -1;
    }
    std::string_view view = bytes.view();
    const bool utf16_mark =
        view.size() >= 2 && ((view[0] == '\xFF' && view[1] == '\xFE') || (view[0] == '\xFE' && view[1] == '\xFF'));
    if (!utf16_mark) {
        std::string_view text = view;
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        // UTF-16 text of Latin letters has a NUL in every other byte, and valid UTF-8 besides.
        if (text.find('\0') == std::string_view::npos && quippet::is_valid_utf8(text)) {
            out.assign(quippet::from_utf8(text));
            return 0;
        }
    }
    // The same units read_wide_text would give, taken from the bytes already in memory.
    const int count = static_cast<int>(view.size() / 2);
    out.clear();
    out.reserve(count);
    char16_t* units = out.data();
    for (int i = 0; i < count; ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(view[2 * static_cast<size_t>(i)]) |
                                         (static_cast<unsigned char>(view[2 * static_cast<size_t>(i) + 1]) << 8));
    out.set_length(count);
    if (count > 0 && (units[0] == 0xFEFF || units[0] == 0xFFFE)) out.remove_first(1);
    return 0;
}

int CFileSP::read_utf8_text(std::u16string_view path, CCharW& out) {
    error_ = 0;
    long long size = 0;
    const Fd fd(open_for_reading(path, size));
    if (fd.get() < 0) {
        out.set_error(-fd.get());
        return fail(-fd.get());
    }
    out.clear();
    // UTF-16 never takes more units than UTF-8 has bytes.
    out.reserve(static_cast<int>(size));
    char16_t* const units = out.data();
    size_t written = 0;

    // A piece that stays in the cache between reading and decoding; the bytes of a sequence cut by the
    // piece's end wait for the next piece at the start of the buffer.
    constexpr size_t kPiece = 1 << 20;
    const auto piece = std::make_unique_for_overwrite<char[]>(kPiece + 4);
    size_t carried = 0;
    long long left = size;
    while (left > 0) {
        const long long want = std::min<long long>(left, static_cast<long long>(kPiece));
        const long long got = read_all(fd.get(), piece.get() + carried, want);
        if (got < 0) {
            out.clear();
            out.set_error(quippet::msg::kCannotOpen);
            return fail(quippet::msg::kCannotOpen);
        }
        left -= got;
        const bool last = got < want || left == 0;
        const std::string_view bytes(piece.get(), carried + static_cast<size_t>(got));
        const size_t take = last ? bytes.size() : quippet::utf8_stream_prefix(bytes);
        written += quippet::decode_utf8_into(bytes.substr(0, take), units + written);
        carried = bytes.size() - take;
        std::memmove(piece.get(), piece.get() + take, carried);
        if (last) break;
    }
    out.set_length(static_cast<int>(written));
    return 0;
}

int CFileSP::write(std::u16string_view path, std::string_view bytes, int policy, std::u16string* written_as) {
    return write_pieces(path, {bytes}, policy, written_as);
}

int CFileSP::write(std::u16string_view path, std::string_view prefix, std::string_view body, std::string_view suffix,
                   int policy, std::u16string* written_as) {
    return write_pieces(path, {prefix, body, suffix}, policy, written_as);
}

int CFileSP::write_wide_text(std::u16string_view path, std::u16string_view text, int policy,
                             std::u16string* written_as) {
    std::string scratch;
    return write_pieces(path, {"\xFF\xFE", le_bytes(text, scratch)}, policy, written_as);
}

int CFileSP::write_pieces(std::u16string_view path, std::initializer_list<std::string_view> pieces, int policy,
                          std::u16string* written_as) {
    error_ = 0;
    std::string target = native(path);
    // A name that ends in a folder names no file to write.
    if (target.empty() || target.ends_with('/')) return fail(quippet::msg::kWriteBadPath);
    if (policy != kNumberedName && policy != kOverwrite) policy = kKeepExisting;
    if (policy == kKeepExisting && exists(target)) return fail(quippet::msg::kNameTaken);

    struct stat old {};
    const bool replacing = policy == kOverwrite && ::lstat(target.c_str(), &old) == 0;
    if (replacing && S_ISLNK(old.st_mode)) {
        // Overwrite what the link points at and keep the link, as writing through it in place would.
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
            ::stat(target.c_str(), &old);
        }
    }

    const SplitName parts = split_name(target);
    std::string temp;
    int fd_value = -1;
    for (int attempt = 0; attempt < 100 && fd_value < 0; ++attempt) {
        temp = temp_name_for(parts);
        fd_value = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_value < 0 && errno != EEXIST) break;
    }
    if (fd_value < 0) return fail(quippet::file_error_code(errno));
    Fd fd(fd_value);

    int err = 0;
    for (const std::string_view piece : pieces)
        if (err == 0) err = write_all(fd.get(), piece);
    if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
    // A replaced file keeps its permissions; new files get the usual 0666 less the umask from open().
    if (err == 0 && replacing && S_ISREG(old.st_mode)) ::fchmod(fd.get(), old.st_mode & 07777);
    if (const int close_err = fd.close(); err == 0) err = close_err;

    std::string final_name = target;
    if (err == 0) {
        if (policy == kOverwrite) {
            if (::rename(temp.c_str(), target.c_str()) != 0) err = errno;
        } else {
            err = rename_no_replace(temp, target);
            for (int n = 1; policy == kNumberedName && err == EEXIST && n < 1000000; ++n) {
                final_name = parts.folder + parts.base + "(" + std::to_string(n) + ")" + parts.extension;
                if (!exists(final_name)) err = rename_no_replace(temp, final_name);
            }
        }
    }
    if (err != 0) {
        ::unlink(temp.c_str());
        // Someone else took the name between our check and our rename.
        return fail(err == EEXIST ? quippet::msg::kNameTaken : quippet::file_error_code(err));
    }
    if (written_as) *written_as = final_name == target ? std::u16string(path) : quippet::from_utf8(final_name);
    return 0;
}

int CFileSP::append_wide_units(std::u16string_view path, std::u16string_view text) {
    error_ = 0;
    const Fd fd(::open(native(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (fd.get() < 0) return fail(quippet::file_error_code(errno));
    std::string scratch;
    if (const int err = write_all(fd.get(), le_bytes(text, scratch)); err != 0)
        return fail(quippet::file_error_code(err));
    return 0;
}

namespace quippet {

std::u16string crlf_lines(std::initializer_list<std::u16string_view> lines) {
    std::u16string text;
    for (std::u16string_view line : lines)
        text.append(line).append(u"\r\n");
    return text;
}

std::u16string file_name(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

int rename_no_replace(std::u16string_view from, std::u16string_view to) {
    return ::rename_no_replace(native(from), native(to));
}

int file_error_code(int errno_value) {
    switch (errno_value) {
    case EFBIG:
    case ENOMEM:
        return quippet::msg::kWriteGeneric;
    case ENOENT:
        return quippet::msg::kWriteFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EXDEV:
        return quippet::msg::kWriteBadPath;
    case EMFILE:
    case ENFILE:
        return quippet::msg::kWriteTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENOTEMPTY:
        return quippet::msg::kWriteAccessDenied;
    case EBADF:
        return quippet::msg::kWriteInvalidHandle;
    case EMLINK:
        return quippet::msg::kWriteDirectoryFull;
    case ESPIPE:
    case EOVERFLOW:
        return quippet::msg::kWriteBadSeek;
    case EIO:
        return quippet::msg::kWriteHardwareError;
    case EBUSY:
    case ETXTBSY:
        return quippet::msg::kWriteSharingViolation;
    case EDEADLK:
    case ENOLCK:
        return quippet::msg::kWriteLockViolation;
    case ENOSPC:
    case EDQUOT:
        return quippet::msg::kWriteDiskFull;
    default:
        return quippet::msg::kWriteUnknown;
    }
}

std::u16string with_default_extension(std::u16string_view name, std::u16string_view extension) {
    std::u16string out(name);
    const std::string utf8 = to_utf8(name);
    if (split_name(utf8).extension.empty()) out.append(extension);
    return out;
}

void set_creation_failure_hook(CreationFailureHook hook) {
    std::lock_guard lock(hook_mutex);
    installed_hook() = std::move(hook);
}

int ensure_file_exists(std::u16string_view path, std::u16string_view initial_text,
                       const CreationFailureHook& on_failure) {
    const std::u16string full = resolve_in_home(path);
    const std::filesystem::path fs_path = to_fs_path(full);
    std::error_code ec;
    const auto status = std::filesystem::status(fs_path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) return 0;

    bool created = false;
    if (!std::filesystem::exists(status)) {
        if (fs_path.has_parent_path()) std::filesystem::create_directories(fs_path.parent_path(), ec);
        CFileSP file;
        created = file.write_wide_text(full, initial_text, CFileSP::kKeepExisting) == 0;
        // Another thread or process created it first: it is there, which is all the caller wants.
        if (!created && file.error() == quippet::msg::kNameTaken) return 0;
    }
    if (created) return 1;

    std::u16string message = full + u"の新規作成に失敗しました";
    if (on_failure) {
        on_failure(message);
    } else {
        CreationFailureHook hook;
        {
            std::lock_guard lock(hook_mutex);
            hook = installed_hook();
        }
        if (hook) hook(message);
    }
    return -1;
}

std::u16string log_file_name(std::u16string_view name, bool monthly, const std::tm& now) {
    const std::string with_ext = to_utf8(with_default_extension(name, u".log"));
    if (!monthly) return from_utf8(with_ext);
    const SplitName parts = split_name(with_ext);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "_%04d_%02d", now.tm_year + 1900, now.tm_mon + 1);
    return from_utf8(parts.folder + parts.base + stamp + parts.extension);
}

std::u16string log_entry(std::u16string_view text, const std::tm& now) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%d年%d月%d日%d時%d分%d秒\r\n", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                  now.tm_hour, now.tm_min, now.tm_sec);
    std::u16string entry = from_utf8(stamp);
    entry.append(text);
    if (!text.ends_with(u"\r\n")) entry.append(u"\r\n");
    entry.append(80, u'-');
    entry.append(u"\r\n");
    return entry;
}

int append_log(std::u16string_view name, std::u16string_view text, bool monthly) {
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    return append_log(name, text, monthly, now);
}

int append_log(std::u16string_view name, std::u16string_view text, bool monthly, const std::tm& now) {
    const std::u16string file = resolve_in_home(log_file_name(name, monthly, now));
    // A log that cannot be written must not interrupt the job that writes it: no message either.
    if (ensure_file_exists(file, u"", [](std::u16string_view) {}) < 0) return 0;
    CFileSP().append_wide_units(file, log_entry(text, now));
    return 0;
}

} // namespace quippet
