#include "ui/reconstruct/ReconstructPage.h"

#include "app/Settings.h"
#include "app/SettingsTextFiles.h"
#include "app/WorkThread.h"
#include "download/NetLengthProvider.h"
#include "reconstruct/DropFields.h"
#include "reconstruct/DropList.h"
#include "reconstruct/Presets.h"
#include "reconstruct/ReconstructJob.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "reconstruct/SettingsFiles.h"
#include "reconstruct/SplitCut.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Encoding.h"
#include "ui/DropField.h"
#include "ui/ListPane.h"
#include "ui/LogPane.h"
#include "ui/MainWindow.h"
#include "ui/TabLayout.h"
#include "ui/UiCall.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using quippet::CSettings;
using quippet::key;
using quippet::RcNumber;
using quippet::RcSwitch;
using quippet::RcText;
using quippet::ui::to_qstring;
using quippet::ui::to_u16;

namespace {

using namespace quippet::ui::layout;

} // namespace

CDlgDD::CDlgDD(QWidget* parent)
    : CTabPage({QStringLiteral("ファイル"), QStringLiteral("状態"), QStringLiteral("結果")}, parent),
      sections_(new QTabWidget(this)) {
    auto* controls = new QWidget(this);
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    sections_->addTab(build_list_page(), QStringLiteral("リスト・出力"));
    sections_->addTab(build_delete_page(), QStringLiteral("（1）～（3）"));
    sections_->addTab(build_timing_page(), QStringLiteral("（4）"));
    sections_->addTab(build_merge_page(), QStringLiteral("合成・（5）～（7）"));
    sections_->addTab(build_split_page(), QStringLiteral("分割・切り出し"));
    sections_->addTab(build_preset_page(), QStringLiteral("設定保存"));
    layout->addWidget(sections_, 1);

    Row buttons(controls);
    for (const char16_t* caption : {u"再構成", u"分割", u"切り出し"}) {
        auto* b = new QPushButton(T(caption), buttons.parent());
        run_buttons_.append(b);
        buttons.add(b);
    }
    stop_ = new QPushButton(QStringLiteral("中止"), buttons.parent());
    buttons.add(stop_);
    layout->addWidget(buttons.done());
    connect(run_buttons_[0], &QPushButton::clicked, this, &CDlgDD::run_reconstruct);
    connect(run_buttons_[1], &QPushButton::clicked, this, &CDlgDD::run_split);
    connect(run_buttons_[2], &QPushButton::clicked, this, &CDlgDD::run_cut);
    connect(stop_, &QPushButton::clicked, this, &CDlgDD::stop_job);
    // The file list and the log get the room the sub-pages leave: most of them need little height.
    set_controls(controls, 340, 160);

    CListPane* list = list_view();
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
    list->set_fixed_column(column_path);
    list->setColumnWidth(column_path, 260);
    update_busy();
    update_video_colour();
}

QPushButton* CDlgDD::file_button(const QString& caption, const char* file_name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    b->setMaximumWidth(b->fontMetrics().horizontalAdvance(caption) + 16);
    const quippet::SettingsTextFile* file =
        quippet::find_settings_text_file(quippet::reconstruct_settings_text_files(), file_name);
    if (file != nullptr) {
        b->setToolTip(to_qstring(quippet::settings_text_file_label(*file)));
        connect(b, &QPushButton::clicked, this, [this, file] {
            if (window_ != nullptr) window_->open_text_file(*file);
        });
    }
    return b;
}

