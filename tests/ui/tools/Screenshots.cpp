// Saves pictures of the window for the README: the main window on the app home given by --home, the
// reconstruction, live-log and playlist tabs filled with the samples the home holds, at the window's
// default size, and two pages of the detailed-settings window. Run by scripts/screenshots under a virtual X display.
#include "text/AppHome.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "livelog/LiveLogSettingKeys.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/UiCall.h"
#include "ui/download/DownloadPage.h"
#include "ui/download/DownloadListModel.h"
#include "text/Encoding.h"
#include "ui/livelog/LiveLogPage.h"
#include "ui/livelog/PresetList.h"
#include "ui/playlist/PlaylistPage.h"
#include "ui/reconstruct/ReconstructPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>

#include <cstdio>

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget& widget, const QString& path) {
    settle();
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

template <class W> W* control(const CControlTable& table, const quippet::SettingKey& key) {
    return qobject_cast<W*>(table.control_for(key));
}

/// The reconstruction tab after the home's comment files were dropped and reconstructed with duplicates
/// removed and a limit, one picture per sub-page that holds settings.
bool shoot_reconstruct(CDlgBase& window, const QString& home, const QDir& out) {
    using quippet::key;
    using quippet::RcSwitch;
    CDlgDD& page = *window.reconstruct_page();
    window.select_tab(CDlgBase::tab_reconstruct);
    QStringList files;
    for (const QString& name : QDir(home).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
        files.append(QDir(home).filePath(name));
    page.drop_paths(files);
    const CControlTable& t = page.controls();
    control<QCheckBox>(t, key(RcSwitch::kDuplicates))->setChecked(true);
    control<QCheckBox>(t, key(RcSwitch::kDupBody))->setChecked(true);
    control<QCheckBox>(t, key(RcSwitch::kLimit))->setChecked(true);
    control<QSpinBox>(t, key(quippet::RcNumber::kLimitCount))->setValue(400);
    control<QCheckBox>(t, key(RcSwitch::kNgWord))->setChecked(true);
    // One output beside the video: the three files are merged into it.
    control<QCheckBox>(t, key(RcSwitch::kMerge))->setChecked(true);
    control<QCheckBox>(t, key(RcSwitch::kSaveBesideVideo))->setChecked(true);
    page.set_video(QDir(home).filePath(QStringLiteral("sm9 初音ミク.mp4")));
    control<QCheckBox>(t, quippet::rc_timing_enabled(0))->setChecked(true);
    control<QSpinBox>(t, quippet::rc_timing(0, quippet::TimingField::kAtMinutes))->setValue(12);
    control<QSpinBox>(t, quippet::rc_timing(0, quippet::TimingField::kBySeconds))->setValue(30);
    control<QLineEdit>(t, key(quippet::RcText::kPresetName))->setText(QStringLiteral("録画用"));
    page.save_preset_new();
    page.run_reconstruct();
    for (int i = 0; i < 500 && page.busy(); ++i)
        settle();
    bool ok = true;
    const char* names[] = {"list", "delete", "timing", "merge", "split", "preset"};
    for (int i = 0; i < page.sections()->count(); ++i) {
        page.sections()->setCurrentIndex(i);
        ok = save(window, out.filePath(QStringLiteral("reconstruct-%1.png").arg(QLatin1String(names[i])))) && ok;
    }
    return ok;
}

/// The live-log tab with the sample preset restored and the sample log converted.
bool shoot_live_log(CDlgBase& window, const QDir& out) {
    CDlgWC& page = *window.live_log_page();
    window.select_tab(CDlgBase::tab_live_log);
    page.refresh_presets();
    if (page.preset_list()->count() > 0) Q_EMIT page.preset_list()->itemDoubleClicked(page.preset_list()->item(0));
    control<QLineEdit>(page.controls(), quippet::key(quippet::WcText::kOutputName))->setText(QStringLiteral("sample"));
    page.set_question_hook([](const QString&) { return true; });
    page.convert();
    for (int i = 0; i < 500 && page.busy(); ++i)
        settle();
    bool ok = true;
    const char* names[] = {"time", "convert", "source", "search", "preset"};
    for (int i = 0; i < page.sections()->count(); ++i) {
        page.sections()->setCurrentIndex(i);
        ok = save(window, out.filePath(QStringLiteral("livelog-%1.png").arg(QLatin1String(names[i])))) && ok;
    }
    return ok;
}

/// The download tab with a list of twelve videos and their thumbnails from the list's cache.
bool shoot_download(CDlgBase& window, const QString& home, const QDir& out) {
    namespace dlcol = quippet::dlcol;
    CDlgES& page = *window.download_page();
    window.select_tab(CDlgBase::tab_download);
    QDir(home).mkpath(QStringLiteral("cache"));
    const char16_t* titles[] = {u"【初音ミク】みくみくにしてあげる♪【してやんよ】",
                                u"組曲『ニコニコ動画』",
                                u"レッツゴー！陰陽師",
                                u"鳥の詩を演奏してみた",
                                u"エアーマンが倒せない",
                                u"アイドルマスター 歌ってみた",
                                u"東方 弾幕アレンジ",
                                u"ゆっくり実況 第1話",
                                u"料理してみた カレー",
                                u"ニコニコ技術部 ロボット",
                                u"描いてみた 風景",
                                u"旅の記録 北海道"};
    std::vector<quippet::DownloadRow> rows;
    for (int i = 0; i < 12; ++i) {
        const std::u16string id = u"sm" + quippet::decimal_text(9 + i * 1117);
        QImage image(160, 120, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 31) % 360, 120, 230));
        QPainter p(&image);
        p.setPen(Qt::black);
        p.setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 18));
        p.drawText(image.rect(), Qt::AlignCenter, quippet::ui::to_qstring(id));
        p.end();
        image.save(
            QDir(home).filePath(QStringLiteral("cache/") + quippet::ui::to_qstring(id) + QStringLiteral(".jpg")));
        quippet::DownloadRow r;
        r.cells[dlcol::kMark] = i % 5 == 3 ? u"×" : (i < 8 ? u"○" : u"－");
        r.cells[dlcol::kMarker] = u"＊";
        r.cells[dlcol::kSaveName] = std::u16string(titles[i]) + u"(" + id + u")";
        r.cells[dlcol::kDetail] =
            i % 5 == 3 ? u"動画：削除されています" : (i < 8 ? u"コメントのDL完了／動画のDL完了" : u"");
        r.cells[dlcol::kFolder] = quippet::ui::to_u16(home) + u"/download/";
        r.cells[dlcol::kComments] = quippet::decimal_text(120 + i * 3571 % 9000);
        r.cells[dlcol::kPosted] = u"0" + quippet::decimal_text(7 + i % 3) + u"/0" + quippet::decimal_text(1 + i % 9) +
                                  u"/1" + quippet::decimal_text(i % 10) + u" 2" + quippet::decimal_text(i % 4) + u":00";
        r.cells[dlcol::kId] = id;
        r.cells[dlcol::kViews] = quippet::decimal_text(1000 + i * 45677 % 900000);
        r.checked = i >= 8;
        rows.push_back(std::move(r));
    }
    page.model()->append_rows(std::move(rows));
    page.input_box()->setText(QStringLiteral("sm9"));
    page.set_thumb_size(quippet::ThumbSize::kMedium);
    // The thumbnails where the picture shows them: the column moved beside the mark, as a user may drag it.
    QHeaderView* header = page.table_view()->horizontalHeader();
    header->moveSection(header->visualIndex(dlcol::kThumb), 2);
    for (int i = 0; i < 200 && page.busy(); ++i)
        settle();
    page.model()->flush();
    return save(window, out.filePath(QStringLiteral("download-list.png")));
}

