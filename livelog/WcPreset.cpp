#include "livelog/WcPreset.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "livelog/LiveLogScanner.h"
#include "livelog/LiveLogSettingKeys.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/Trash.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace quippet {
namespace {

constexpr std::u16string_view kOn = u"○";
constexpr std::u16string_view kOff = u"×";
constexpr std::u16string_view kReadFailed = u"ファイルの読み込みに失敗しました";
constexpr std::array<std::u16string_view, 8> kRowLabels = {u"開始",   u"Aパート", u"Bパート", u"予告",
                                                           u"｜開始", u"｜Aパ",   u"｜Bパ",   u"｜予告"};

std::u16string_view mark(bool on) {
    return on ? kOn : kOff;
}

std::vector<std::u16string_view> split_tabs(std::u16string_view line) {
    std::vector<std::u16string_view> fields;
    size_t at = 0;
    while (true) {
        const size_t tab = line.find(u'\t', at);
        fields.push_back(line.substr(at, tab == std::u16string_view::npos ? std::u16string_view::npos : tab - at));
        if (tab == std::u16string_view::npos) break;
        at = tab + 1;
    }
    return fields;
}

/// A stored number: an optional "-" and decimal digits, anything after them ignored; `fallback` when
/// there are none. Capped so that a hand-edited preset cannot overflow.
int parse_int(std::u16string_view text, int fallback) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == u'-';
    if (negative) ++i;
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return fallback;
    long long v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        v = std::min<long long>(v * 10 + (text[i] - u'0'), 999'999'999);
    return static_cast<int>(negative ? -v : v);
}

class LineWriter {
public:
    explicit LineWriter(std::u16string& out) : out_(out) {}
    LineWriter& label(std::u16string_view l) {
        out_.append(l);
        return *this;
    }
    LineWriter& field(std::u16string_view v) {
        out_.push_back(u'\t');
        out_.append(v);
        return *this;
    }
    LineWriter& number(int v, int lo, int hi) { return field(decimal_text(std::clamp(v, lo, hi))); }
    void end() { out_.append(u"\r\n"); }

private:
    std::u16string& out_;
};

constexpr int kTimeMax = 3000;
constexpr int kOtherMax = 30'000;

void write_time(LineWriter& w, const CSettings& s, int row, bool clock) {
    for (int f = 0; f < 3; ++f)
        w.number(s.number(clock ? wc_clock_time(row, f) : wc_video_time(row, f)), 0, kTimeMax);
}

} // namespace

