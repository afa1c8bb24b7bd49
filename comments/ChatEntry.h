#pragma once

#include "text/CharBuffer.h"

/// What the `premium` attribute says about who posted a comment.
namespace premium {
inline constexpr int kPremiumMember = 1;
inline constexpr int kSystem = 2;      ///< the service's own messages
inline constexpr int kBroadcaster = 3; ///< the broadcaster of a live programme
constexpr bool is_premium_member(int premium) {
    return premium == kPremiumMember;
}
constexpr bool is_system(int premium) {
    return premium == kSystem;
}
constexpr bool is_broadcaster(int premium) {
    return premium == kBroadcaster;
}
/// The service's operators post under 6 and 7.
constexpr bool is_operator(int premium) {
    return premium == 6 || premium == 7;
}
} // namespace premium

/// One parsed `chat` element on its way into a comment set. The reader refills a single entry for every
/// comment of a file, so its buffers are allocated once and reused.
struct ChatEntry {
    CCharW user_id;
    CCharW mail;
    /// The comment text with its entities still escaped, as it stands in the file.
    CCharW text;
    /// A copy of `text` for the filter chain to rewrite (command and text transforms work on it); the
    /// reader fills it only when a filter is installed, and the set never stores it.
    CCharW work_text;
    CCharW locale;
    int vpos = 0;
    int date = 0;
    /// 1 for an ordinary comment, 0 for a priority comment that most filters and limits leave alone.
    int filterable = 1;
    int score = 0;
    int thread = 0;
    int premium = 0;
    int anonymity = 0;
    int fork = 0;
    int leaf = 0;
    /// -1 when the element has no usable `no`.
    int no = -1;
    int deleted = 0;

    /// Back to the state of a fresh entry, keeping the buffers.
    void clear() {
        user_id.clear();
        mail.clear();
        text.clear();
        work_text.clear();
        locale.clear();
        vpos = date = score = thread = premium = anonymity = fork = leaf = deleted = 0;
        filterable = 1;
        no = -1;
    }
};
