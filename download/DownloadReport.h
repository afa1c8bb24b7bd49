#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "download/DownloadList.h"

namespace quippet {

class CSettings;

/// The boxes of "ダウンロードするもの" (with "過去ログも取得" riding on the comments).
struct WantedSteps {
    bool video = false;
    bool thumbnail = false;
    bool nicowari = false;
    bool info = false;
    bool comments = false;
    bool owner_comments = false;

    bool any() const { return video || thumbnail || nicowari || info || comments || owner_comments; }
};
WantedSteps wanted_steps_from(const CSettings& settings);

/// How a step's code reads: nothing happened yet, it did its work (a skip a rule asked for included), there
/// was nothing to fetch (no uploader comments, no nicowari, no thumbnail to have), or it failed.
enum class StepOutcome { kNone, kDone, kNothingToFetch, kFailed };
StepOutcome step_outcome(int code);

/// One row's ending, as the list and the log show it.
struct RowResult {
    std::u16string_view mark;
    std::u16string text;
    bool failed = false;
};

/// What the row's text needs beyond its codes.
struct RowResultContext {
    std::u16string quality_label; ///< the quality the delivery server offered, for 246 and 247
    bool old_server = false;      ///< the video came from the older server
    bool stopped = false;         ///< the user stopped the job during this row
};

/// The mark and the "詳細" text of a row whose steps are over: the first failure in the order video and
/// comments together, video, comments, uploader comments, information file, thumbnail, nicowari; else the
/// texts of what was done, joined by "／".
RowResult row_result(const RowCodes& codes, const WantedSteps& wanted, const RowResultContext& context = {});

/// The end-of-job lines: tried + "個のIDのDLを試みて、" + the counts, then the success line or the failure
/// notice.
std::vector<std::u16string> download_end_lines(int tried, int succeeded, int failed);

/// The advice the log gets after a connection that failed with code 55.
std::vector<std::u16string> tls_advice_lines();

} // namespace quippet
