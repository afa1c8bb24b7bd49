#include "download/ListMenu.h"
#include "download/ListSort.h"
#include "download/RegisterOptions.h"
#include "download/TabRegistration.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

DownloadRow row_of(std::u16string_view id, std::u16string_view comments = {}, std::u16string_view name = {}) {
    DownloadRow r;
    r.cells[dlcol::kId] = id;
    r.cells[dlcol::kComments] = comments;
    r.cells[dlcol::kSaveName] = name;
    return r;
}

std::string ids_of(const CListDownload& list) {
    std::string out;
    for (const DownloadRow& r : list.rows())
        out += (out.empty() ? "" : " ") + to_utf8(r.id());
    return out;
}

TEST(ListSort, CountsAndIdsCompareAsNumbersAndEmptyCellsStayLast) {
    struct Case {
        int column;
        const char16_t* a;
        const char16_t* b;
        int order;
    };
    const Case cases[] = {
        {dlcol::kComments, u"9", u"10", -1}, {dlcol::kComments, u"1,234", u"999", 1},
        {dlcol::kViews, u"12", u"12", 0},    {dlcol::kViews, u"5", u"不明", -1},
        {dlcol::kId, u"sm9", u"sm10", -1},   {dlcol::kId, u"sm010", u"sm9", 1},
        {dlcol::kId, u"nm5", u"sm1", -1},    {dlcol::kPosted, u"07/03/06 00:33", u"10/01/01 00:00", -1},
        {dlcol::kSaveName, u"", u"a", 1},    {dlcol::kComments, u"", u"0", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.a) + " vs " + to_utf8(c.b));
        EXPECT_EQ(compare_cells(c.column, c.a, c.b), c.order);
    }
}

TEST(ListSort, DescendingKeepsEmptyRowsLastAndEqualRowsInOrderAndDuplicateIdsSurvive) {
    CListDownload list;
    list.add_row(row_of(u"sm1", u"5"));
    list.add_row(row_of(u"sm2", u""));
    list.add_row(row_of(u"sm3", u"5"));
    list.add_row(row_of(u"sm4", u"1,000"));
    // A second row of the same ID, as a user's edit can leave: a sort must not drop it.
    const int dup = list.insert_row(-1, u"");
    list.set_cell(dup, dlcol::kId, u"sm1");
    list.set_cell(dup, dlcol::kComments, u"7");
    list.set_checked(0, true);

    sort_download_list(list, -dlcol::kComments);
    EXPECT_EQ(ids_of(list), "sm4 sm1 sm1 sm3 sm2");
    EXPECT_TRUE(list.is_checked(2)); // the checked sm1 (5 comments) moved with its check
    EXPECT_EQ(list.cell(1, dlcol::kComments), u"7");
    sort_download_list(list, dlcol::kComments);
    EXPECT_EQ(ids_of(list), "sm1 sm3 sm1 sm4 sm2");
    EXPECT_TRUE(list.has_id(u"sm1"));
    list.remove_row(0);
    EXPECT_TRUE(list.has_id(u"sm1")) << "the ID set still counts the other row";

    sort_download_list(list, dlcol::kId);
    EXPECT_EQ(ids_of(list), "sm1 sm2 sm3 sm4");
    sort_download_list(list, 0); // no sort chosen
    EXPECT_EQ(ids_of(list), "sm1 sm2 sm3 sm4");
    sort_download_list(list, 42); // no such column
    EXPECT_EQ(ids_of(list), "sm1 sm2 sm3 sm4");
}

TEST(RegisterOptions, EveryTokenIsReadAndBadOnesAreKeptAsUnknown) {
    const RegisterOptions o = parse_register_options(u"d=2 e=0 s=-6 p=0 a=1 t=4 w=-16 c=3");
    EXPECT_EQ(o.depth, 2);
    EXPECT_TRUE(o.no_subfolders);
    EXPECT_EQ(o.sort, -6);
    EXPECT_EQ(o.pages, 0); // the limit switched on with its box off
    EXPECT_EQ(o.append, true);
    EXPECT_EQ(o.thumbs, ThumbSize::kHuge);
    EXPECT_EQ(o.ratio, -16);
    EXPECT_EQ(o.no_skip, 3);
    EXPECT_TRUE(o.unknown.empty());
    EXPECT_TRUE(o.clears_list()) << "a thumbnail size always registers into an empty list";

    const RegisterOptions bad = parse_register_options(u"  t=5 a=2 s=x e=1 w=0 p=-1 zz q=1  s=7");
    EXPECT_FALSE(bad.thumbs);
    EXPECT_FALSE(bad.append);
    EXPECT_FALSE(bad.no_subfolders);
    EXPECT_FALSE(bad.ratio);
    EXPECT_FALSE(bad.pages);
    EXPECT_EQ(bad.sort, 7);
    EXPECT_EQ(bad.unknown.size(), 8u);
    EXPECT_FALSE(bad.clears_list());
    EXPECT_TRUE(parse_register_options(u"a=0").clears_list());
    EXPECT_FALSE(parse_register_options(u"").clears_list());
}