void write_wide(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    file.write(bytes);
}

/// The playlist tab with a series loaded from the home's own playlist folder and one episode dropped in.
bool shoot_playlist(CDlgBase& window, const QString& home, const QDir& out) {
    const QDir lists(QDir(home).filePath(QStringLiteral("playlist")));
    QDir().mkpath(lists.path());
    const QString videos = QDir(home).filePath(QStringLiteral("video"));
    QString series;
    for (int episode = 1; episode <= 5; ++episode)
        series += videos + QStringLiteral("/魔法少女 第%1話 (sm%2).mp4\r\n").arg(episode).arg(20010 + episode);
    write_wide(lists.filePath(QStringLiteral("魔法少女 第一期.m3u")), series);
    const QString favourites =
        videos + QStringLiteral("/初音ミク (sm9).mp4\r\n") + videos + QStringLiteral("/組曲 (sm500873).mp4\r\n");
    write_wide(lists.filePath(QStringLiteral("お気に入り.m3u")), favourites);
    QDir().mkpath(QDir(home).filePath(QStringLiteral("memo")));
    write_wide(QDir(home).filePath(QStringLiteral("memo/魔法少女 第一期.txt")), QStringLiteral("第6話から録画"));

    CDlgMM& page = *window.playlist_page();
    window.select_tab(CDlgBase::tab_playlist);
    page.reload_places();
    page.select_folder(0);
    page.select_playlist(static_cast<int>(page.state().playlist_index(u"魔法少女 第一期")));
    page.drop_files({videos + QStringLiteral("/魔法少女 第6話 (sm20016).mp4")});
    return save(window, out.filePath(QStringLiteral("playlist.png")));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    if (args.size() != 5 || args[1] != QStringLiteral("--home")) {
        std::fprintf(stderr, "usage: quippet_screenshots --home DIR --out DIR\n");
        return 2;
    }
    quippet::set_app_home(quippet::ui::to_u16(args[2]));
    const QDir out(args[4]);

    CDlgBase window;
    window.start_up();
    window.show();
    // A hand-over that only adds text to the input box: a search would go to the network.
    window.download_page()->take_hand_over(QStringLiteral("▼追加オプション\r\n初音ミク"), true);
    bool ok = save(window, out.filePath(QStringLiteral("main-window.png")));

    // The tabs at the size the window opens with the first time.
    const QSize shown = window.size();
    window.resize(CDlgBase::initial_width, CDlgBase::initial_height);
    ok = shoot_reconstruct(window, args[2], out) && ok;
    ok = shoot_live_log(window, out) && ok;
    ok = shoot_playlist(window, args[2], out) && ok;
    window.resize(shown);
    ok = shoot_download(window, args[2], out) && ok;

    CDlgSetting dialog(window.settings(), nullptr, &window);
    dialog.show();
    const QStringList pages = dialog.page_titles();
    int shot = 0;
    for (const QString& title : {QStringLiteral("起動と終了"), QStringLiteral("通信")}) {
        dialog.select_page(static_cast<int>(pages.indexOf(title)));
        ok = save(dialog, out.filePath(QStringLiteral("settings-%1.png").arg(++shot))) && ok;
    }
    return ok ? 0 : 1;
}
