#include "app/SettingsCatalogue.h"

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

using test::u8;

std::string name_of(const SettingDef& def) {
    return to_utf8(def.key.section) + "/" + to_utf8(setting_key_name(def.key));
}

TEST(SettingsCatalogue, EveryRowHasAPlaceOfItsKindAndAValidDefault) {
    std::set<std::string> seen;
    for (const SettingDef& def : setting_catalogue()) {
        const std::string name = name_of(def);
        EXPECT_TRUE(seen.insert(name).second) << name << " is listed twice";
        CSettings probe;
        const bool placed = def.is_text() ? probe.set_text(def.key, u"x") : probe.set_number(def.key, 1);
        EXPECT_TRUE(placed) << name << " has no place of its kind in the file";
        if (!def.is_text()) {
            EXPECT_LE(def.minimum, def.default_number) << name;
            EXPECT_LE(def.default_number, def.maximum) << name;
        }
        if (def.type == SettingType::kSwitch) {
            EXPECT_TRUE(def.minimum == 0 && def.maximum == 1) << name;
        }
        if (def.type == SettingType::kChoice) {
            EXPECT_EQ(def.maximum, static_cast<int>(def.items.size()) - 1) << name;
        }
        EXPECT_FALSE(def.page.empty() || def.group.empty() || def.label.empty()) << name;
    }
}

TEST(SettingsCatalogue, CoversEveryKeyOfTheReconstructionAndLiveLogTabs) {
    for (std::u16string_view tab : {section::kReconstruct, section::kLiveLog}) {
        int slots = 0;
        for (const SettingFamily& f : setting_families())
            if (f.section == tab) slots += f.count;
        int rows = 0;
        for (const SettingDef& def : setting_catalogue())
            if (def.key.section == tab) ++rows;
        EXPECT_EQ(rows, slots) << u8(tab);
    }
    EXPECT_EQ(find_setting({section::kReconstruct, u"CB", 79})->label, u"端数も出力する");
    EXPECT_EQ(find_setting({section::kLiveLog, u"CB", 16})->label, u"手動");
}

TEST(SettingsCatalogue, LabelsAndGroupsAreTheControlsCaptions) {
    struct Case {
        SettingKey key;
        std::u16string group;
        std::u16string label;
    };
    const Case cases[] = {
        {key(RcSwitch::kDuplicates), u"（5）重複コメ削除", u"する"},
        {key(RcSwitch::kDupTime), u"（5）重複コメ削除", u"時間"},
        {key(RcNumber::kDupWindow), u"（5）重複コメ削除", u"0ms"},
        {key(RcSwitch::kDupCommand), u"（5）重複コメ削除", u"ｺﾏﾝﾄﾞ"},
        {key(RcSwitch::kLimitPerMinute), u"（6）コメント数制限", u"毎分"},
        {key(RcSwitch::kPartMerge), u"（4）コメント表示タイミングの調整", u"合成時は連結する（パート分割の合成）"},
        {rc_timing_enabled(8), u"（4）コメント表示タイミングの調整", u"[9] 有効"},
        {rc_sort_key(0), u"（7）ソート", u"[1] キー"},
        {key(RcSwitch::kPrioritySystem), u"優先", u"シ"},
        {key(WcNumber::kMaxLines), u"変換", u"行を超えるコメントは無視"},
        {wc_row_enabled(4), u"開始2", u"開始2"},
        {wc_clock_time(0, 0), u"開始", u"何時"},
        {key(WcNumber::kMinPosts), u"過去ログ倉庫を探す", u"レス"},
        {key(OptSwitch::kDeleteHangul), u"削除", u"ハングルを含むコメントを削除する"},
    };
    for (const Case& c : cases) {
        const SettingDef* def = find_setting(c.key);
        ASSERT_NE(def, nullptr) << u8(setting_key_name(c.key));
        EXPECT_EQ(def->group, c.group) << u8(setting_key_name(c.key));
        EXPECT_EQ(def->label, c.label) << u8(setting_key_name(c.key));
    }
    EXPECT_EQ(find_setting(rc_sort_key(2))->items.size(), 36u);
    EXPECT_EQ(find_setting(rc_sort_key(2))->items[35], u"*座標");
    EXPECT_EQ(find_setting(rc_timing_scope(0))->items[3], u"行目のみ");
    EXPECT_EQ(find_setting(rc_timing_action(0))->items[2], u"のCMカット");
}

