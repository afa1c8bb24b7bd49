#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include <gtest/gtest.h>

#include "download/DownloadHistory.h"
#include "download/IdPatterns.h"
#include "download/IdRecognition.h"
#include "download/ListFile.h"
#include "download/PageRegistration.h"
#include "net/MovieInfo.h"
#include "tests/text/TempFolder.h"
#include "text/FileSP.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

const IdSettings kIds;

TEST(IdRecognition, PrefixedNumbersAddressesAndTemplateNames) {
    struct Case {
        std::u16string_view text;
        int mode;
        std::u16string_view id;
    };
    const Case cases[] = {
        {u"sm9", kIdModeInput, u"sm9"},
        {u"https://www.nicovideo.jp/watch/sm9", kIdModeInput, u"sm9"},
        {u"https://www.nicovideo.jp/watch/sm9?ref=top", kIdModeItem, u"sm9"},
        {u"smile", kIdModeInput, u""},
        {u"sm0", kIdModeInput, u""},
        {u"smabc", kIdModeItem, u""},
        {u"prism12", kIdModeItem, u""}, // a prefix inside a word is none
        {u"1234567890", kIdModePlain, u"1234567890"},
        {u"1234567", kIdModePlain, u""}, // fewer digits than a thread ID has
        {u"タイトル(sm1234)", kIdModePlain, u"sm1234"},
        {u"タイトル(sm12)の続き(nm34)", kIdModePlain, u"sm12"},
        {u"\"video_id\":\"so77\"", kIdModePlain, u"so77"},
        {u"lv123", kIdModeInput, u""},
        {u"lv123", kIdModeItem, u"lv123"},
        {u"", kIdModeItem, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(to_utf8(recognise_id(c.text, c.mode, kIds)), to_utf8(c.id)) << to_utf8(c.text) << " " << c.mode;

    std::vector<std::u16string> ids{u"sm1"};
    EXPECT_EQ(extract_ids(u"見て sm1 と https:\\/\\/x.jp\\/watch\\/sm2、<a href=\"/watch/nm3\">sm2</a>", ids,
                          kIdModePlain, kIds),
              4);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[1], u"sm2");
    EXPECT_EQ(ids[2], u"nm3");
    std::vector<std::u16string> none;
    EXPECT_EQ(extract_ids(u"なにもない", none, kIdModePlain, kIds), -1);
}

TEST(IdRecognition, InputKindsInTheirOrder) {
    test::TempFolder dir;
    const std::u16string list = dir / u"a.txt";
    const std::u16string playlist = dir / u"b.M3U";
    std::filesystem::create_directories(dir.path() / "sub");
    for (const auto& p : {list, playlist})
        std::ofstream(to_utf8(p)) << "x";
    struct Case {
        std::u16string text;
        InputKind kind;
        std::u16string_view label;
    };
    const Case cases[] = {
        {u"<保存したリストの一覧>", InputKind::kSpecial, u"特殊設定"},
        {u"<最近何かのDLに失敗した一覧>\r\nmore", InputKind::kSpecial, u"特殊設定"},
        {from_utf8((dir.path() / "sub").string()), InputKind::kFolder, u"フォルダ"},
        {list, InputKind::kFile, u"リスト"},
        {playlist, InputKind::kFile, u"プレイリスト"},
        {u"sm9", InputKind::kId, u"文字列（ID含み）"},
        {u"https://www.nicovideo.jp/watch/sm9", InputKind::kId, u"URL"},
        {u"https://www.nicovideo.jp/ranking", InputKind::kUrl, u"URL"},
        {u"abc", InputKind::kSearchWords, u"検索ワード"},
        {u"", InputKind::kBlank, u"空欄"},
    };
    for (const auto& c : cases) {
        const InputClass k = classify_input(c.text, kIds);
        EXPECT_EQ(k.kind, c.kind) << to_utf8(c.text);
        EXPECT_EQ(k.label, c.label) << to_utf8(c.text);
    }
    EXPECT_EQ(classify_input(u"<最近再生した動画の一覧>", kIds).variant, 1);
    EXPECT_EQ(classify_input(u"<最近動画をDLした一覧>", kIds).variant, 2);
}

TEST(ListFiles, TheFourFormsAndTheReadingRules) {
    CListDownload list;
    DownloadRow r;
    r.cells = {u"○", u"＊", u"曲(sm1)", u"コメントのDL完了", u"/d/", u"5", u"07/03/06", u"sm1", u"9", u""};
    r.checked = true;
    list.add_row(r);
    r.cells[dlcol::kId] = u"sm2";
    r.cells[dlcol::kSaveName] = u"a\\b";
    r.checked = false;
    list.add_row(r);

    const std::u16string full = list_file_text(list, ListSaveForm::kFullWithState);
    EXPECT_TRUE(full.starts_with(u"*\t完全＋状態\r\n○\t＊\t曲(sm1)\t"));
    const ListFileContents back = read_list_text(full, u"/default");
    ASSERT_TRUE(back.full_rows);
    ASSERT_EQ(back.rows.size(), 2u);
    EXPECT_TRUE(back.rows[0].checked);
    EXPECT_FALSE(back.rows[1].checked);
    EXPECT_EQ(back.rows[1].cells, list.rows()[1].cells);
    EXPECT_EQ(list_file_text(list, ListSaveForm::kFullRows).find(u"\t1\r\n"), std::u16string::npos);
    EXPECT_EQ(list_file_text(list, ListSaveForm::kIdOnly), u"sm1\r\nsm2\r\n");
    EXPECT_EQ(list_file_text(list, ListSaveForm::kPathOnly), u"/d/*曲(sm1)\r\n/d/*a%_えんまーく_%b\r\n");

    const ListFileContents paths = read_list_text(u"/d/*曲(sm1)\tメモ\r\n"
                                                  u"/x/y/名前(sm3).xml\r\n"
                                                  u"名前%_すらっしゅ_%二(sm4)\r\n"
                                                  u"/d/*a%_えんまーく_%b\r\n"
                                                  u"壊れ\x01行\r\n"
                                                  u"/d/*../../etc(sm5)\r\n",
                                                  u"/default");
    ASSERT_FALSE(paths.full_rows);
    ASSERT_EQ(paths.paths.size(), 5u);
    EXPECT_EQ(paths.paths[0].path, u"/d/曲(sm1).xml");
    EXPECT_EQ(paths.paths[0].rest, u"メモ");
    EXPECT_EQ(paths.paths[1].folder, u"/x/y/");
    EXPECT_EQ(paths.paths[1].name, u"名前(sm3)");
    EXPECT_EQ(paths.paths[2].folder, u"/default/");
    // What stood for a separator stays inside the name: no list line reaches another folder.
    EXPECT_EQ(paths.paths[2].name, u"名前／二(sm4)");
    EXPECT_EQ(paths.paths[3].name, u"a＼b");
    EXPECT_EQ(paths.paths[4].folder, u"/d/");
    EXPECT_EQ(paths.paths[4].name.find(u"/"), std::u16string::npos);
    EXPECT_EQ(paths.bad_lines, std::vector<int>{5});

    // The two snapshots are lists in the full form under their names.
    test::TempFolder saved;
    int code = 0;
    ASSERT_EQ(save_list_snapshot(from_utf8(saved.path().string()) + u"/down", kListAtDownloadStart, list, code), 0);
    const auto snapshot = load_list_snapshot(from_utf8(saved.path().string()) + u"/down", kListAtDownloadStart);
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_TRUE(snapshot[0].checked);
    EXPECT_EQ(snapshot[1].cells, list.rows()[1].cells);
    EXPECT_TRUE(load_list_snapshot(from_utf8(saved.path().string()) + u"/down", kListBeforeFilter).empty());

    CListDownload fresh;
    std::vector<std::u16string> no_id;
    const auto id_of = [](std::u16string_view name) { return recognise_id(name, kIdModeItem, kIds); };
    EXPECT_EQ(register_paths(fresh, paths.paths, id_of, &no_id), 4);
    EXPECT_EQ(no_id, std::vector<std::u16string>{u"/d/a＼b.xml"});
    EXPECT_EQ(register_paths(fresh, paths.paths, id_of), 0);
    EXPECT_EQ(register_rows(fresh, back.rows, id_of), 1); // sm1 came in as a path already
}

TEST(ListFiles, ForeignEncodingsAndJunkRegisterNothingWrong) {
    test::TempFolder dir;
    const std::u16string cp932 = dir / u"cp932.txt";
    const std::u16string junk = dir / u"junk.txt";
    // "動画(sm5)" in CP932, which is neither UTF-8 nor UTF-16: read as UTF-16 it is nonsense without an ID.
    std::ofstream(to_utf8(cp932), std::ios::binary) << "\x93\xae\x89\xe6(sm5)\r\n";
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += static_cast<char>((i * 131) & 0xFF);
    std::ofstream(to_utf8(junk), std::ios::binary) << bytes;
    const auto id_of = [](std::u16string_view name) { return recognise_id(name, kIdModeItem, kIds); };
    for (const auto& path : {cp932, junk}) {
        CFileSP file;
        CCharW text;
        ASSERT_EQ(file.read_settings_text(path, text), 0);
        const ListFileContents c = read_list_text(text.view(), u"/d");
        CListDownload list;
        register_paths(list, c.paths, id_of);
        register_paths(list, c.paths, id_of);
        std::unordered_set<std::u16string> ids;
        for (const auto& row : list.rows()) {
            EXPECT_TRUE(ids.insert(row.id()).second);
            EXPECT_EQ(row.cells[dlcol::kSaveName].find(u'/'), std::u16string::npos);
        }
    }
}

TEST(IdPatterns, BlocksTheirKeysAndAlternatives) {
    const std::u16string text = u"// comment\r\n"
                                u"orphan\tline\r\n"
                                u"▼名前に引数なし\r\n"
                                u"ＵＲＬ\t含む\t/list\r\n"
                                u"区切\t無変換\t<i>\r\n"
                                u"ＩＤ\t抜出\tid=\t;\r\n"
                                u"名前\t抜出\r\n"
                                u"▼壊れた式\r\n"
                                u"ＵＲＬ\t含む\t(unclosed\r\n"
                                u"区切\t無変換\t<i>\r\n"
                                u"ＩＤ\t抜出\tid=\t;\r\n"
                                u"名前\t抜出\tt=\t;\r\n"
                                u"▼使える\r\n"
                                u"ＵＲＬ\t一致\thttps?://h/list\r\n"
                                u"ＵＲＬ\t含む\t/other/\r\n"
                                u"区切\t無変換\t<i>\t</i>\r\n"
                                u"ＩＤ\t抜出\tvid=\t;\r\n"
                                u"ＩＤ\t抜出\tid=\t;\r\n"
                                u"名前\t抜出\tt=\t;\r\n"
                                u"不明\tx\r\n";
    const IdPatternFile file = IdPatternFile::parse(text);
    ASSERT_EQ(file.blocks.size(), 3u);
    EXPECT_FALSE(file.blocks[0].usable());
    EXPECT_TRUE(file.blocks[1].usable());
    EXPECT_FALSE(file.blocks[1].applies_to(u"http://h/list")); // an expression that does not compile
    EXPECT_TRUE(file.blocks[2].applies_to(u"http://h/list"));
    EXPECT_FALSE(file.blocks[2].applies_to(u"http://h/list2")); // "一致" is the whole address
    EXPECT_TRUE(file.blocks[2].applies_to(u"http://any/other/x"));
    EXPECT_EQ(file.problems.size(), 3u); // the orphan line, the unknown key, the block without a name argument

    std::vector<PageItem> items;
    const std::u16string page = u"<i>id=sm1;t=一;</i><i>vid=sm2;id=sm9;t=二;</i><i>t=三;</i>";
    EXPECT_EQ(cut_page_items(file, u"http://h/list", page, items), 2);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].id, u"sm1");
    EXPECT_EQ(items[1].id, u"sm2"); // the first alternative that finds something
    EXPECT_EQ(cut_page_items(file, u"http://nowhere/", page, items), -1);

    // The built-in file parses without problems, and its mylist block reads JSON items.
    const IdPatternFile builtin = IdPatternFile::parse(default_id_pattern_text());
    EXPECT_TRUE(builtin.problems.empty()) << to_utf8(builtin.problems.front());
    const std::u16string json =
        u"{\"item_type\":0,\"item_data\":{\"video_id\":\"sm5\",\"title\":\"\\u30c6\\u30b9\\u30c8\","
        u"\"first_retrieve\":1173108780,\"num_res\":12,\"view_counter\":34,}}";
    EXPECT_GE(cut_page_items(builtin, u"https://www.nicovideo.jp/mylist/1", json, items), 0);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, u"\"テスト\"");
    EXPECT_EQ(items[0].views, u"34");
}

