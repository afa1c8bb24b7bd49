#include "text/AppHome.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

#include "text/Encoding.h"

namespace quippet {
namespace {

/// Every path of the program is resolved against the home, so the home itself must not depend on a working
/// directory: a relative home would be applied twice by the helpers that resolve an already resolved path.
std::u16string absolute_home(std::u16string home) {
    if (home.empty() || home.starts_with(u'/')) return home;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(to_fs_path(home), ec);
    return ec ? home : from_fs_path(absolute);
}

std::u16string default_home() {
    if (const char* env = std::getenv("QUIPPET_HOME"); env && *env) return absolute_home(from_utf8(env));
    std::string user_home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        user_home = env;
    } else {
        // Started without an environment (a service or a desktop launcher that lost it): ask the user database.
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> scratch(16384);
        if (getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 && found && found->pw_dir)
            user_home = found->pw_dir;
    }
    while (user_home.size() > 1 && user_home.ends_with('/'))
        user_home.pop_back();
    return from_utf8(user_home + "/.local/share/QuippetVellichor");
}

struct HomeState {
    std::mutex mutex;
    std::u16string home;
    bool chosen = false;
};

HomeState& state() {
    static HomeState s;
    return s;
}

} // namespace

const std::u16string& app_home() {
    HomeState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.chosen) {
        s.home = default_home();
        s.chosen = true;
    }
    return s.home;
}

void set_app_home(std::u16string home) {
    HomeState& s = state();
    std::lock_guard lock(s.mutex);
    s.home = absolute_home(std::move(home));
    s.chosen = true;
}

std::u16string resolve_in_home(std::u16string_view path) {
    if (path.starts_with(u'/')) return std::u16string(path);
    std::u16string full = app_home();
    if (!full.empty() && !full.ends_with(u'/')) full += u'/';
    full.append(path);
    return full;
}

std::filesystem::path to_fs_path(std::u16string_view path) {
    return std::filesystem::path(to_utf8(path));
}

std::u16string from_fs_path(const std::filesystem::path& path) {
    return from_utf8(path.native());
}

} // namespace quippet
