#include "download/CommentJoin.h"

#include <algorithm>
#include <limits>

#include "comments/ChatNumbers.h"
#include "comments/ChatScan.h"
#include "text/CharArray.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr std::size_t npos = std::string_view::npos;

/// A decimal of at most 15 digits, or -1.
long long small_decimal(std::string_view text) {
    if (text.empty() || text.size() > 15) return -1;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

long long attribute_number(std::string_view tag, std::string_view name) {
    std::string_view value;
    return attribute_value(tag, name, value) ? small_decimal(value) : -1;
}

void append_attribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += value;
    out += '"';
}

void append_attribute(std::string& out, std::string_view name, std::u16string_view value) {
    append_attribute(out, name, std::string_view(to_utf8(value)));
}

void append_moment(std::string& out, const ThreadRequest& r) {
    if (r.when < 0) return;
    append_attribute(out, "when", std::to_string(r.when));
    append_attribute(out, "waybackkey", r.waybackkey);
}

void append_keys(std::string& out, const ThreadRequest& r) {
    if (!r.threadkey.empty()) append_attribute(out, "threadkey", r.threadkey);
    if (!r.force_184.empty()) append_attribute(out, "force_184", r.force_184);
}

} // namespace

CommentAnswer read_comment_answer(std::string_view text) {
    CommentAnswer a;
    a.has_packet = text.find("<packet") != npos;
    std::size_t at = text.find("<chat ");
    a.header_end = at == npos ? text.size() : at;
    a.footer_begin = a.header_end;
    const std::string_view header = text.substr(0, a.header_end);
    if (const std::size_t thread = header.find("<thread "); thread != npos) {
        const std::size_t gt = header.find('>', thread);
        const std::string_view tag = header.substr(thread, gt == npos ? npos : gt - thread);
        a.resultcode = attribute_number(tag, "resultcode");
        a.last_res = attribute_number(tag, "last_res");
        a.thread = attribute_number(tag, "thread");
    }
    // Positions are kept in 32 bits per element; an answer is far below that, but a hostile one is cut there.
    const std::size_t limit = std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max());
    while (at != npos && at < limit) {
        const int end = comment_end(text.substr(0, limit), static_cast<int>(std::min<std::size_t>(at, INT32_MAX)));
        if (end < 0) {
            a.truncated = true;
            break;
        }
        const std::size_t stop = static_cast<std::size_t>(end);
        const std::size_t gt = text.find('>', at);
        const std::string_view tag = text.substr(at, gt - at);
        const long long no = attribute_number(tag, "no");
        if (no >= 1 && no <= INT32_MAX) {
            ChatSpan span;
            span.no = static_cast<int>(no);
            span.date = attribute_number(tag, "date");
            span.begin = at;
            span.length = static_cast<std::uint32_t>(stop - at);
            a.chats.push_back(span);
        } else {
            ++a.unnumbered;
        }
        a.footer_begin = stop;
        at = text.find("<chat ", stop);
    }
    return a;
}

void CommentPieces::take(const ChatSpan& span, std::uint32_t piece) {
    ChatSpan s = span;
    s.piece = piece;
    if (count_ == 0 || s.no < lowest_) {
        lowest_ = s.no;
        lowest_date_ = s.date;
    }
    if (count_ == 0 || s.no > highest_) highest_ = s.no;
    if (last_added_lowest_ == 0 || s.no < last_added_lowest_) last_added_lowest_ = s.no;
    spans_.push_back(s);
    ++count_;
}

int CommentPieces::add(std::string answer, const CommentAnswer& read) {
    const auto piece = static_cast<std::uint32_t>(texts_.size());
    last_added_lowest_ = 0;
    for (const ChatSpan& span : read.chats)
        take(span, piece);
    piece_first_.push_back(spans_.size() - read.chats.size());
    texts_.push_back(std::move(answer));
    CommentAnswer kept = read;
    kept.chats.clear();
    kept.chats.shrink_to_fit();
    answers_.push_back(std::move(kept));
    return static_cast<int>(read.chats.size());
}

int CommentPieces::add_older(std::string answer, const CommentAnswer& read, int below) {
    std::size_t cut = read.chats.size();
    for (std::size_t i = 0; i < read.chats.size(); ++i) {
        if (read.chats[i].no == below) {
            cut = i;
            break;
        }
    }
    // An answer without any comment brought nothing older; one with comments but not the held one is no
    // continuation of what is held.
    if (read.chats.empty()) return 0;
    if (cut == read.chats.size()) return -1;
    const auto piece = static_cast<std::uint32_t>(texts_.size());
    last_added_lowest_ = 0;
    int kept = 0;
    // Whatever an answer holds out of order above the cut is held already or is not older.
    for (std::size_t i = 0; i < cut; ++i) {
        if (read.chats[i].no >= below) continue;
        take(read.chats[i], piece);
        ++kept;
    }
    if (kept == 0) return 0;
    piece_first_.push_back(spans_.size() - static_cast<std::size_t>(kept));
    texts_.push_back(std::move(answer));
    CommentAnswer header_only = read;
    header_only.chats.clear();
    header_only.chats.shrink_to_fit();
    answers_.push_back(std::move(header_only));
    return kept;
}