QWidget* CDlgDD::build_list_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;

    QGroupBox* dd = group(u"D＆D", col);
    Row r1(dd);
    auto* mode = new QButtonGroup(dd);
    r1.add(radio(mode, t.button<QRadioButton>(key(RcSwitch::kAppend), QStringLiteral("追加"), r1.parent())))
        .add(radio(mode, t.button<QRadioButton>(key(RcSwitch::kClear), QStringLiteral("クリア"), r1.parent())))
        .add(t.button<QCheckBox>(key(RcSwitch::kRecurse), QStringLiteral("下層"), r1.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDropConditions), QStringLiteral("条件"), r1.parent()))
        .gap();
    auto* up = new QPushButton(QStringLiteral("上へ"), r1.parent());
    auto* down = new QPushButton(QStringLiteral("下へ"), r1.parent());
    auto* remove = new QPushButton(QStringLiteral("削除"), r1.parent());
    auto* clear = new QPushButton(QStringLiteral("リストを空に"), r1.parent());
    r1.add(up).add(down).add(remove).add(clear);
    put(dd, r1.done());
    connect(up, &QPushButton::clicked, this, [this] { move_selected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { move_selected(1); });
    connect(remove, &QPushButton::clicked, this, &CDlgDD::remove_selected);
    connect(clear, &QPushButton::clicked, this, &CDlgDD::clear_list);
    add_to(col, dd);

    QGroupBox* out = group(u"再構成の設定", col);
    Row r2(out);
    r2.add(t.button<QCheckBox>(key(RcSwitch::kSaveBesideVideo), QStringLiteral("指定場所に保存"), r2.parent()));
    video_ = new CDropField(r2.parent());
    t.bind(key(RcText::kVideoPath), video_);
    video_->setPlaceholderText(QStringLiteral("動画ファイルをここにドロップ"));
    video_->setMinimumWidth(280);
    r2.add(video_);
    put(out, r2.done());
    Row r3(out);
    r3.add(t.button<QCheckBox>(key(RcSwitch::kNoTailInfo), QStringLiteral("末尾情報なし"), r3.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kOverwrite), QStringLiteral("同名時に上書"), r3.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kSavePresetOnRun), QStringLiteral("実行で設定保存"), r3.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kKeepNumbers), QStringLiteral("noを振り直さない"), r3.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kSaveLists), QStringLiteral("処理リストを保存"), r3.parent()));
    put(out, r3.done());
    Row r4(out);
    rename_ = new CDropField(r4.parent());
    rename_->setReadOnly(true);
    rename_->setPlaceholderText(QStringLiteral("ここにドロップでリネーム"));
    survey_ = new CDropField(r4.parent());
    survey_->setReadOnly(true);
    survey_->setPlaceholderText(QStringLiteral("ここにドロップで最終表示時間"));
    rename_->setMinimumWidth(200);
    survey_->setMinimumWidth(200);
    r4.text(u"リネーム").add(rename_).text(u"調査").add(survey_);
    put(out, r4.done());
    add_to(col, out);

    connect(video_, &CDropField::file_dropped, this, &CDlgDD::set_video);
    connect(rename_, &CDropField::file_dropped, this, &CDlgDD::rename_dropped);
    connect(survey_, &CDropField::file_dropped, this, &CDlgDD::survey_dropped);
    connect(static_cast<QCheckBox*>(t.control_for(key(RcSwitch::kSaveBesideVideo))), &QCheckBox::toggled, this,
            [this] { update_video_colour(); });
    return scrolling(col, sections_);
}