std::u16string WcPreset::compose(const CSettings& s, const std::vector<std::u16string>& boards) {
    std::u16string out;
    LineWriter w(out);
    std::u16string enabled;
    for (int r = 1; r <= 7; ++r)
        enabled.append(mark(s.on(wc_row_enabled(r))));
    w.label(u"有効").field(enabled).end();
    w.label(u"日付")
        .number(s.number(WcNumber::kYear), 0, kOtherMax)
        .number(s.number(WcNumber::kMonth), 0, kOtherMax)
        .number(s.number(WcNumber::kDay), 0, kOtherMax)
        .end();
    for (int r = 0; r < 8; ++r) {
        w.label(kRowLabels[static_cast<size_t>(r)]);
        write_time(w, s, r, false);
        write_time(w, s, r, true);
        if (r > 0) w.number(s.number(wc_aid(r)), -999, kTimeMax);
        w.end();
    }
    w.label(u"終了");
    write_time(w, s, 8, false);
    w.end();
    w.label(u"上書").field(mark(s.on(WcSwitch::kOverwrite))).end();
    w.label(u"指定").field(mark(s.on(WcSwitch::kPlace))).end();
    w.label(u"場所").field(s.text(WcText::kPlaceFolder)).end();
    w.label(u"再構成").field(mark(s.on(WcSwitch::kReconstruct))).end();
    if (!s.text(kWcPresetName).empty()) w.label(u"構成名").field(s.text(kWcPresetName)).end();
    const int board = s.number(kWcBoard);
    if (board >= 0 && board < static_cast<int>(boards.size()))
        w.label(u"板名").field(boards[static_cast<size_t>(board)]).end();
    w.label(u"倉庫");
    for (WcNumber n : {WcNumber::kSearchYear, WcNumber::kSearchMonth, WcNumber::kSearchDay, WcNumber::kSearchHour,
                       WcNumber::kSearchMinute, WcNumber::kHoursBack, WcNumber::kMinPosts, WcNumber::kHoursForward})
        w.number(s.number(n), 0, kOtherMax);
    w.end();
    w.label(u"条件").field(s.text(WcText::kTitleWords)).end();
    // The thinning limit keeps its own range: folding it into the common one would silently shrink a
    // stored limit above 30,000 on every save.
    w.label(u"その他")
        .field(mark(s.on(WcSwitch::kAutoDate)))
        .number(s.number(WcNumber::kMaxLines), 0, kOtherMax)
        .number(s.number(WcNumber::kMaxChars), 0, kOtherMax)
        .field(mark(s.on(WcSwitch::kReplace)))
        .field(mark(s.on(WcSwitch::kThin)))
        .number(s.number(WcNumber::kThinLimit), 1, 300'000)
        .end();
    return out;
}

int WcPreset::apply(std::u16string_view text, CSettings& s, const std::vector<std::u16string>& boards) {
    int recognised = 0;
    bool overwrite_seen = false;
    int place_state = -1;
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        const std::vector<std::u16string_view> f = split_tabs(line);
        const std::u16string_view label = f[0];
        const auto field = [&](size_t i) { return i < f.size() ? f[i] : std::u16string_view{}; };
        const auto set_num = [&](const SettingKey& k, size_t i) {
            if (i < f.size()) s.set_number(k, parse_int(f[i], s.number(k)));
        };
        const auto set_on = [&](const SettingKey& k, size_t i) {
            if (i < f.size()) s.set_number(k, f[i] == kOn ? 1 : 0);
        };
        const auto row = std::find(kRowLabels.begin(), kRowLabels.end(), label);
        if (row != kRowLabels.end()) {
            const int r = static_cast<int>(row - kRowLabels.begin());
            for (int k = 0; k < 3; ++k) {
                set_num(wc_video_time(r, k), 1 + static_cast<size_t>(k));
                set_num(wc_clock_time(r, k), 4 + static_cast<size_t>(k));
            }
            if (r > 0) set_num(wc_aid(r), 7);
        } else if (label == u"有効") {
            const std::u16string_view marks = field(1);
            for (int r = 1; r <= 7 && static_cast<size_t>(r) <= marks.size(); ++r)
                s.set_number(wc_row_enabled(r), marks.substr(static_cast<size_t>(r) - 1, 1) == kOn ? 1 : 0);
        } else if (label == u"日付") {
            set_num(key(WcNumber::kYear), 1);
            set_num(key(WcNumber::kMonth), 2);
            set_num(key(WcNumber::kDay), 3);
        } else if (label == u"終了") {
            for (int k = 0; k < 3; ++k)
                set_num(wc_video_time(8, k), 1 + static_cast<size_t>(k));
        } else if (label == u"上書") {
            set_on(key(WcSwitch::kOverwrite), 1);
            overwrite_seen = true;
        } else if (label == u"指定") {
            set_on(key(WcSwitch::kPlace), 1);
            place_state = field(1) == kOn ? 1 : 0;
        } else if (label == u"場所") {
            s.set_text(WcText::kPlaceFolder, std::u16string(field(1)));
        } else if (label == u"再構成") {
            set_on(key(WcSwitch::kReconstruct), 1);
        } else if (label == u"構成名") {
            s.set_text(kWcPresetName, std::u16string(field(1)));
        } else if (label == u"板名") {
            const auto it = std::find(boards.begin(), boards.end(), field(1));
            if (it != boards.end()) s.set_number(kWcBoard, static_cast<int>(it - boards.begin()));
        } else if (label == u"倉庫") {
            size_t i = 1;
            for (WcNumber n :
                 {WcNumber::kSearchYear, WcNumber::kSearchMonth, WcNumber::kSearchDay, WcNumber::kSearchHour,
                  WcNumber::kSearchMinute, WcNumber::kHoursBack, WcNumber::kMinPosts, WcNumber::kHoursForward})
                set_num(key(n), i++);
        } else if (label == u"条件") {
            s.set_text(WcText::kTitleWords, std::u16string(field(1)));
        } else if (label == u"その他") {
            if (f.size() > 1) {
                s.set_number(WcSwitch::kAutoDate, field(1) == kOn ? 1 : 0);
                s.set_number(WcSwitch::kManualDate, field(1) == kOn ? 0 : 1);
            }
            set_num(key(WcNumber::kMaxLines), 2);
            set_num(key(WcNumber::kMaxChars), 3);
            set_on(key(WcSwitch::kReplace), 4);
            set_on(key(WcSwitch::kThin), 5);
            set_num(key(WcNumber::kThinLimit), 6);
        } else {
            continue;
        }
        ++recognised;
    }
    // Presets from before "上書" had its own line kept the state on "指定".
    if (!overwrite_seen && place_state >= 0) s.set_number(WcSwitch::kOverwrite, place_state);
    return recognised;
}

