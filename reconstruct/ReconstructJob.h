#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comments/ChatWriter.h"
#include "reconstruct/PassAfterReading.h"
#include "reconstruct/PartMerge.h"
#include "reconstruct/PassChain.h"
#include "reconstruct/SplitCut.h"

namespace quippet {

class CSettings;
class CWorkThread;

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
    /// "指定場所に保存" with a video: the output is this path with ".xml" for its extension.
    std::u16string video_path;

    /// The four rule stages in the order priority ("優先条件："), pre ("前変換："), post ("後変換："),
    /// individual ("個変換："): the file of each enabled stage, empty when the stage is off.
    std::array<std::u16string, 4> stage_files;
    /// The command vocabulary, read when a stage or a derived sort key needs it.
    std::u16string vocabulary_file;

    /// "合成時は連結する（パート分割の合成）" and "可能ならネットから取得".
    bool part_merge = false;
    bool length_from_net = false;
    int net_wait_seconds = 0;
    /// Asked for video lengths when the files do not tell; null: nobody can answer.
    std::shared_ptr<VideoLengthProvider> lengths;

    /// "処理リストを保存" and which lists to save.
    struct SavedLists {
        bool ngid = false, ng_word = false, common_ng = false, invalid_char = false, length = false, score = false,
             duplicates = false, thinning = false, ng_chain = false, command_chain = false, command_output = false;
    };
    bool save_lists = false;
    SavedLists saved;

    bool needs_vocabulary() const;
};

/// Stage indexes of ReconstructSettings::stage_files.
enum RuleStage : int { kStagePriority = 0, kStagePre = 1, kStagePost = 2, kStageIndividual = 3 };

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
    std::vector<FuzzyRule> fuzzy_rules;
    CommandVocabulary vocabulary;
    /// Lines that were not taken, ready for the log.
    std::vector<std::u16string> problems;

    PassInputs inputs(const PassOptions& options) const;
};

/// The settings snapshot tells which of the optional files (fuzzy rules, vocabulary) are needed.
ReconstructLists load_reconstruct_lists(const CSettings& settings, const ReconstructSettings& snapshot);

/// The pass on a set that is already built (the live-log converter's): "再構成\r\n" + report + the final
/// count, or "再構成では特に変更なし\r\n" when nothing was reported. The set never went through the reader,
/// so only the after-reading steps (chains, duplicates, count limit, sort) run on it.
std::u16string reconstruct_built_set(CWorkChatdata& set, const ReconstructSettings& settings,
                                     const ReconstructLists& lists);

/// Units that succeeded, units in all, and whether the job was stopped: the same record the split and cut
/// jobs give.
using ReconstructCounts = JobCounts;

/// The reconstruction job over the worker's inputs: one unit at a time, a failing unit never stops the
/// others, nothing half-written on stop.
/// `stored` locates the list files; `settings` is the snapshot taken from it when the job was started.
ReconstructCounts run_reconstruct_job(CWorkThread& worker, const CSettings& stored,
                                      const ReconstructSettings& settings);

} // namespace quippet