QWidget* CDlgDD::build_delete_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;

    QGroupBox* g1 = group(u"（1）削除", col);
    Row r1(g1);
    r1.add(t.button<QCheckBox>(key(RcSwitch::kReadLimit), QStringLiteral("読込制限"), r1.parent()))
        .add(t.spin(key(RcNumber::kReadLimit), r1.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kUnnaturalDates), QStringLiteral("不自然な投稿日"), r1.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kOldPosts), QStringLiteral("古投稿"), r1.parent()))
        .add(t.spin(key(RcNumber::kOldMonths), r1.parent()))
        .text(u"月前");
    put(g1, r1.done());
    add_to(col, g1);

    QGroupBox* g2 = group(u"（2）投稿日時で削除", col);
    for (int rule = 0; rule < 2; ++rule) {
        using quippet::DateRuleField;
        Row r(g2);
        r.add(t.button<QCheckBox>(key(rule == 0 ? RcSwitch::kDateRule1 : RcSwitch::kDateRule2), QString(), r.parent()))
            .add(t.choice(quippet::rc_date_base(rule), r.parent()))
            .text(u"＋")
            .add(t.spin(quippet::rc_date_rule(rule, DateRuleField::kHours), r.parent()))
            .text(u"時間")
            .add(t.choice(quippet::rc_date_side(rule), r.parent()))
            .text(u"削除する");
        put(g2, r.done());
        Row d(g2);
        d.gap().gap();
        const DateRuleField fields[] = {DateRuleField::kYear, DateRuleField::kMonth,  DateRuleField::kDay,
                                        DateRuleField::kHour, DateRuleField::kMinute, DateRuleField::kSecond};
        const char16_t* units[] = {u"年", u"月", u"日", u"時", u"分", u"秒"};
        for (int i = 0; i < 6; ++i)
            d.add(t.spin(quippet::rc_date_rule(rule, fields[i]), d.parent())).text(units[i]);
        put(g2, d.done());
    }
    add_to(col, g2);

    QGroupBox* g3 = group(u"（3）調整", col);
    Row a(g3);
    a.add(t.button<QCheckBox>(key(RcSwitch::kPreStage), QStringLiteral("コマンド"), a.parent()))
        .add(file_button(QStringLiteral("共通"), "rules-pre", a.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kReplace1), QStringLiteral("置換"), a.parent()))
        .add(file_button(QStringLiteral("共通"), "replace1", a.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kLength), QStringLiteral("字数"), a.parent()))
        .add(t.spin(key(RcNumber::kMinLength), a.parent(), 50))
        .text(u"～")
        .add(t.spin(key(RcNumber::kMaxLength), a.parent(), 50))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kDeletedAttribute), QStringLiteral("削除コメ"), a.parent()));
    put(g3, a.done());
    Row b(g3);
    b.add(t.button<QCheckBox>(key(RcSwitch::kLowScore), QStringLiteral("低スコア"), b.parent()))
        .add(t.spin(key(RcNumber::kScoreThreshold), b.parent(), 70))
        .add(t.button<QCheckBox>(key(RcSwitch::kZeroTime), QStringLiteral("0コメ"), b.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kNgId), QStringLiteral("NGID"), b.parent()))
        .add(file_button(QStringLiteral("個"), "ngid", b.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kNgIdReverse), QStringLiteral("逆"), b.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kCommonNg), QStringLiteral("共NG"), b.parent()))
        .add(file_button(QStringLiteral("共"), "common-ng", b.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kCommonNgReverse), QStringLiteral("逆"), b.parent()));
    put(g3, b.done());
    Row c(g3);
    c.add(t.button<QCheckBox>(key(RcSwitch::kNgWord), QStringLiteral("NG語"), c.parent()))
        .add(file_button(QStringLiteral("個"), "ng-words", c.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kNgWordReverse), QStringLiteral("逆"), c.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kChainByDefault), QStringLiteral("連"), c.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kPostStage), QStringLiteral("コマンド"), c.parent()))
        .add(file_button(QStringLiteral("共通"), "rules-post", c.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kReplace2), QStringLiteral("置換"), c.parent()))
        .add(file_button(QStringLiteral("共通"), "replace2", c.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kIndividualStage), QStringLiteral("コマンド"), c.parent()))
        .add(file_button(QStringLiteral("個別"), "rules-individual", c.parent()));
    put(g3, c.done());
    Row v(g3);
    v.add(file_button(QStringLiteral("コマンド処理の基本設定"), "vocabulary", v.parent()));
    put(g3, v.done());
    add_to(col, g3);

    QGroupBox* pr = group(u"優先", col);
    Row p(pr);
    p.add(t.button<QCheckBox>(key(RcSwitch::kPriorityIds), QStringLiteral("ID"), p.parent()))
        .add(file_button(QStringLiteral("個"), "priority-ids", p.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kPriorityStage), QStringLiteral("個"), p.parent()))
        .gap();
    const std::pair<RcSwitch, const char16_t*> toggles[] = {{RcSwitch::kPriorityUploader, u"投"},
                                                            {RcSwitch::kPriorityBroadcaster, u"放"},
                                                            {RcSwitch::kPrioritySystem, u"シ"},
                                                            {RcSwitch::kPriorityOperator, u"運"}};
    for (const auto& [k, caption] : toggles)
        p.add(t.toggle(key(k), T(caption), T(caption), p.parent()));
    p.gap().add(file_button(QStringLiteral("詳"), "rules-priority", p.parent()));
    put(pr, p.done());
    add_to(col, pr);
    return scrolling(col, sections_);
}

