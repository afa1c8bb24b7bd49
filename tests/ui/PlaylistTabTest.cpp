#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "lists/PlayerStart.h"
#include "app/PlaylistTabKeys.h"
#include "tests/ui/TabTestSupport.h"
#include "ui/DesktopOpen.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/UiCall.h"
#include "ui/playlist/PlaylistPage.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using quippet::test::TabHome;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

QByteArray wide(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

void write_file(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList shown_names(const CDlgMM& page) {
    QStringList names;
    const QAbstractItemModel* model = page.rows_view()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        names.append(model->index(r, 0).data().toString());
    return names;
}

QStringList playlist_names(const CDlgMM& page) {
    QStringList names;
    for (int r = 0; r < page.playlist_list()->count(); ++r)
        names.append(page.playlist_list()->item(r)->text());
    return names;
}

/// A home whose locations file names two folders: "lists" with an anime playlist and an empty "other".
class PlaylistTab : public ::testing::Test {
protected:
    void SetUp() override {
        lists_ = home_.file(QStringLiteral("lists"));
        write_file(home_.file(QStringLiteral("設定：プレイリストの場所.txt")),
                   wide(QStringLiteral("リスト\t") + lists_ + QStringLiteral("\r\nほか\t") +
                        home_.file(QStringLiteral("other")) + QStringLiteral("\r\n")));
        write_file(lists_ + QStringLiteral("/アニメ.m3u"),
                   wide(QStringLiteral("/v/アニメ 第1話 (sm1).mp4\r\n/v/アニメ 第2話 (sm2).mp4\r\n"
                                       "/v/アニメ 第3話 (sm3).mp4\r\n")));
        QDir().mkpath(home_.file(QStringLiteral("other")));
        page_ = window_.playlist_page();
        page_->load_controls(window_.settings());
        quippet::ui::set_desktop_opener([this](const QString& path) {
            opened_.append(path);
            return 42;
        });
    }
    void TearDown() override { quippet::ui::set_desktop_opener({}); }

    QString playlist(const QString& name) const { return lists_ + QLatin1Char('/') + name + QStringLiteral(".m3u"); }

    TabHome home_;
    QString lists_;
    CDlgBase window_;
    CDlgMM* page_ = nullptr;
    QStringList opened_;
};

TEST_F(PlaylistTab, EveryKeyOfTheTabIsBoundOnceAndRoundTrips) {
    std::map<std::string, int> bound;
    for (const CControlTable::Binding& b : page_->controls().bindings()) {
        EXPECT_EQ(b.key.section, quippet::section::kPlaylist);
        ++bound[quippet::to_utf8(quippet::setting_key_name(b.key))];
    }
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != quippet::section::kPlaylist) continue;
        EXPECT_EQ(bound[quippet::to_utf8(quippet::setting_key_name(def.key))], 1);
    }
    EXPECT_EQ(bound.size(), 3u);

    quippet::CSettings stored;
    stored.set_number(quippet::kPlaylistFolderSel, 0);
    stored.set_number(quippet::kPlaylistSel, 0);
    stored.set_number(quippet::kPlaylistRowSel, 2);
    page_->load_controls(stored);
    quippet::CSettings saved;
    page_->save_controls(saved);
    EXPECT_EQ(quippet::test::differing_keys(saved, stored, quippet::section::kPlaylist), std::vector<std::string>{});
    EXPECT_EQ(shown_names(*page_).size(), 3) << "the stored selections load the playlist";
}

TEST_F(PlaylistTab, OpenAFolderLoadAPlaylistAndSeeItsNames) {
    ASSERT_EQ(page_->folder_list()->count(), 2);
    EXPECT_EQ(page_->folder_list()->item(0)->text(), QStringLiteral("リスト"));
    page_->select_folder(1);
    EXPECT_EQ(page_->playlist_list()->count(), 0);
    page_->select_folder(0);
    EXPECT_EQ(playlist_names(*page_), QStringList{QStringLiteral("アニメ")});
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("空白"));
    EXPECT_EQ(page_->memo_button()->text(), QStringLiteral("空白"));

    // Choosing the playlist in the list loads it, as a click would.
    page_->playlist_list()->setCurrentRow(0);
    EXPECT_EQ(shown_names(*page_),
              (QStringList{QStringLiteral("第1話"), QStringLiteral("第2話"), QStringLiteral("第3話")}));
    EXPECT_EQ(page_->name_field()->text(), QStringLiteral("アニメ"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("変更なし"));
    EXPECT_FALSE(page_->save_button()->isEnabled());
    EXPECT_EQ(page_->memo_button()->text(), QStringLiteral("メモ／新規"));
}

