#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quippet {

/// The kinds of job, each with a slot of its own in the frame. The numbers are the program's own: they
/// travel in the end message of every job and key the running counters, so they are never renumbered.
enum class JobKind : int {
    kSplit = 0,          ///< reconstruction tab, "分割"
    kCut = 1,            ///< reconstruction tab, "切り出し"
    kReconstruct = 2,    ///< reconstruction tab, "再構成"
    kLiveLog = 3,        ///< live-log tab, "変換"
    kDownload = 4,       ///< download tab; may start sub-workers
    kRegisterSpare = 5,  ///< no starter; keeps its slot and end message
    kChainDownload = 6,  ///< IDs found in video descriptions, followed
    kSearchRegister = 7, ///< search results into the download list
    kRegister = 8,       ///< items into the download list
    kSpecialDownload = 9,
    kLogin = 10,
    kUpdateCheck = 11,       ///< bookmark tree
    kLocalFiles = 12,        ///< local files into the download list
    kWarehouseSearch = 13,   ///< log warehouses, results sent to a 2ch browser
    kFolderState = 14,       ///< bookmark tree
    kFolderStateAuto = 15,   ///< bookmark tree read-ahead
    kFolderStateOther = 16,  ///< bookmark tree, second starter
    kThumbnails = 17,        ///< download list thumbnails
    kListRefresh = 18,       ///< download list display refresh
    kLocalFilesOther = 19,   ///< local files, second variant
    kBlankItemRegister = 20, ///< registration starting from a blank item
    kListFileRegister = 21,  ///< download list from a list file
    kListRegister = 22,      ///< download list registration
    /// The command line's read-only scan of comment files. Not one of the window's kinds, so it has
    /// the generic end message of numbers past them; it may run beside anything.
    kScan = 23,
};

/// Number of job kinds with a slot of their own; kinds are 0 .. job_kind_count - 1.
inline constexpr int job_kind_count = 24;

constexpr int to_int(JobKind kind) {
    return static_cast<int>(kind);
}

/// The kind a number names, for numbers that arrive from outside (end messages); nullopt without a slot.
constexpr std::optional<JobKind> job_kind_from_int(int number) {
    if (number < 0 || number >= job_kind_count) return std::nullopt;
    return static_cast<JobKind>(number);
}

/// Fixed properties of one job kind.
struct JobKindInfo {
    std::u16string_view end_message;
    /// Several jobs of this kind may be running at the same time.
    bool concurrent = false;
    /// Waits while any other exclusive job runs.
    bool exclusive = false;
    /// The download tab refreshes its item count when the job ends.
    bool update_item_count = false;
    /// The download tab runs its after-registration step when the job ends (if enabled there).
    bool after_registration = false;
    /// Shares the comment pass with the other paired kind, so the two never run together.
    bool paired = false;
};

/// Properties of a kind.
const JobKindInfo& job_kind_info(JobKind kind);

/// End message shown for a kind number; numbers past the table share a generic text, negative numbers
/// mean the end message could not be attributed to any kind.
std::u16string_view job_end_message(int kind);

/// Whether a job of `kind` may start while `running` jobs of each kind are active.
bool may_admit(const std::array<int, job_kind_count>& running, JobKind kind);

} // namespace quippet