class MemoryRegisterReport : public RegisterReport {
public:
    void log(std::u16string_view text) override { lines.emplace_back(text); }
    void sleep_ms(int) override {}
    std::vector<std::u16string> lines;
};

TEST(IdPatterns, RegistrationCleansCountsAndSkipsWhatIsListed) {
    const IdPatternFile file =
        IdPatternFile::parse(u"▼一覧\r\n区切\t無変換\t<i>\t</i>\r\nＩＤ\t抜出\tID:\t|\r\n"
                             u"名前\t抜出\tT:\t|\r\n日付\t抜出\tDATE:\t|\r\n再生\t抜出\tV:\t|\r\n");
    CListDownload list;
    MemoryRegisterReport report;
    RegisterContext ctx;
    ctx.list = &list;
    ctx.report = &report;
    ctx.folder = u"/f/";
    int fetched = 0;
    ctx.fetch_info = [&](std::u16string_view id, CWorkMovieInfo&) {
        ++fetched;
        return id == u"nothing";
    };
    const std::u16string page = u"<i>ID: watch/sm1 |T:A &amp; B|DATE:2007/03/06|V:1,234|</i>"
                                u"<i>ID:sm2|T:長い題名...|</i><i>ID:junk|T:x|</i>";
    EXPECT_EQ(register_by_patterns(ctx, &file, u"http://h/", page), 0);
    ASSERT_EQ(list.row_count(), 2);
    EXPECT_EQ(list.cell(0, dlcol::kSaveName), u"A & B(sm1)");
    EXPECT_EQ(list.cell(0, dlcol::kPosted), u"07/03/06");
    EXPECT_EQ(list.cell(0, dlcol::kViews), u"1234");
    EXPECT_EQ(list.cell(1, dlcol::kSaveName).find(kShortTitleFailure), 0u);
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(register_by_patterns(ctx, &file, u"http://h/", page), 1);
    EXPECT_EQ(register_by_patterns(ctx, &file, u"http://h/", u"<b>nothing</b>"), 2);
    EXPECT_EQ(register_by_patterns(ctx, nullptr, u"http://h/", page), 3);
    EXPECT_EQ(ctx.used_blocks, std::vector<std::u16string>{u"一覧"});
}

