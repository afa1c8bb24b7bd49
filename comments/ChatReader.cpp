#include "comments/ChatReader.h"

#include "resources/MessageIds.h"

#include <algorithm>
#include <cstring>

#include "comments/BlankScan.h"
#include "comments/ChatNumbers.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr size_t npos = std::string_view::npos;

enum Attr : int {
    kNo,
    kVpos,
    kDate,
    kMail,
    kUserId,
    kLocale,
    kScore,
    kThread,
    kPremium,
    kAnonymity,
    kFork,
    kLeaf,
    kDeleted,
    kAttrCount
};
constexpr uint32_t kAllSettled = (1u << kAttrCount) - 1;

/// The kept attributes of one start tag, each found as the first blank + name + `="` with the value up to
/// the next quote, exactly as a search for each name would find it, but in one pass over the tag.
struct TagValues {
    std::string_view value[kAttrCount];
    uint32_t found = 0;

    bool has(Attr a) const { return (found >> a) & 1u; }
};

/// Which attribute starts at `name` (just after a blank), and the length of its name; -1 when none.
int attribute_at(const char* name, const char* end, size_t& length) {
    auto is = [&](std::string_view n) {
        if (static_cast<size_t>(end - name) < n.size() + 2) return false;
        // The first byte chose the case; names are a few bytes, so comparing in place beats memcmp.
        for (size_t k = 1; k < n.size(); ++k)
            if (name[k] != n[k]) return false;
        if (name[n.size()] != '=' || name[n.size() + 1] != '"') return false;
        length = n.size();
        return true;
    };
    switch (*name) {
    case 'n':
        return is("no") ? kNo : -1;
    case 'v':
        return is("vpos") ? kVpos : -1;
    case 'd':
        return is("date") ? kDate : (is("deleted") ? kDeleted : -1);
    case 'm':
        return is("mail") ? kMail : -1;
    case 'u':
        return is("user_id") ? kUserId : -1;
    case 'l':
        return is("locale") ? kLocale : (is("leaf") ? kLeaf : -1);
    case 's':
        return is("score") ? kScore : -1;
    case 't':
        return is("thread") ? kThread : -1;
    case 'p':
        return is("premium") ? kPremium : -1;
    case 'a':
        return is("anonymity") ? kAnonymity : -1;
    case 'f':
        return is("fork") ? kFork : -1;
    default:
        return -1;
    }
}

void scan_tag(std::string_view tag, TagValues& out) {
    // Absent attributes read as empty, never as what the previous comment had.
    for (auto& value : out.value)
        value = {};
    out.found = 0;
    uint32_t settled = 0;
    const char* const begin = tag.data();
    const char* const end = begin + tag.size();
    // Blanks inside values are looked at too: a search for ` mail="` would find one there as well. So every
    // blank is visited in order until each attribute is settled. False ends the visit.
    auto at_blank = [&](const char* blank) {
        if (end - blank < 2) return false;
        const char* p = blank + 1;
        size_t length = 0;
        const int which = attribute_at(p, end, length);
        if (which < 0 || ((settled >> which) & 1u)) return true;
        settled |= 1u << which;
        const char* from = p + length + 2;
        const auto* quote = static_cast<const char*>(std::memchr(from, '"', static_cast<size_t>(end - from)));
        // Without its closing quote the first occurrence reads as absent, and no later one can do better.
        if (!quote) return settled != kAllSettled;
        out.value[which] = std::string_view(from, static_cast<size_t>(quote - from));
        out.found |= 1u << which;
        return settled != kAllSettled;
    };
    for_each_blank(begin, end, at_blank);
}

/// Absent or empty: 0. Otherwise a decimal, or 0 and one more malformed value counted.
int read_number(const TagValues& tag, Attr a, ChatNumberAttribute counter, ChatReadStats& stats) {
    if (!tag.has(a) || tag.value[a].empty()) return 0;
    int value = 0;
    if (chatnum::parse_int(tag.value[a], value)) return value;
    ++stats.malformed[static_cast<size_t>(counter)];
    return 0;
}

void decode(std::string_view bytes, CCharW& out) {
    out.clear();
    if (bytes.empty()) return;
    out.reserve(static_cast<int>(bytes.size()));
    out.set_length(static_cast<int>(decode_utf8_into(bytes, out.data())));
}

