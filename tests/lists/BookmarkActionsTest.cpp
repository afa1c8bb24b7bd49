#include "lists/BookmarkActions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestText.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::u8;
namespace fs = std::filesystem;

void make_dirs(const std::u16string& path) {
    fs::create_directories(to_utf8(path));
}

std::vector<std::string> labels(const BookmarkNode& n) {
    std::vector<std::string> out;
    for (const auto& c : n.children)
        out.push_back(u8(c->label));
    return out;
}

class BookmarkEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.tree_path = dir / u"tree.txt";
        settings.saved_lists_folder = dir / u"down";
        settings.trash = [this](std::u16string_view path) {
            trashed.emplace_back(path);
            std::error_code ec;
            return fs::remove_all(to_utf8(path), ec) > 0;
        };
    }
    CBookmarkEditor editor() {
        return CBookmarkEditor(tree, settings, [this](std::u16string_view line) { log.emplace_back(u8(line)); });
    }
    BookmarkNode* add_folder_bookmark(const std::u16string& path, std::u16string options = {}) {
        BookmarkNode data;
        data.label = u"フォルダ";
        data.target = path;
        data.options = std::move(options);
        return tree.insert(nullptr, -1, data);
    }

    test::TempFolder dir;
    CBookmarkTree tree;
    BookmarkEditorSettings settings;
    std::vector<std::string> log;
    std::vector<std::u16string> trashed;
};

TEST_F(BookmarkEditorTest, FolderBookmarksGrowTheirSubfoldersDownToTheirLimitAndKeepWhatTheUserPutThere) {
    const std::u16string root = dir / u"v";
    make_dirs(root + u"/b/deep/deeper");
    make_dirs(root + u"/a");
    std::ofstream(to_utf8(root + u"/file.xml")) << "x";
    BookmarkNode* bm = add_folder_bookmark(root, u"d=2");
    BookmarkNode own;
    own.label = u"自分の";
    own.target = u"https://example.jp/mylist/1";
    tree.insert(bm, -1, own);
    CBookmarkEditor e = editor();
    EXPECT_EQ(e.registered(*bm), 3); // a, b, b/deep; deeper is past d=2
    EXPECT_EQ(labels(*bm), (std::vector<std::string>{"自分の", "a", "b"}));
    ASSERT_EQ(labels(*bm->children[2]), (std::vector<std::string>{"deep"}));
    EXPECT_TRUE(bm->children[2]->children[0]->children.empty());

    // A vanished folder leaves; a second registration adds nothing twice; the file has the tree.
    fs::remove_all(to_utf8(root + u"/a"));
    EXPECT_EQ(e.registered(*bm), 0);
    EXPECT_EQ(labels(*bm), (std::vector<std::string>{"自分の", "b"}));
    CBookmarkTree reread;
    ASSERT_EQ(reread.load(settings.tree_path), 0);
    EXPECT_EQ(reread.text(), tree.text());

    // "e=0" keeps the tree as it is; a bookmark whose folder is gone loads and registers nothing.
    bm->options = u"e=0";
    make_dirs(root + u"/c");
    EXPECT_EQ(e.registered(*bm), 0);
    fs::remove_all(to_utf8(root));
    bm->options.clear();
    EXPECT_EQ(e.registered(*bm), 0);
    EXPECT_EQ(labels(*bm), (std::vector<std::string>{"自分の", "b"}));
}