QWidget* CDlgDD::build_timing_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;
    QGroupBox* g = group(u"（4）コメント表示タイミングの調整", col);
    Row top(g);
    top.add(t.button<QCheckBox>(key(RcSwitch::kPartMerge), QStringLiteral("合成時は連結する（パート分割の合成）"),
                                top.parent()))
        .add(
            t.button<QCheckBox>(key(RcSwitch::kLengthFromNet), QStringLiteral("可能ならネットから取得"), top.parent()));
    put(g, top.done());
    auto* grid_holder = new QWidget(g);
    auto* grid = new QGridLayout(grid_holder);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(1);
    using quippet::TimingField;
    for (int r = 0; r < 9; ++r) {
        int c = 0;
        grid->addWidget(t.button<QCheckBox>(quippet::rc_timing_enabled(r), QString::number(r + 1), grid_holder), r,
                        c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kAtMinutes), grid_holder, 50), r, c++);
        grid->addWidget(new QLabel(QStringLiteral("分"), grid_holder), r, c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kAtSeconds), grid_holder, 28), r, c++);
        grid->addWidget(new QLabel(QStringLiteral("秒"), grid_holder), r, c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kAtHundredths), grid_holder, 28), r, c++);
        grid->addWidget(t.choice(quippet::rc_timing_scope(r), grid_holder), r, c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kByMinutes), grid_holder, 50), r, c++);
        grid->addWidget(new QLabel(QStringLiteral("分"), grid_holder), r, c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kBySeconds), grid_holder, 28), r, c++);
        grid->addWidget(new QLabel(QStringLiteral("秒"), grid_holder), r, c++);
        grid->addWidget(t.spin(quippet::rc_timing(r, TimingField::kByHundredths), grid_holder, 28), r, c++);
        grid->addWidget(t.choice(quippet::rc_timing_action(r), grid_holder), r, c++);
    }
    grid->setColumnStretch(13, 1);
    put(g, grid_holder);
    add_to(col, g);
    return scrolling(col, sections_);
}

