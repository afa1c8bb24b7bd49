#pragma once

#include "app/SettingKeys.h"

// Where the reconstruction tab keeps its controls in the settings file.

namespace quippet {

// The numbers below are the keys of every stored settings file and preset. Never renumber them: a
// renumbered key silently hands an old value to another control.

/// Check boxes (and radio buttons) of the reconstruction tab, in control order.
enum class RcSwitch : int {
    kAppend = 0,
    kClear,
    kRecurse,
    kDropConditions,
    kSaveBesideVideo,
    kNoTailInfo,
    kOverwrite,
    kSavePresetOnRun,
    kKeepNumbers,
    kSaveLists,
    kReadLimit, // 10
    kUnnaturalDates,
    kOldPosts,
    kDateRule1,
    kDateRule2,
    kPreStage, // 15
    kReplace1,
    kLength,
    kDeletedAttribute,
    kLowScore,
    kZeroTime, // 20
    kNgId,
    kNgIdReverse,
    kCommonNg,
    kCommonNgReverse,
    kNgWord, // 25
    kNgWordReverse,
    kChainByDefault,
    kPostStage,
    kReplace2,
    kIndividualStage, // 30
    kPriorityIds,
    kPriorityStage,
    kPriorityUploader,
    kPriorityBroadcaster,
    kPrioritySystem, // 35
    kPriorityOperator,
    kPartMerge,
    kLengthFromNet,
    kTiming1, // 39 … 47: the nine timing rows
    kMerge = 48,
    kMergeAll,
    kMergeByRows, // 50
    kMergeBySuffix,
    kDuplicates,
    kDupNo,
    kDupTime,
    kDupDate, // 55
    kDupId,
    kDupCommand,
    kDupBody,
    kDupFuzzy,
    kLimit, // 60
    kLimitThin,
    kLimitNewest,
    kLimitLastRead,
    kLimitPerMinute,
    kPerMinuteHalf,     // 65: off "丁", on "半"
    kPerMinuteNewest,   // off "古", on "新"
    kPerMinuteNoExempt, // off "免", on "制"
    kPerMinuteFill,
    kRowOrderFirst,
    kSort1, // 70 … 73: the four sort rows
    kSplitTyped = 74,
    kSplit250,
    kSplit500,
    kSplit1000,
    kSplitAuto,
    kSplitRemainder, // 79
};

/// Number fields of the reconstruction tab, in control order.
enum class RcNumber : int {
    kReadLimit = 0,
    kOldMonths,
    kDateRule1 = 2, // 2 … 8 and 9 … 15: hours, then year, month, day, hour, minute, second
    kDateRule2 = 9,
    kMinLength = 16,
    kMaxLength,
    kScoreThreshold,
    kTiming1 = 19, // 19 … 72: six fields per timing row
    kMergeRows = 73,
    kDupWindow,
    kLimitCount,
    kSplitSize,
    kCutFirst,
    kCutLast, // 78
};

/// Text fields of the reconstruction tab.
enum class RcText : int {
    kVideoPath = 0,
    kMergeSuffixText,
    kPresetName,
};

/// Fields of one "（2）投稿日時で削除" row after its hours field.
enum class DateRuleField : int { kHours = 0, kYear, kMonth, kDay, kHour, kMinute, kSecond };
/// Fields of one timing row: the time x (or the row number of the row scopes) and the amount d.
enum class TimingField : int { kAtMinutes = 0, kAtSeconds, kAtHundredths, kByMinutes, kBySeconds, kByHundredths };

constexpr SettingKey key(RcSwitch v) {
    return {section::kReconstruct, u"CB", static_cast<int>(v)};
}
constexpr SettingKey key(RcNumber v) {
    return {section::kReconstruct, u"EN", static_cast<int>(v)};
}
constexpr SettingKey key(RcText v) {
    return {section::kReconstruct, u"ES", static_cast<int>(v)};
}

// Repeated rows of the reconstruction tab; rows and rules count from 0.
constexpr SettingKey rc_timing_enabled(int row) {
    return {section::kReconstruct, u"CB", 39 + row};
}
constexpr SettingKey rc_timing(int row, TimingField f) {
    return {section::kReconstruct, u"EN", 19 + row * 6 + static_cast<int>(f)};
}
constexpr SettingKey rc_timing_scope(int row) {
    return {section::kReconstruct, u"CSVJ", row};
}
constexpr SettingKey rc_timing_action(int row) {
    return {section::kReconstruct, u"CSVS", row};
}
constexpr SettingKey rc_date_rule(int rule, DateRuleField f) {
    return {section::kReconstruct, u"EN", 2 + rule * 7 + static_cast<int>(f)};
}
constexpr SettingKey rc_date_base(int rule) {
    return {section::kReconstruct, u"CSDL", rule};
}
constexpr SettingKey rc_date_side(int rule) {
    return {section::kReconstruct, u"CSDR", rule};
}
constexpr SettingKey rc_sort_enabled(int row) {
    return {section::kReconstruct, u"CB", 70 + row};
}
constexpr SettingKey rc_sort_key(int row) {
    return {section::kReconstruct, u"CSST", row};
}

} // namespace quippet
