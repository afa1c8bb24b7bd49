#include "text/Trash.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/AppHome.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;

/// "%XX" for every byte a file URI may not carry as it is; "/" stays, so the record keeps its folders.
std::string uri_escaped(const std::string& path) {
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

/// A folder of the trash, made owner-only when it is new. False when it is missing and cannot be made, or
/// is not a real folder of ours (a link planted there would send the files elsewhere).
bool own_folder(const fs::path& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool home_trash_path(fs::path& out) {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        out = fs::path(data) / "Trash";
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        out = fs::path(home) / ".local/share/Trash";
    else
        return false;
    std::error_code ec;
    fs::create_directories(out.parent_path(), ec);
    return !ec;
}

dev_t device_of(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_dev : static_cast<dev_t>(-1);
}

/// The top folder of the file system that holds `folder`: the last ancestor on the same device.
fs::path top_of(const fs::path& folder) {
    const dev_t dev = device_of(folder);
    fs::path top = folder;
    for (int guard = 0; guard < 4096 && top.has_relative_path(); ++guard) {
        const fs::path up = top.parent_path();
        if (up == top || device_of(up) != dev) break;
        top = up;
    }
    return top;
}

/// Claims a name in `trash`/info, writes the record, moves the file. 0, or -1.
int move_into(const fs::path& trash, const fs::path& source, const std::string& recorded_path,
              std::u16string* trashed_as) {
    const std::string stem = source.stem().string();
    const std::string ext = source.extension().string();
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &now);
    const std::string record = "[Trash Info]\nPath=" + uri_escaped(recorded_path) + "\nDeletionDate=" + stamp + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? stem + ext : stem + "." + std::to_string(n) + ext;
        const fs::path info = trash / "info" / (name + ".trashinfo");
        const fs::path target = trash / "files" / name;
        // The record claims the name first, so that two deletions at once never pick the same one.
        const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        std::error_code ec;
        if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
            ::close(fd);
            fs::remove(info, ec); // a stray file without a record: leave it, take the next name
            continue;
        }
        const bool written = ::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        const bool closed = ::close(fd) == 0;
        if (!written || !closed || ::rename(source.c_str(), target.c_str()) != 0) {
            fs::remove(info, ec);
            return -1;
        }
        if (trashed_as) *trashed_as = from_fs_path(target);
        return 0;
    }
    return -1;
}

} // namespace

int move_to_trash(std::u16string_view path, std::u16string* trashed_as) {
    if (trashed_as) trashed_as->clear();
    std::error_code ec;
    const fs::path source = fs::absolute(to_fs_path(path), ec).lexically_normal();
    if (ec || !source.has_filename()) return -1;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    const fs::path folder = source.parent_path();

    fs::path home;
    if (!home_trash_path(home)) return -1;
    if (device_of(home.parent_path()) == device_of(folder)) {
        // The home trash is the one for this file; when it cannot be used, no other is.
        if (!own_folder(home) || !own_folder(home / "files") || !own_folder(home / "info")) return -1;
        return move_into(home, source, source.string(), trashed_as);
    }

    // Another file system: its own trash, with the path recorded relative to its top.
    const fs::path top = top_of(folder);
    const fs::path trash = top / (".Trash-" + std::to_string(::getuid()));
    if (!own_folder(trash) || !own_folder(trash / "files") || !own_folder(trash / "info")) return -1;
    return move_into(trash, source, source.lexically_relative(top).string(), trashed_as);
}

} // namespace quippet