TEST_F(PlaylistTab, ReorderDropAndSaveUnderANewName) {
    page_->select_folder(0);
    page_->select_playlist(0);
    page_->move_rows({2}, 0);
    EXPECT_EQ(shown_names(*page_).front(), QStringLiteral("第3話"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("上書保存"));
    page_->rows_view()->selectionModel()->clearSelection();
    page_->move_rows({0}, -1);
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("変更なし")) << "the rows are as the file again";

    // The selected row goes up and down with the buttons.
    page_->move_rows({1}, 0);
    page_->move_selected_down();
    EXPECT_EQ(shown_names(*page_),
              (QStringList{QStringLiteral("第1話"), QStringLiteral("第2話"), QStringLiteral("第3話")}));

    // A file dropped from the file manager on the second row goes before it.
    window_.show();
    window_.select_tab(CDlgBase::tab_playlist);
    QCoreApplication::processEvents();
    const QString dropped = home_.file(QStringLiteral("アニメ 第9話 (sm9).mp4"));
    write_file(dropped, "v");
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(dropped)});
    QTreeView* view = page_->rows_view();
    const QPoint at = view->visualRect(view->model()->index(1, 0)).topLeft() + QPoint(2, 1);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &drop);
    delete data;
    ASSERT_EQ(shown_names(*page_).size(), 4);
    EXPECT_EQ(shown_names(*page_)[1], QStringLiteral("第9話"));

    page_->name_field()->setText(QStringLiteral("並べ替え"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("新規保存"));
    page_->save_button()->click();
    EXPECT_EQ(read_file(playlist(QStringLiteral("並べ替え"))),
              wide(QStringLiteral("/v/アニメ 第1話 (sm1).mp4\r\n") + dropped +
                   QStringLiteral("\r\n/v/アニメ 第2話 (sm2).mp4\r\n/v/アニメ 第3話 (sm3).mp4\r\n")));
    EXPECT_EQ(playlist_names(*page_), (QStringList{QStringLiteral("アニメ"), QStringLiteral("並べ替え")}));
    EXPECT_EQ(page_->playlist_list()->currentItem()->text(), QStringLiteral("並べ替え"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("変更なし"));
    page_->name_field()->setText(QStringLiteral("アニメ"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("名前重複"));
    EXPECT_FALSE(page_->save_button()->isEnabled());
}

TEST_F(PlaylistTab, RenameMemoDeleteAndPlay) {
    page_->select_folder(0);
    page_->select_playlist(0);
    page_->open_memo();
    ASSERT_EQ(opened_.size(), 1);
    EXPECT_TRUE(opened_[0].endsWith(QStringLiteral("/memo/アニメ.txt")));
    EXPECT_TRUE(QFile::exists(opened_[0]));
    EXPECT_EQ(page_->memo_button()->text(), QStringLiteral("メモ／既存"));

    page_->name_field()->setText(QStringLiteral("第一期"));
    EXPECT_EQ(page_->save_button()->text(), QStringLiteral("リネーム"));
    page_->save();
    EXPECT_TRUE(QFile::exists(playlist(QStringLiteral("第一期"))));
    EXPECT_FALSE(QFile::exists(playlist(QStringLiteral("アニメ"))));
    EXPECT_TRUE(QFile::exists(home_.file(QStringLiteral("memo/第一期.txt"))));
    EXPECT_EQ(page_->memo_button()->text(), QStringLiteral("メモ／既存"));
    EXPECT_TRUE(
        page_->log_pane()->log_text().ends_with(to_u16(playlist(QStringLiteral("第一期"))) + u"にリネームしました"));

    // A double click plays the row through the player choice (nothing in the table: the default program).
    std::vector<quippet::LaunchCommand> started;
    window_.set_player_starter([&started](const quippet::LaunchCommand& command) {
        started.push_back(command);
        return 42;
    });
    QTreeView* view = page_->rows_view();
    Q_EMIT view->doubleClicked(view->model()->index(1, 0));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv.back(), u"/v/アニメ 第2話 (sm2).mp4");

    const QByteArray data_home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home_.file(QStringLiteral("data")).toUtf8());
    page_->delete_selected_playlist();
    if (data_home.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", data_home);
    EXPECT_FALSE(QFile::exists(playlist(QStringLiteral("第一期"))));
    EXPECT_EQ(page_->playlist_list()->count(), 0);
    EXPECT_EQ(shown_names(*page_).size(), 0);
    EXPECT_EQ(page_->memo_button()->text(), QStringLiteral("空白"));
    EXPECT_FALSE(page_->delete_button()->isEnabled());
}

TEST_F(PlaylistTab, AnUnreadablePlaylistLeavesTheTabAsItWas) {
    QDir().mkpath(playlist(QStringLiteral("壊れた")));
    page_->select_folder(0);
    page_->select_playlist(0);
    ASSERT_EQ(playlist_names(*page_), (QStringList{QStringLiteral("アニメ"), QStringLiteral("壊れた")}));
    page_->playlist_list()->setCurrentRow(1);
    EXPECT_EQ(shown_names(*page_).size(), 3);
    EXPECT_EQ(page_->playlist_list()->currentRow(), 0) << "the list goes back to the loaded playlist";
    EXPECT_TRUE(page_->log_pane()->log_text().ends_with(u"プレイリストを読み込めませんでした"));
}

} // namespace

