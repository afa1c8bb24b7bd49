#include "ui/download/BookmarkDialog.h"
#include "ui/download/BookmarkTree.h"

#include "tests/ui/TabTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "app/Settings.h"
#include "lists/ListsTextFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using quippet::BookmarkNode;

void write_tree(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const std::u16string u = text.toStdU16String();
    QByteArray bytes("\xFF\xFE", 2);
    for (char16_t c : u) {
        bytes.append(static_cast<char>(c & 0xFF));
        bytes.append(static_cast<char>(c >> 8));
    }
    f.write(bytes);
}

QString read_tree(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll().mid(2);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

class BookmarkTreeWidget : public ::testing::Test {
protected:
    void SetUp() override {
        tree_file = QString::fromStdU16String(quippet::bookmark_tree_path(settings));
        QDir().mkpath(QFileInfo(tree_file).path());
        write_tree(tree_file, QStringLiteral("1\t32\t\t検索\r\n"
                                             "2\t0\ts=-8 p=3 a=0\tボカロ\tボーカロイド\t/tmp/vocaloid\r\n"
                                             "2\t0\t\t動画\tsm9\r\n"
                                             "1\t0\t\tフォルダ\r\n"));
    }

    quippet::test::TabHome home;
    quippet::CSettings settings;
    QString tree_file;
};

TEST_F(BookmarkTreeWidget, DoubleClickingASearchBookmarkAsksForItsRegistration) {
    CTreeBookmark tree(settings);
    tree.resize(300, 400);
    tree.show();
    tree.reload();
    ASSERT_EQ(tree.model()->rowCount(), 2);
    const QModelIndex search = tree.model()->index(0, 0);
    EXPECT_TRUE(tree.isExpanded(search)); // the state of the file
    const QModelIndex words = tree.model()->index(0, 0, search);
    ASSERT_EQ(words.data().toString(), QStringLiteral("ボカロ"));

    QList<QStringList> spy;
    QObject::connect(&tree, &CTreeBookmark::register_requested,
                     [&spy](const QString& target, const QString& options, const QString& folder) {
                         spy.append({target, options, folder});
                     });
    // What the view emits for a double-click on the row.
    Q_EMIT tree.doubleClicked(words);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0), QStringLiteral("ボーカロイド"));
    EXPECT_EQ(spy.at(0).at(1), QStringLiteral("s=-8 p=3 a=0"));
    EXPECT_EQ(spy.at(0).at(2), QStringLiteral("/tmp/vocaloid"));

    // A folder item has nothing to register.
    tree.setCurrentIndex(tree.model()->index(1, 0));
    tree.register_selected();
    EXPECT_EQ(spy.count(), 1);
    // The menu file was made with its defaults, every line understood.
    EXPECT_TRUE(tree.menu().log.empty());
    EXPECT_GT(tree.menu().entries.size(), 10u);

    if (const QByteArray shots = qgetenv("QUIPPET_BOOKMARK_SHOT"); !shots.isEmpty()) {
        tree.setCurrentIndex(words);
        quippet::test::pump_until([] { return false; }, std::chrono::milliseconds(200));
        tree.grab().save(QString::fromLocal8Bit(shots));
    }
}

TEST_F(BookmarkTreeWidget, TheDialogAddsReplacesAndAsksAboutTheSameTarget) {
    CTreeBookmark tree(settings);
    tree.reload();
    const QModelIndex video = tree.model()->index(1, 0, tree.model()->index(0, 0));
    tree.setCurrentIndex(video);

    CDlgSetBm dialog(tree);
    int asked = 0;
    bool answer = false;
    dialog.set_question([&](const QString& text) {
        ++asked;
        EXPECT_TRUE(text.startsWith(QStringLiteral("同じsm9のブクマ")));
        return answer;
    });
    dialog.set_fields(QStringLiteral("もう一度"), QStringLiteral("sm9"), {}, QStringLiteral("t=2 w=-4 c=3 zz=9"));
    EXPECT_EQ(dialog.options_text(), QStringLiteral("t=2 w=-4 c=3 zz=9"));
    EXPECT_FALSE(dialog.add()); // cancelled
    EXPECT_EQ(asked, 1);
    answer = true;
    EXPECT_TRUE(dialog.add());
    // Added as the next sibling of the selection (it has no children), and saved at once.
    EXPECT_EQ(read_tree(tree_file), QStringLiteral("1\t32\t\t検索\r\n"
                                                   "2\t0\ts=-8 p=3 a=0\tボカロ\tボーカロイド\t/tmp/vocaloid\r\n"
                                                   "2\t0\t\t動画\tsm9\r\n"
                                                   "2\t0\tt=2 w=-4 c=3 zz=9\tもう一度\tsm9\r\n"
                                                   "1\t0\t\tフォルダ\r\n"));

    dialog.set_fields(QStringLiteral("名前順"), QStringLiteral("https://example.jp/mylist/1"), QStringLiteral("/tmp/m"),
                      {});
    dialog.set_options(QStringLiteral("s=2 p=0"));
    dialog.replace_and_close();
    EXPECT_TRUE(read_tree(tree_file).contains(
        QStringLiteral("2\t0\ts=2 p=0\t名前順\thttps://example.jp/mylist/1\t/tmp/m\r\n")));

    tree.setCurrentIndex({});
    CDlgSetBm second(tree);
    second.replace_and_close();
    EXPECT_EQ(second.message(), QStringLiteral("置き換えるアイテムが選択されていません"));
    second.set_target(QStringLiteral("sm9x"));
    second.make_target();
    EXPECT_EQ(second.message(), QStringLiteral("作成対象のパスではないようなので、何もしませんでした"));
    second.choose_special(1);
    EXPECT_EQ(second.target_text(), QStringLiteral("<保存したリストの一覧>"));
}

TEST_F(BookmarkTreeWidget, RenameInPlaceNewFolderDeleteAndABrokenFileStillOpens) {
    write_tree(tree_file, QStringLiteral("1\t0\t\tA\r\n3\t0\t\tlost\r\nbroken\r\n1\t0\t\tB\r\n"));
    CTreeBookmark tree(settings);
    QStringList log;
    QObject::connect(&tree, &CTreeBookmark::log_line, [&log](const QString& line) { log.append(line); });
    tree.reload();
    ASSERT_EQ(tree.model()->rowCount(), 2);
    EXPECT_EQ(log.size(), 2);
    ASSERT_TRUE(tree.model()->setData(tree.model()->index(0, 0), QStringLiteral("A2")));
    // The first save kept the file with the lines that could not be read.
    EXPECT_TRUE(QFile::exists(tree_file + QStringLiteral(".bak")));
    tree.setCurrentIndex(tree.model()->index(0, 0));
    tree.new_folder();
    EXPECT_EQ(tree.model()->rowCount(tree.model()->index(0, 0)), 1);
    tree.setCurrentIndex(tree.model()->index(1, 0));
    tree.delete_selected(false, false);
    EXPECT_EQ(read_tree(tree_file), QStringLiteral("1\t48\t\tA2\r\n2\t0\t\t新しいフォルダ\r\n"));
}

} // namespace
