#include "livelog/LiveLogFiles.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogBody.h"
#include "reconstruct/Lists.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quippet {
namespace {

using test::u8;

TEST(LiveLogFiles, DefaultNgWordsFillTheirLists) {
    const WcNgLists ng = parse_wc_ng_lists(live_ng_default_text());
    EXPECT_EQ(ng.prefix, (std::vector<std::u16string>{u">", u"＞", u"↑", u"↓"}));
    EXPECT_EQ(ng.suffix, (std::vector<std::u16string>{u"↑", u"↓"}));
    EXPECT_EQ(ng.substring, (std::vector<std::u16string>{u">>", u"＞＞", u"ttp", u".jpg"}));
    EXPECT_TRUE(ng.exact.empty());
    EXPECT_TRUE(ng.regex.empty());
    EXPECT_TRUE(live_ng_default_text().ends_with(u"\r\n[完全一致]\r\n\r\n[正規表現]\r\n"));
}

TEST(LiveLogFiles, DefaultReplacementsLimitRuns) {
    const ReplaceList list = parse_replace_list(live_replace_default_text());
    EXPECT_TRUE(list.problems.empty());
    ASSERT_EQ(list.regex_rule_count(), 2);
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"ｷﾀ━━━━━━(ﾟ∀ﾟ)━━━━━━ !!!!!", u"ｷﾀ━━━━(ﾟ∀ﾟ)━━━━ !!!!!"},
        {u"ｷﾀ━━━━━━（ﾟ∀ﾟ）━━━━━━!!!", u"ｷﾀ━━━━（ﾟ∀ﾟ）━━━━!!!"},
        {u"ああああああああああああああああああああ", u"ああああああああああああああああ"},
        {u"普通の文", u"普通の文"},
    };
    for (const auto& [before, after] : cases) {
        std::u16string text(before);
        ReplaceCounts counts;
        list.apply(text, counts);
        EXPECT_EQ(u8(text), u8(after));
    }
}

TEST(LiveLogFiles, EnsureCreatesOnceInTheHome) {
    test::TempFolder home;
    const std::u16string previous = app_home();
    set_app_home(from_utf8(home.path().string()));
    CSettings settings;
    EXPECT_EQ(u8(live_ng_file_path(settings)), u8(home / u"設定：コンバートのNGワード.txt"));
    EXPECT_EQ(ensure_live_ng_file(settings), 1);
    EXPECT_EQ(ensure_live_ng_file(settings), 0);
    settings.set_text(OptText::kLiveReplaceTable, u"sub/置換.txt");
    EXPECT_EQ(ensure_live_replace_table(settings), 1);
    EXPECT_TRUE(test::read_bytes(home / u"sub/置換.txt").starts_with(std::string_view("\xFF\xFE/\0/\0", 6)));
    settings.set_text(OptText::kLiveNgWords, u"設定：コンバートのNGワード.txt/x.txt");
    EXPECT_EQ(ensure_live_ng_file(settings, [](std::u16string_view) {}), -1);
    set_app_home(previous);
}

} // namespace
} // namespace quippet
