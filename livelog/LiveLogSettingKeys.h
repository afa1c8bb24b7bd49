#pragma once

#include "app/SettingKeys.h"

// Where the live-log tab keeps its controls in the settings file.

namespace quippet {

// The numbers below are the keys of every stored settings file and preset. Never renumber them: a
// renumbered key silently hands an old value to another control.

/// Check boxes (and radio buttons) of the live-log tab, in control order.
enum class WcSwitch : int {
    kAutoDate = 0,
    kManualDate,
    kRow1, // 2 … 8: rows "Aパート" … "予告2"
    kReplace = 9,
    kThin,
    kReconstruct,
    kPlace,
    kOverwrite,
    kSavePresetOnConvert,
    kSendToBrowser,
    kManualAddress, // 16
};

/// Number fields of the live-log tab. The timing rows sit between the origin date and the post limits;
/// use wc_video_time, wc_clock_time and wc_aid for them.
enum class WcNumber : int {
    kYear = 0,
    kMonth,
    kDay,
    kMaxLines = 61,
    kMaxChars,
    kThinLimit,
    kSearchYear,
    kSearchMonth, // 65
    kSearchDay,
    kSearchHour,
    kSearchMinute,
    kHoursBack,
    kMinPosts, // 70
    kHoursForward,
};

enum class WcText : int { kOutputName = 0, kPlaceFolder, kTitleWords };

constexpr SettingKey key(WcSwitch v) {
    return {section::kLiveLog, u"CB", static_cast<int>(v)};
}
constexpr SettingKey key(WcNumber v) {
    return {section::kLiveLog, u"EN", static_cast<int>(v)};
}
constexpr SettingKey key(WcText v) {
    return {section::kLiveLog, u"ES", static_cast<int>(v)};
}

// Timing rows of the live-log tab: row 0 "開始", 1 … 7 the optional rows, 8 "終了". Fields are
// 0 hours, 1 minutes, 2 seconds. Each row stores its video time, clock time and aid value together.
constexpr int wc_row_base(int row) {
    return row == 0 ? 3 : 9 + (row - 1) * 7;
}
constexpr SettingKey wc_row_enabled(int row) {
    return {section::kLiveLog, u"CB", 1 + row};
}
constexpr SettingKey wc_video_time(int row, int field) {
    return {section::kLiveLog, u"EN", (row == 8 ? 58 : wc_row_base(row)) + field};
}
constexpr SettingKey wc_clock_time(int row, int field) {
    return {section::kLiveLog, u"EN", wc_row_base(row) + 3 + field};
}
constexpr SettingKey wc_aid(int row) {
    return {section::kLiveLog, u"EN", wc_row_base(row) + 6};
}
inline constexpr SettingKey kWcBoard{section::kLiveLog, u"ComboSel", -1};
inline constexpr SettingKey kWcBrowserForm{section::kLiveLog, u"ComboSel", 2};
inline constexpr SettingKey kWcPresetName{section::kLiveLog, u"ComboStr", 1};

} // namespace quippet
