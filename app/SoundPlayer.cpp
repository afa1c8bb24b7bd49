#include "app/SoundPlayer.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {

SoundPlayer find_sound_player(std::string_view path_variable) {
    struct Known {
        const char* name;
        std::vector<std::string> arguments;
    };
    const Known known[] = {
        {"paplay", {}}, {"aplay", {"-q"}}, {"pw-play", {}}, {"ffplay", {"-nodisp", "-autoexit", "-loglevel", "quiet"}}};
    for (const Known& k : known) {
        size_t start = 0;
        while (start <= path_variable.size()) {
            size_t end = path_variable.find(':', start);
            if (end == std::string_view::npos) end = path_variable.size();
            const std::string_view dir = path_variable.substr(start, end - start);
            start = end + 1;
            if (dir.empty()) continue; // an empty entry would mean the current folder: never trusted here
            const std::string candidate = std::string(dir) + "/" + k.name;
            if (::access(candidate.c_str(), X_OK) == 0) return {candidate, k.arguments};
        }
    }
    return {};
}

bool play_sound_detached(std::u16string_view file) {
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(to_fs_path(file), ec)) return false;
    const char* path = std::getenv("PATH");
    const SoundPlayer player = find_sound_player(path ? path : "");
    if (player.program.empty()) return false;
    std::vector<std::string> args = player.arguments;
    args.insert(args.begin(), player.program);
    args.push_back(to_utf8(file));
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Two forks, so that the player is nobody's child here and never has to be waited for.
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            ::execv(argv[0], argv.data());
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return true;
}

} // namespace quippet
