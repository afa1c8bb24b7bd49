#include "text/NameTemplate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace quippet {
namespace {

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(TransformNameTemplateTest, SanitizeFileName) {
    const struct {
        std::u16string_view input;
        bool keep_separators;
        std::u16string_view expected;
        int result;
    } cases[] = {
        {u"plain name.mp4", false, u"plain name.mp4", 0},
        {u"a/b\\c", false, u"a／b＼c", -1},
        {u"a/b\\c", true, u"a/b＼c", -1},
        {u":*?\"<>|", false, u"：＊？\u201D＜＞｜", -1},
        {u"\t\n", false, u"", -1},
        {u"a\r\nb", true, u"ab", -1},
    };
    for (const auto& c : cases) {
        CCharW name(c.input);
        EXPECT_EQ(sanitize_file_name(name, c.keep_separators), c.result) << narrow(c.input);
        EXPECT_EQ(std::u16string(name.view()), std::u16string(c.expected)) << narrow(c.input);
    }
}

TEST(TransformNameTemplateTest, ExpandTemplate) {
    const struct {
        std::u16string_view tmpl, title, id, expected;
    } cases[] = {
        {u"", u"Song", u"sm9", u""},
        {u"%TITLE%(%ID%)", u"Song", u"sm9", u"Song(sm9)"},
        {u"dl/%TITLE%(%ID%)", u"a:b", u"sm9", u"dl/a：b(sm9)"},
        {u"%TITLE%", u"a&amp;lt;b&quot;", u"", u"a＜b\u201D"},
        {u"%TITLE%", u"%_BLANK_%[tag]", u"", u"[tag]"},
        {u"%_BLANK_%%TITLE%\t", u"x", u"", u"x"},
        // Values are not searched for placeholders again.
        {u"%TITLE%(%ID%)", u"%ID%", u"%TITLE%", u"%ID%(%TITLE%)"},
        // What comes from outside never adds, leaves or empties a folder level.
        {u"%TITLE%", u"../../etc/passwd", u"", u"．．／．．／etc／passwd"},
        {u"%TITLE%", u"a/b", u"", u"a／b"},
        {u"%TITLE%", u"a\\b", u"", u"a＼b"},
        {u"x/%ID%.xml", u"", u"../sm9", u"x/．．／sm9.xml"},
        {u"%TITLE%%ID%", u".", u".", u"．．"},
        {u"%TITLE%", u".", u"", u"．"},
        {u"%TITLE%/%ID%", u"", u"sm9", u"sm9"},
        // The template's own folders are the user's choice and stay.
        {u"../up/%ID%", u"", u"sm9", u"../up/sm9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expand_template(c.tmpl, c.title, c.id), std::u16string(c.expected))
            << narrow(c.tmpl) << " / " << narrow(c.title) << " / " << narrow(c.id);
}

TEST(TransformNameTemplateTest, HostileValuesNeverAddOrLeaveAFolderLevel) {
    const std::u16string_view hostile[] = {u"../../etc/passwd", u"/abs", u"..", u".", u"a/../b", u"..\\..", u""};
    for (const auto value : hostile) {
        for (const std::u16string_view tmpl : {u"%TITLE%", u"%ID%", u"%TITLE%%ID%", u"sub/%TITLE%/%ID%"}) {
            const std::u16string name = expand_template(tmpl, value, value);
            const auto levels = [](std::u16string_view s) { return std::count(s.begin(), s.end(), u'/'); };
            EXPECT_LE(levels(name), levels(tmpl)) << narrow(value) << " in " << narrow(tmpl);
            for (std::u16string_view rest = name; !rest.empty();) {
                const auto part = rest.substr(0, rest.find(u'/'));
                EXPECT_TRUE(part != u"." && part != u"..") << narrow(name);
                rest.remove_prefix(std::min(rest.size(), part.size() + 1));
            }
            EXPECT_FALSE(name.starts_with(u"/")) << narrow(name);
        }
    }
}

TEST(TransformNameTemplateTest, PathsAndPreview) {
    EXPECT_EQ(path_from_template(u"/dl", u"sub/", u"%TITLE%(%ID%)", u"sm9"), u"/dl/sub/(sm9)");
    EXPECT_EQ(path_from_template(u"/dl/", u"", u"%ID%", u"sm9"), u"/dl/sm9");
    EXPECT_EQ(path_from_template(u"", u"", u"%ID%", u"sm9"), u"sm9");
    EXPECT_EQ(path_from_template(u"/dl", u"", u"%ID%", u"../x"), u"/dl/．．／x");
    EXPECT_EQ(list_file_path(u"/lists/", u"list_", u"%ID%", u"sm9"), u"/lists/list_sm9.txt");

    EXPECT_EQ(template_preview(u"", u"sm9"), u"*ダウンロード先から取得(sm9)");
    EXPECT_EQ(template_preview(u"\t", u"sm9"), u"*ダウンロード先から取得(sm9)");
    EXPECT_EQ(template_preview(u"dl/%TITLE%:%ID%", u"sm9"), u"*dl/ダウンロード先から取得：sm9");

    CCharW title(u"%_BLANK_%[x] a/b&amp;c..");
    clean_title(title);
    EXPECT_EQ(std::u16string(title.view()), u"[x] a／b&c．．");
}

TEST(TransformNameTemplateTest, IdDelimitersAndBracketProtection) {
    const struct {
        std::u16string_view tmpl, before, after;
    } cases[] = {
        {u"%TITLE%(%ID%)", u"(", u")"}, {u"dir[x]/%ID%_%TITLE%", u"", u"_"},
        {u"%TITLE%", u"", u""},         {u"a:%ID%", u"：", u""},
        {u"%ID%-%ID%x", u"-", u"x"},    {u"\U0001F600%ID%\U0001F600", u"\U0001F600", u"\U0001F600"},
    };
    for (const auto& c : cases) {
        const IdDelimiters d = id_delimiters(c.tmpl);
        EXPECT_EQ(d.before, std::u16string(c.before)) << narrow(c.tmpl);
        EXPECT_EQ(d.after, std::u16string(c.after)) << narrow(c.tmpl);
    }

    for (const auto& [input, expected] : {std::pair{u"[tag]", u"%_BLANK_%[tag]"}, {u"tag[", u"tag["}, {u"", u""}}) {
        CCharW value(input);
        protect_bracket_text(value);
        EXPECT_EQ(std::u16string(value.view()), std::u16string(expected));
    }
}

TEST(TransformNameTemplateTest, TitleFromFileName) {
    EXPECT_EQ(title_pattern(u"dl/%TITLE%(%ID%)", u"sm9"), u"(.*)\\(sm9\\)");
    EXPECT_EQ(title_pattern(u"%TITLE% [%ID%]*.x", u"sm-9"), u"(.*) \\[sm\\-9\\]＊\\.x");

    const struct {
        std::u16string_view file, tmpl, id;
        int result;
        std::u16string_view title;
    } cases[] = {
        {u"/v/Song(sm9).mp4", u"%TITLE%(%ID%)", u"sm9", 0, u"Song"},
        {u"a(b)(sm9)", u"%TITLE%(%ID%)", u"sm9", 0, u"a(b)"},
        {u"a：b(sm9)", u"x/%TITLE%(%ID%)", u"sm9", 0, u"a：b"},
        {u"a_sm9_b_sm9_c", u"%TITLE%_%ID%_%TITLE%", u"sm9", 0, u"a_sm9_b"},
        {u"Song[sm9].mp4", u"%TITLE%(%ID%)", u"sm9", -1, u""},
        {u"Song(sm9)", u"%ID%", u"sm9", -1, u""},
    };
    for (const auto& c : cases) {
        CCharW title;
        EXPECT_EQ(title_from_file_name(c.file, c.tmpl, c.id, title), c.result) << narrow(c.file);
        EXPECT_EQ(std::u16string(title.view()), std::u16string(c.title)) << narrow(c.file);
    }

    // A regex engine, when given, sees the pattern and the name without its extension after the whole name failed.
    std::u16string seen_pattern, seen_subject;
    const RegexCapture capture = [&](std::u16string_view pattern, std::u16string_view subject, std::u16string& group) {
        seen_pattern = pattern;
        seen_subject = subject;
        group = u"from regex";
        return !subject.ends_with(u".mp4");
    };
    CCharW title;
    EXPECT_EQ(title_from_file_name(u"/v/Song(sm9).mp4", u"%TITLE%(%ID%)", u"sm9", title, capture), 0);
    EXPECT_EQ(seen_pattern, u"(.*)\\(sm9\\)");
    EXPECT_EQ(seen_subject, u"Song(sm9)");
    EXPECT_EQ(std::u16string(title.view()), u"from regex");
}

} // namespace
} // namespace quippet