TEST(SearchOrder, FileDefaultsAndAddresses) {
    const auto methods = parse_search_methods(default_search_order_text(), u"https://s/search/");
    ASSERT_GE(methods.size(), 24u);
    EXPECT_EQ(methods[0].label, u"コメが多い");
    EXPECT_EQ(methods[0].front, u"https://s/search/");
    EXPECT_EQ(search_page_url(methods[0], u"初音　ミク", 2),
              u"https://s/search/%e5%88%9d%e9%9f%b3%2b%e3%83%9f%e3%82%af?"
              u"page=2&sort=r&order=d");
    const SearchMethod& web = methods.back();
    EXPECT_EQ(web.page_param, u"start");
    EXPECT_EQ(web.first, 0);
    EXPECT_EQ(web.step, 30);
    EXPECT_NE(search_page_url(web, u"x", 30).find(u"&start=30"), std::u16string::npos);
    const auto partial = parse_search_methods(u"// x\r\nラベル\r\n\r\n\tno label\r\n", u"F");
    ASSERT_EQ(partial.size(), 1u);
    EXPECT_EQ(partial[0].page_param, u"page");
    EXPECT_EQ(partial[0].first, 1);
    EXPECT_EQ(search_page_url(partial[0], u"a b", 1), u"Fa+b?page=1");
}

