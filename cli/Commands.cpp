#include "cli/Commands.h"

#include "cli/ScanCommand.h"
#include "cli/SettingsCommand.h"

namespace quippet::cli {

std::span<const Command> commands() {
    static const std::vector<Command> table = {
        {"scan", "read comment files and report their size, comment count and ranges", run_scan_command},
        {"settings", "list, get or set settings (settings list | get SECTION/KEY | set SECTION/KEY VALUE)",
         run_settings_command},
    };
    return table;
}

} // namespace quippet::cli
