#include "download/DownloadReport.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "app/Settings.h"
#include "download/DownloadTabKeys.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

// Codes a step ends with when it did what it was asked, or when a rule told it to leave the file alone.
constexpr int kDoneCodes[] = {60,  68,  76,  86,  91,  117, 118, 119, 125, 128, 129, 130, 138, 145,
                              152, 153, 170, 181, 185, 186, 188, 193, 194, 204, 206, 207, 208, 211,
                              212, 213, 214, 223, 225, 236, 237, 238, 239, 240, 245, 248, 249, 250};
// Codes that say there was nothing to fetch: a video without uploader comments or nicowari, a thumbnail that
// the service does not give out.
constexpr int kNothingCodes[] = {78, 88, 108, 182, 184};

bool in(std::span<const int> codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::u16string text_of(int code) {
    return std::u16string(message_text(code));
}

bool failed(int code) {
    return step_outcome(code) == StepOutcome::kFailed;
}

} // namespace

WantedSteps wanted_steps_from(const CSettings& settings) {
    WantedSteps w;
    w.video = settings.on(DlSwitch::kVideo);
    w.thumbnail = settings.on(DlSwitch::kThumbnail);
    w.nicowari = settings.on(DlSwitch::kNicowari);
    w.info = settings.on(DlSwitch::kInfoFile);
    w.comments = settings.on(DlSwitch::kComments);
    w.owner_comments = settings.on(DlSwitch::kOwnerComments);
    return w;
}

StepOutcome step_outcome(int code) {
    if (code == 0) return StepOutcome::kNone;
    if (in(kDoneCodes, code)) return StepOutcome::kDone;
    if (in(kNothingCodes, code)) return StepOutcome::kNothingToFetch;
    return StepOutcome::kFailed;
}

RowResult row_result(const RowCodes& codes, const WantedSteps& wanted, const RowResultContext& context) {
    RowResult r;
    if (!wanted.any()) {
        r.mark = kMarkFailure;
        r.text = text_of(71);
        r.failed = true;
        return r;
    }
    if (context.stopped) {
        r.mark = kMarkNotRun;
        r.text = text_of(msg::kStoppedByUser);
        r.failed = true;
        return r;
    }
    const bool video_failed = wanted.video && failed(codes.video);
    const bool comments_failed = wanted.comments && failed(codes.comment);
    std::u16string failure;
    if (video_failed && comments_failed && codes.video == codes.comment) {
        failure = text_of(msg::kPrefixVideoAndComments) + text_of(codes.video);
    } else if (video_failed) {
        if (codes.video == 246 || codes.video == 247)
            failure = text_of(msg::kPrefixVideoBestQuality) + context.quality_label + text_of(codes.video);
        else
            failure = text_of(msg::kPrefixVideo) + text_of(codes.video);
    } else if (comments_failed) {
        failure = text_of(msg::kPrefixComments) + text_of(codes.comment);
    } else if (wanted.owner_comments && failed(codes.owner_comments)) {
        failure = text_of(msg::kPrefixOwnerComments) + text_of(codes.owner_comments);
    } else if (wanted.info && failed(codes.info)) {
        failure = text_of(msg::kPrefixInfo) + text_of(codes.info);
    } else if (wanted.thumbnail && failed(codes.thumbnail)) {
        failure = text_of(msg::kPrefixThumbnail) + text_of(codes.thumbnail);
    } else if (wanted.nicowari && failed(codes.nicowari)) {
        failure = text_of(msg::kPrefixNicowari) + text_of(codes.nicowari);
    }

    // What went well, in the order the row's steps run.
    std::u16string done;
    auto add = [&](bool want, int code, bool old_server) {
        if (!want || step_outcome(code) != StepOutcome::kDone) return;
        if (!done.empty()) done += u"／";
        done += text_of(code);
        if (old_server) done += u"（" + text_of(msg::kOldServerMark) + u"）";
    };
    add(wanted.comments, codes.comment, false);
    add(wanted.video, codes.video, context.old_server);
    add(wanted.owner_comments, codes.owner_comments, false);
    add(wanted.info, codes.info, false);
    add(wanted.thumbnail, codes.thumbnail, false);
    add(wanted.nicowari, codes.nicowari, false);
    if (codes.attempt > 1 && !done.empty()) done += text_of(131) + decimal_text(codes.attempt) + text_of(132);

    if (!failure.empty()) {
        r.failed = true;
        r.mark = done.empty() ? kMarkFailure : kMarkPartial;
        r.text = std::move(failure);
        return r;
    }
    r.mark = kMarkSuccess;
    r.text = std::move(done);
    return r;
}

std::vector<std::u16string> download_end_lines(int tried, int succeeded, int failed_rows) {
    std::u16string line = decimal_text(tried) + text_of(92) + decimal_text(succeeded) + text_of(msg::kRowsSucceeded);
    if (failed_rows > 0) line += u"、" + decimal_text(failed_rows) + text_of(msg::kRowsFailed);
    std::vector<std::u16string> lines{std::move(line)};
    lines.push_back(failed_rows > 0 ? text_of(msg::kJobEndedWithFailures) : text_of(231));
    return lines;
}

std::vector<std::u16string> tls_advice_lines() {
    return {text_of(msg::kAdviceRule), text_of(msg::kAdviceTls), text_of(msg::kAdviceTlsNote),
            text_of(msg::kAdviceRule)};
}

} // namespace quippet
