#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "comments/ChatEntry.h"
#include "comments/ChatFileParts.h"
#include "comments/WorkChatdata.h"

namespace quippet {

/// Index into ChatReadStats::malformed.
enum class ChatNumberAttribute : int { score, thread, premium, anonymity, fork, leaf, deleted };

/// What the reader dropped or repaired; it adds to these, so one set of counts can span a job's files.
struct ChatReadStats {
    /// Start tags without a vpos attribute (skipped).
    int vpos_missing = 0;
    /// vpos not a decimal, or negative when negative positions are not kept (rejected).
    int vpos_rejected = 0;
    /// date absent or not a non-negative decimal (rejected).
    int date_rejected = 0;
    /// Present, non-empty values that are not decimals; the comment is kept with 0.
    std::array<int, 7> malformed{};

    int malformed_count(ChatNumberAttribute a) const { return malformed[static_cast<size_t>(a)]; }
};

/// Where the filter chain plugs into the reader.
class ChatFilter {
public:
    virtual ~ChatFilter() = default;
    /// Sees the comment elements of a file (UTF-8, from its first "<chat ") before any of them is added.
    virtual void begin_file(std::string_view /*comments*/, int /*source*/) {}
    /// Decides whether a valid comment is added to `set`; it may rewrite the entry (its filterable flag,
    /// texts, position …) first and keep its own lists of what it turned away.
    virtual bool keep(ChatEntry& entry, CWorkChatdata& set, int source) = 0;
    /// After a file of which `added` (≥ 1) comments were added.
    virtual void end_file(CWorkChatdata& /*set*/, int /*source*/, int /*added*/) {}
};

/// A job's side of a read: its error slot, its stop request, its statistics and its settings.
struct ChatReadContext {
    /// Result code of the last failure.
    int error = 0;
    /// Asked after every comment; true ends the read with -3.
    std::function<bool()> stop_requested;
    /// Without a filter every valid comment is added as a filterable one.
    ChatFilter* filter = nullptr;
    bool keep_negative_vpos = true;
    ChatReadStats stats;
    /// When given, the header and the trailing elements of every file read successfully are merged in.
    ChatHeaderRecord* header = nullptr;
    ChatFooterRecord* footer = nullptr;
    std::u16string id_separator = u",";
};

/// Adds the `chat` elements of a comment file's UTF-8 text to `set`, marked with `source`. Returns the
/// number added; -1 with code 6 (no "<chat ") or 7 (a comment after the last "</chat>" that is not
/// self-closed); -2 with code 33 when no comment was added; -3 when the job was stopped.
int read_comments(std::string_view utf8, CWorkChatdata& set, int source, ChatReadContext& context);

/// Loads the file (at most 262,144,000 bytes; codes 9 and 11) and reads it as read_comments does.
int read_comment_file(std::u16string_view path, CWorkChatdata& set, int source, ChatReadContext& context);

} // namespace quippet
