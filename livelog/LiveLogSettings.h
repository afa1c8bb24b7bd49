#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// Hours, minutes and seconds of one timing field.
struct WcTime {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int total_seconds() const { return hours * 3600 + minutes * 60 + seconds; }
    friend bool operator==(const WcTime&, const WcTime&) = default;
};

/// How the body lines of one post are joined ("発言の中の改行は、次のように処理する").
enum class WcLineBreaks : int { kKeep = 0, kDelete, kHalfSpace, kFullSpace, kCustom };

inline constexpr int kWcRows = 9;      ///< video rows: 0 "開始", 1 … 7, 8 "終了"
inline constexpr int kWcClockRows = 8; ///< clock rows: 0 … 7
inline constexpr int kWcMaxPostNumber = 1'000'000;

/// The number an edit box holds: empty reads 0, more than 9 characters read 999,999,999, otherwise
/// the leading decimal number (0 when there is none); then clamped to [minimum, maximum].
int read_number_field(std::u16string_view text, int minimum, int maximum);

/// Everything a conversion reads, clamped to each field's range, with the file paths resolved in the
/// app home. Taken once when a conversion starts.
struct WcSettings {
    int year = 2011;
    int month = 1;
    int day = 1;
    bool auto_date = false;
    std::array<WcTime, kWcRows> video{};
    std::array<WcTime, kWcClockRows> clock{};
    /// Index 0 is always on (row 0 always takes part).
    std::array<bool, kWcClockRows> enabled{};
    std::array<int, kWcClockRows> aid{};

    int max_lines = 4;
    int max_chars = 40;
    bool thin = false;
    int thin_limit = 4000;
    bool replace = false;
    bool reconstruct = false;
    std::u16string reconstruct_preset;

    std::u16string output_name;
    bool place = false;
    std::u16string place_folder;
    bool overwrite = false;

    std::u16string view_counter_id;
    bool keep_copies = false;
    WcLineBreaks line_breaks = WcLineBreaks::kKeep;
    std::u16string line_break_text;
    bool date_as_name = false;
    bool chat_only = false;
    /// "xml" or "txt", without the dot.
    std::u16string extension = u"xml";
    int overwrite_minimum = 0;
    bool name_from_text = false;
    std::u16string name_pattern;

    std::u16string source_path;
    std::u16string ng_path;
    std::u16string replace_path;
    std::u16string backup_folder;
    /// The default output folder.
    std::u16string output_folder;
    bool write_log_file = true;
    std::u16string log_file;
};

WcSettings wc_settings(const CSettings& settings);

/// The timing of the broadcast against the board's clock, in seconds on the local scale.
struct WcTimingTable {
    /// Video rows taking part (row 0, the enabled rows, row 8); there are n - 1 segments.
    int n = 0;
    std::vector<std::int64_t> vt;
    std::vector<std::int64_t> ct;
    std::vector<int> cm;
    std::vector<int> cs;
    std::vector<std::int64_t> d;
    std::vector<std::int64_t> vs;
    /// 0, or the message number of the failure: 26 video times decrease, 27 clock times decrease,
    /// 28 fewer than two video rows.
    int error = 0;

    int segments() const { return n > 0 ? n - 1 : 0; }
    /// Where a post at `time` falls: the segment index, or -1 before start, -2 in a cut, -3 after end.
    /// `minute_only` posts start their segment at the beginning of the clock row's minute.
    int locate(std::int64_t time, bool minute_only) const;
};

inline constexpr int kWcBeforeStart = -1;
inline constexpr int kWcInCut = -2;
inline constexpr int kWcAfterEnd = -3;

WcTimingTable build_timing_table(const WcSettings& s);

/// Seconds since 1970 of a local date and time; fields past their range roll over as the calendar does
/// (hour 25 is 1 o'clock of the next day). Cached per hour, since logs repeat the same hours.
std::int64_t local_seconds(int year, int month, int day, int hour, int minute, int second);

} // namespace quippet