namespace {

TEST(MainWindowPlayers, TheTableFillsTheListAndTheModeButtons) {
    TabHome home;
    CDlgBase window;
    window.start_up();
    ASSERT_EQ(window.player_list()->count(), 5);
    EXPECT_EQ(window.player_list()->itemText(0), QStringLiteral("mpv"));
    EXPECT_EQ(window.mode_button(0)->text(), QStringLiteral("mpv"));
    EXPECT_EQ(window.mode_button(2)->text(), QStringLiteral("既定"));
    EXPECT_TRUE(window.mode_button(0)->isChecked());

    // Another table: the selection stays with its player, a missing mode shows as "未設定".
    window.player_list()->setCurrentIndex(1);
    write_file(
        home.file(QStringLiteral("設定：プレイリストの再生.txt")),
        wide(QStringLiteral("▼プレイヤー\r\nmine\t/bin/true\r\nVLC\t/usr/bin/vlc\r\n▼一つだけ\r\ndefault\tmine\r\n")));
    window.reload_player_table();
    ASSERT_EQ(window.player_list()->count(), 2);
    EXPECT_EQ(window.player_list()->currentText(), QStringLiteral("VLC"));
    EXPECT_EQ(window.mode_button(0)->text(), QStringLiteral("一つだけ"));
    EXPECT_EQ(window.mode_button(1)->text(), QStringLiteral("未設定"));
    EXPECT_FALSE(window.mode_button(1)->isEnabled());

    // The mode's player, then "←" with the list's player.
    std::vector<std::u16string> programs;
    window.set_player_starter([&programs](const quippet::LaunchCommand& command) {
        programs.push_back(command.argv.front());
        return 42;
    });
    const QString video = home.file(QStringLiteral("v; $(rm -rf x) 'q'.mp4"));
    write_file(video, "v");
    EXPECT_EQ(window.play(video), 42);
    window.arrow_button()->click();
    window.play(video);
    window.arrow_button()->click();
    window.play(video, quippet::kPlayDefaultProgram);
    ASSERT_EQ(programs.size(), 3u);
    EXPECT_EQ(programs[0], u"/bin/true");
    EXPECT_EQ(programs[1], u"/usr/bin/vlc");
    EXPECT_EQ(programs[2], quippet::kDesktopOpener);
}

TEST(MainWindowPlayers, TheSelectionTheArrowAndTheModeOutliveTheWindow) {
    TabHome home;
    {
        CDlgBase window;
        window.start_up();
        window.player_list()->setCurrentIndex(3);
        window.arrow_button()->click();
        window.mode_button(2)->click();
    }
    CDlgBase window;
    window.start_up();
    EXPECT_EQ(window.player_list()->currentIndex(), 3);
    EXPECT_TRUE(window.arrow_button()->isChecked());
    EXPECT_TRUE(window.mode_button(2)->isChecked());
    const quippet::PlayerSelection selection = window.player_selection();
    EXPECT_TRUE(selection.use_selected);
    EXPECT_EQ(selection.selected_player, 3);
    EXPECT_EQ(selection.mode, 2);
}

} // namespace
