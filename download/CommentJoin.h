#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The answers of the comment server and how they are put together into one thread. Answers are hostile
// input: every position and number below is bounded by the answer it came from, and nothing here loops
// on what an answer claims.
namespace quippet {

/// One comment element of an answer: where it lies and what orders it.
struct ChatSpan {
    int no = 0;          ///< 1 or more; elements without a usable number are not kept
    long long date = -1; ///< seconds since 1970; -1 when absent or not a number
    std::uint32_t piece = 0;
    std::uint32_t length = 0;
    std::size_t begin = 0; ///< offset in its piece
};

/// What an answer says, read by substring search.
struct CommentAnswer {
    bool has_packet = false;
    /// Attributes of its first `thread` element; -1 when absent or not a number.
    long long resultcode = -1;
    long long last_res = -1;
    long long thread = -1;
    /// The text before the first comment element and the text after the last one.
    std::size_t header_end = 0;
    std::size_t footer_begin = 0;
    /// Comment elements without a usable number (skipped), and whether the last one was not closed.
    int unnumbered = 0;
    bool truncated = false;
    std::vector<ChatSpan> chats; ///< in the answer's order
};

/// Reads an answer of the comment server (UTF-8).
CommentAnswer read_comment_answer(std::string_view text);

/// The held answers of one thread and the join of their comments, ordered by number, each number once.
/// Older answers are added as pieces of their own instead of being prepended to one text, so that a walk
/// through a thread of a million comments copies every comment once, when the thread is joined.
class CommentPieces {
public:
    /// Keeps the answer; every numbered comment of it takes part in the join (where a number is held twice,
    /// the piece added first wins). Returns the number of comments it brought.
    int add(std::string answer, const CommentAnswer& read);
    /// Keeps only the comments of `answer` that lie before its comment numbered `below` and are numbered
    /// lower: what an answer at an earlier moment adds to a set whose lowest number is `below`. -1 when
    /// `below` does not occur in an answer that holds comments; else the number of comments kept (0: nothing
    /// older came, or no comment at all).
    int add_older(std::string answer, const CommentAnswer& read, int below);

    /// Takes every piece of `other` after its own (its comments lose to ours where a number is held twice).
    void absorb(CommentPieces&& other);

    bool empty() const { return count_ == 0; }
    /// Comments held, a number held twice counted twice.
    long long count() const { return count_; }
    int lowest() const { return lowest_; }
    int highest() const { return highest_; }
    /// The date of the comment with the lowest number (-1 when unknown).
    long long lowest_date() const { return lowest_date_; }
    /// The lowest number the last add brought (0 when it brought none).
    int last_added_lowest() const { return last_added_lowest_; }

    /// The header (text before the first comment) and footer of the first piece added.
    std::string header() const;
    std::string footer() const;
    /// The first piece's answer as read.
    const CommentAnswer* first_answer() const { return answers_.empty() ? nullptr : &answers_.front(); }

    /// Appends the comments numbered `from` or more to `body` in the order of their numbers, each number once,
    /// then drops every piece. Returns the number of comments written.
    long long join(int from, std::string& body);

private:
    void take(const ChatSpan& span, std::uint32_t piece);

    std::vector<std::string> texts_;
    std::vector<CommentAnswer> answers_; ///< header and footer positions of each piece; chats moved out
    std::vector<ChatSpan> spans_;
    std::vector<std::size_t> piece_first_; ///< where each piece's elements begin in spans_
    long long count_ = 0;
    int lowest_ = 0;
    int highest_ = 0;
    long long lowest_date_ = -1;
    int last_added_lowest_ = 0;
};

/// The attributes of a request for comments. Empty texts and a negative moment are left out.
struct ThreadRequest {
    std::u16string thread;
    std::u16string user_id;
    std::u16string threadkey;
    std::u16string force_184;
    long long when = -1;
    std::u16string waybackkey;
    int res_from = 1000; ///< comments asked for, newest first
    bool fork = false;   ///< the uploader's comments
};

/// Version texts the two request forms have always carried.
inline constexpr std::string_view kThreadVersion = "20061206";
inline constexpr std::string_view kPacketVersion = "20090904";

/// The single-thread request: `<thread … />`.
std::string thread_request_body(const ThreadRequest& request);
/// The packet with thread leaves for a video of `minutes` minutes: 100 comments a minute, and with
/// `with_latest` also the newest 1000.
std::string packet_request_body(const ThreadRequest& request, int minutes, bool with_latest);

} // namespace quippet
