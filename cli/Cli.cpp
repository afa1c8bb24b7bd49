#include "cli/Cli.h"

#include <cstdlib>
#include <ostream>
#include <string_view>

#include "cli/Commands.h"
#include "net/ServiceAddress.h"
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
           "  --service-root URL  scheme, host and port of every service address for this run\n"
           "               (e.g. http://127.0.0.1:8080); default $QUIPPET_SERVICE_ROOT\n"
           "  --ca-file FILE  certificates (PEM) trusted besides the system's; default\n"
           "               $QUIPPET_CA_FILE\n"
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
        if (option == "--service-root" || option.starts_with("--service-root=") || option == "--ca-file" ||
            option.starts_with("--ca-file=")) {
            const bool root = option.starts_with("--service-root");
            const size_t eq = option.find('=');
            if (eq == std::string::npos && at + 1 >= args.size()) {
                err << "quippet: " << option << (root ? " needs a URL\n" : " needs a file\n");
                return kExitUsage;
            }
            const std::string value = eq == std::string::npos ? args[at + 1] : option.substr(eq + 1);
            at += eq == std::string::npos ? 2 : 1;
            if (root) {
                if (!is_service_root(from_utf8(value))) {
                    err << "quippet: --service-root needs http://HOST[:PORT] or https://HOST[:PORT], not " << value
                        << "\n";
                    return kExitUsage;
                }
                set_service_root(from_utf8(value));
            } else {
                set_extra_ca_file(from_utf8(value));
            }
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
