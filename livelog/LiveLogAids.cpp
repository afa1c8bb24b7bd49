#include "livelog/LiveLogAids.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogScanner.h"
#include "livelog/LiveLogSettingKeys.h"
#include "livelog/LiveLogSettings.h"
#include "livelog/WcPreset.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace quippet {
namespace {

std::tm normalised(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    std::mktime(&tm);
    return tm;
}

void set_origin(CSettings& s, const WcDate& d) {
    s.set_number(WcNumber::kYear, d.year);
    s.set_number(WcNumber::kMonth, d.month);
    s.set_number(WcNumber::kDay, d.day);
}

/// Rows taking part in the aids: row 0 and the enabled rows 1 … 7.
std::vector<int> aid_rows(const WcSettings& w) {
    std::vector<int> rows{0};
    for (int r = 1; r < kWcClockRows; ++r)
        if (w.enabled[static_cast<size_t>(r)]) rows.push_back(r);
    return rows;
}

} // namespace

std::optional<WcDate> auto_date(std::u16string_view text) {
    std::vector<std::pair<int, int>> counts; // date-only form, count; in the order first met
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        const long long n = !line.empty() && line.front() != u'-' ? leading_number(line) : -1;
        if (n >= 1 && n <= kWcMaxPostNumber) {
            line = line.substr(0, line.rfind(u"ID:"));
        } else if (line.starts_with(u"\u2026 ")) {
            line = line.substr(0, line.rfind(u"No."));
        } else {
            continue;
        }
        WcPostDate date;
        if (!parse_post_date(line, date)) continue;
        const int key = date.date_only();
        const auto it = std::find_if(counts.begin(), counts.end(), [key](const auto& c) { return c.first == key; });
        if (it == counts.end())
            counts.emplace_back(key, 1);
        else
            ++it->second;
    }
    if (counts.empty()) return std::nullopt;
    // max_element keeps the first of equal counts, which is the date met first.
    const auto best = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return WcDate{best->first / 10000, best->first / 100 % 100, best->first % 100};
}

bool apply_auto_date(std::u16string_view text, CSettings& settings) {
    const std::optional<WcDate> date = auto_date(text);
    if (!date) return false;
    set_origin(settings, *date);
    return true;
}

WcDate shift_date(const WcDate& date, int days) {
    // Noon keeps a daylight-saving change from pushing the result onto another day.
    const std::tm tm = normalised(date.year, date.month, date.day + days, 12, 0);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void shift_origin(CSettings& s, int days) {
    const WcSettings w = wc_settings(s);
    set_origin(s, shift_date({w.year, w.month, w.day}, days));
}

void origin_from_warehouse(CSettings& s) {
    set_origin(
        s, shift_date(
               {s.number(WcNumber::kSearchYear), s.number(WcNumber::kSearchMonth), s.number(WcNumber::kSearchDay)}, 0));
}

void warehouse_from_origin(CSettings& s, int extra_days) {
    const WcSettings w = wc_settings(s);
    int seconds = w.video[8].seconds;
    for (int r = 1; r < kWcClockRows; ++r)
        if (w.enabled[static_cast<size_t>(r)]) seconds += w.aid[static_cast<size_t>(r)];
    int length = w.video[8].hours * 60 + w.video[8].minutes;
    if (seconds > 0) length += seconds / 60 + 1;
    const std::tm tm = normalised(w.year, w.month, w.day + extra_days, w.clock[0].hours, w.clock[0].minutes + length);
    s.set_number(WcNumber::kSearchYear, tm.tm_year + 1900);
    s.set_number(WcNumber::kSearchMonth, tm.tm_mon + 1);
    s.set_number(WcNumber::kSearchDay, tm.tm_mday);
    s.set_number(WcNumber::kSearchHour, tm.tm_hour);
    s.set_number(WcNumber::kSearchMinute, tm.tm_min);
}

std::u16string aids_from_times(CSettings& s) {
    const WcSettings w = wc_settings(s);
    const std::vector<int> rows = aid_rows(w);
    std::vector<int> aids;
    for (size_t i = 1; i < rows.size(); ++i) {
        const size_t r = static_cast<size_t>(rows[i]);
        const size_t p = static_cast<size_t>(rows[i - 1]);
        const int video = w.video[r].total_seconds() - w.video[p].total_seconds();
        const int clock = w.clock[r].total_seconds() - w.clock[p].total_seconds();
        if (video < 0 || clock < 0) return u"時間が逆戻っている箇所があります";
        aids.push_back(std::clamp(clock - video, -999, 999));
    }
    for (size_t i = 1; i < rows.size(); ++i)
        s.set_number(wc_aid(rows[i]), aids[i - 1]);
    return {};
}

std::u16string times_from_aids(CSettings& s) {
    const WcSettings w = wc_settings(s);
    const std::vector<int> rows = aid_rows(w);
    for (size_t i = 1; i < rows.size(); ++i)
        if (w.video[static_cast<size_t>(rows[i])].total_seconds() <
            w.video[static_cast<size_t>(rows[i - 1])].total_seconds())
            return u"「時間　分　秒」の順序が逆転している箇所があります";
    int previous_clock = w.clock[0].total_seconds();
    constexpr int kLatest = 30 * 3600 + 59 * 60 + 59;
    for (size_t i = 1; i < rows.size(); ++i) {
        const size_t r = static_cast<size_t>(rows[i]);
        const size_t p = static_cast<size_t>(rows[i - 1]);
        const int clock = std::clamp(
            previous_clock + (w.video[r].total_seconds() - w.video[p].total_seconds()) + w.aid[r], 0, kLatest);
        s.set_number(wc_clock_time(rows[i], 0), clock / 3600);
        s.set_number(wc_clock_time(rows[i], 1), clock % 3600 / 60);
        s.set_number(wc_clock_time(rows[i], 2), clock % 60);
        previous_clock = clock;
    }
    return {};
}

void apply_nikojk_settings(CSettings& s) {
    s.set_number(OptNumber::kLiveExtension, 1);
    s.set_number(OptSwitch::kLiveChatOnly, 1);
    s.set_number(OptSwitch::kLiveDateAsName, 1);
}

bool prepare_live_conversion(CSettings& settings, std::u16string_view selected_preset,
                             const std::function<bool(std::u16string_view question)>& ask,
                             const CreationFailureHook& on_failure) {
    if (settings.on(WcSwitch::kAutoDate)) {
        std::u16string source;
        int error = 0;
        const bool found =
            read_source_text(live_source_path(settings), source, error) == 0 && apply_auto_date(source, settings);
        if (!found && ask && !ask(kAutoDateFailedQuestion)) return false;
    }
    if (settings.on(WcSwitch::kSavePresetOnConvert) && !selected_preset.empty())
        WcPreset::write(settings, live_preset_folder(settings), selected_preset, nullptr, board_names(settings));
    ensure_live_ng_file(settings, on_failure);
    if (settings.on(WcSwitch::kReplace)) ensure_live_replace_table(settings, on_failure);
    return true;
}

} // namespace quippet
