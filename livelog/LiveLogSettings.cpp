#include "livelog/LiveLogSettings.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "resources/MessageIds.h"
#include "text/AppHome.h"

#include <algorithm>
#include <ctime>

namespace quippet {
namespace {

int clamped(const CSettings& s, const SettingKey& k, int minimum, int maximum) {
    return std::clamp(s.number(k), minimum, maximum);
}

WcTime time_of(const CSettings& s, bool video, int row) {
    WcTime t;
    const auto k = [&](int f) { return video ? wc_video_time(row, f) : wc_clock_time(row, f); };
    t.hours = clamped(s, k(0), 0, 30);
    t.minutes = clamped(s, k(1), 0, 59);
    t.seconds = clamped(s, k(2), 0, 59);
    return t;
}

} // namespace

int read_number_field(std::u16string_view text, int minimum, int maximum) {
    long long value = 0;
    if (text.size() > 9) {
        value = 999'999'999;
    } else {
        for (char16_t c : text) {
            if (c < u'0' || c > u'9') break;
            value = value * 10 + (c - u'0');
        }
    }
    return static_cast<int>(std::clamp<long long>(value, minimum, maximum));
}

WcSettings wc_settings(const CSettings& s) {
    WcSettings w;
    w.year = clamped(s, key(WcNumber::kYear), 1970, 3000);
    w.month = clamped(s, key(WcNumber::kMonth), 1, 12);
    w.day = clamped(s, key(WcNumber::kDay), 1, 32);
    w.auto_date = s.on(WcSwitch::kAutoDate);
    for (int r = 0; r < kWcRows; ++r) {
        w.video[static_cast<size_t>(r)] = time_of(s, true, r);
        if (r < kWcClockRows) w.clock[static_cast<size_t>(r)] = time_of(s, false, r);
    }
    w.enabled[0] = true;
    for (int r = 1; r < kWcClockRows; ++r) {
        w.enabled[static_cast<size_t>(r)] = s.on(wc_row_enabled(r));
        w.aid[static_cast<size_t>(r)] = clamped(s, wc_aid(r), -999, 999);
    }
    w.max_lines = clamped(s, key(WcNumber::kMaxLines), 1, 999);
    w.max_chars = clamped(s, key(WcNumber::kMaxChars), 1, 999);
    w.thin = s.on(WcSwitch::kThin);
    w.thin_limit = clamped(s, key(WcNumber::kThinLimit), 1, 300'000);
    w.replace = s.on(WcSwitch::kReplace);
    w.reconstruct = s.on(WcSwitch::kReconstruct);
    w.reconstruct_preset = s.text(kWcPresetName);
    w.output_name = s.text(WcText::kOutputName);
    w.place = s.on(WcSwitch::kPlace);
    w.place_folder = s.text(WcText::kPlaceFolder);
    w.overwrite = s.on(WcSwitch::kOverwrite);

    w.view_counter_id = s.text(OptText::kViewCounterId);
    w.keep_copies = s.on(OptSwitch::kLiveKeepCopies);
    w.line_breaks = static_cast<WcLineBreaks>(clamped(s, key(OptNumber::kLiveLineBreaks), 0, 4));
    w.line_break_text = s.text(OptText::kLineBreakReplacement);
    w.date_as_name = s.on(OptSwitch::kLiveDateAsName);
    w.chat_only = s.on(OptSwitch::kLiveChatOnly);
    w.extension = s.number(OptNumber::kLiveExtension) == 1 ? u"txt" : u"xml";
    w.overwrite_minimum = std::max(0, s.number(OptNumber::kLiveOverwriteMinimum));
    w.name_from_text = s.on(OptSwitch::kLiveNameFromText);
    w.name_pattern = s.text(OptText::kLiveNamePattern);

    w.source_path = resolve_in_home(s.text(OptText::kLiveSource));
    w.ng_path = resolve_in_home(s.text(OptText::kLiveNgWords));
    w.replace_path = resolve_in_home(s.text(OptText::kLiveReplaceTable));
    w.backup_folder = resolve_in_home(s.text(OptText::kLiveBackupFolder));
    w.output_folder = resolve_in_home(s.text(OptText::kLiveOutputFolder));
    w.write_log_file = s.on(OptSwitch::kWriteLogFile);
    w.log_file = s.text(OptText::kLogFile);
    return w;
}

std::int64_t local_seconds(int year, int month, int day, int hour, int minute, int second) {
    // mktime rereads the time zone on every call; a log repeats the same few hours thousands of times.
    struct Cached {
        int year = -1, month = -1, day = -1, hour = -1;
        std::int64_t start = 0;
    };
    thread_local Cached cache;
    if (cache.year != year || cache.month != month || cache.day != day || cache.hour != hour) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_isdst = -1;
        cache = {year, month, day, hour, static_cast<std::int64_t>(std::mktime(&tm))};
    }
    return cache.start + minute * 60 + second;
}

WcTimingTable build_timing_table(const WcSettings& s) {
    WcTimingTable t;
    const auto at = [&](const WcTime& time) {
        return local_seconds(s.year, s.month, s.day, time.hours, time.minutes, time.seconds);
    };
    for (int r = 0; r < kWcRows; ++r) {
        if (r != 0 && r != 8 && !s.enabled[static_cast<size_t>(r)]) continue;
        const std::int64_t v = at(s.video[static_cast<size_t>(r)]);
        if (!t.vt.empty() && v < t.vt.back()) {
            t.error = msg::kVideoTimesReversed;
            return t;
        }
        t.vt.push_back(v);
    }
    for (int r = 0; r < kWcClockRows; ++r) {
        if (r != 0 && !s.enabled[static_cast<size_t>(r)]) continue;
        const WcTime& c = s.clock[static_cast<size_t>(r)];
        const std::int64_t v = at(c);
        if (!t.ct.empty() && v < t.ct.back()) {
            t.error = msg::kClockTimesReversed;
            return t;
        }
        t.ct.push_back(v);
        t.cm.push_back(c.minutes);
        t.cs.push_back(c.seconds);
    }
    t.n = static_cast<int>(t.vt.size());
    if (t.n < 2) {
        t.error = msg::kTimesUnreadable;
        return t;
    }
    t.vs.push_back(s.video[0].total_seconds());
    for (int k = 0; k + 1 < t.n; ++k) {
        t.d.push_back(t.vt[static_cast<size_t>(k) + 1] - t.vt[static_cast<size_t>(k)]);
        t.vs.push_back(t.vs.back() + t.d.back());
    }
    return t;
}

int WcTimingTable::locate(std::int64_t time, bool minute_only) const {
    const int count = segments();
    if (count == 0) return kWcAfterEnd;
    const auto start = [&](int k) {
        const size_t i = static_cast<size_t>(k);
        return minute_only ? ct[i] - cs[i] : ct[i];
    };
    const auto end = [&](int k) { return ct[static_cast<size_t>(k)] + d[static_cast<size_t>(k)]; };
    if (time < start(0)) return kWcBeforeStart;
    if (time > end(count - 1)) return kWcAfterEnd;
    int k = 0;
    // Segments are few (at most eight); a linear walk beats anything cleverer.
    for (int i = 1; i < count; ++i)
        if (start(i) <= time) k = i;
    if (time > end(k)) return kWcInCut;
    return k;
}

} // namespace quippet
