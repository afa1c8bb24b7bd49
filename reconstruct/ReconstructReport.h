#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reconstruct/ReconstructJob.h"

namespace quippet {

/// Everything a unit's report is built from.
struct UnitReportInputs {
    UnitReportInputs(const PassCounters& pass_counters, const AfterReadingCounters& after_counters, int read_count,
                     int written_count, const ReconstructSettings& snapshot, const ReconstructLists* unit_lists)
        : pass(pass_counters), after(after_counters), read(read_count), written(written_count), settings(snapshot),
          lists(unit_lists) {}

    const PassCounters& pass;
    const AfterReadingCounters& after;
    /// Valid comments the files held, and those written.
    int read = 0;
    int written = 0;
    const ReconstructSettings& settings;
    /// Names the expression rules of the replacement files; may be null.
    const ReconstructLists* lists = nullptr;
    /// The stages that ran (RuleStage order), null for those that did not.
    std::array<const RuleProgram*, 4> stages{};
    /// The length of each part when parts were joined; empty otherwise.
    std::vector<PartLength> part_lengths;
    /// "<name>" of the elements that followed the last comment.
    std::u16string trailing_elements;
    /// Searches of the lists' expressions (NG lists, replacement files) that stopped at the limits; the
    /// stages report their own.
    int regex_give_ups = 0;
};

/// The report lines of a unit, each only when its count is above 0. Without `validation` the lines about
/// malformed data are left out (the list row has no room for them).
std::vector<std::u16string> report_lines(const UnitReportInputs& in, bool validation = true);

/// Comments the per-comment steps removed, under every counter.
int pass_removals(const PassCounters& counters);

/// The list row's form of a report: the lines joined with blanks, cut with "etc" at `width` units.
std::u16string short_report(std::span<const std::u16string> lines, size_t width);

/// A time in hundredths of a second as the report shows it: "1分30秒", "0分05.50秒".
std::u16string report_time(int hundredths);

/// The line of one timing row with its counts (empty when the row did nothing).
std::vector<std::u16string> timing_row_lines(const TimingRow& row, int removed, int shifted);

} // namespace quippet
