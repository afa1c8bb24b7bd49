#include "lists/BookmarkTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lists/BookmarkActions.h"
#include "lists/BookmarkOptions.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::u8;

std::string file_bytes(const std::u16string& path) {
    std::ifstream in(to_utf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// FF FE and UTF-16LE, as the program writes its wide text files.
std::string wide_bytes(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

void write_bytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream(to_utf8(path), std::ios::binary) << bytes;
}

TEST(BookmarkTreeFile, FourLinesLoadAsTwoBranchesAndSaveBackByteForByte) {
    test::TempFolder dir;
    const std::u16string folder = dir / u"動画";
    const std::u16string text = u"1\t0\t\tA\r\n2\t0\t\tB\r\n2\t0\t\tC\r\n1\t32\te=0\tD\t" + folder + u"\r\n";
    const std::u16string path = dir / u"設定：固定URL.txt";
    write_bytes(path, wide_bytes(text));

    CBookmarkTree tree;
    BookmarkLoadReport report;
    ASSERT_EQ(tree.load(path, &report), 0);
    EXPECT_EQ(report.skipped, 0);
    const BookmarkNode& root = tree.root();
    ASSERT_EQ(root.children.size(), 2u);
    const BookmarkNode& a = *root.children[0];
    EXPECT_EQ(u8(a.label), "A");
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(u8(a.children[0]->label), "B");
    EXPECT_EQ(u8(a.children[1]->label), "C");
    EXPECT_FALSE(a.expanded());
    const BookmarkNode& d = *root.children[1];
    EXPECT_EQ(u8(d.label), "D");
    EXPECT_TRUE(d.expanded());
    EXPECT_EQ(d.target, folder);
    EXPECT_EQ(u8(d.options), "e=0");
    EXPECT_TRUE(d.save_folder.empty());

    std::filesystem::remove(to_utf8(path));
    ASSERT_EQ(tree.save(path), 0);
    EXPECT_EQ(file_bytes(path), wide_bytes(text));
    EXPECT_TRUE(tree.last_backup().empty());
}

TEST(BookmarkTreeFile, FieldsWrittenOnlyWhenTheyCarrySomething) {
    CBookmarkTree tree;
    BookmarkNode bookmark;
    bookmark.label = u"マイリスト";
    bookmark.target = u"https://www.example.jp/mylist/1";
    tree.insert(nullptr, -1, bookmark);
    BookmarkNode folder_item;
    folder_item.label = u"棚";
    folder_item.save_folder = u"/tmp/x"; // without a target the save folder has no line to live on
    tree.insert(nullptr, -1, folder_item);
    BookmarkNode full;
    full.label = bookmark.label;
    full.target = bookmark.target;
    full.save_folder = u"/tmp/y";
    full.options = u"p=0";
    tree.insert(nullptr, -1, full);
    EXPECT_EQ(u8(tree.text()), "1\t0\t\tマイリスト\thttps://www.example.jp/mylist/1\r\n"
                               "1\t0\t\t棚\r\n"
                               "1\t0\tp=0\tマイリスト\thttps://www.example.jp/mylist/1\t/tmp/y\r\n");
    CBookmarkTree empty;
    EXPECT_EQ(empty.text(), u"");
}

TEST(BookmarkTreeFile, BadLinesAreSkippedWithTheirLineNumberAndTheRestLoads) {
    const std::u16string long_label(10'000, u'長');
    const std::u16string text = u"1\t0\t\tA\r\n"          // 1
                                u"3\t0\t\tjump\r\n"       // 2: depth 3 after depth 1
                                u"2\t0\t\tB\r\n"          // 3
                                u"2\t0\tonly three\r\n"   // 4
                                u"x\t0\t\tbad depth\r\n"  // 5
                                u"1\t-1\t\tbad state\r\n" // 6
                                u"0\t0\t\tdepth zero\r\n" // 7
                                u"\r\n"                   // 8
                                u"1\t0\t\t" +
                                long_label +
                                u"\r\n"                                               // 9
                                u"2\t8224\td=2 zz=1\tE\thttps://x/\t/save\textra\r\n" // 10
                                u"1\t0\t\tlast without line break";
    CBookmarkTree tree;
    const BookmarkLoadReport r = tree.parse(text, u"t.txt");
    EXPECT_EQ(r.skipped, 6);
    ASSERT_EQ(r.log.size(), 6u);
    EXPECT_EQ(u8(r.log[0]), "t.txt の2行目を読み飛ばしました：階層が前の行より2つ以上深い");
    EXPECT_EQ(u8(r.log[1]), "t.txt の4行目を読み飛ばしました：項目が4つ未満");
    EXPECT_EQ(u8(r.log[2]), "t.txt の5行目を読み飛ばしました：階層が数値ではない");
    EXPECT_EQ(u8(r.log[3]), "t.txt の6行目を読み飛ばしました：状態が数値ではない");
    ASSERT_EQ(tree.root().children.size(), 3u);
    EXPECT_EQ(tree.root().children[0]->children.size(), 1u);
    const BookmarkNode& big = *tree.root().children[1];
    EXPECT_EQ(big.label, long_label);
    ASSERT_EQ(big.children.size(), 1u);
    EXPECT_TRUE(big.children[0]->checked());
    EXPECT_EQ(u8(big.children[0]->save_folder), "/save");
    // Saving keeps every item that loaded, the long label whole and unknown option tokens as they were.
    CBookmarkTree again;
    EXPECT_EQ(again.parse(tree.text()).skipped, 0);
    EXPECT_EQ(again.text(), tree.text());
    EXPECT_NE(tree.text().find(u"d=2 zz=1"), std::u16string::npos);
}

TEST(BookmarkTreeFile, AFaultyFileIsKeptAsideBeforeTheFirstSaveAndAnUnreadableOneChangesNothing) {
    test::TempFolder dir;
    const std::u16string path = dir / u"tree.txt";
    const std::string faulty = wide_bytes(u"1\t0\t\tA\r\n5\t0\t\tlost\r\n");
    write_bytes(path, faulty);
    CBookmarkTree tree;
    ASSERT_EQ(tree.load(path), 0);
    ASSERT_EQ(tree.save(path), 0);
    EXPECT_EQ(u8(tree.last_backup()), u8(path + u".bak"));
    EXPECT_EQ(file_bytes(path + u".bak"), faulty);
    EXPECT_EQ(file_bytes(path), wide_bytes(u"1\t0\t\tA\r\n"));
    ASSERT_EQ(tree.save(path), 0); // once kept is enough
    EXPECT_TRUE(tree.last_backup().empty());

    EXPECT_EQ(tree.load(dir / u"missing.txt"), -1);
    EXPECT_EQ(tree.item_count(), 1);
}

TEST(BookmarkTreeFile, AFileNestedDeeperThanTheLimitLoadsDownToIt) {
    std::u16string text;
    for (int d = 1; d <= CBookmarkTree::kMaxDepth + 5; ++d)
        text += from_utf8(std::to_string(d)) + u"\t0\t\tx\r\n";
    CBookmarkTree tree;
    const BookmarkLoadReport r = tree.parse(text);
    EXPECT_EQ(r.loaded, CBookmarkTree::kMaxDepth);
    EXPECT_EQ(r.skipped, 5);
}

TEST(BookmarkTreeEdit, AddReplaceMoveAndFieldsThatWouldBreakTheFile) {
    CBookmarkTree tree;
    tree.parse(u"1\t0\t\tA\r\n2\t0\t\tB\r\n1\t0\t\tC\r\n");
    BookmarkNode* a = tree.root().children[0].get();
    BookmarkNode* c = tree.root().children[1].get();
    BookmarkNode data;
    data.label = u"new\tline\r\nhere";
    // A child of an item with children, the next sibling of one without.
    BookmarkNode* under_a = tree.add_near(a, data);
    EXPECT_EQ(under_a->parent, a);
    EXPECT_EQ(u8(under_a->label), "new line  here");
    BookmarkNode* after_c = tree.add_near(c, data);
    EXPECT_EQ(after_c->parent, &tree.root());
    EXPECT_EQ(after_c->row(), 2);

    EXPECT_FALSE(tree.move(a, a->children[0].get(), 0)); // into its own subtree
    EXPECT_TRUE(tree.move(c, a, 0));
    EXPECT_EQ(c->parent, a);
    EXPECT_TRUE(tree.move(after_c, nullptr, 0));
    EXPECT_EQ(u8(tree.text()), "1\t0\t\tnew line  here\r\n1\t0\t\tA\r\n2\t0\t\tC\r\n2\t0\t\tB\r\n"
                               "2\t0\t\tnew line  here\r\n");
    // Within one parent the index counts places before the move.
    EXPECT_TRUE(tree.move(c, a, 3));
    EXPECT_EQ(a->children.back().get(), c);
}

TEST(BookmarkOptionsText, EveryTokenRoundTripsAndSwitchesOffWriteNothing) {
    const struct {
        const char16_t* text;
        const char16_t* written;
    } cases[] = {
        {u"", u""},
        {u"d=3 e=0 s=-6 p=5 a=0 t=4 w=-16 c=3", u"d=3 e=0 s=-6 p=5 a=0 t=4 w=-16 c=3"},
        {u"c=1 a=1 w=75", u"a=1 w=75 c=1"}, // the window's order
        {u"p=0", u"p=0"},
        {u"s=0", u"s=0"},
        {u"s=3", u"s=0"},                  // no such sort: the switch stays, the choice is none
        {u"t=9 x=1  e=1", u"t=9 x=1 e=1"}, // out of range or unknown: kept as read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(u8(c.text));
        EXPECT_EQ(u8(bookmark_options_text(parse_bookmark_options(c.text))), u8(c.written));
    }
    BookmarkOptions o;
    o.page_on = true;
    o.page_limit = 7; // the limit box is off
    EXPECT_EQ(u8(bookmark_options_text(o)), "p=0");
    o.page_limit_on = true;
    EXPECT_EQ(u8(bookmark_options_text(o)), "p=7");
    o = {};
    o.subfolders = false;
    o.update_on = true;
    o.update_date = true;
    EXPECT_EQ(u8(bookmark_options_text(o)), "e=0 c=2");
    EXPECT_EQ(bookmark_sort_code(u"再生多"), -8);
    EXPECT_EQ(u8(bookmark_sort_label(2)), "名前");
    EXPECT_TRUE(parse_bookmark_options(u"t=0").clears_list());
    EXPECT_FALSE(parse_bookmark_options(u"a=1 p=3").clears_list());
}

} // namespace
} // namespace quippet