// Stored files of every installation name these files by these keys; a moved default would point an
// old settings file at the wrong list.
TEST(SettingsCatalogue, FileSettingsKeepTheirKeysAndDefaults) {
    const std::map<int, std::u16string> files = {
        {3, u"QuippetVellichor.log"},
        {8, u"SourceOfConvert.txt"},
        {11, u"設定：実況板の情報.txt"},
        {14, u"設定：プレイリストの場所.txt"},
        {15, u" 第| #| Ver.|其の|～その"},
        {16, u" (| [|(<ID>"},
        {17, u"設定：プレイリストの再生.txt"},
        {18, u"memo"},
        {19, u"設定：ツールチップで無視するタグ.txt"},
        {20, u"list"},
        {21, u"設定：再構成の置換1.txt"},
        {24, u"set"},
        {26, u"down"},
        {28, u"設定：コンバートのNGワード.txt"},
        {30, u"設定：ID削除リスト.txt"},
        {31, u"設定：ID優先リスト.txt"},
        {35, u"設定：検索の並び順.txt"},
        {38, u"設定：固定URL.txt"},
        {39, u"設定：動画ID抽出パターン.txt"},
        {40, u"backup"},
        {41, u"設定：文字参照.txt"},
        {42, u"設定：再構成のNGワード.txt"},
        {43, u"設定：再構成の共通NG.txt"},
        {44, u"設定：コンバートの置換.txt"},
        {45, u"設定：コマンドの変換1.txt"},
        {46, u"設定：コマンドの変換2.txt"},
        {47, u"設定：再構成の置換2.txt"},
        {48, u"設定：コマンドの基本.txt"},
        {49, u"設定：コマンドの変換3.txt"},
        {50, u"設定：曖昧一致のルール.txt"},
        {53, u"設定：動画情報の取得.txt"},
        {59, u"設定：クッキー取得.txt"},
        {65, u"data"},
        {71, u"設定：メニュー（DLリストの右クリ）.txt"},
        {77, u"設定：色とフォント.txt"},
        {79, u"cache"},
        {89, u"設定：メニュー（BMツリーの右クリ）.txt"},
        {97, u"設定：優先条件.txt"},
        {100, u"cache/log/play.txt"},
        {101, u"cache/log/down.txt"},
        {102, u"setting/履歴：使用した保存場所のパスを1行ずつ羅列.txt"},
        {103, u"setting/履歴：登録フォルダのパスを1行ずつ羅列.txt"},
        {104, u"setting/履歴：使用した入力欄の文字列を1行ずつ羅列.txt"},
        {105, u"setting"},
        {106, u"setting/履歴：入力欄に追加する文字列を1行ずつ羅列.txt"},
        {111, u"setting/設定：コンバートのブラウザ.txt"},
        {132, u"convert"},
    };
    for (const auto& [index, value] : files) {
        const SettingDef* def = find_setting({section::kOption, u"ES", index});
        ASSERT_NE(def, nullptr) << "ES" << index;
        EXPECT_EQ(def->default_text, value) << "ES" << index;
    }
}

TEST(SettingsCatalogue, FindsSettingsByName) {
    EXPECT_EQ(find_setting_by_name(u"DividingDriver/CB52"), find_setting(key(RcSwitch::kDuplicates)));
    EXPECT_EQ(find_setting_by_name(u"dividingdriver/cb52"), find_setting(key(RcSwitch::kDuplicates)));
    EXPECT_EQ(find_setting_by_name(u"VuzirizIzeroz/ComboSel2"), find_setting(kWcBrowserForm));
    EXPECT_EQ(find_setting_by_name(u"VuzirizIzeroz/ComboSel"), find_setting(kWcBoard));
    EXPECT_EQ(find_setting_by_name(u"VovezurBase/EndOfWorld"), find_setting(kShutdownMarker));
    for (std::u16string_view unknown :
         {u"DividingDriver/CB80", u"DividingDriver/CB052", u"DividingDriver", u"/CB1", u"OptionDialog/EN145"})
        EXPECT_EQ(find_setting_by_name(unknown), nullptr) << u8(unknown);
}

TEST(SettingsCatalogue, ParsesValuesAgainstTheirSetting) {
    struct Case {
        SettingKey key;
        std::u16string input;
        bool ok;
        int number;
    };
    const Case cases[] = {
        {key(RcSwitch::kDuplicates), u"1", true, 1},
        {key(RcSwitch::kDuplicates), u"on", true, 1},
        {key(RcSwitch::kDuplicates), u"FALSE", true, 0},
        {key(RcSwitch::kDuplicates), u"2", false, 0},
        {key(RcSwitch::kDuplicates), u"yes", false, 0},
        {key(WcNumber::kMaxLines), u"999", true, 999},
        {key(WcNumber::kMaxLines), u"1000", false, 0},
        {key(WcNumber::kMaxLines), u"0", false, 0},
        {key(WcNumber::kMaxLines), u"+12", true, 12},
        {key(WcNumber::kMaxLines), u"12 ", false, 0},
        {key(WcNumber::kMaxLines), u"", false, 0},
        {key(WcNumber::kMaxLines), u"99999999999", false, 0},
        {wc_aid(1), u"-999", true, -999},
        {key(OptNumber::kLiveExtension), u"txt", true, 1},
        {key(OptNumber::kLiveExtension), u"0", true, 0},
        {key(OptNumber::kLiveExtension), u"2", false, 0},
        {key(OptNumber::kLiveExtension), u"doc", false, 0},
        {rc_timing_action(0), u"全削除", true, 4},
    };
    for (const Case& c : cases) {
        ParsedSettingValue value;
        std::string error;
        const bool ok = parse_setting_value(*find_setting(c.key), c.input, value, error);
        EXPECT_EQ(ok, c.ok) << u8(c.input) << " " << error;
        if (ok) {
            EXPECT_EQ(value.number, c.number) << u8(c.input);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    ParsedSettingValue value;
    std::string error;
    ASSERT_TRUE(parse_setting_value(*find_setting(key(RcText::kMergeSuffixText)), u" 第\t", value, error));
    EXPECT_EQ(value.text, u" 第\t");
}

TEST(SettingsCatalogue, DocsAreUpToDate) {
    const std::string path = std::string(QUIPPET_SAMPLES_DIR) + "/../docs/settings.md";
    std::ifstream in(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(stored == render_settings_markdown())
        << path << " is out of date: run `quippet settings docs > docs/settings.md`";
}

} // namespace
} // namespace quippet
