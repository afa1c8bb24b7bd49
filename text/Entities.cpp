#include "text/Entities.h"

#include <string>

namespace quippet {
namespace {

int count_of(std::u16string_view text, std::u16string_view pattern) {
    int n = 0;
    for (size_t at = text.find(pattern); at != std::u16string_view::npos; at = text.find(pattern, at + pattern.size()))
        ++n;
    return n;
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

/// The unit of the four hexadecimal digits at `at`, or -1 when there are not four of them.
int hex4_at(std::u16string_view text, size_t at) {
    if (at + 4 > text.size()) return -1;
    int value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const int digit = hex_value(text[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

struct Replacement {
    std::u16string_view from;
    std::u16string_view to;
};

template <size_t N> void replace_each(CCharW& text, const Replacement (&table)[N]) {
    for (const auto& r : table)
        text.replace_all(r.from, r.to);
}

} // namespace

// One pass gives what replacing each reference everywhere in turn gives: every pattern starts with the
// only "&" it holds, so two matches never overlap, and no replacement produces a "&" or a character a
// pattern holds, so none creates a new match. Escaped ampersands are the exception: "&amp;lt;" becomes
// "&lt;", a new match at the same "&", so each "&" first swallows every escaped-ampersand tail after it.
void unescape_all(CCharW& text) {
    const std::u16string_view in = text.view();
    size_t at = in.find(u'&');
    if (at == std::u16string_view::npos) return;
    static constexpr std::u16string_view ampersand_tails[] = {u"amp;", u"#38;", u"#038;"};
    static constexpr Replacement others[] = {
        {u"lt;", u"<"},    {u"#60;", u"<"},  {u"#060;", u"<"},  {u"gt;", u">"},   {u"#62;", u">"}, {u"#062;", u">"},
        {u"quot;", u"\""}, {u"#34;", u"\""}, {u"#034;", u"\""}, {u"apos;", u"'"}, {u"#39;", u"'"}, {u"#039;", u"'"},
    };
    thread_local std::u16string out;
    out.assign(in.substr(0, at));
    while (at != std::u16string_view::npos) {
        size_t next = at + 1;
        for (bool swallowed = true; swallowed;) {
            swallowed = false;
            for (std::u16string_view tail : ampersand_tails) {
                if (in.substr(next).starts_with(tail)) {
                    next += tail.size();
                    swallowed = true;
                    break;
                }
            }
        }
        char16_t unit = u'&';
        for (const Replacement& r : others) {
            if (in.substr(next).starts_with(r.from)) {
                unit = r.to[0];
                next += r.from.size();
                break;
            }
        }
        out += unit;
        at = in.find(u'&', next);
        out.append(in.substr(next, at == std::u16string_view::npos ? std::u16string_view::npos : at - next));
    }
    text.assign(out);
}

void unescape_basic(CCharW& text) {
    if (!text.contains(u"&")) return;
    static constexpr Replacement table[] = {{u"&lt;", u"<"}, {u"&gt;", u">"}, {u"&amp;", u"&"}};
    replace_each(text, table);
}

void escape_markup(CCharW& text) {
    const std::u16string_view in = text.view();
    size_t at = in.find_first_of(u"&<>");
    if (at == std::u16string_view::npos) return;
    thread_local std::u16string out;
    out.assign(in.substr(0, at));
    while (at < in.size()) {
        const char16_t c = in[at++];
        out += c == u'&' ? u"&amp;" : (c == u'<' ? u"&lt;" : u"&gt;");
        // The plain run up to the next markup character goes in whole.
        size_t end = at;
        while (end < in.size() && in[end] != u'&' && in[end] != u'<' && in[end] != u'>')
            ++end;
        out.append(in.substr(at, end - at));
        at = end;
    }
    text.assign(out);
}

void escape_angle_brackets(CCharW& text) {
    static constexpr Replacement table[] = {{u"<", u"&lt;"}, {u">", u"&gt;"}};
    replace_each(text, table);
}

void repair_double_escapes(CCharW& text) {
    static constexpr Replacement table[] = {{u"&amp;lt;", u"&lt;"},
                                            {u"&amp;gt;", u"&gt;"},
                                            {u"&amp;quot;", u"&quot;"},
                                            {u"&amp;amp;", u"&amp;"},
                                            {u"&apos;", u"'"}};
    replace_each(text, table);
}

int visible_length(std::u16string_view text) {
    const int length = static_cast<int>(text.size());
    if (text.find(u'&') == std::u16string_view::npos) return length;
    return length - 4 * count_of(text, u"&amp;") - 3 * (count_of(text, u"&lt;") + count_of(text, u"&gt;"));
}

void decode_u_escapes(CCharW& text) {
    const std::u16string_view in = text.view();
    if (in.find(u"\\u") == std::u16string_view::npos) return;
    std::u16string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        if (in[i] == u'\\' && i + 1 < in.size() && in[i + 1] == u'u') {
            if (const int unit = hex4_at(in, i + 2); unit >= 0) {
                out += static_cast<char16_t>(unit);
                i += 6;
                continue;
            }
        }
        out += in[i++];
    }
    text.assign(out);
}

// Both JSON decoders walk the text once instead of replacing escape by escape: with separate passes an
// escaped backslash followed by "n", "u" or "/" would be decoded a second time ("C:\\new" shown with a
// line break in it).

void decode_json_display(CCharW& text) {
    const std::u16string_view in = text.view();
    if (in.find(u'\\') == std::u16string_view::npos) {
        unescape_all(text);
        return;
    }
    std::u16string out;
    CCharW literal;
    out.reserve(in.size());
    // References are resolved only in what the page wrote literally; a "\u0026" must stay an ampersand.
    auto flush_literal = [&] {
        unescape_all(literal);
        out += literal.view();
        literal.clear();
    };
    for (size_t i = 0; i < in.size();) {
        const std::u16string_view rest = in.substr(i);
        if (rest.size() < 2 || rest[0] != u'\\') {
            literal.append(rest[0]);
            ++i;
        } else if (rest.starts_with(u"\\r\\n")) {
            literal.append(u"<br>");
            i += 4;
        } else if (rest[1] == u'n') {
            literal.append(u"<br>");
            i += 2;
        } else if (rest[1] == u'/' || rest[1] == u'\\' || rest[1] == u'"') {
            literal.append(rest[1]);
            i += 2;
        } else if (rest.substr(1).starts_with(u"&quot;")) {
            ++i;
        } else if (const int unit = rest[1] == u'u' ? hex4_at(rest, 2) : -1; unit >= 0) {
            flush_literal();
            out += static_cast<char16_t>(unit);
            i += 6;
        } else {
            literal.append(rest[0]);
            ++i;
        }
    }
    flush_literal();
    text.assign(out);
}

void decode_json_string(CCharW& text) {
    const std::u16string_view in = text.view();
    if (in.find(u'\\') == std::u16string_view::npos) return;
    std::u16string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        const char16_t next = i + 1 < in.size() ? in[i + 1] : u'\0';
        if (in[i] != u'\\') {
            out += in[i++];
        } else if (next == u'/' || next == u'\\' || next == u'"') {
            out += next;
            i += 2;
        } else if (const int unit = next == u'u' ? hex4_at(in, i + 2) : -1; unit >= 0) {
            out += static_cast<char16_t>(unit);
            i += 6;
        } else {
            out += in[i++];
        }
    }
    text.assign(out);
}

void expand_line_tokens(CCharW& text) {
    if (!text.contains(u"<%")) return;
    static constexpr Replacement table[] = {
        {u"<%改行%>", u"\r\n"}, {u"<%CR%>", u"\r"}, {u"<%LF%>", u"\n"}, {u"<%タブ%>", u"\t"}};
    replace_each(text, table);
}

void collapse_line_tokens(CCharW& text) {
    static constexpr Replacement table[] = {
        {u"\r\n", u"<%改行%>"}, {u"\r", u"<%CR%>"}, {u"\n", u"<%LF%>"}, {u"\t", u"<%タブ%>"}};
    replace_each(text, table);
}

void quote_regex(CCharW& text) {
    static constexpr Replacement table[] = {
        {u"+", u"\\+"}, {u".", u"\\."}, {u"{", u"\\{"}, {u"}", u"\\}"}, {u"(", u"\\("}, {u")", u"\\)"},
        {u"[", u"\\["}, {u"]", u"\\]"}, {u"^", u"\\^"}, {u"$", u"\\$"}, {u"-", u"\\-"}, {u"|", u"\\|"},
    };
    replace_each(text, table);
}

} // namespace quippet
