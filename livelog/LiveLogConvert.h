#pragma once

#include "app/WorkData.h"
#include "comments/WorkChatdata.h"
#include "livelog/LiveLogBody.h"
#include "livelog/LiveLogSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// The counters of one conversion and its report text.
class CWorkRecordWC : public CWorkRecord {
public:
    int accepted = 0;
    int dated_lines = 0;
    int duplicate_1000 = 0;
    int ng_prefix = 0;
    int ng_suffix = 0;
    int ng_substring = 0;
    int ng_regex = 0;
    int ng_exact = 0;
    int too_many_lines = 0;
    int too_many_chars = 0;
    int before_start = 0;
    int in_cut = 0;
    int after_end = 0;
    int seconds_guess = 0;
    int advanced = 0;
    int no_id = 0;
    int no_seconds = 0;
    int no_hundredths = 0;
    int thin_limit = 0;
    long long thin_gap = 0;
    bool thinned = false;
    std::u16string report;

    int out_of_time() const { return before_start + in_cut + after_end + seconds_guess; }
    int discarded() const {
        return duplicate_1000 + ng_prefix + ng_suffix + ng_substring + ng_regex + ng_exact + too_many_lines +
               too_many_chars + out_of_time();
    }
    int total() const { return accepted + discarded(); }
};

/// Finds the posts of a thread log and adds those inside the recorded stretches to `set`. Lines end at
/// LF (a CR before it is dropped), so CR LF and LF-only texts read alike.
void scan_live_log(std::u16string_view text, const WcTimingTable& timing, const WcBodyTools& tools, CWorkChatdata& set,
                   CWorkRecordWC& record);

/// Gives the posts without seconds a second of their minute, spread by their weights; a post whose second
/// would fall outside its segment is dropped (seconds_guess).
void estimate_seconds(CWorkChatdata& set, const WcTimingTable& timing, CWorkRecordWC& record);

/// Spreads the posts without hundredths that share a second over that second. `jitter` lives for the job.
void spread_hundredths(CWorkChatdata& set, int& jitter, CWorkRecordWC& record);

/// Removes the first of two comments closer than a growing gap until `limit` remain; the set returns to
/// insertion order. No change when it holds `limit` or fewer.
void thin_comments(CWorkChatdata& set, int limit, CWorkRecordWC& record);

/// The report of the record (items 1 to 5), then the replacement lines and the reconstruction summary.
std::u16string compose_report(const CWorkRecordWC& record, const WcRefTally& refs,
                              const std::vector<std::u16string>& replace_lines, std::u16string_view reconstruction);

/// The hint shown after the report when nothing could be converted; empty when none fits.
std::u16string diagnosis_text(const CWorkRecordWC& record);

} // namespace quippet