TEST_F(BookmarkEditorTest, RenameAndNewFolderActOnDiskAndRefreshTheParentBookmark) {
    const std::u16string root = dir / u"v";
    make_dirs(root + u"/old");
    BookmarkNode* bm = add_folder_bookmark(root);
    settings.new_folder_on_disk = true;
    CBookmarkEditor e = editor();
    e.registered(*bm);
    BookmarkNode* old = bm->children[0].get();
    ASSERT_TRUE(e.rename(old, u"new"));
    EXPECT_TRUE(fs::is_directory(to_utf8(root + u"/new")));
    EXPECT_EQ(u8(old->target), u8(root + u"/new"));
    EXPECT_EQ(log.back(), u8(root) + "/old をリネーム → 「new」");
    EXPECT_EQ(bm->children.size(), 1u); // the rebuild found the renamed item, not a second one
    EXPECT_FALSE(e.rename(old, u"../escape"));
    EXPECT_EQ(log.back(), "ラベルの取得に失敗。アイテムの内容を変更できませんでした");

    BookmarkNode* fresh = e.new_folder(bm);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(log.back(), u8(root) + "/新しいフォルダ を作成");
    EXPECT_EQ(u8(fresh->target), u8(root + u"/新しいフォルダ"));
    EXPECT_EQ(bm->children.size(), 2u);
    BookmarkNode* plain = e.new_folder(bm);
    EXPECT_EQ(log.back(), u8(root) + "/新しいフォルダ は既存なので空欄のツリーアイテムを作成");
    EXPECT_TRUE(plain->target.empty());
    // A plain label change of a bookmark touches no folder.
    ASSERT_TRUE(e.rename(bm, u"動画置き場"));
    EXPECT_TRUE(fs::is_directory(to_utf8(root)));
}

TEST_F(BookmarkEditorTest, DeleteAndMoveOfFolderBookmarksLogWhatHappenedToTheFolder) {
    const std::u16string a = dir / u"a";
    const std::u16string b = dir / u"b";
    make_dirs(a + u"/inner");
    make_dirs(b);
    BookmarkNode* ba = add_folder_bookmark(a);
    BookmarkNode* bb = add_folder_bookmark(b);
    CBookmarkEditor e = editor();
    e.registered(*ba);
    BookmarkNode* inner = ba->children[0].get();
    ASSERT_TRUE(e.move(inner, bb, -1));
    EXPECT_EQ(log.back(), "「" + u8(a) + "/inner」を移動 → [" + u8(b) + "]");
    EXPECT_TRUE(fs::is_directory(to_utf8(b + u"/inner")));
    EXPECT_EQ(u8(inner->target), u8(b + u"/inner"));
    EXPECT_EQ(inner->parent, bb);

    // A folder that cannot move (the name is taken there) leaves the item in place.
    make_dirs(a + u"/inner");
    e.registered(*ba);
    BookmarkNode* again = ba->children[0].get();
    EXPECT_FALSE(e.move(again, bb, -1));
    EXPECT_EQ(again->parent, ba);
    EXPECT_EQ(log.back(), "「" + u8(a) + "/inner」の移動に失敗");

    ASSERT_TRUE(e.remove(again, false));
    EXPECT_EQ(log.back(), u8(a) + "/innerの削除はしませんでした");
    EXPECT_TRUE(fs::is_directory(to_utf8(a + u"/inner")));
    ASSERT_TRUE(e.remove(bb, true));
    EXPECT_EQ(log.back(), "「" + u8(b) + "」は、ごみ箱ポイポイのポイりゅん！");
    EXPECT_EQ(trashed.size(), 1u);
    // Without a trash the item stays with its folder.
    settings.trash = nullptr;
    CBookmarkEditor no_trash = editor();
    EXPECT_FALSE(no_trash.remove(ba, true));
    EXPECT_EQ(tree.root().children.size(), 1u);
    EXPECT_TRUE(fs::is_directory(to_utf8(a)));
}

