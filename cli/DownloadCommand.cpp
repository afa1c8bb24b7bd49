#include "cli/DownloadCommand.h"

#include <memory>
#include <optional>
#include <ostream>

#include "app/Settings.h"
#include "app/WorkThread.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/JobRunner.h"
#include "cli/RegisterCommand.h"
#include "download/DownloadJob.h"
#include "download/DownloadList.h"
#include "download/DownloadTabKeys.h"
#include "download/IdRecognition.h"
#include "download/ListFile.h"
#include "download/PageRegistration.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kDownloadUsage =
    "Usage: quippet download [--set SECTION/KEY=VALUE]... [--folder DIR] [--video] [--thumbnail] [--nicowari]\n"
    "                        [--info] [--comments] [--past-logs] [--owner-comments] [--search WORDS]...\n"
    "                        INPUT...\n"
    "Registers every INPUT as the download tab's input box does (video IDs, addresses, list files, folders,\n"
    "history selections; --search WORDS searches), then runs the download job over the rows: information,\n"
    "nicowari, video, uploader comments, comments, information file, thumbnail, with the waits between\n"
    "rows, a history line per row. The flags choose what to fetch for this run (none: the settings decide);\n"
    "--past-logs also walks the past logs. New rows go to DIR (default: the tab's folder, else \"download\"\n"
    "in the home). Prints mark<TAB>ID<TAB>save name<TAB>result per row; exit 0 when every row ended \"○\",\n"
    "1 otherwise, 3 when stopped (Ctrl-C).\n";

constexpr const char* kChainUsage =
    "Usage: quippet chain [the options of download] ID\n"
    "Downloads ID and, depth first, every video its description names that is not listed yet, as the\n"
    "chain download does. Prints one line per visited row as download does.\n";

struct Parsed {
    CSettings settings;
    std::u16string folder;
    std::vector<std::string> inputs;
    std::vector<std::string> searches;
};

int usage(std::ostream& err, const char* command, const std::string& reason, const char* text) {
    err << "quippet " << command << ": " << reason << '\n' << text;
    return kExitUsage;
}

int parse(const std::vector<std::string>& given, Parsed& p, std::string& error) {
    std::vector<std::string> args = given;
    if (load_command_settings(args, p.settings, error) != kExitOk) return kExitUsage;
    p.folder = p.settings.text(DlText::kFolder);
    struct Box {
        const char* flag;
        DlSwitch key;
    };
    static constexpr Box kBoxes[] = {
        {"--video", DlSwitch::kVideo},       {"--thumbnail", DlSwitch::kThumbnail},
        {"--nicowari", DlSwitch::kNicowari}, {"--info", DlSwitch::kInfoFile},
        {"--comments", DlSwitch::kComments}, {"--owner-comments", DlSwitch::kOwnerComments}};
    std::vector<DlSwitch> chosen;
    CommandArgs options;
    for (const Box& b : kBoxes)
        options.flag(b.flag, [&chosen, key = b.key] { chosen.push_back(key); });
    options.flag("--past-logs", [&p] { p.settings.set_number(DlSwitch::kPastLogs, 1); })
        .text("--folder", p.folder)
        .value("--search", [&p](const std::string& words, std::string&) {
            p.searches.push_back(words);
            return true;
        });
    if (!options.parse(args, p.inputs, error)) return kExitUsage;
    // The flags stand for the boxes of this run: what is not named is not fetched.
    if (!chosen.empty()) {
        for (const Box& b : kBoxes)
            p.settings.set_number(b.key, 0);
        for (DlSwitch k : chosen)
            p.settings.set_number(k, 1);
    }
    return kExitOk;
}

void print_results(const CListDownload& list, std::ostream& out) {
    for (const DownloadRow& row : list.rows()) {
        if (row.cells[dlcol::kMark].empty()) continue; // never reached
        out << to_utf8(row.cells[dlcol::kMark]) << '\t' << to_utf8(row.id()) << '\t'
            << to_utf8(row.cells[dlcol::kSaveName]) << '\t' << to_utf8(row.cells[dlcol::kDetail]) << '\n';
    }
}