QWidget* CDlgDD::build_merge_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;

    QGroupBox* m = group(u"合成", col);
    Row r(m);
    auto* modes = new QButtonGroup(m);
    r.add(t.button<QCheckBox>(key(RcSwitch::kMerge), QStringLiteral("する"), r.parent()))
        .gap()
        .add(radio(modes, t.button<QRadioButton>(key(RcSwitch::kMergeAll), QStringLiteral("全合成"), r.parent())))
        .add(radio(modes, t.button<QRadioButton>(key(RcSwitch::kMergeByRows), QStringLiteral("行数ごと"), r.parent())))
        .add(t.spin(key(RcNumber::kMergeRows), r.parent()))
        .add(radio(modes,
                   t.button<QRadioButton>(key(RcSwitch::kMergeBySuffix), QStringLiteral("直後同数"), r.parent())));
    QLineEdit* suffix = t.line(key(RcText::kMergeSuffixText), r.parent());
    suffix->setFixedWidth(80);
    r.add(suffix);
    put(m, r.done());
    add_to(col, m);

    QGroupBox* d = group(u"（5）重複コメ削除", col);
    Row dr(d);
    dr.add(t.button<QCheckBox>(key(RcSwitch::kDuplicates), QStringLiteral("する"), dr.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kDupNo), QStringLiteral("No"), dr.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDupTime), QStringLiteral("時間"), dr.parent()))
        .add(t.spin(key(RcNumber::kDupWindow), dr.parent(), 60))
        .text(u"0ms")
        .add(t.button<QCheckBox>(key(RcSwitch::kDupDate), QStringLiteral("日時"), dr.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDupId), QStringLiteral("ID"), dr.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDupCommand), QStringLiteral("ｺﾏﾝﾄﾞ"), dr.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDupBody), QStringLiteral("本文"), dr.parent()))
        .add(t.button<QCheckBox>(key(RcSwitch::kDupFuzzy), QStringLiteral("曖昧"), dr.parent()))
        .add(file_button(QStringLiteral("共通"), "fuzzy", dr.parent()));
    put(d, dr.done());
    add_to(col, d);

    QGroupBox* l = group(u"（6）コメント数制限", col);
    Row lr(l);
    auto* limits = new QButtonGroup(l);
    lr.add(t.button<QCheckBox>(key(RcSwitch::kLimit), QStringLiteral("する"), lr.parent()))
        .add(t.spin(key(RcNumber::kLimitCount), lr.parent(), 70))
        .gap()
        .add(radio(limits, t.button<QRadioButton>(key(RcSwitch::kLimitThin), QStringLiteral("間引"), lr.parent())))
        .add(radio(limits, t.button<QRadioButton>(key(RcSwitch::kLimitNewest), QStringLiteral("D"), lr.parent())))
        .add(radio(limits, t.button<QRadioButton>(key(RcSwitch::kLimitLastRead), QStringLiteral("R"), lr.parent())))
        .add(radio(limits, t.button<QRadioButton>(key(RcSwitch::kLimitPerMinute), QStringLiteral("毎分"), lr.parent())))
        .add(t.toggle(key(RcSwitch::kPerMinuteHalf), QStringLiteral("丁"), QStringLiteral("半"), lr.parent()))
        .add(t.toggle(key(RcSwitch::kPerMinuteNewest), QStringLiteral("古"), QStringLiteral("新"), lr.parent()))
        .add(t.toggle(key(RcSwitch::kPerMinuteNoExempt), QStringLiteral("免"), QStringLiteral("制"), lr.parent()))
        .add(t.toggle(key(RcSwitch::kPerMinuteFill), QStringLiteral("加"), QStringLiteral("加"), lr.parent()))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kRowOrderFirst), QStringLiteral("行順優先"), lr.parent()));
    put(l, lr.done());
    add_to(col, l);

    QGroupBox* s = group(u"（7）ソート", col);
    Row sr(s);
    for (int row = 0; row < 4; ++row)
        sr.add(t.button<QCheckBox>(quippet::rc_sort_enabled(row), QString::number(row + 1), sr.parent()))
            .add(t.choice(quippet::rc_sort_key(row), sr.parent()));
    put(s, sr.done());
    add_to(col, s);
    return scrolling(col, sections_);
}

QWidget* CDlgDD::build_split_page() {
    QWidget* col = column(sections_);
    CControlTable& t = table_;
    QGroupBox* s = group(u"分割", col);
    Row r(s);
    auto* sizes = new QButtonGroup(s);
    r.add(radio(sizes, t.button<QRadioButton>(key(RcSwitch::kSplitTyped), QString(), r.parent())))
        .add(t.spin(key(RcNumber::kSplitSize), r.parent(), 70))
        .add(radio(sizes, t.button<QRadioButton>(key(RcSwitch::kSplit250), QStringLiteral("250"), r.parent())))
        .add(radio(sizes, t.button<QRadioButton>(key(RcSwitch::kSplit500), QStringLiteral("500"), r.parent())))
        .add(radio(sizes, t.button<QRadioButton>(key(RcSwitch::kSplit1000), QStringLiteral("1000"), r.parent())))
        .add(radio(sizes, t.button<QRadioButton>(key(RcSwitch::kSplitAuto), QStringLiteral("自動"), r.parent())))
        .gap()
        .add(t.button<QCheckBox>(key(RcSwitch::kSplitRemainder), QStringLiteral("端数も出力する"), r.parent()));
    put(s, r.done());
    add_to(col, s);
    QGroupBox* c = group(u"切り出し", col);
    Row cr(c);
    cr.add(t.spin(key(RcNumber::kCutFirst), cr.parent(), 80))
        .text(u"～")
        .add(t.spin(key(RcNumber::kCutLast), cr.parent(), 80));
    put(c, cr.done());
    add_to(col, c);
    return scrolling(col, sections_);
}

