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
        {repair_double_escapes, u"&amp;lt;&amp;gt;&amp;quot;&amp;amp;&apos;&amp;x", u"&lt;&gt;&quot;&amp;'&amp;x"},
    };
    expect_rewrites(std::begin(cases), std::end(cases));
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
