#pragma once

#include "app/JobKinds.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;
class CWorkThread;

/// Columns of the reconstruction tab's file list that these jobs fill.
inline constexpr int kDdStatusColumn = 1;
inline constexpr int kDdResultColumn = 2;

/// What the split and cut-out jobs take from the settings when they start.
struct SplitCutSettings {
    /// Part size; ignored with `automatic`.
    int part_size = 250;
    /// Part size from the video length: `per_minute` comments for each minute.
    bool automatic = false;
    int per_minute = 100;
    /// Also write the last part when it is shorter than the others.
    bool remainder = false;
    int cut_first = 1;
    int cut_last = 1000;
    /// "同名時に上書": replace an existing output (never an input of the job).
    bool overwrite = false;
};

SplitCutSettings split_cut_settings(const CSettings& settings);

/// Part size of "自動": `per_minute` × the largest vpos in whole minutes (half a minute rounds up); for
/// a file shorter than half a minute, half of `per_minute` from 15 s on, else a third. Never below 1.
int auto_part_size(int per_minute, int max_vpos);

/// How one file went.
struct UnitResult {
    bool ok = false;
    bool stopped = false;
    /// The row's result text ("3個のファイルを出力", "切り出しに成功", a failure reason).
    std::u16string message;
    /// Files written, in order.
    std::vector<std::u16string> written;
};

struct UnitContext {
    SplitCutSettings settings;
    /// Every input of the job: none of them is ever replaced by an output.
    std::vector<std::u16string> inputs;
    std::function<bool()> stop_requested;
};

/// Writes parts of `size` comments of the file beside it. Either every part is written or none is.
UnitResult split_file(std::u16string_view path, const UnitContext& context);

/// Writes the comments numbered cut_first … cut_last beside the file. Nothing is written on failure.
UnitResult cut_file(std::u16string_view path, const UnitContext& context);

/// Names of the output files (left to this program): the source name without ".xml" and a marker.
std::u16string split_part_name(std::u16string_view source, int part, int parts);
std::u16string cut_name(std::u16string_view source, int first_no, int last_no);

struct JobCounts {
    int succeeded = 0;
    int total = 0;
    bool stopped = false;
};

/// The split (JobKind::kSplit) or cut-out (JobKind::kCut) job over the worker's inputs: one unit per file,
/// a failing file never stops the others, the report goes to the log and the rows.
JobCounts run_split_cut_job(CWorkThread& worker, const SplitCutSettings& settings, JobKind kind);

} // namespace quippet