QWidget* CDlgDD::build_preset_page() {
    QWidget* col = column(sections_);
    QGroupBox* g = group(u"設定保存", col);
    Row r(g);
    QLineEdit* name = table_.line(key(RcText::kPresetName), r.parent());
    name->setMinimumWidth(200);
    auto* create = new QPushButton(QStringLiteral("新規保存"), r.parent());
    auto* overwrite = new QPushButton(QStringLiteral("上書保存"), r.parent());
    r.text(u"プリセット名").add(name).add(create).add(overwrite);
    put(g, r.done());
    presets_ = new QListWidget(g);
    presets_->setMinimumHeight(80);
    put(g, presets_);
    add_to(col, g);
    connect(create, &QPushButton::clicked, this, &CDlgDD::save_preset_new);
    connect(overwrite, &QPushButton::clicked, this, &CDlgDD::save_preset_overwrite);
    connect(presets_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { restore_preset(item->text()); });
    connect(presets_, &QListWidget::currentTextChanged, name, [name](const QString& text) {
        if (!text.isEmpty()) name->setText(text);
    });
    return scrolling(col, sections_);
}

// ---- settings --------------------------------------------------------------------------------

void CDlgDD::attach(CDlgBase* window) {
    window_ = window;
    refresh_presets();
}

void CDlgDD::load_controls(const CSettings& from) {
    table_.load(from);
    // The list's look follows the interface settings ("グリッド線を表示する", "1行の高さ").
    const CSettings& look = window_ != nullptr ? window_->settings() : from;
    QString sheet;
    if (look.on(quippet::OptSwitch::kReconstructGridLines))
        sheet += QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); }");
    if (const int height = look.number(quippet::OptNumber::kReconstructRowHeight); height > 0)
        sheet += QStringLiteral("QTreeView::item { height: %1px; }").arg(height);
    list_view()->setStyleSheet(sheet);
    update_video_colour();
    refresh_presets();
}

void CDlgDD::save_controls(CSettings& into) const {
    table_.save(into);
}

CSettings CDlgDD::snapshot() const {
    CSettings s = window_ != nullptr ? window_->settings() : CSettings();
    table_.save(s);
    return s;
}

QLineEdit* CDlgDD::video_field() const {
    return video_;
}

QPushButton* CDlgDD::button(const QString& caption) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

void CDlgDD::update_video_colour() {
    // The output goes beside the video only while "指定場所に保存" is on; the field says so by its colour.
    const bool on = static_cast<QCheckBox*>(table_.control_for(key(RcSwitch::kSaveBesideVideo)))->isChecked();
    video_->setStyleSheet(on ? QStringLiteral("QLineEdit { background: #ffc0cb; }") : QString());
}

void CDlgDD::log_line(std::u16string_view text) {
    std::u16string line(text);
    if (log_pane()->length() > 0) line.insert(0, u"\r\n");
    log_pane()->append(line);
}

void CDlgDD::notify(const QString& text) {
    if (message_hook_) {
        message_hook_(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("XMLの再構成"), text);
}

// ---- the file list ---------------------------------------------------------------------------

QStringList CDlgDD::files() const {
    QStringList out;
    const CListPane* list = list_view();
    out.reserve(list->topLevelItemCount());
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out.append(list->topLevelItem(i)->text(column_path));
    return out;
}

void CDlgDD::drop_paths(const QStringList& paths) {
    if (busy_) return;
    CSettings s = snapshot();
    std::vector<std::u16string> dropped;
    dropped.reserve(static_cast<size_t>(paths.size()));
    for (const QString& p : paths)
        dropped.push_back(to_u16(p));
    int skipped = 0;
    const std::vector<std::u16string> found =
        quippet::collect_dropped_files(dropped, quippet::drop_list_options(s), &skipped);
    CListPane* list = list_view();
    if (s.on(RcSwitch::kClear)) list->clear();
    // One insertion for the whole drop: ten thousand rows added one by one would each relayout the view.
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(found.size()));
    for (const std::u16string& path : found) {
        auto* item = new QTreeWidgetItem;
        item->setText(column_path, to_qstring(path));
        item->setText(column_status, QStringLiteral("－"));
        items.append(item);
    }
    list->addTopLevelItems(items);
    if (skipped > 0)
        log_line(quippet::decimal_text(skipped) +
                 std::u16string(quippet::message_text(quippet::msg::kDroppedFilesSkipped)));
}

