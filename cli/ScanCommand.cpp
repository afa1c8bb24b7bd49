#include "cli/ScanCommand.h"

#include "resources/MessageIds.h"

#include <ostream>

#include "app/WorkThread.h"
#include "cli/Cli.h"
#include "cli/JobRunner.h"
#include "comments/ChatReader.h"
#include "comments/ChatScan.h"
#include "resources/Messages.h"
#include "text/CharBuffer.h"
#include "text/DateText.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet::cli {
namespace {

std::u16string date_text(int seconds) {
    CCharW text(decimal_text(seconds));
    return format_unix_time(text) == 0 ? std::u16string(text.view()) : decimal_text(seconds);
}

/// The whole file through the comment reader, as every job reads it: what it keeps and what it rejects.
bool read_one(CWorkThread& worker, std::string_view doc) {
    CWorkChatdata set;
    ChatReadContext context;
    context.stop_requested = [&worker] { return worker.stop_requested(); };
    const int read = read_comments(doc, set, 0, context);
    if (read < 0 && read != -2) {
        worker.log(u"　" + std::u16string(message_text(context.error)));
        return false;
    }
    const ChatReadStats& s = context.stats;
    std::u16string line = u"　読込：" + decimal_text(set.count()) + u"個のコメント";
    const int rejected = s.vpos_missing + s.vpos_rejected + s.date_rejected;
    if (rejected > 0) line += u"、不正データ" + decimal_text(rejected) + u"個";
    int malformed = 0;
    for (int n : s.malformed)
        malformed += n;
    if (malformed > 0) line += u"、数値以外の属性値" + decimal_text(malformed) + u"個";
    worker.log(line);
    return true;
}

/// One line per file; false when the file could not be read.
bool scan_one(CWorkThread& worker, const std::u16string& path, bool full) {
    CFileSP file;
    CFileBytes doc;
    if (file.read(path, doc) != 0) {
        worker.log(path + u"：" + std::u16string(message_text(file.error())));
        return false;
    }
    const std::string_view bytes = doc.view();
    const BodyFacts facts = scan_body_facts(bytes);
    const int comments = facts.vpos.count;
    std::u16string line = path + u"：" + decimal_text(static_cast<long long>(bytes.size())) + u"バイト、" +
                          decimal_text(comments) + u"個のコメント";
    if (comments > 0) {
        const AttributeRange& vpos = facts.vpos;
        const AttributeRange& date = facts.dates;
        line += u"（vpos " + decimal_text(vpos.min) + u"～" + decimal_text(vpos.max);
        if (date.count > 0) line += u"、投稿日時 " + date_text(date.min) + u"～" + date_text(date.max);
        line += u"）";
    }
    worker.log(line);
    return !full || read_one(worker, bytes);
}

} // namespace

int run_scan_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args.front() == "--help") {
        (args.empty() ? err : out)
            << "Usage: quippet scan [--full] FILE...\n"
               "Reads comment files and reports size, comment count, vpos and date ranges.\n"
               "--full also reads every comment as the jobs do and reports what the reader rejects.\n";
        return args.empty() ? kExitUsage : kExitOk;
    }
    TerminalJob job;
    job.kind = JobKind::kScan;
    job.show_end_notice = false;
    bool full = false;
    for (const std::string& arg : args) {
        if (arg == "--full") {
            full = true;
            continue;
        }
        job.inputs.push_back(from_utf8(arg));
    }
    if (job.inputs.empty()) {
        err << "quippet scan: no file given\n";
        return kExitUsage;
    }
    job.body = [full](CWorkThread& worker, JobOutcome& outcome) {
        worker.job_begin();
        const auto& inputs = worker.data().inputs();
        outcome.total = static_cast<int>(inputs.size());
        for (const std::u16string& path : inputs) {
            if (worker.stop_requested()) {
                worker.job_stopped();
                outcome.stopped = true;
                return;
            }
            if (scan_one(worker, path, full)) ++outcome.succeeded;
        }
        worker.job_end(outcome.succeeded, outcome.total, msg::kCountOf, EndSounds{});
    };
    return run_in_terminal(job, out, err);
}

} // namespace quippet::cli
