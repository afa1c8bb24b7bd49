#pragma once

#include <array>
#include <string_view>

namespace quippet {

/// Number of job kinds with a slot of their own; kinds are 0 .. job_kind_count - 1.
inline constexpr int job_kind_count = 23;

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
};

/// Properties of a kind, or nullptr when the kind has no slot.
const JobKindInfo* job_kind_info(int kind);

/// Reconstruction (2) and live-log conversion (3) share the comment pass and never run together.
constexpr bool is_paired_kind(int kind) {
    return kind == 2 || kind == 3;
}

/// End message shown for a kind; kinds past the table share a generic text, negative kinds mean
/// the end message could not be attributed to any kind.
std::u16string_view job_end_message(int kind);

/// Whether a job of `kind` may start while `running` jobs of each kind are active.
bool may_admit(const std::array<int, job_kind_count>& running, int kind);

} // namespace quippet