void CDlgDD::clear_list() {
    if (!busy_) list_view()->clear();
}

void CDlgDD::remove_selected() {
    if (busy_) return;
    CListPane* list = list_view();
    for (int i = list->topLevelItemCount() - 1; i >= 0; --i)
        if (list->topLevelItem(i)->isSelected()) delete list->takeTopLevelItem(i);
}

void CDlgDD::move_selected(int delta) {
    if (busy_ || delta == 0) return;
    CListPane* list = list_view();
    const int count = list->topLevelItemCount();
    std::vector<int> rows;
    for (int i = 0; i < count; ++i)
        if (list->topLevelItem(i)->isSelected()) rows.push_back(i);
    if (rows.empty()) return;
    if ((delta < 0 && rows.front() == 0) || (delta > 0 && rows.back() == count - 1)) return;
    if (delta > 0) std::reverse(rows.begin(), rows.end());
    for (int row : rows) {
        QTreeWidgetItem* item = list->takeTopLevelItem(row);
        list->insertTopLevelItem(row + delta, item);
        item->setSelected(true);
    }
}

bool CDlgDD::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_view()->viewport()) return CTabPage::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (busy_ || dropped_local_files(drag->mimeData()).isEmpty()) return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = dropped_local_files(drop->mimeData());
        if (paths.isEmpty()) return false;
        drop->acceptProposedAction();
        drop_paths(paths);
        return true;
    }
    default:
        return CTabPage::eventFilter(watched, event);
    }
}

// ---- jobs ------------------------------------------------------------------------------------

bool CDlgDD::start(quippet::JobKind kind) {
    if (window_ == nullptr || busy_) return false;
    CSettings settings = snapshot();
    // What the controls show is what the window keeps, so that the file gets it on exit as well.
    window_->store_page_settings(settings, quippet::section::kReconstruct);
    const QStringList paths = files();
    if (paths.isEmpty()) {
        log_line(quippet::message_text(quippet::msg::kNoFilesListed));
        return false;
    }
    const quippet::PresetRunPreparation prepared = quippet::prepare_preset_run(settings, {});
    for (const quippet::PresetOutcome* outcome : {&prepared.files, &prepared.saved}) {
        if (outcome->result == 0) continue;
        log_line(outcome->message);
        for (const std::u16string& failure : outcome->failures)
            log_line(failure);
    }
    if (prepared.saved.result == 0 && !prepared.saved.notes.empty()) {
        log_line(settings.text(RcText::kPresetName) +
                 std::u16string(quippet::message_text(quippet::msg::kPresetSavedOnRun)));
        refresh_presets();
    }

    std::vector<std::u16string>& inputs = window_->frame().job_data().inputs();
    inputs.clear();
    for (const QString& p : paths)
        inputs.push_back(to_u16(p));

    quippet::JobFunction job;
    if (kind == quippet::JobKind::kReconstruct) {
        quippet::ReconstructSettings snap = quippet::reconstruct_settings(settings);
        snap.lengths = quippet::length_provider_for(settings);
        job = [settings, snap](quippet::CWorkThread& worker) { quippet::run_reconstruct_job(worker, settings, snap); };
    } else {
        const quippet::SplitCutSettings snap = quippet::split_cut_settings(settings);
        job = [snap, kind](quippet::CWorkThread& worker) { quippet::run_split_cut_job(worker, snap, kind); };
    }
    busy_ = true;
    update_busy();
    if (window_->start_job(ending_with(std::move(job), [this] { job_done(); }), *this, kind) != 0) {
        busy_ = false;
        update_busy();
        log_line(quippet::message_text(quippet::msg::kJobNotStarted));
        return false;
    }
    return true;
}