/// Every row ended "○": the exit code of a finished run.
int exit_of(const CListDownload& list, bool stopped) {
    if (stopped) return kExitStopped;
    for (const DownloadRow& row : list.rows())
        if (row.cells[dlcol::kMark] != kMarkSuccess) return kExitFailures;
    return kExitOk;
}

/// The chain walk's log into the job's log.
class WorkerRegisterReport : public RegisterReport {
public:
    WorkerRegisterReport(CWorkThread& worker, bool debug) : worker_(worker), debug_(debug) {}
    void log(std::u16string_view text) override { worker_.log(text); }
    void debug(std::u16string_view text) override {
        if (debug_) worker_.log(text);
    }
    bool stop_requested() const override { return worker_.stop_requested() || worker_.download_stop_requested(); }

private:
    CWorkThread& worker_;
    bool debug_;
};

} // namespace

int run_download_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kDownloadUsage;
        return kExitOk;
    }
    Parsed p;
    std::string error;
    if (parse(args, p, error) != kExitOk) return usage(err, "download", error, kDownloadUsage);
    if (p.inputs.empty() && p.searches.empty()) return usage(err, "download", "nothing to download", kDownloadUsage);
    CListDownload list;
    register_inputs(p.settings, p.folder, p.inputs, p.searches, list, err);
    if (list.row_count() == 0) {
        err << "quippet download: no row was registered\n";
        return kExitFailures;
    }
    // Every row of the command line is the run's; none is checked, so the job takes them all.
    TerminalJob job;
    job.kind = JobKind::kDownload;
    job.list = &list;
    bool stopped = false;
    const CSettings settings = p.settings;
    job.body = [&settings, &stopped](CWorkThread& worker, JobOutcome& outcome) {
        const DownloadTotals totals = run_download_job(worker, settings);
        outcome.succeeded = totals.succeeded;
        outcome.total = totals.tried;
        outcome.stopped = stopped = totals.stopped;
    };
    run_in_terminal(job, err, err); // the log is progress: stdout keeps the results alone
    print_results(list, out);
    return exit_of(list, stopped);
}

int run_chain_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kChainUsage;
        return kExitOk;
    }
    Parsed p;
    std::string error;
    if (parse(args, p, error) != kExitOk) return usage(err, "chain", error, kChainUsage);
    if (p.inputs.size() != 1 || !p.searches.empty()) return usage(err, "chain", "one ID is needed", kChainUsage);
    const IdSettings ids = id_settings_from(p.settings);
    const std::u16string start = recognise_id(from_utf8(p.inputs.front()), kIdModeInput, ids);
    if (start.empty()) return usage(err, "chain", p.inputs.front() + " is no video ID", kChainUsage);
    const std::u16string folder =
        folder_with_slash(resolve_in_home(p.folder.empty() ? std::u16string(u"download") : p.folder));

    CListDownload list;
    TerminalJob job;
    job.kind = JobKind::kChainDownload;
    job.list = &list;
    bool stopped = false;
    const CSettings settings = p.settings;
    job.body = [&](CWorkThread& worker, JobOutcome& outcome) {
        worker.job_begin();
        CDownloadJob download(worker, settings);
        WorkerRegisterReport report(worker, settings.on(OptSwitch::kDebugMode));
        // The walk adds rows to the list itself; nothing else touches the command line's list meanwhile.
        const int visited = chain_walk(
            list, start, ids, folder,
            [&](CListDownload&, int row, std::u16string& description) {
                if (download.ProcessRow(row) == -2) return -2;
                description = download.last_description();
                return 0;
            },
            report);
        const DownloadTotals& totals = download.totals();
        for (const auto& line : download_end_lines(totals.tried, totals.succeeded, totals.failed))
            worker.log(line);
        outcome.succeeded = download.totals().succeeded;
        outcome.total = download.totals().tried;
        outcome.stopped = stopped = visited == -2 || download.totals().stopped;
    };
    run_in_terminal(job, err, err); // the log is progress: stdout keeps the results alone
    print_results(list, out);
    return exit_of(list, stopped);
}

} // namespace quippet::cli
