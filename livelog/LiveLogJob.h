#pragma once

#include "comments/WorkChatdata.h"
#include "livelog/LiveLogBody.h"
#include "livelog/LiveLogConvert.h"
#include "livelog/LiveLogSettings.h"
#include "reconstruct/Lists.h"

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;
class CWorkThread;

/// The default output name "__新規Vellichorコンバートファイル__".
inline constexpr std::u16string_view kWcDefaultName = u"__新規Vellichorコンバートファイル__";

/// One conversion from text to comment set, without files: what the job and the tests share.
struct WcConversion {
    CWorkChatdata set;
    CWorkRecordWC record;
    WcRefTally refs;
    ReplaceCounts replace_counts;
    /// The hundredths jitter of the job.
    int jitter = 0;
};

/// Scans `text` and, when anything was accepted, estimates seconds, spreads hundredths and thins.
/// `ng` and `replace` may be null.
void convert_live_log(std::u16string_view text, const WcSettings& settings, const WcTimingTable& timing,
                      const WcNgLists* ng, const ReplaceList* replace, WcConversion& out);

/// The output file name without folder and extension when the output-name field is empty and date-as-name
/// is off: the first group of the name pattern in the source text (at most 128 characters, made safe for
/// file names), else kWcDefaultName. An expression that does not compile is reported in `problem`.
std::u16string default_output_name(std::u16string_view source, const WcSettings& settings,
                                   std::u16string* problem = nullptr);

/// (hours × 60 + minutes of "終了") × per-ten-minutes ÷ 10: the fewest comments an overwrite needs.
int overwrite_threshold(const WcSettings& settings);

/// The replacement table's report lines (without the leading "※").
std::vector<std::u16string> replace_report_lines(const ReplaceList& list, const ReplaceCounts& counts);

struct LiveLogJobOptions {
    /// Replaces the output folder for this run; empty: as the settings say.
    std::u16string output_folder;
};

struct LiveLogJobResult {
    bool ok = false;
    bool stopped = false;
    /// The file written.
    std::u16string written;
};

/// The conversion job: reads the source text named by the settings, converts it, writes the comment file
/// and reports into the worker's log (and the log file).
LiveLogJobResult run_livelog_job(CWorkThread& worker, const CSettings& settings, const LiveLogJobOptions& options = {});

} // namespace quippet
