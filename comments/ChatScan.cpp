#include "comments/ChatScan.h"

#include <algorithm>
#include <cstring>

#include "comments/BlankScan.h"
#include "comments/ChatNumbers.h"
#include "resources/MessageIds.h"

namespace quippet {
namespace {

constexpr size_t npos = std::string_view::npos;
/// The back and tail searches look at this many bytes first: what they want is nearly always there.
constexpr size_t kNearWindow = 4096;

void set_error(int* error, int code) {
    if (error) *error = code;
}

/// Calls `f(value)` for each ` name="value"` with a closing quote, in document order.
template <typename F> void each_attribute(std::string_view doc, std::string_view name, F f) {
    std::string prefix;
    prefix.reserve(name.size() + 3);
    prefix += ' ';
    prefix += name;
    prefix += "=\"";
    size_t at = doc.find(prefix);
    while (at != npos) {
        const size_t from = at + prefix.size();
        const size_t end = doc.find('"', from);
        if (end == npos) return;
        f(doc.substr(from, end - from));
        at = doc.find(prefix, end + 1);
    }
}

/// Calls `f(k, value)` for each ` names[k]="value"` with a closing quote. For every name the matches are
/// those each_attribute finds for it alone: a name is looked for again only after its last value, however
/// the others' matches lie.
template <size_t N, typename F> void each_attribute_of(std::string_view doc, const std::string_view (&names)[N], F f) {
    size_t resume[N] = {};
    bool ended[N] = {};
    size_t active = N;
    const char* const s = doc.data();
    const size_t n = doc.size();
    auto at_blank = [&](size_t p) {
        if (p + 1 >= n) return;
        for (size_t k = 0; k < N; ++k) {
            // Most blanks start no name at all: the first letter settles that before anything else.
            if (s[p + 1] != names[k][0] || ended[k] || p < resume[k]) continue;
            const std::string_view name = names[k];
            if (n - p < name.size() + 3 || std::memcmp(s + p + 1, name.data(), name.size()) != 0 ||
                s[p + 1 + name.size()] != '=' || s[p + 2 + name.size()] != '"')
                continue;
            const size_t from = p + name.size() + 3;
            const void* quote = std::memchr(s + from, '"', n - from);
            if (!quote) {
                ended[k] = true;
                --active;
                continue;
            }
            const size_t end = static_cast<size_t>(static_cast<const char*>(quote) - s);
            f(k, doc.substr(from, end - from));
            resume[k] = end + 1;
        }
    };
    for_each_blank(s, s + n, [&](const char* blank) {
        at_blank(static_cast<size_t>(blank - s));
        return active > 0;
    });
}

/// One value of a number scan, as scan_numbers takes it.
void take_number(std::string_view value, NumberScan& scan) {
    int n = 0;
    if (!chatnum::parse_uint(value, n)) return;
    if (scan.count == 0) {
        scan.first = n;
    } else if (static_cast<long long>(scan.last) + 1 != n) {
        scan.error = msg::kNumbersNotContiguous;
    }
    scan.last = n;
    ++scan.count;
    if (n == 0) return;
    // min is 0 only until the first number other than 0.
    const bool any_nonzero = scan.max != 0;
    scan.min = any_nonzero ? std::min(scan.min, n) : n;
    scan.max = any_nonzero ? std::max(scan.max, n) : n;
}

/// One value of an attribute range, as attribute_range takes it.
void take_range_value(std::string_view value, AttributeRange& range, bool& any) {
    ++range.count;
    int v = 0;
    if (!chatnum::parse_int(value, v)) return;
    range.min = any ? std::min(range.min, v) : v;
    range.max = any ? std::max(range.max, v) : v;
    any = true;
}

/// Last `c` before `end`, looking at the near window before the whole text.
size_t rfind_near(std::string_view doc, char c, size_t end) {
    const size_t window_start = end > kNearWindow ? end - kNearWindow : 0;
    const size_t near = doc.substr(window_start, end - window_start).rfind(c);
    if (near != npos) return window_start + near;
    return window_start == 0 ? npos : doc.substr(0, window_start).rfind(c);
}

struct TagSpan {
    size_t start = npos;
    size_t end = npos; ///< position of the closing ">"
};

/// The first `thread` start tag; start is npos when there is none, end is npos when it is not closed.
TagSpan thread_tag(std::string_view doc) {
    TagSpan tag;
    tag.start = doc.find("<thread ");
    if (tag.start != npos) tag.end = doc.find('>', tag.start);
    return tag;
}

struct ValueSpan {
    size_t attr = npos; ///< the blank before the name
    size_t from = npos;
    size_t end = npos; ///< the closing quote
};

ValueSpan value_in(std::string_view tag_text, std::string_view name) {
    ValueSpan span;
    for (size_t at = tag_text.find(' '); at != npos; at = tag_text.find(' ', at + 1)) {
        const std::string_view rest = tag_text.substr(at + 1);
        if (rest.size() > name.size() + 1 && rest.starts_with(name) && rest[name.size()] == '=' &&
            rest[name.size() + 1] == '"') {
            const size_t from = at + 1 + name.size() + 2;
            const size_t end = tag_text.find('"', from);
            if (end == npos) return span;
            span.attr = at;
            span.from = from;
            span.end = end;
            return span;
        }
    }
    return span;
}

} // namespace

bool attribute_value(std::string_view tag, std::string_view name, std::string_view& value) {
    const ValueSpan span = value_in(tag, name);
    if (span.from == npos) return false;
    value = tag.substr(span.from, span.end - span.from);
    return true;
}

int count_vpos(std::string_view doc) {
    int n = 0;
    each_attribute(doc, "vpos", [&](std::string_view) { ++n; });
    return n;
}

AttributeRange attribute_range(std::string_view doc, std::string_view name) {
    AttributeRange range;
    bool any = false;
    each_attribute(doc, name, [&](std::string_view value) { take_range_value(value, range, any); });
    return range;
}

int attribute_range_within(std::string_view doc, std::string_view name, int lower, int upper, AttributeRange& out,
                           int* error) {
    out = AttributeRange{};
    each_attribute(doc, name, [&](std::string_view value) {
        int v = 0;
        if (!chatnum::parse_int(value, v) || v < lower || v >= upper) return;
        out.min = out.count > 0 ? std::min(out.min, v) : v;
        out.max = out.count > 0 ? std::max(out.max, v) : v;
        ++out.count;
    });
    if (out.count > 0) return 0;
    set_error(error, msg::kNoValidRange);
    return -1;
}

NumberScan scan_numbers(std::string_view doc) {
    NumberScan scan;
    each_attribute(doc, "no", [&](std::string_view value) { take_number(value, scan); });
    return scan;
}

BodyFacts scan_body_facts(std::string_view doc) {
    BodyFacts facts;
    static constexpr std::string_view names[] = {"no", "vpos", "date"};
    bool any_vpos = false, any_date = false;
    each_attribute_of(doc, names, [&](size_t k, std::string_view value) {
        if (k == 0)
            take_number(value, facts.numbers);
        else if (k == 1)
            take_range_value(value, facts.vpos, any_vpos);
        else
            take_range_value(value, facts.dates, any_date);
    });
    return facts;
}

int locate_comment(std::string_view doc, int no, int* error) {
    char pattern[24] = " no=\"";
    int len = 5 + chatnum::format_int(no, pattern + 5);
    pattern[len++] = '"';
    const size_t at = doc.find(std::string_view(pattern, static_cast<size_t>(len)));
    if (at == npos) {
        set_error(error, msg::kMarkerMissing);
        return -1;
    }
    const size_t lt = rfind_near(doc, '<', at);
    if (lt == npos) {
        set_error(error, msg::kUnexpectedFormat);
        return -1;
    }
    return static_cast<int>(lt);
}

int comment_end(std::string_view doc, int start, int* error) {
    const size_t gt = start < 0 ? npos : doc.find('>', static_cast<size_t>(start));
    if (gt == npos) {
        set_error(error, msg::kUnexpectedFormat);
        return -1;
    }
    if (gt > 0 && doc[gt - 1] == '/') return static_cast<int>(gt + 1);
    const size_t close = doc.find("</", gt + 1);
    const size_t close_gt = close == npos ? npos : doc.find('>', close);
    if (close_gt == npos) {
        set_error(error, msg::kUnexpectedFormat);
        return -1;
    }
    return static_cast<int>(close_gt + 1);
}

namespace {

int locate_chat(std::string_view doc, int no, int* error) {
    const int at = locate_comment(doc, no, error);
    if (at < 0) return -1;
    if (!doc.substr(static_cast<size_t>(at)).starts_with("<chat ")) {
        set_error(error, msg::kUnexpectedFormat);
        return -1;
    }
    return at;
}

} // namespace

int cut_before_comment(std::string& doc, int no, int* error) {
    const int at = locate_chat(doc, no, error);
    if (at < 0) return -1;
    doc.resize(static_cast<size_t>(at));
    return 0;
}

int cut_from_comment(std::string& doc, int no, int* error) {
    const int at = locate_chat(doc, no, error);
    if (at < 0) return -1;
    doc.erase(0, static_cast<size_t>(at));
    return 0;
}

int thread_attribute(std::string_view doc, std::string_view name) {
    const TagSpan tag = thread_tag(doc);
    if (tag.start == npos || tag.end == npos) return -1;
    const std::string_view text = doc.substr(tag.start, tag.end - tag.start);
    const ValueSpan span = value_in(text, name);
    int value = 0;
    if (span.from == npos || !chatnum::parse_int(text.substr(span.from, span.end - span.from), value)) return -1;
    return value;
}

int set_thread_attribute(std::string& doc, std::string_view name, int value, int* error) {
    const TagSpan tag = thread_tag(doc);
    if (tag.start == npos || tag.end == npos) {
        set_error(error, tag.start == npos ? msg::kMarkerMissing : msg::kUnexpectedFormat);
        return -1;
    }
    char digits[12];
    const std::string_view number(digits, static_cast<size_t>(chatnum::format_int(value, digits)));
    const std::string_view text = std::string_view(doc).substr(tag.start, tag.end - tag.start);
    const ValueSpan span = value_in(text, name);
    if (span.from != npos) {
        doc.replace(tag.start + span.from, span.end - span.from, number);
        return 0;
    }
    // A new attribute goes after the last quoted value, so that "/>" or ">" still closes the tag.
    const size_t last_quote = text.rfind('"');
    const size_t insert_at = tag.start + (last_quote == npos ? std::string_view("<thread").size() : last_quote + 1);
    std::string attribute;
    attribute.reserve(name.size() + number.size() + 4);
    attribute += ' ';
    attribute += name;
    attribute += "=\"";
    attribute += number;
    attribute += '"';
    doc.insert(insert_at, attribute);
    return 0;
}

int remove_thread_attribute(std::string& doc, std::string_view name) {
    const TagSpan tag = thread_tag(doc);
    if (tag.start == npos) return -1;
    if (tag.end == npos) return 0;
    const ValueSpan span = value_in(std::string_view(doc).substr(tag.start, tag.end - tag.start), name);
    if (span.from == npos) return 0;
    doc.erase(tag.start + span.attr, span.end + 1 - span.attr);
    return 1;
}

} // namespace quippet