void CommentPieces::absorb(CommentPieces&& other) {
    const auto offset = static_cast<std::uint32_t>(texts_.size());
    for (std::size_t p = 0; p < other.texts_.size(); ++p) {
        const std::size_t first = other.piece_first_[p];
        const std::size_t end = p + 1 < other.piece_first_.size() ? other.piece_first_[p + 1] : other.spans_.size();
        piece_first_.push_back(spans_.size());
        for (std::size_t i = first; i < end; ++i)
            take(other.spans_[i], offset + static_cast<std::uint32_t>(p));
        texts_.push_back(std::move(other.texts_[p]));
        answers_.push_back(std::move(other.answers_[p]));
    }
    other = CommentPieces();
}

std::string CommentPieces::header() const {
    if (texts_.empty()) return {};
    return texts_.front().substr(0, answers_.front().header_end);
}

std::string CommentPieces::footer() const {
    if (texts_.empty()) return {};
    const std::size_t from = std::min(answers_.front().footer_begin, texts_.front().size());
    return texts_.front().substr(from);
}

long long CommentPieces::join(int from, std::string& body) {
    // Ties on the number keep the element added first: the order of addition is the second key, which
    // makes the order total, so the sort's own stability does not matter.
    // A walk adds older pieces after newer ones: laid out oldest piece first, the elements are nearly always
    // in order already, and the sort is skipped.
    std::vector<std::uint32_t> order;
    order.reserve(spans_.size());
    std::size_t bytes = 0;
    for (std::size_t p = piece_first_.size(); p-- > 0;) {
        const std::size_t end = p + 1 < piece_first_.size() ? piece_first_[p + 1] : spans_.size();
        for (std::size_t i = piece_first_[p]; i < end; ++i) {
            if (spans_[i].no < from) continue;
            order.push_back(static_cast<std::uint32_t>(i));
            bytes += spans_[i].length;
        }
    }
    auto before = [&](std::uint32_t a, std::uint32_t b) {
        return spans_[a].no != spans_[b].no ? spans_[a].no < spans_[b].no : a < b;
    };
    bool sorted = true;
    for (std::size_t i = 1; i < order.size() && sorted; ++i)
        sorted = before(order[i - 1], order[i]);
    if (!sorted) {
        comb_sort(
            static_cast<int>(order.size()),
            [&](int a, int b) {
                return before(order[static_cast<std::size_t>(a)], order[static_cast<std::size_t>(b)]);
            },
            [&](int a, int b) { std::swap(order[static_cast<std::size_t>(a)], order[static_cast<std::size_t>(b)]); });
    }
    body.reserve(body.size() + bytes);
    long long written = 0;
    int previous = 0;
    for (std::uint32_t i : order) {
        const ChatSpan& s = spans_[i];
        if (written > 0 && s.no == previous) continue;
        body.append(texts_[s.piece], s.begin, s.length);
        previous = s.no;
        ++written;
    }
    texts_.clear();
    texts_.shrink_to_fit();
    answers_.clear();
    piece_first_.clear();
    spans_.clear();
    spans_.shrink_to_fit();
    count_ = 0;
    return written;
}

std::string thread_request_body(const ThreadRequest& r) {
    std::string out = "<thread";
    append_moment(out, r);
    append_attribute(out, "user_id", r.user_id);
    append_attribute(out, "res_from", "-" + std::to_string(std::max(1, r.res_from)));
    append_attribute(out, "version", kThreadVersion);
    append_attribute(out, "thread", r.thread);
    append_keys(out, r);
    append_attribute(out, "scores", std::string_view("1"));
    if (r.fork) append_attribute(out, "fork", std::string_view("1"));
    out += "/>";
    return out;
}

std::string packet_request_body(const ThreadRequest& r, int minutes, bool with_latest) {
    std::string out = "<packet><thread";
    append_moment(out, r);
    append_attribute(out, "user_id", r.user_id);
    append_attribute(out, "version", kPacketVersion);
    append_attribute(out, "thread", r.thread);
    append_attribute(out, "scores", std::string_view("1"));
    append_keys(out, r);
    out += "/><thread_leaves";
    append_moment(out, r);
    append_attribute(out, "thread", r.thread);
    append_attribute(out, "user_id", r.user_id);
    append_attribute(out, "scores", std::string_view("1"));
    append_keys(out, r);
    out += ">0-" + std::to_string(minutes) + ":100";
    if (with_latest) out += ",1000";
    out += "</thread_leaves></packet>";
    return out;
}

} // namespace quippet