TEST_F(BookmarkEditorTest, SavedListsReplaceTheChildrenOfTheirItemOnLoad) {
    make_dirs(settings.saved_lists_folder);
    for (const char* name : {"b.txt", "a.m3u", "[前回DL開始時のリスト].txt", "c.xml"})
        std::ofstream(to_utf8(settings.saved_lists_folder) + "/" + name) << "x";
    std::ofstream(to_utf8(settings.tree_path), std::ios::binary)
        << "1\t0\t\t保存したリスト\t<保存したリストの一覧>\r\n2\t0\t\tstale\r\n1\t0\t\tafter\r\n";
    CBookmarkEditor e = editor();
    ASSERT_EQ(e.load(), 0);
    const BookmarkNode& lists = *tree.root().children[0];
    EXPECT_EQ(labels(lists), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(u8(lists.children[1]->target), u8(settings.saved_lists_folder + u"/b.txt"));
    EXPECT_EQ(u8(tree.root().children[1]->label), "after");
}

TEST_F(BookmarkEditorTest, UpdateItemsAreTheCheckedBookmarksAndTheBookmarksUnderCheckedFolders) {
    tree.parse(u"1\t8192\t\tmylist\thttps://x/mylist/1\r\n"
               u"1\t8192\td=1\tfolder\r\n"
               u"2\t0\tc=1\tranking\thttps://x/ranking\r\n"
               u"3\t0\t\ttoo deep\thttps://x/deep\r\n"
               u"2\t8192\t\tlocal\t/tmp\r\n"
               u"1\t4096\t\toff\thttps://x/off\r\n");
    CBookmarkEditor e = editor();
    const auto items = e.update_items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(u8(items[0].url), "https://x/mylist/1");
    EXPECT_EQ(u8(items[1].url), "https://x/ranking");
    EXPECT_EQ(u8(items[1].options), "c=1");
    EXPECT_EQ(u8(items[2].url), "/tmp");
    EXPECT_FALSE(items[2].checkable);
    e.check_all(false);
    EXPECT_TRUE(e.update_items().empty());
}

TEST_F(BookmarkEditorTest, ReplaceWithoutSelectionAndTheSameTargetQuestion) {
    CBookmarkEditor e = editor();
    BookmarkNode data;
    data.label = u"x";
    data.target = u"https://x/1";
    EXPECT_FALSE(e.replace(nullptr, data));
    EXPECT_EQ(log.back(), "置き換えるアイテムが選択されていません");
    EXPECT_TRUE(same_target_question(tree, data.target).empty());
    BookmarkNode* added = e.add(nullptr, data);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(
        u8(same_target_question(tree, data.target)),
        "同じhttps://x/1のブクマがすでに存在します\r\n続行するなら「OK」、やめるなら「キャンセル」を押してください");
    data.label = u"y";
    ASSERT_TRUE(e.replace(added, data));
    CBookmarkTree reread;
    ASSERT_EQ(reread.load(settings.tree_path), 0);
    EXPECT_EQ(u8(reread.root().children[0]->label), "y");
}

TEST_F(BookmarkEditorTest, TheMakeButtonsCreateWhatThePathNames) {
    const std::u16string folder = dir / u"新/深い";
    int lists_written = 0;
    auto create_list = [&](std::u16string_view path) {
        ++lists_written;
        std::ofstream(to_utf8(path)) << "";
        return 0;
    };
    const struct {
        std::u16string path;
        bool save_field;
        std::string expected;
    } cases[] = {
        {folder, true, u8(folder) + "を作成"},
        {folder, false, u8(folder) + "は、すでに存在するフォルダでした"},
        {dir / u"l.txt", false, u8(dir / u"l.txt") + "を現在のリストで作成"},
        {dir / u"l.txt", false, "既存のリストファイルのパスなので、何もしませんでした"},
        {dir / u"l.m3u", true, "フォルダのパスではないようなので、何もしませんでした"},
        {u"sm9", false, "作成対象のパスではないようなので、何もしませんでした"},
        {u"https://x/", true, "フォルダのパスではないようなので、何もしませんでした"},
        {u"/proc/quippet-cannot/x", true, "フォルダの作成に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(u8(c.path));
        EXPECT_EQ(u8(make_bookmark_path(c.path, c.save_field, create_list)), c.expected);
    }
    EXPECT_EQ(lists_written, 1);
    EXPECT_EQ(u8(make_bookmark_path(dir / u"m.txt", false, [](std::u16string_view) { return -1; })),
              "リストファイルの作成に失敗しました");
}

} // namespace
} // namespace quippet
