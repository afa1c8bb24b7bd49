#pragma once

#include <string>
#include <string_view>

#include "text/CharArray.h"

namespace quippet {

/// The header and footer of a comment file around its comments, and the body between them. A job keeps
/// them as three UTF-8 texts (CWorkThread::header, body, footer); this bundles references to them.
struct CommentTexts {
    std::string& header;
    std::string& body;
    std::string& footer;
};

/// What the `thread` and `view_counter` elements (and the XML comments) of one or more headers say, merged:
/// lists are unions of unique values, numbers keep their maximum.
class ChatHeaderRecord {
public:
    ChatHeaderRecord() = default;
    ChatHeaderRecord(const ChatHeaderRecord&) = default;
    ChatHeaderRecord& operator=(const ChatHeaderRecord&) = default;
    virtual ~ChatHeaderRecord() = default;

    /// Adds a thread id and raises `video` to at least `video_count` (for a converted live log).
    void add_thread(std::u16string_view id, int video_count);
    /// Keeps `value` for the external player that reads it, as a "BoonSutazioData" XML comment.
    void add_player_data(std::u16string_view value);

    CCharArrayW thread_ids;
    CCharArrayW view_counter_ids;
    CCharArrayW tickets;
    /// Whole XML comments, "<!--" to "-->".
    CCharArrayW comments;
    int mylist = -1;
    int video = 0;
    int server_time = -1;
    int resultcode = -1;
    int revision = -1;
    int click_revision = -1;
    int last_res = 0;
    int num_clicks = -1;
};

/// The elements after the last comment of one or more files, each kept as read, unique.
class ChatFooterRecord {
public:
    ChatFooterRecord() = default;
    ChatFooterRecord(const ChatFooterRecord&) = default;
    ChatFooterRecord& operator=(const ChatFooterRecord&) = default;
    virtual ~ChatFooterRecord() = default;

    CCharArrayW num_clicks;
    /// Other elements before "</packet>" and after it.
    CCharArrayW before_packet;
    CCharArrayW after_packet;
    /// "<name>" of every other element, for the job report.
    CCharArrayW names;
};

/// Cuts a whole file into header (before the first "<chat "), body (from there up to the last
/// "</packet>", left in `text`) and footer (from the last "</packet>"). 0, or -1 with code 6 when either
/// marker is missing; `text` is then unchanged.
int split_comment_file(std::string& text, std::string& header, std::string& footer, int* error = nullptr);

/// Merges the header text of one file into `record`. Several ids in one attribute are split at
/// `id_separator`; the id "0" means none. Values that are not numbers leave their field alone.
void parse_header(std::string_view header, ChatHeaderRecord& record, std::u16string_view id_separator);

/// Merges the elements after the last "</chat>" of `text` (the whole text when it has none) into `record`.
void parse_footer(std::string_view text, ChatFooterRecord& record);

/// Where the trailing elements begin: just past the last "</chat>", or 0 when there is none.
size_t footer_start(std::string_view text);

/// Just past the last comment element: the last "</chat>", or a self-closing comment after it. 0 when there
/// is no "</chat>" and no self-closing comment; npos when a comment after the last "</chat>" is not closed
/// by "/>".
size_t comments_end(std::string_view text);

} // namespace quippet