void CDlgDD::run_reconstruct() {
    start(quippet::JobKind::kReconstruct);
}

void CDlgDD::run_split() {
    start(quippet::JobKind::kSplit);
}

void CDlgDD::run_cut() {
    start(quippet::JobKind::kCut);
}

void CDlgDD::stop_job() {
    if (window_ == nullptr || !busy_) return;
    window_->frame().stop_job_flag().store(1);
    window_->frame().stop_pass_flag().store(1);
}

void CDlgDD::job_done() {
    busy_ = false;
    update_busy();
}

void CDlgDD::update_busy() {
    for (QPushButton* b : run_buttons_)
        b->setEnabled(!busy_);
    stop_->setEnabled(busy_);
}

// ---- presets ---------------------------------------------------------------------------------

void CDlgDD::refresh_presets() {
    if (presets_ == nullptr) return;
    const QString current = presets_->currentItem() != nullptr ? presets_->currentItem()->text() : QString();
    const QSignalBlocker block(presets_);
    presets_->clear();
    for (const std::u16string& name : quippet::list_reconstruct_presets(snapshot()))
        presets_->addItem(to_qstring(name));
    const QList<QListWidgetItem*> again = presets_->findItems(current, Qt::MatchExactly);
    if (!again.isEmpty()) presets_->setCurrentItem(again.front());
}

void CDlgDD::save_preset_new() {
    const CSettings s = snapshot();
    const quippet::PresetOutcome o =
        quippet::save_reconstruct_preset(s, s.text(RcText::kPresetName), quippet::PresetSaveMode::kNew);
    if (!o.message.empty()) log_line(o.message);
    for (const std::u16string& failure : o.failures)
        log_line(failure);
    if (o.recovered) notify(to_qstring(o.message));
    refresh_presets();
}

void CDlgDD::save_preset_overwrite() {
    const CSettings s = snapshot();
    const quippet::PresetOutcome o =
        quippet::save_reconstruct_preset(s, s.text(RcText::kPresetName), quippet::PresetSaveMode::kOverwrite);
    if (!o.message.empty()) log_line(o.message);
    for (const std::u16string& failure : o.failures)
        log_line(failure);
    refresh_presets();
}

void CDlgDD::restore_preset(const QString& name) {
    if (busy_) return;
    CSettings s = snapshot();
    std::u16string error;
    if (!quippet::load_reconstruct_preset_settings(s, to_u16(name), &error)) {
        log_line(to_u16(name) + u"：" + error);
        return;
    }
    const quippet::PresetOutcome files = quippet::copy_reconstruct_preset_files_back(s, to_u16(name));
    if (!files.message.empty()) log_line(files.message);
    for (const std::u16string& failure : files.failures)
        log_line(failure);
    table_.load(s);
    update_video_colour();
    log_line(to_u16(name) + std::u16string(quippet::message_text(quippet::msg::kPresetRestored)));
}

// ---- drop fields -----------------------------------------------------------------------------

void CDlgDD::rename_dropped(const QString& path) {
    const CSettings s = snapshot();
    const quippet::ReconstructSettings r = quippet::reconstruct_settings(s);
    std::u16string result;
    if (quippet::rename_by_tail(to_u16(path), r.naming, s.on(RcSwitch::kNoTailInfo), result) == 0) {
        log_line(to_u16(path) + u" → " + result);
        rename_->setText(to_qstring(result));
    } else {
        log_line(to_u16(path) + u"：" + result);
    }
}

void CDlgDD::survey_dropped(const QString& path) {
    std::u16string text;
    quippet::survey_latest_time(to_u16(path), text);
    survey_->setText(to_qstring(text));
    log_line(to_u16(path) + u"：" + text);
}

void CDlgDD::set_video(const QString& path) {
    video_->setText(path);
}
