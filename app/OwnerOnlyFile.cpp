#include "app/OwnerOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quippet {
namespace {

/// Closes the descriptor when the scope ends.
class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

int fail(int& error) {
    error = errno != 0 ? errno : EIO;
    return -1;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ensure_folder(const std::filesystem::path& target, int& error) {
    const std::filesystem::path folder = target.parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = ec.value();
        return false;
    }
    return true;
}

/// The rename is only durable once the folder's entry is on disk as well.
void sync_folder(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    FdGuard fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

} // namespace

std::optional<std::filesystem::path> stage_owner_only_file(const std::filesystem::path& target, std::string_view bytes,
                                                           int& error) {
    error = 0;
    if (!ensure_folder(target, error)) return std::nullopt;
    // mkstemp creates the file with mode 0600 whatever the umask says.
    std::string name = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    errno = 0;
    FdGuard fd(::mkstemp(name.data()));
    if (fd.get() < 0) {
        fail(error);
        return std::nullopt;
    }
    if (!write_all(fd.get(), bytes) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        fail(error);
        ::unlink(name.c_str());
        return std::nullopt;
    }
    return std::filesystem::path(name);
}

int commit_staged_file(const std::filesystem::path& staged, const std::filesystem::path& target, int& error) {
    error = 0;
    errno = 0;
    if (::rename(staged.c_str(), target.c_str()) != 0) return fail(error);
    sync_folder(target);
    return 0;
}

int write_owner_only_file(const std::filesystem::path& target, std::string_view bytes, int& error) {
    const std::optional<std::filesystem::path> staged = stage_owner_only_file(target, bytes, error);
    if (!staged) return -1;
    if (commit_staged_file(*staged, target, error) != 0) {
        ::unlink(staged->c_str());
        return -1;
    }
    return 0;
}

int create_owner_only_file(const std::filesystem::path& target, std::string_view bytes, int& error) {
    const std::optional<std::filesystem::path> staged = stage_owner_only_file(target, bytes, error);
    if (!staged) return -1;
    // link() refuses an existing name, so the first creator wins and a loser never replaces its file.
    errno = 0;
    const int linked = ::link(staged->c_str(), target.c_str());
    const int link_errno = errno;
    ::unlink(staged->c_str());
    if (linked == 0) {
        sync_folder(target);
        return 1;
    }
    if (link_errno == EEXIST) return 0;
    error = link_errno;
    return -1;
}

} // namespace quippet