TEST(RegisterOptions, ThumbnailPixelsFollowSizeAndRatio) {
    EXPECT_EQ(thumb_pixels(ThumbSize::kNone, -4).height, 0);
    EXPECT_EQ(thumb_pixels(ThumbSize::kMedium, -4).width, 72);
    EXPECT_EQ(thumb_pixels(ThumbSize::kMedium, -16).width, 96);
    EXPECT_EQ(thumb_pixels(ThumbSize::kHuge, 150).width, 162);
    EXPECT_GT(thumb_pixels(ThumbSize::kHuge, -16).height, thumb_pixels(ThumbSize::kLarge, -16).height);
}

TEST(ListMenu, UnknownCommandsAndStrayEndsAreSkippedWithTheirLineAndSubmenusStayBalanced) {
    const ListMenu m = parse_list_menu(u"// comment\r\n再生\tplay\r\n-\r\n謎\tno-such\r\n▲\r\n▼削除\r\n行\tremove\r\n"
                                       u"ラベルだけ\r\n\r\n▼入れ子\r\n全部\tclear");
    ASSERT_EQ(m.problems.size(), 3u);
    EXPECT_EQ(to_utf8(m.problems[0]), "line 4: 謎\tno-such");
    EXPECT_EQ(to_utf8(m.problems[1]), "line 5: ▲ without ▼");
    EXPECT_EQ(to_utf8(m.problems[2]), "line 8: ラベルだけ");
    using K = ListMenuEntry::Kind;
    std::vector<K> kinds;
    for (const auto& e : m.entries)
        kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<K>{K::kItem, K::kSeparator, K::kSubmenu, K::kItem, K::kSubmenu, K::kItem, K::kEnd,
                                     K::kEnd}));
    EXPECT_EQ(m.entries[0].command, ListCommand::kPlay);
    EXPECT_EQ(m.entries[5].command, ListCommand::kClear);
}

TEST(ListMenu, TheDefaultMenuOffersEveryCommandWithoutProblems) {
    const ListMenu m = parse_list_menu(default_list_menu_text());
    EXPECT_TRUE(m.problems.empty());
    for (const ListCommandName& c : list_commands()) {
        bool offered = false;
        for (const auto& e : m.entries)
            offered = offered || (e.kind == ListMenuEntry::Kind::kItem && e.command == c.command);
        EXPECT_TRUE(offered) << to_utf8(c.name);
    }
}

TEST(HandOver, PathsOptionBlocksAndOtherLinesAreToldApart) {
    const HandOver h =
        parse_hand_over(u"\"/home/u/a b(sm1).xml\"\r\n/home/u/list.txt\r\nsm9\r\n"
                        u"▼検索オプション\r\n初音ミク\r\n▼URLオプション\r\nhttps://example.invalid/mylist/1\r\n"
                        u"▼追加オプション\r\nsm10\r\nsm11\r\n▼知らない\r\n無視\r\n");
    ASSERT_EQ(h.paths.size(), 2u);
    EXPECT_EQ(h.paths[0], u"/home/u/a b(sm1).xml");
    EXPECT_EQ(h.other, std::vector<std::u16string>{u"sm9"});
    EXPECT_EQ(h.searches, std::vector<std::u16string>{u"初音ミク"});
    EXPECT_EQ(h.addresses, std::vector<std::u16string>{u"https://example.invalid/mylist/1"});
    EXPECT_EQ(h.addition, u"sm10 sm11");
}

TEST(TabRegistrationFiles, TheSavedVideoIsTheFirstExtensionThatExists) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "quippet-dltab-video";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "t(sm1).flv") << "x";
    std::ofstream(dir / "t(sm1).mkv") << "x";
    std::ofstream(dir / "t(sm1).xml") << "x";
    CSettings s;
    s.set_text(OptText::kVideoExtensions, u"mp4|mkv|flv");
    const std::u16string folder = from_fs_path(dir);
    EXPECT_EQ(saved_video_of(s, folder, u"t(sm1)"), folder + u"/t(sm1).mkv");
    EXPECT_EQ(saved_video_of(s, folder + u"/", u"t(sm1)"), folder + u"/t(sm1).mkv");
    EXPECT_EQ(saved_video_of(s, folder, u"t(sm2)"), u"");
    s.set_text(OptText::kVideoExtensions, u"");
    EXPECT_EQ(saved_video_of(s, folder, u"t(sm1)"), u"");
    fs::remove_all(dir);
}

} // namespace
} // namespace quippet