TEST(SerialRegistration, RangeRulesAndTheEnds) {
    CListDownload list;
    auto five_three = register_serial(list, 5, 3, u"/f", kIds);
    EXPECT_EQ(five_three.refusal, u"開始番号が終了番号よりも後です");
    EXPECT_EQ(list.row_count(), 0);
    auto too_many = register_serial(list, 1, 10001, u"/f", kIds);
    EXPECT_EQ(too_many.refusal, u"連番で一度に追加できる行数は10000までです");
    EXPECT_EQ(list.row_count(), 0);
    auto full = register_serial(list, 1, 10000, u"/f", kIds);
    EXPECT_TRUE(full.refusal.empty());
    EXPECT_EQ(full.added, 10000);
    EXPECT_EQ(list.cell(0, dlcol::kId), u"sm1");
    EXPECT_EQ(list.cell(9999, dlcol::kId), u"sm10000");
    EXPECT_EQ(list.cell(0, dlcol::kFolder), u"/f/");
    EXPECT_EQ(register_serial(list, 9999, 10002, u"/f", kIds).added, 2);

    EXPECT_EQ(serial_plus(10, 5), 14);
    EXPECT_EQ(serial_plus(999'999'999, 2), 1);
    EXPECT_EQ(serial_minus(10, 5), 6);
    EXPECT_EQ(serial_minus(3, 5), 1);
}

