#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "comments/ChatWriter.h"
#include "reconstruct/PassAfterReading.h"
#include "reconstruct/PassChain.h"

namespace quippet {

class CSettings;
class CWorkThread;

/// Job kind of the reconstruction tab that runs the pass.
inline constexpr int kJobKindReconstruct = 2;

/// How the listed files are put together into output files.
enum class MergeMode { none, all, by_rows, by_number_after };

/// What a reconstruction job takes from the settings when it starts; later edits do not reach it.
struct ReconstructSettings {
    PassOptions pass;
    AfterReadingOptions after;
    MergeMode merge = MergeMode::none;
    int merge_rows = 1;
    std::u16string merge_text;
    /// Replace an existing output; an input of the job is never replaced.
    bool overwrite = false;
    /// Empty: the folder of the unit's first file.
    std::u16string output_folder;
    bool chain_by_default = false;
    ChatWriterOptions writer;
    /// The tail information appended to output names (its base is filled per unit); off with "末尾情報なし".
    bool tail = true;
    SaveNaming naming;
};

ReconstructSettings reconstruct_settings(const CSettings& settings);

/// The 0-based rows of each unit, in the list order of the unit's first file.
std::vector<std::vector<int>> group_units(const std::vector<std::u16string>& paths, MergeMode mode, int rows,
                                          std::u16string_view text);

/// A file name without ".xml" and without the tail information framed by `before` … `after` at its end.
std::u16string name_without_tail(std::u16string_view name, std::u16string_view before, std::u16string_view after);

/// Output name stem of a unit: the longest common prefix of the file names (tail information removed), the
/// first name when that is empty, a fixed name when it is too long for the file system.
std::u16string unit_output_stem(const std::vector<std::u16string>& paths, std::u16string_view before = {},
                                std::u16string_view after = {});

/// The lists a unit consults, loaded once per job; a missing file is created with its default text.
struct ReconstructLists {
    NgList ngid;
    NgList common_ng;
    NgList ng_words;
    NgList priority_ids;
    ReplaceList replace1;
    ReplaceList replace2;
    /// Lines that were not taken, ready for the log.
    std::vector<std::u16string> problems;

    PassInputs inputs(const PassOptions& options) const;
};

ReconstructLists load_reconstruct_lists(const CSettings& settings, bool chain_by_default);

/// The report lines of a unit, each only when its count is above 0.
/// `read` counts the valid comments the files held, `written` those output; `lists` (may be null) names the
/// expression rules of the replacement lines.
std::vector<std::u16string> report_lines(const PassCounters& pass, const AfterReadingCounters& after, int read,
                                         int written, const PassOptions& options, const ReconstructLists* lists);

/// The pass on a set that is already built (the live-log converter's): "再構成\r\n" + report + the final
/// count, or "再構成では特に変更なし\r\n" when nothing was reported. The set never went through the reader,
/// so only the after-reading steps (chains, duplicates, count limit, sort) run on it.
std::u16string reconstruct_built_set(CWorkChatdata& set, const ReconstructSettings& settings,
                                     const ReconstructLists& lists);

struct ReconstructCounts {
    int succeeded = 0;
    int total = 0;
    bool stopped = false;
};

/// The reconstruction job over the worker's inputs: one unit at a time, a failing unit never stops the
/// others, nothing half-written on stop.
/// `stored` locates the list files; `settings` is the snapshot taken from it when the job was started.
ReconstructCounts run_reconstruct_job(CWorkThread& worker, const CSettings& stored,
                                      const ReconstructSettings& settings);

} // namespace quippet
