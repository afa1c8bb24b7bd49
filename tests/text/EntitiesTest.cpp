#include "text/Entities.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace quippet {
namespace {

struct RewriteCase {
    void (*rewrite)(CCharW&);
    std::u16string_view input;
    std::u16string_view expected;
};

void expect_rewrites(const RewriteCase* begin, const RewriteCase* end) {
    for (const RewriteCase* c = begin; c != end; ++c) {
        CCharW text(c->input);
        c->rewrite(text);
        EXPECT_EQ(std::u16string(text.view()), std::u16string(c->expected))
            << "case " << (c - begin) << " of " << (end - begin);
    }
}

TEST(TransformEntitiesTest, CharacterReferences) {
    const RewriteCase cases[] = {
        // Repeated escaping collapses completely, in every spelling of the ampersand.
        {unescape_all, u"&amp;amp;lt;", u"<"},
        {unescape_all, u"&amp;amp;amp;lt;b&#062;", u"<b>"},
        {unescape_all, u"&#038;#38;quot;", u"\""},
        {unescape_all, u"&#039;&apos;&#39;&#60;&#060;&#34;&#034;&gt;&#62;", u"'''<<\"\">>"},
        {unescape_all, u"Tom &amp; Jerry &copy;", u"Tom & Jerry &copy;"},
        // One level only, and nothing at all without an ampersand.
        {unescape_basic, u"a<b>&lt", u"a<b>&lt"},
        {unescape_basic, u"&amp;lt;", u"&lt;"},
        {unescape_basic, u"&lt;&gt;&amp;&quot;", u"<>&&quot;"},
        {escape_angle_brackets, u"<a & \"b\">", u"&lt;a & \"b\"&gt;"},
        {escape_markup, u"<a & \"b\">", u"&lt;a &amp; \"b\"&gt;"},
        {escape_markup, u"plain", u"plain"},
        {repair_double_escapes, u"&amp;lt;&amp;gt;&amp;quot;&amp;amp;&apos;&amp;x", u"&lt;&gt;&quot;&amp;'&amp;x"},
    };
    expect_rewrites(std::begin(cases), std::end(cases));
}

/// Every occurrence of `from` replaced, left to right, as a plain search-and-replace does it.
void replace_everywhere(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

/// The references resolved one table entry at a time over the whole text, the ampersands until none is
/// left: the definition the single pass must agree with.
std::u16string unescape_by_replacing(std::u16string text) {
    const std::u16string_view amps[] = {u"&amp;", u"&#38;", u"&#038;"};
    auto has_amp = [&] {
        for (auto a : amps)
            if (text.find(a) != std::u16string::npos) return true;
        return false;
    };
    while (has_amp())
        for (auto a : amps)
            replace_everywhere(text, a, u"&");
    const std::pair<std::u16string_view, std::u16string_view> others[] = {
        {u"&lt;", u"<"},    {u"&#60;", u"<"},  {u"&#060;", u"<"},  {u"&gt;", u">"},
        {u"&#62;", u">"},   {u"&#062;", u">"}, {u"&quot;", u"\""}, {u"&#34;", u"\""},
        {u"&#034;", u"\""}, {u"&apos;", u"'"}, {u"&#39;", u"'"},   {u"&#039;", u"'"},
    };
    for (const auto& [from, to] : others)
        replace_everywhere(text, from, to);
    return text;
}

TEST(TransformEntitiesTest, OnePassAgreesWithReplacingEachReferenceInTurn) {
    // Texts glued from pieces of references, so that partial, doubled and adjacent ones are frequent.
    const std::u16string_view pieces[] = {u"&",     u"amp;",  u"#38;", u"#038;", u"lt;", u"gt;", u"#60;", u"#0", u"62;",
                                          u"quot;", u"apos;", u"39;",  u"a",     u"<",   u">",   u";",    u"#",  u"\""};
    unsigned seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const int n = 1 + static_cast<int>(seed % 9);
        for (int k = 0; k < n; ++k) {
            seed = seed * 1103515245u + 12345u;
            text += pieces[(seed >> 16) % std::size(pieces)];
        }
        CCharW unescaped(text);
        unescape_all(unescaped);
        ASSERT_EQ(std::u16string(unescaped.view()), unescape_by_replacing(text)) << round;

        std::u16string expected = text;
        replace_everywhere(expected, u"&", u"&amp;");
        replace_everywhere(expected, u"<", u"&lt;");
        replace_everywhere(expected, u">", u"&gt;");
        CCharW escaped(text);
        escape_markup(escaped);
        ASSERT_EQ(std::u16string(escaped.view()), expected) << round;
    }
}

TEST(TransformEntitiesTest, VisibleLengthCountsShortReferencesAsOneUnit) {
    const struct {
        std::u16string_view text;
        int length;
    } cases[] = {
        {u"a&amp;b", 3}, {u"&quot;", 6}, {u"", 0}, {u"&lt;&gt;", 2}, {u"&amp;lt;", 4}, {u"あい", 2}, {u"&", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visible_length(c.text), c.length) << std::string(c.text.begin(), c.text.end());
}

TEST(TransformEntitiesTest, JsonEscapes) {
    const RewriteCase cases[] = {
        {decode_u_escapes, u"\\u3042\\u3044", u"あい"},
        {decode_u_escapes, u"\\ud83d\\ude00", u"\U0001F600"},
        {decode_u_escapes, u"end\\u30", u"end\\u30"},
        {decode_u_escapes, u"\\u12zz \\u-123 \\U0041", u"\\u12zz \\u-123 \\U0041"},
        // An escaped backslash never starts a second escape.
        {decode_json_string, u"a\\/b\\\"c\\\\d", u"a/b\"c\\d"},
        {decode_json_string, u"\\\\u0041 \\\\/", u"\\u0041 \\/"},
        {decode_json_string, u"\\u005c\" \\n \\", u"\\\" \\n \\"},
        {decode_json_display, u"a\\r\\nb\\nc\\/d", u"a<br>b<br>c/d"},
        {decode_json_display, u"C:\\\\new", u"C:\\new"},
        {decode_json_display, u"\\&quot;x\\&quot; &amp;amp; \\\"", u"\"x\" & \""},
        // References are resolved in the literal text only, never in what a \u escape produced.
        {decode_json_display, u"&lt;\\u0026lt;", u"<&lt;"},
        {decode_json_display, u"\\r \\t \\u12", u"\\r \\t \\u12"},
    };
    expect_rewrites(std::begin(cases), std::end(cases));
}

TEST(TransformEntitiesTest, LineTokensAndRegexQuoting) {
    const RewriteCase cases[] = {
        {expand_line_tokens, u"a<%改行%>b<%CR%>c<%LF%>d<%タブ%>e<%x%>", u"a\r\nb\rc\nd\te<%x%>"},
        {collapse_line_tokens, u"a\r\nb\rc\nd\te\n\r", u"a<%改行%>b<%CR%>c<%LF%>d<%タブ%>e<%LF%><%CR%>"},
        {quote_regex, u"a+b.c{1}(x)[y]^$-|", u"a\\+b\\.c\\{1\\}\\(x\\)\\[y\\]\\^\\$\\-\\|"},
        {quote_regex, u"*?\\", u"*?\\"},
    };
    expect_rewrites(std::begin(cases), std::end(cases));

    CCharW text(u"x\r\ny\tz\r");
    collapse_line_tokens(text);
    expand_line_tokens(text);
    EXPECT_EQ(std::u16string(text.view()), u"x\r\ny\tz\r");
}

} // namespace
} // namespace quippet