TEST(ChainDownload, DepthFirstWithoutRecursionAndNothingTwice) {
    CListDownload list;
    DownloadRow listed;
    listed.cells[dlcol::kId] = u"sm3";
    list.add_row(listed);
    MemoryRegisterReport report;
    std::vector<std::u16string> order;
    // sm1 names sm2 and sm3 (listed) and sm4; sm2 names sm5 and sm1; sm5 names sm4.
    auto visit = [&](CListDownload& l, int row, std::u16string& description) {
        const std::u16string id = l.cell(row, dlcol::kId);
        order.push_back(id);
        if (id == u"sm1") description = u"sm2 sm3 sm4";
        if (id == u"sm2") description = u"sm5 / sm1";
        if (id == u"sm5") description = u"続きは sm4";
        return 0;
    };
    EXPECT_EQ(chain_walk(list, u"sm1", kIds, u"/f", visit, report), 4);
    EXPECT_EQ(order, (std::vector<std::u16string>{u"sm1", u"sm2", u"sm5", u"sm4"}));
    EXPECT_EQ(report.lines.front(), u"sm1から、説明文の中にあるIDを連鎖DL中...");
    EXPECT_EQ(list.row_count(), 5);
    EXPECT_EQ(chain_walk(list, u"no id", kIds, u"/f", visit, report), -1);

    // A chain of 100,000 videos, each naming the next and the one before it: no stack to exhaust.
    CListDownload long_list;
    int visits = 0;
    auto chain = [&](CListDownload& l, int row, std::u16string& description) {
        ++visits;
        const long long n = std::stoll(to_utf8(l.cell(row, dlcol::kId)).substr(2));
        if (n < 100000) description = u"sm" + decimal_text(n + 1) + u" sm" + decimal_text(n > 1 ? n - 1 : 1);
        return 0;
    };
    EXPECT_EQ(chain_walk(long_list, u"sm1", kIds, u"/f", chain, report), 100000);
    EXPECT_EQ(visits, 100000);

    // Descriptions that name each other densely: every video names the next three and two before it, so an
    // ID waits on the stack under several parents and is reached first through a deeper one. Each ID is
    // still visited, and listed, once.
    CListDownload dense;
    std::vector<int> seen(100001, 0);
    auto web = [&](CListDownload& l, int row, std::u16string& description) {
        const long long n = std::stoll(to_utf8(l.cell(row, dlcol::kId)).substr(2));
        ++seen[static_cast<size_t>(n)];
        for (long long m : {n + 3, n + 1, n + 2, n - 1, n - 2})
            if (m >= 1 && m <= 100000) description += u"sm" + decimal_text(m) + u" ";
        return 0;
    };
    EXPECT_EQ(chain_walk(dense, u"sm1", kIds, u"/f", web, report), 100000);
    EXPECT_EQ(dense.row_count(), 100000);
    EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), 100000);

    int calls = 0;
    auto stop_at_third = [&](CListDownload&, int, std::u16string& description) {
        description = u"sm" + decimal_text(100 + calls);
        return ++calls == 3 ? -2 : 0;
    };
    CListDownload stopped;
    EXPECT_EQ(chain_walk(stopped, u"sm1", kIds, u"/f", stop_at_third, report), -2);
    EXPECT_EQ(calls, 3);
}

} // namespace
} // namespace quippet
