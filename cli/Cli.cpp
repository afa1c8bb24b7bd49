#include "cli/Cli.h"

#include <cstdlib>
#include <ostream>
#include <string_view>

#include "cli/Commands.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

void print_help(std::ostream& out) {
    out << "Usage: quippet [--home DIR] COMMAND [ARGS...]\n"
           "       quippet --help | --version\n\n"
           "Runs the jobs of QuippetVellichor without its window.\n\n"
           "Global options:\n"
           "  --home DIR   app home (settings and lists); default $QUIPPET_HOME, else\n"
           "               ~/.local/share/QuippetVellichor\n"
           "  --help       this text\n"
           "  --version    program version\n\n"
           "Commands:\n";
    size_t width = 12;
    for (const Command& command : commands())
        width = std::max(width, command.name.size());
    for (const Command& command : commands()) {
        std::string name(command.name);
        name.resize(width, ' ');
        out << "  " << name << " " << command.summary << "\n";
    }
    out << "\nExit codes: 0 success, 1 the job ended with failures, 2 usage error, 3 stopped.\n";
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    size_t at = 0;
    while (at < args.size() && args[at].starts_with("-")) {
        const std::string& option = args[at];
        if (option == "--help" || option == "-h") {
            print_help(out);
            return kExitOk;
        }
        if (option == "--version") {
            out << "quippet " << QUIPPET_VERSION << "\n";
            return kExitOk;
        }
        if (option == "--home") {
            if (at + 1 >= args.size()) {
                err << "quippet: --home needs a folder\n";
                return kExitUsage;
            }
            set_app_home(from_utf8(args[at + 1]));
            at += 2;
            continue;
        }
        if (option.starts_with("--home=")) {
            set_app_home(from_utf8(std::string_view(option).substr(7)));
            ++at;
            continue;
        }
        err << "quippet: unknown option " << option << " (see quippet --help)\n";
        return kExitUsage;
    }
    if (at >= args.size()) {
        print_help(err);
        return kExitUsage;
    }
    const std::string& name = args[at];
    for (const Command& command : commands()) {
        if (command.name == name) {
            std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end());
            return command.run(rest, out, err);
        }
    }
    err << "quippet: unknown command " << name << " (see quippet --help)\n";
    return kExitUsage;
}

} // namespace quippet::cli
