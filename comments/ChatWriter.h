#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "comments/ChatFileParts.h"
#include "comments/ChatScan.h"
#include "comments/WorkChatdata.h"
#include "text/CharBuffer.h"

namespace quippet {

/// How comment files are written (the reconstruction settings). user_id, date, vpos and no are always
/// written; the other attributes only when their switch is on and they hold something.
struct ChatWriterOptions {
    bool write_thread = false;
    bool write_score = false;
    bool write_premium = false;
    bool write_anonymity = false;
    bool write_fork = false;
    bool write_leaf = false;
    bool write_locale = false;
    bool write_deleted = false;
    /// Write `mail` even when it is empty.
    bool write_empty_mail = false;
    /// Several thread, view_counter and ticket ids joined by `id_separator`; otherwise only the first.
    bool join_header_values = false;
    std::u16string id_separator = u",";
    /// `ticket` even when empty.
    bool always_write_ticket = false;
    /// Comments keep their own `no` instead of being numbered 1, 2, 3 … in output order.
    bool keep_own_numbers = false;
    bool drop_num_click = false;
    /// Rebuild the footer of a single file even when it is complete.
    bool rebuild_footer = false;
};

/// Number argument of write_chat that stands for the comment's own `no`.
inline constexpr int kOwnNumber = -2;

/// Replaces `out` by comment i as a `chat` element ending in "\n". `number` is written as the `no`;
/// kOwnNumber takes the comment's own, which is left out when it is -1.
void write_chat(const CWorkChatdata& set, int i, int number, const ChatWriterOptions& options, CCharW& out);

/// Replaces `out` by the XML declaration, the header's XML comments, "<packet>", the `thread` and the
/// `view_counter` element, each followed by `line_end`.
void write_header(const ChatHeaderRecord& record, const ChatWriterOptions& options, std::string_view line_end,
                  std::string& out);

/// Replaces `out` by the num_click elements (unless dropped, or `keep_num_click` is off), the other elements,
/// "</packet>" and what followed it, each followed by `line_end`. `names` receives the other elements'
/// names joined by blanks.
void write_footer(const ChatFooterRecord& record, const ChatWriterOptions& options, std::string_view line_end,
                  bool keep_num_click, std::string& out, std::u16string* names = nullptr);

/// Replaces `body` by every comment of the set in its current order, numbered 1, 2, 3 … unless
/// keep_own_numbers is on. Asks `stop_requested` after each comment: a stop gives -1 with code 36 and an
/// empty body. 0 on success.
int write_body(const CWorkChatdata& set, const ChatWriterOptions& options, const std::function<bool()>& stop_requested,
               std::string& body, int* error = nullptr);

/// The output of a reconstruction: the merged header (line end "\n"), the body as write_body makes it, and
/// the merged footer, whose num_click elements stay only when comments keep their own numbers.
int write_reconstructed(const CWorkChatdata& set, const ChatHeaderRecord& header, const ChatFooterRecord& footer,
                        const ChatWriterOptions& options, const std::function<bool()>& stop_requested, CommentTexts out,
                        int* error = nullptr);

/// Writes a whole set as a file of its own (a list of removed comments, a rule's output): sorted by source,
/// filterable, user_id and date, each comment with its own number, a fresh header and "</packet>". The name
/// is `output_path` without a trailing ".xml", then `suffix`; an existing file is overwritten. An empty set
/// writes nothing: -1 with code 33. Write failures leave the file codes.
int write_chat_set(CWorkChatdata& set, std::u16string_view output_path, std::u16string_view suffix,
                   const ChatWriterOptions& options, int* error = nullptr, std::u16string* written_as = nullptr);

/// Keeps a header that starts with the XML declaration, has "<packet>", a `thread` element and a
/// `view_counter` with a numeric `video`; otherwise rebuilds it from what it holds. 1 when rebuilt.
int ensure_header(CommentTexts texts, const ChatWriterOptions& options);

/// Keeps a footer that holds "</packet>" (unless rebuild_footer is on); otherwise rebuilds it from what it
/// holds. 1 when rebuilt.
int ensure_footer(CommentTexts texts, const ChatWriterOptions& options);

/// How a saved comment file is named: base + prefix + fragment + extension, the fragment framed by
/// `before` and `after` and made of the caller's text, the number range and the date range, joined by
/// `separator` (each part only when present).
struct SaveNaming {
    /// A folder with its trailing "/", or a path without extension chosen by the caller.
    std::u16string base;
    std::u16string prefix;
    std::u16string extension = u".xml";
    std::u16string caller_text;
    bool number_range = false;
    /// The caller wants the number range whatever `number_range` says.
    bool require_number_range = false;
    /// Numbers are zero-padded to this many digits.
    int number_width = 0;
    /// Always add the comment count to the number range.
    bool always_count = false;
    bool date_range = false;
    std::u16string separator = u" ";
    std::u16string before;
    std::u16string after;
};

struct SaveRequest {
    SaveNaming naming;
    /// CFileSP collision policy.
    int policy = 0;
    /// Under the overwrite policy, a name that is one of `inputs` switches to a numbered name.
    bool protect_inputs = true;
    std::vector<std::u16string> inputs;
    /// scan_body_facts of the body's comments when the caller has them already, else found here.
    const BodyFacts* facts = nullptr;
};

/// The name fragment for a body: caller text, number range, date range (see SaveNaming). -1 with code 23
/// when a date cannot be formatted.
int save_name_fragment(std::string_view body, const SaveNaming& naming, std::u16string& fragment, int* error = nullptr);
/// The same from the facts of the body's comments (body_facts).
int save_name_fragment(const BodyFacts& facts, const SaveNaming& naming, std::u16string& fragment,
                       int* error = nullptr);
/// scan_body_facts over the comments of a body, the trailing elements left out: they carry numbers of
/// their own.
BodyFacts body_facts(std::string_view body);

/// Saves header + body + footer as a comment file: `last_res` becomes the largest comment number,
/// `num_clicks` the number of num_click elements (both removed with `click_revision` when there is none),
/// then the file is named and written. 0, or -1 with code 6 (no `thread` element), 23 or a file code.
int save_comment_file(CommentTexts texts, const SaveRequest& request, int* error = nullptr,
                      std::u16string* written_as = nullptr);

} // namespace quippet
