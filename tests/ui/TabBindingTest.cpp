#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsCatalogue.h"
#include "livelog/LiveLogSettingKeys.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/ui/TabTestSupport.h"
#include "ui/MainWindow.h"
#include "ui/livelog/LiveLogPage.h"
#include "ui/reconstruct/ReconstructPage.h"

#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using quippet::test::TabHome;

/// Every key of the section has exactly one control, and no control is bound twice.
void expect_complete(const CControlTable& table, std::u16string_view section) {
    std::map<std::string, int> bound;
    std::map<const QWidget*, int> controls;
    for (const CControlTable::Binding& b : table.bindings()) {
        EXPECT_EQ(b.key.section, section) << quippet::to_utf8(quippet::setting_key_name(b.key));
        ++bound[quippet::to_utf8(quippet::setting_key_name(b.key))];
        ++controls[b.control];
    }
    int keys = 0;
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != section) continue;
        ++keys;
        const std::string name = quippet::to_utf8(quippet::setting_key_name(def.key));
        EXPECT_EQ(bound[name], 1) << name << " (" << quippet::to_utf8(def.label) << ")";
    }
    EXPECT_EQ(table.bindings().size(), static_cast<size_t>(keys));
    for (const auto& [control, count] : controls)
        EXPECT_EQ(count, 1);
}

template <class Page>
void expect_round_trip(Page& page, const quippet::CSettings& stored, std::u16string_view section) {
    page.load_controls(stored);
    quippet::CSettings saved = stored;
    page.save_controls(saved);
    EXPECT_EQ(quippet::test::differing_keys(saved, stored, section), std::vector<std::string>{});
}

TEST(TabBinding, EveryReconstructionKeyIsBoundAndLoadThenSaveChangesNothing) {
    TabHome home;
    CDlgBase window;
    CDlgDD& page = *window.reconstruct_page();
    expect_complete(page.controls(), quippet::section::kReconstruct);
    expect_round_trip(page, quippet::CSettings(), quippet::section::kReconstruct);

    quippet::test::change_every_control(page.controls());
    qobject_cast<QRadioButton*>(page.controls().control_for(quippet::key(quippet::RcSwitch::kClear)))->setChecked(true);
    const quippet::CSettings changed = page.snapshot();
    CDlgBase other;
    expect_round_trip(*other.reconstruct_page(), changed, quippet::section::kReconstruct);
}

TEST(TabBinding, EveryLiveLogKeyIsBoundAndLoadThenSaveChangesNothing) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    expect_complete(page.controls(), quippet::section::kLiveLog);
    expect_round_trip(page, quippet::CSettings(), quippet::section::kLiveLog);

    quippet::test::change_every_control(page.controls());
    qobject_cast<QRadioButton*>(page.controls().control_for(quippet::key(quippet::WcSwitch::kAutoDate)))
        ->setChecked(true);
    quippet::CSettings changed = page.snapshot();
    // Entries of lists that are filled from files the home does not have yet are kept as stored.
    changed.set_number(quippet::kWcBoard, 3);
    changed.set_number(quippet::kWcBrowserForm, 2);
    changed.set_text(quippet::kWcPresetName, u"どこにもない");
    CDlgBase other;
    expect_round_trip(*other.live_log_page(), changed, quippet::section::kLiveLog);
}

} // namespace

namespace {

TEST(TabBinding, StoredValuesOutsideTheirRangesAreClampedOnLoadAndWrittenBackClamped) {
    TabHome home;
    CDlgBase window;
    CDlgWC& page = *window.live_log_page();
    quippet::CSettings wild;
    wild.set_number(quippet::WcNumber::kYear, 5000);
    wild.set_number(quippet::wc_aid(3), -5000);
    wild.set_number(quippet::WcNumber::kMaxChars, 0);
    page.load_controls(wild);
    quippet::CSettings saved;
    page.save_controls(saved);
    EXPECT_EQ(saved.number(quippet::WcNumber::kYear), 3000);
    EXPECT_EQ(saved.number(quippet::wc_aid(3)), -999);
    EXPECT_EQ(saved.number(quippet::WcNumber::kMaxChars), 1);
}

TEST(TabBinding, TheWindowKeepsTheTabsAcrossARestartAndWritesNothingUntouched) {
    TabHome home;
    const std::u16string dir = quippet::ui::to_u16(home.path());
    const auto stored = [&dir](const quippet::SettingKey& k) {
        const quippet::CFileINI ini(dir);
        return ini.has_key(k.section, quippet::setting_key_name(k))
                   ? ini.read_number(k.section, quippet::setting_key_name(k), -1)
                   : -1;
    };
    {
        CDlgBase window;
        window.start_up();
    }
    // A run that changed nothing leaves every tab key to its default.
    for (const quippet::SettingDef& def : quippet::setting_catalogue()) {
        if (def.key.section != quippet::section::kReconstruct && def.key.section != quippet::section::kLiveLog)
            continue;
        EXPECT_FALSE(quippet::CFileINI(dir).has_key(def.key.section, quippet::setting_key_name(def.key)))
            << quippet::to_utf8(quippet::setting_key_name(def.key));
    }
    const quippet::SettingKey window_key = quippet::key(quippet::RcNumber::kDupWindow);
    const quippet::SettingKey chars_key = quippet::key(quippet::WcNumber::kMaxChars);
    {
        CDlgBase window;
        window.start_up();
        qobject_cast<QSpinBox*>(window.reconstruct_page()->controls().control_for(window_key))->setValue(80);
        qobject_cast<QSpinBox*>(window.live_log_page()->controls().control_for(chars_key))->setValue(77);
    }
    EXPECT_EQ(stored(window_key), 80);
    EXPECT_EQ(stored(chars_key), 77);
    CDlgBase window;
    window.start_up();
    EXPECT_EQ(qobject_cast<QSpinBox*>(window.reconstruct_page()->controls().control_for(window_key))->value(), 80);
    EXPECT_EQ(qobject_cast<QSpinBox*>(window.live_log_page()->controls().control_for(chars_key))->value(), 77);
}

} // namespace
