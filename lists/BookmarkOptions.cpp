#include "lists/BookmarkOptions.h"

#include <optional>
#include <string>

#include "text/Ascii.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

/// A signed decimal of at most nine digits.
std::optional<int> signed_number(std::u16string_view text) {
    bool negative = !text.empty() && text.front() == u'-';
    if (negative) text.remove_prefix(1);
    const std::optional<long long> n = ascii_decimal(text, 9);
    if (!n) return std::nullopt;
    return static_cast<int>(negative ? -*n : *n);
}

std::u16string token(char16_t key, int value) {
    std::u16string out{key, u'='};
    out += from_utf8(std::to_string(value));
    return out;
}

} // namespace

BookmarkOptions parse_bookmark_options(std::u16string_view text) {
    BookmarkOptions o;
    for (std::u16string_view piece : split_view(text, u' ')) {
        if (piece.empty()) continue;
        const std::optional<int> value =
            piece.size() > 2 && piece[1] == u'=' ? signed_number(piece.substr(2)) : std::nullopt;
        bool known = value.has_value();
        if (known) {
            const int v = *value;
            switch (piece[0]) {
            case u'd':
                o.depth_on = true;
                o.depth = v;
                break;
            case u'e':
                known = v == 0;
                if (known) o.subfolders = false;
                break;
            case u's':
                o.sort_on = true;
                o.sort_code = bookmark_sort_label(v).empty() ? 0 : v;
                break;
            case u'p':
                o.page_on = true;
                o.page_limit_on = v > 0;
                if (v > 0) o.page_limit = v;
                break;
            case u'a':
                known = v == 0 || v == 1;
                if (known) {
                    o.mode_on = true;
                    o.append = v == 1;
                }
                break;
            case u't':
                known = v >= 0 && v <= 4;
                if (known) {
                    o.thumb_size_on = true;
                    o.thumb_size = v;
                }
                break;
            case u'w':
                known = v == kBmRatio4x3 || v == kBmRatio16x9 || v > 0;
                if (known) {
                    o.ratio_on = true;
                    o.ratio = v;
                }
                break;
            case u'c':
                known = v >= 0 && v <= 3;
                if (known) {
                    o.update_on = true;
                    o.update_thumb = (v & 1) != 0;
                    o.update_date = (v & 2) != 0;
                }
                break;
            default:
                known = false;
            }
        }
        if (!known) o.unknown.emplace_back(piece);
    }
    return o;
}

std::u16string bookmark_options_text(const BookmarkOptions& o) {
    std::vector<std::u16string> tokens;
    if (o.depth_on) tokens.push_back(token(u'd', o.depth));
    if (!o.subfolders) tokens.push_back(u"e=0");
    if (o.sort_on) tokens.push_back(token(u's', bookmark_sort_label(o.sort_code).empty() ? 0 : o.sort_code));
    if (o.page_on) tokens.push_back(token(u'p', o.page_limit_on ? o.page_limit : 0));
    if (o.mode_on) tokens.push_back(o.append ? u"a=1" : u"a=0");
    if (o.thumb_size_on) tokens.push_back(token(u't', o.thumb_size));
    if (o.ratio_on) tokens.push_back(token(u'w', o.ratio));
    if (o.update_on) tokens.push_back(token(u'c', (o.update_thumb ? 1 : 0) + (o.update_date ? 2 : 0)));
    for (const std::u16string& t : o.unknown)
        tokens.push_back(t);
    std::u16string out;
    for (const std::u16string& t : tokens) {
        if (!out.empty()) out += u' ';
        out += t;
    }
    return out;
}

int bookmark_sort_code(std::u16string_view label) {
    for (const BookmarkSortChoice& c : kBookmarkSorts)
        if (c.label == label) return c.code;
    return 0;
}

std::u16string_view bookmark_sort_label(int code) {
    for (const BookmarkSortChoice& c : kBookmarkSorts)
        if (c.code == code) return c.label;
    return {};
}

} // namespace quippet
