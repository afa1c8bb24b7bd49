#include "warehouse/BrowserLaunch.h"

#include "text/Encoding.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace quippet {

int launch_browser(const BrowserCommand& command) {
    if (command.program.empty()) return -1;
    std::vector<std::string> words;
    words.push_back(to_utf8(command.program));
    for (const std::u16string& a : command.args)
        words.push_back(to_utf8(a));
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    // The browser outlives the search; a thread of its own collects it so that no zombie stays behind,
    // without touching how the rest of the process handles its children.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return 0;
}

} // namespace quippet
