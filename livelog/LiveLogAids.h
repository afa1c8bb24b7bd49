#pragma once

#include "text/FileSP.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quippet {

class CSettings;

struct WcDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const WcDate&, const WcDate&) = default;
};

/// The date most headers of the text carry (the first met among equals); nullopt when no line has one.
std::optional<WcDate> auto_date(std::u16string_view text);
/// Auto date into the origin fields; false (fields unchanged) when the text has no date.
bool apply_auto_date(std::u16string_view text, CSettings& settings);

/// A date moved by whole days through the calendar.
WcDate shift_date(const WcDate& date, int days);

/// "+7日" / "-7日": the origin date moved by `days`.
void shift_origin(CSettings& settings, int days);
/// "倉": the origin date set to the warehouse search's date, normalised.
void origin_from_warehouse(CSettings& settings);
/// "起" (0) and "起+7" (7): the warehouse date and time set to the broadcast's end on the board's clock.
void warehouse_from_origin(CSettings& settings, int extra_days);

/// "→": each enabled row's aid value becomes the length of the cut before it. Empty on success, else the
/// message to show (nothing changed).
std::u16string aids_from_times(CSettings& settings);
/// "←": each enabled row's clock time follows from the previous row, its video time and its aid value.
/// Empty on success, else the message to show (nothing changed).
std::u16string times_from_aids(CSettings& settings);

/// "NikoJK用の設定にする": extension "txt", chat elements only, the smallest date as the name.
void apply_nikojk_settings(CSettings& settings);

/// The question asked when auto date finds nothing; OK converts with the date as it is.
inline constexpr std::u16string_view kAutoDateFailedQuestion =
    u"日付の自動取得に失敗しました。「OK」を押すと、現在設定された日付で処理します。";

/// What "変換" does before the job starts: auto date (asking `ask` on failure: true goes on), saving the
/// selected preset when "変換と同時に設定の保存も行う" is on, creating the NG-word file (and the replacement
/// table when replacing) with their default content. false when `ask` declined.
bool prepare_live_conversion(CSettings& settings, std::u16string_view selected_preset,
                             const std::function<bool(std::u16string_view question)>& ask,
                             const CreationFailureHook& on_failure = {});

} // namespace quippet