std::u16string WcPreset::path(std::u16string_view folder, std::u16string_view name) {
    std::u16string p(folder);
    if (!p.empty() && p.back() != u'/') p.push_back(u'/');
    return p + std::u16string(name) + u".txt";
}

int WcPreset::write(const CSettings& settings, std::u16string_view folder, std::u16string_view name,
                    std::u16string* error, const std::vector<std::u16string>& boards) {
    std::error_code ec;
    std::filesystem::create_directories(to_fs_path(folder), ec);
    CFileSP file;
    if (file.write_wide_text(path(folder, name), compose(settings, boards), CFileSP::kOverwrite) != 0) {
        if (error) *error = path(folder, name) + u"：ファイルの書き込みに失敗しました";
        return -1;
    }
    return 0;
}

int WcPreset::read(std::u16string_view folder, std::u16string_view name, CSettings& settings, std::u16string* error,
                   const std::vector<std::u16string>& boards) {
    CCharW text;
    if (CFileSP().read_settings_text(path(folder, name), text) != 0) {
        if (error) *error = std::u16string(kReadFailed);
        return -1;
    }
    apply(text.view(), settings, boards);
    return 0;
}

std::vector<std::u16string> WcPreset::list(std::u16string_view folder) {
    std::vector<std::u16string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(to_fs_path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->path().extension() != ".txt") continue;
        names.push_back(from_fs_path(it->path().stem()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

WcSaveCaption wc_save_caption(std::u16string_view typed, std::u16string_view selected,
                              const std::vector<std::u16string>& names) {
    if (typed.empty()) return WcSaveCaption::kEmpty;
    if (typed == selected && !selected.empty()) return WcSaveCaption::kOverwrite;
    if (std::find(names.begin(), names.end(), typed) != names.end()) return WcSaveCaption::kMismatch;
    return WcSaveCaption::kCreate;
}

std::u16string_view wc_save_caption_text(WcSaveCaption caption) {
    switch (caption) {
    case WcSaveCaption::kOverwrite:
        return u"上書保存";
    case WcSaveCaption::kMismatch:
        return u"選択不一致";
    case WcSaveCaption::kCreate:
        return u"新規作成";
    default:
        return u"空白";
    }
}

WcCreateResult create_wc_preset(const CSettings& settings, std::u16string_view folder, std::u16string_view name,
                                std::u16string* message, const std::vector<std::u16string>& boards) {
    const auto say = [&](std::u16string_view text) {
        if (message) *message = std::u16string(text);
    };
    if (name.empty()) {
        say(u"リスト名が入力されてないりゅん");
        return WcCreateResult::kEmptyName;
    }
    const std::u16string txt = WcPreset::path(folder, name);
    const std::u16string bak = txt.substr(0, txt.size() - 4) + u".bak";
    std::error_code ec;
    if (std::filesystem::is_regular_file(to_fs_path(bak), ec) && !std::filesystem::exists(to_fs_path(txt), ec)) {
        std::filesystem::rename(to_fs_path(bak), to_fs_path(txt), ec);
        if (!ec) {
            say(u"同名のプリセットが過去に存在していたので、それを復元しました（現在ダイアログにある設定はまだ保存され"
                u"ていません）");
            return WcCreateResult::kRestored;
        }
    }
    std::u16string error;
    if (WcPreset::write(settings, folder, name, &error, boards) != 0) {
        say(error);
        return WcCreateResult::kFailed;
    }
    say({});
    return WcCreateResult::kWritten;
}

int delete_wc_preset(std::u16string_view folder, std::u16string_view name, bool to_bak, std::u16string* error) {
    const std::u16string txt = WcPreset::path(folder, name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(to_fs_path(txt), ec)) {
        if (error) *error = txt + u"：ファイルがありません";
        return -1;
    }
    if (!to_bak && move_to_trash(txt) == 0) return 0;
    const std::u16string bak = txt.substr(0, txt.size() - 4) + u".bak";
    std::filesystem::rename(to_fs_path(txt), to_fs_path(bak), ec);
    if (ec) {
        if (error) *error = txt + u"：削除に失敗しました";
        return -1;
    }
    return 0;
}

std::vector<std::u16string> board_names(const CSettings& settings) {
    std::vector<std::u16string> names;
    CCharW text;
    if (CFileSP().read_settings_text(resolve_in_home(settings.text(OptText::kBoardTable)), text) != 0) return names;
    const std::u16string_view all = text.view();
    WcLines lines(all);
    for (std::u16string_view line; lines.next(line);) {
        if (line.starts_with(u"▼")) names.emplace_back(line.substr(1));
    }
    return names;
}

} // namespace quippet
