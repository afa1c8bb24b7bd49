#include "cli/WarehouseCommand.h"

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/JobRunner.h"
#include "cli/SettingsCommand.h"
#include "livelog/LiveLogSettingKeys.h"
#include "livelog/Warehouse.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "warehouse/WarehouseJob.h"

#include <ostream>

namespace quippet::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quippet warehouse --board NAME --at \"YYYY-MM-DD HH:MM\" [--back H] [--forward H] [--min-posts N]\n"
    "                         [--words A|B] [--send ENTRY] [--set SECTION/KEY=VALUE]...\n"
    "Searches the current thread list and the past-log warehouse of the board NAME (a section of the board\n"
    "table) for threads started from H hours before to H hours after the local time given, with at least N\n"
    "posts and, with --words, a title holding one of the words. --send opens the threads found with the\n"
    "browser-table entry ENTRY (its name in the table).\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet warehouse: " << reason << '\n' << kUsage;
    return kExitUsage;
}

std::optional<int> number_arg(const std::string& s, int lo, int hi) {
    const auto n = ascii_decimal(from_utf8(s), 6);
    if (!n || *n < lo || *n > hi) return std::nullopt;
    return static_cast<int>(*n);
}

/// "YYYY-MM-DD HH:MM" into the search fields.
bool set_base(CSettings& s, const std::string& at) {
    const std::u16string t = from_utf8(at);
    if (t.size() != 16 || t[4] != u'-' || t[7] != u'-' || t[10] != u' ' || t[13] != u':') return false;
    const std::u16string_view v(t);
    const auto y = ascii_decimal(v.substr(0, 4)), mo = ascii_decimal(v.substr(5, 2)), d = ascii_decimal(v.substr(8, 2)),
               h = ascii_decimal(v.substr(11, 2)), mi = ascii_decimal(v.substr(14, 2));
    if (!y || !mo || !d || !h || !mi || *y < 1970 || *y > 3000 || *mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 ||
        *mi > 59)
        return false;
    s.set_number(WcNumber::kSearchYear, static_cast<int>(*y));
    s.set_number(WcNumber::kSearchMonth, static_cast<int>(*mo));
    s.set_number(WcNumber::kSearchDay, static_cast<int>(*d));
    s.set_number(WcNumber::kSearchHour, static_cast<int>(*h));
    s.set_number(WcNumber::kSearchMinute, static_cast<int>(*mi));
    return true;
}

} // namespace

int run_warehouse_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kUsage;
        return kExitOk;
    }
    CSettings settings;
    {
        CFileINI ini;
        load_settings(ini, settings);
    }
    std::vector<std::string> rest = args;
    std::string error;
    if (extract_set_options(rest, settings, error) != kExitOk) return usage(err, error);

    std::string board, send;
    bool have_at = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (i + 1 >= rest.size())
            return usage(err, arg == "--board" || arg == "--at" ? arg + " needs a value" : "unknown argument " + arg);
        const std::string& value = rest[++i];
        const auto set_range = [&](WcNumber field, int lo, int hi) {
            const auto n = number_arg(value, lo, hi);
            if (n) settings.set_number(field, *n);
            return n.has_value();
        };
        if (arg == "--board") {
            board = value;
        } else if (arg == "--at") {
            if (!set_base(settings, value)) return usage(err, "--at " + value + " is not YYYY-MM-DD HH:MM");
            have_at = true;
        } else if (arg == "--back") {
            if (!set_range(WcNumber::kHoursBack, 0, 720)) return usage(err, "--back takes 0 to 720 hours");
        } else if (arg == "--forward") {
            if (!set_range(WcNumber::kHoursForward, 0, 720)) return usage(err, "--forward takes 0 to 720 hours");
        } else if (arg == "--min-posts") {
            if (!set_range(WcNumber::kMinPosts, 1, 1001)) return usage(err, "--min-posts takes 1 to 1001");
        } else if (arg == "--words") {
            settings.set_text(WcText::kTitleWords, from_utf8(value));
        } else if (arg == "--send") {
            send = value;
        } else {
            return usage(err, "unknown argument " + arg);
        }
    }
    if (board.empty()) return usage(err, "--board is missing");
    if (!have_at) return usage(err, "--at is missing");

    const std::vector<WhBoard> boards = load_board_table(settings);
    int board_index = -1;
    for (size_t i = 0; i < boards.size(); ++i)
        if (to_utf8(boards[i].name) == board) board_index = static_cast<int>(i);
    if (board_index < 0) return usage(err, "no board " + board + " in the board table");
    settings.set_number(kWcBoard, board_index);

    WarehouseJobOptions options;
    settings.set_number(WcSwitch::kSendToBrowser, 0);
    if (!send.empty()) {
        const std::vector<WhBrowserEntry> entries = load_browser_table(settings);
        int entry = -1;
        for (size_t i = 0; i < entries.size(); ++i)
            if (to_utf8(entries[i].name) == send) entry = static_cast<int>(i);
        if (entry < 0) return usage(err, "no entry " + send + " in the browser table");
        settings.set_number(kWcBrowserForm, entry);
        options.send = true;
    }

    TerminalJob job;
    job.kind = JobKind::kWarehouseSearch;
    job.body = [settings, options](CWorkThread& worker, JobOutcome& outcome) {
        const WarehouseJobResult result = run_warehouse_job(worker, settings, options);
        outcome.total = 1;
        outcome.succeeded = result.found ? 1 : 0;
        outcome.stopped = result.stopped;
    };
    return run_in_terminal(job, out, err);
}

} // namespace quippet::cli