/// Fills `entry` from one start tag and its text. false when the comment is rejected (and counted).
bool parse_comment(std::string_view text, const TagValues& tag, ChatEntry& entry, ChatReadContext& context) {
    ChatReadStats& stats = context.stats;
    entry.score = read_number(tag, kScore, ChatNumberAttribute::score, stats);
    entry.thread = read_number(tag, kThread, ChatNumberAttribute::thread, stats);
    entry.premium = read_number(tag, kPremium, ChatNumberAttribute::premium, stats);
    entry.anonymity = read_number(tag, kAnonymity, ChatNumberAttribute::anonymity, stats);
    entry.fork = read_number(tag, kFork, ChatNumberAttribute::fork, stats);
    entry.leaf = read_number(tag, kLeaf, ChatNumberAttribute::leaf, stats);
    entry.deleted = read_number(tag, kDeleted, ChatNumberAttribute::deleted, stats);

    if (!chatnum::parse_int(tag.value[kVpos], entry.vpos) || (entry.vpos < 0 && !context.keep_negative_vpos)) {
        ++stats.vpos_rejected;
        return false;
    }
    if (!tag.has(kDate) || !chatnum::parse_uint(tag.value[kDate], entry.date)) {
        ++stats.date_rejected;
        return false;
    }
    if (!tag.has(kNo) || !chatnum::parse_uint(tag.value[kNo], entry.no)) entry.no = -1;
    decode(tag.value[kMail], entry.mail);
    decode(tag.value[kUserId], entry.user_id);
    decode(tag.value[kLocale], entry.locale);
    decode(text, entry.text);
    entry.filterable = 1;
    return true;
}

} // namespace

// The document stays UTF-8: only the values a comment keeps are decoded, so a large file never exists
// as UTF-16 next to its bytes.
int read_comments(std::string_view doc, CWorkChatdata& set, int source, ChatReadContext& context) {
    const size_t first = doc.find("<chat ");
    if (first == npos) {
        context.error = msg::kMarkerMissing;
        return -1;
    }
    // Self-closing comments may follow the last full one; each must be closed by "/>". A file of nothing but
    // self-closing comments is read too: the writer closes every comment without text that way, so a file of
    // deleted comments it wrote must read back.
    const size_t end = comments_end(doc);
    if (end == npos) {
        context.error = msg::kUnexpectedFormat;
        return -1;
    }
    const std::string_view comments = doc.substr(first, end - first);
    if (context.filter) context.filter->begin_file(comments, source);

    const int before = set.count();
    ChatEntry entry;
    TagValues tag;
    int min_date = 0, max_date = 0, dates = 0;
    size_t pos = 0;
    while (true) {
        // Markup between comments (a stray num_click, an XML comment) is passed over, never taken for one.
        const size_t lt = comments.find("<chat ", pos);
        if (lt == npos) break;
        const size_t gt = comments.find('>', lt);
        if (gt == npos) break;
        const std::string_view tag_text = comments.substr(lt, gt - lt);
        std::string_view text;
        if (tag_text.back() == '/') {
            pos = gt + 1;
        } else {
            const size_t close = comments.find("</chat>", gt + 1);
            // A start tag whose text never ends: what was read so far stays.
            if (close == npos) break;
            text = comments.substr(gt + 1, close - gt - 1);
            pos = close + 7;
        }
        scan_tag(tag_text, tag);
        // The file's date range counts every comment's date, valid or not, as a scan of the text would.
        int date = 0;
        if (tag.has(kDate) && chatnum::parse_int(tag.value[kDate], date)) {
            min_date = dates == 0 ? date : std::min(min_date, date);
            max_date = dates == 0 ? date : std::max(max_date, date);
            ++dates;
        }
        if (!tag.has(kVpos)) {
            ++context.stats.vpos_missing;
        } else if (parse_comment(text, tag, entry, context)) {
            bool keep = true;
            if (context.filter) {
                entry.work_text.assign(entry.text.view());
                keep = context.filter->keep(entry, set, source);
            }
            if (keep) set.add(entry, source);
        }
        if (context.stop_requested && context.stop_requested()) return -3;
    }

    const int added = set.count() - before;
    if (added <= 0) {
        context.error = msg::kNoValidComments;
        return -2;
    }
    set.record_date_range(min_date, max_date, dates);
    if (context.header) parse_header(doc.substr(0, first), *context.header, context.id_separator);
    // Without any full comment, what follows the last "</chat>" would be the whole file, header included.
    if (context.footer) parse_footer(doc.substr(std::max(footer_start(doc), first)), *context.footer);
    if (context.filter) context.filter->end_file(set, source, added);
    return added;
}

int read_comment_file(std::u16string_view path, CWorkChatdata& set, int source, ChatReadContext& context) {
    CFileBytes bytes;
    CFileSP file;
    if (file.read(path, bytes) != 0) {
        context.error = file.error();
        return -1;
    }
    return read_comments(bytes.view(), set, source, context);
}

} // namespace quippet
