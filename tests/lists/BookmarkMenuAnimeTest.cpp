#include <gtest/gtest.h>

#include "app/Settings.h"
#include "lists/AnimeSchedule.h"
#include "lists/BookmarkActions.h"
#include "lists/BookmarkKeys.h"
#include "lists/BookmarkMenu.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/TestText.h"

namespace quippet {
namespace {

using test::u8;

TEST(BookmarkMenuFile, UnknownCommandsAreSkippedWithTheirLineAndSeparatorsStayTidy) {
    const BmMenu menu = parse_bookmark_menu(u"-\r\n"
                                            u"// comment\r\n"
                                            u"登録\tregister\r\n"
                                            u"-\r\n"
                                            u"-\r\n"
                                            u"謎\tlaunch-rockets\r\n"
                                            u"タブなし\r\n"
                                            u"\r\n"
                                            u" 更新チェック \t UPDATE-CHECK\r\n"
                                            u"-\r\n",
                                            u"menu.txt");
    ASSERT_EQ(menu.entries.size(), 3u);
    EXPECT_EQ(menu.entries[0].command, BmCommand::kRegister);
    EXPECT_EQ(menu.entries[1].command, BmCommand::kSeparator);
    EXPECT_EQ(menu.entries[2].command, BmCommand::kUpdateCheck);
    EXPECT_EQ(u8(menu.entries[2].label), "更新チェック");
    ASSERT_EQ(menu.log.size(), 2u);
    EXPECT_EQ(u8(menu.log[0]), "menu.txt の6行目の不明なコマンドを読み飛ばしました：謎\tlaunch-rockets");
    EXPECT_EQ(u8(menu.log[1]), "menu.txt の7行目の不明なコマンドを読み飛ばしました：タブなし");
}

TEST(BookmarkMenuFile, TheDefaultMenuOffersEveryCommandOnce) {
    const BmMenu menu = parse_bookmark_menu(default_bookmark_menu_text(), u"default");
    EXPECT_TRUE(menu.log.empty());
    std::vector<int> seen(16, 0);
    for (const BmMenuEntry& e : menu.entries)
        ++seen[static_cast<size_t>(e.command)];
    for (int c = static_cast<int>(BmCommand::kRegister); c <= static_cast<int>(BmCommand::kCopyTarget); ++c)
        EXPECT_EQ(seen[static_cast<size_t>(c)], 1) << u8(bm_command_word(static_cast<BmCommand>(c)));
}

std::u16string entry(std::u16string_view title, std::u16string_view link, bool free) {
    return u"<li class=\"list--anime--schedule__item\"><a href=\"" + std::u16string(link) + u"\"><h2><span>" +
           std::u16string(title) +
           u"</span></h2><span class=\"schedule__item__schedule__start\">1月1日 24:00～</span>" +
           (free ? u"" : u"<li class=\"schedule__item__label__item latest inactive\">x</li>") + u"</a></li>";
}

TEST(AnimeSchedulePage, EntriesTheirFieldsAndWhatIsNotTrusted) {
    const std::u16string page =
        u"<ul class=\"list--anime--schedule\">" + entry(u"A &amp; B", u"https://a/detail/ok-1_x/", true) +
        entry(u"有料", u"/detail/paid", false) + entry(u"path", u"/detail/../../etc/passwd", true) +
        entry(u"", u"/detail/untitled/", true) + entry(u"no link", u"/watch/sm9", true) +
        u"<div class=\"list--anime--schedule__item__title\">not an entry</div></ul>";
    const std::vector<AnimeEntry> entries = parse_anime_schedule(page);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(u8(entries[0].title), "A & B");
    EXPECT_EQ(u8(entries[0].start), "1月1日 24:00～");
    EXPECT_EQ(u8(entries[0].channel), "ok-1_x");
    EXPECT_TRUE(entries[0].latest_free);
    EXPECT_EQ(u8(entries[1].channel), "paid");
    EXPECT_FALSE(entries[1].latest_free);
    EXPECT_EQ(u8(anime_target(u"https://ch.example", u"paid")), "https://ch.example/paid/video");

    // Hostile pages: an endless entry, a huge number of entries, no closing quotes.
    std::u16string many;
    for (int i = 0; i < kAnimeMaxEntries + 50; ++i)
        many += entry(u"t", u"/detail/c/", true);
    EXPECT_EQ(parse_anime_schedule(many).size(), static_cast<size_t>(kAnimeMaxEntries));
    const std::u16string endless =
        u"<li class=\"list--anime--schedule__item\"><h2><span>" + std::u16string(200'000, u'x') + u"</span>/detail/c/";
    EXPECT_TRUE(parse_anime_schedule(endless).empty());
    EXPECT_TRUE(parse_anime_schedule(u"<li class=\"list--anime--schedule__item").empty());
}

class AnimeScheduleNetTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        settings.set_number(OptNumber::kProxyMode, 1);
        settings.set_text(kAnimeScheduleAddress, service().root(false) + u"/period/now.html");
        settings.set_text(kAnimeChannelAddress, u"https://ch.example/");
    }
    CSettings settings;
};

TEST_F(AnimeScheduleNetTest, FetchesTheScheduleAndAddsTheFreeProgrammesUnderTheSelection) {
    std::vector<AnimeEntry> entries;
    std::u16string message;
    ASSERT_EQ(fetch_anime_schedule(settings, entries, message), 0) << u8(message);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(u8(entries[0].title), "星の&記憶");

    CBookmarkTree tree;
    CBookmarkEditor editor(tree, {}, {});
    EXPECT_EQ(u8(add_anime_bookmarks(editor, nullptr, entries, true, settings)),
              "追加する位置のツリーアイテムを選択してください");
    BookmarkNode anime;
    anime.label = u"アニメ";
    BookmarkNode* folder = tree.insert(nullptr, -1, anime);
    settings.set_number(kAnimeLabelWithStart, 1);
    EXPECT_EQ(u8(add_anime_bookmarks(editor, folder, entries, true, settings)), "2件をツリーに追加しました");
    ASSERT_EQ(folder->children.size(), 2u);
    EXPECT_EQ(u8(folder->children[1]->label), "まほうの台所 10月4日(土) 17:30～");
    EXPECT_EQ(u8(folder->children[1]->target), "https://ch.example/mahou_kitchen/video");
    EXPECT_EQ(u8(add_anime_bookmarks(editor, folder, entries, false, settings)), "3件をツリーに追加しました");

    settings.set_text(kAnimeScheduleAddress, service().root(false) + u"/period/empty.html");
    EXPECT_EQ(fetch_anime_schedule(settings, entries, message), -1);
    EXPECT_EQ(u8(message), "番組情報を取得できませんでした。Nアニメが仕様変更した可能性が高いです");
    settings.set_text(kAnimeScheduleAddress, u"http://127.0.0.1:1/period/now.html");
    EXPECT_EQ(fetch_anime_schedule(settings, entries, message), -1);
    EXPECT_EQ(u8(message), "アクセスに失敗しました");
}

} // namespace
} // namespace quippet
