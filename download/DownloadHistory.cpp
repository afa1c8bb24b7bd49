#include "download/DownloadHistory.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "download/ListFile.h"
#include "text/AppHome.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr std::u16string_view kSelectionNames[kHistorySelectionCount] = {
    u"<最近動画をDLした一覧>",     u"<最近動画のDLを試みた一覧>",     u"<最近動画のDLに失敗した一覧>",
    u"<最近コメントをDLした一覧>", u"<最近コメントのDLを試みた一覧>", u"<最近コメントのDLに失敗した一覧>",
    u"<最近何かをDLした一覧>",     u"<最近何かのDLを試みた一覧>",     u"<最近何かのDLに失敗した一覧>",
};

int letter_index(char16_t letter) {
    for (size_t i = 0; i < kHistoryLetters.size(); ++i)
        if (kHistoryLetters[i] == letter) return static_cast<int>(i);
    return -1;
}

HistoryState state_of(int code, bool wanted, bool may_be_nothing) {
    if (!wanted) return HistoryState::kNotRequested;
    switch (step_outcome(code)) {
    case StepOutcome::kDone:
        return HistoryState::kDone;
    case StepOutcome::kNothingToFetch:
        return may_be_nothing ? HistoryState::kNothing : HistoryState::kFailed;
    default:
        return HistoryState::kFailed;
    }
}

/// Bit i set when step i was requested.
unsigned recorded_steps(const HistoryLine& line) {
    unsigned bits = 0;
    for (size_t i = 0; i < line.states.size(); ++i)
        if (line.states[i] != HistoryState::kNotRequested) bits |= 1u << i;
    return bits;
}

bool matches(const HistoryLine& line, HistorySelection s) {
    const int kind = static_cast<int>(s) / 3; // 0 video, 1 comments, 2 anything
    const int test = static_cast<int>(s) % 3; // 0 done, 1 tried, 2 failed
    auto fits = [test](HistoryState st) {
        const int v = static_cast<int>(st);
        return test == 0 ? v == 3 : test == 1 ? (v >= 1 && v <= 3) : v == 1;
    };
    if (kind == 0) return fits(line.state(u'm'));
    if (kind == 1) return fits(line.state(u'c'));
    for (HistoryState st : line.states)
        if (fits(st)) return true;
    return false;
}

// The number of lines of a history file is kept beside it, with the file's size when it was counted, so
// that adding one line outside a job need not read a history of many megabytes. The size tells a count
// that no longer fits the file (another writer, an edit by hand); then the lines are counted again.
std::filesystem::path line_count_path(std::u16string_view history) {
    auto p = to_fs_path(history);
    p += ".lines";
    return p;
}

long long modified_ticks(std::u16string_view history) {
    std::error_code ec;
    const auto when = std::filesystem::last_write_time(to_fs_path(history), ec);
    return ec ? -1 : static_cast<long long>(when.time_since_epoch().count());
}

bool read_line_count(std::u16string_view history, std::uintmax_t size, std::uintmax_t& lines) {
    std::ifstream in(line_count_path(history), std::ios::binary);
    unsigned long long counted = 0, at_size = 0;
    long long at_time = 0;
    if (!(in >> counted >> at_size >> at_time) || at_size != size || at_time != modified_ticks(history) ||
        at_time == -1)
        return false;
    lines = counted;
    return true;
}

/// Written through a temporary name; the count is only a shortcut, so a failure is silent and costs a
/// recount later.
void write_line_count(std::u16string_view history, std::uintmax_t lines) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(to_fs_path(history), ec);
    const auto path = line_count_path(history);
    if (ec) {
        std::filesystem::remove(path, ec);
        return;
    }
    auto temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << lines << ' ' << size << ' ' << modified_ticks(history) << '\n';
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(temp, ec);
            return;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) std::filesystem::remove(temp, ec);
}

std::uintmax_t count_lines(std::string_view utf16_bytes) {
    std::uintmax_t lines = 0;
    for (size_t i = 2; i + 1 < utf16_bytes.size(); i += 2)
        if (utf16_bytes[i] == '\n' && utf16_bytes[i + 1] == '\0') ++lines;
    return lines;
}

} // namespace

HistoryState HistoryLine::state(char16_t letter) const {
    const int i = letter_index(letter);
    return i < 0 ? HistoryState::kNotRequested : states[static_cast<size_t>(i)];
}

std::u16string HistoryLine::text() const {
    std::u16string s = u"*";
    for (size_t i = 0; i < kHistoryLetters.size(); ++i) {
        if (i) s += u' ';
        s += kHistoryLetters[i];
        s += u'=';
        s += static_cast<char16_t>(u'0' + static_cast<int>(states[i]));
    }
    s += u"\t\t";
    for (const auto& c : columns) {
        s += c;
        s += u'\t';
    }
    s += id;
    s += u'\t';
    s += views;
    return s;
}

bool HistoryLine::parse(std::u16string_view text, HistoryLine& out) {
    if (text.empty() || text[0] != u'*') return false;
    const size_t tabs = text.find(u"\t\t");
    if (tabs == std::u16string_view::npos) return false;
    HistoryLine line;
    const std::u16string_view pairs = text.substr(1, tabs - 1);
    for (size_t at = 0; at < pairs.size();) {
        if (pairs[at] == u' ') {
            ++at;
            continue;
        }
        if (at + 2 >= pairs.size() || pairs[at + 1] != u'=') return false;
        const int i = letter_index(pairs[at]);
        const char16_t d = pairs[at + 2];
        if (i < 0 || d < u'0' || d > u'3') return false;
        line.states[static_cast<size_t>(i)] = static_cast<HistoryState>(d - u'0');
        at += 3;
    }
    std::u16string_view rest = text.substr(tabs + 2);
    std::u16string_view fields[8];
    for (int f = 0; f < 8; ++f) {
        const size_t tab = rest.find(u'\t');
        if (f == 7) {
            if (tab != std::u16string_view::npos) return false;
            fields[f] = rest;
            break;
        }
        if (tab == std::u16string_view::npos) return false;
        fields[f] = rest.substr(0, tab);
        rest = rest.substr(tab + 1);
    }
    for (size_t c = 0; c < 6; ++c)
        line.columns[c] = fields[c];
    line.id = fields[6];
    line.views = fields[7];
    if (line.id.empty()) return false;
    out = std::move(line);
    return true;
}

HistoryLine history_line_of(const DownloadRow& row, const WantedSteps& wanted) {
    HistoryLine line;
    const RowCodes& c = row.codes;
    line.states = {state_of(c.nicowari, wanted.nicowari, true),
                   state_of(c.video, wanted.video, false),
                   state_of(c.owner_comments, wanted.owner_comments, true),
                   state_of(c.comment, wanted.comments, false),
                   state_of(c.thumbnail, wanted.thumbnail, true),
                   state_of(c.info, wanted.info, false)};
    for (size_t i = 0; i < 6; ++i) {
        std::u16string cell = row.cells[i + 1];
        // A tab or line break inside a cell would split the line; the history keeps it readable instead.
        for (char16_t& ch : cell)
            if (ch == u'\t' || ch == u'\r' || ch == u'\n') ch = u' ';
        line.columns[i] = std::move(cell);
    }
    line.id = row.cells[dlcol::kId];
    line.views = row.cells[dlcol::kViews];
    return line;
}

std::u16string_view history_selection_name(HistorySelection s) {
    const int i = static_cast<int>(s);
    return i >= 0 && i < kHistorySelectionCount ? kSelectionNames[i] : std::u16string_view();
}

int history_selection_of(std::u16string_view name) {
    for (int i = 0; i < kHistorySelectionCount; ++i)
        if (kSelectionNames[i] == name) return i;
    return -1;
}

bool is_list_snapshot_name(std::u16string_view name) {
    return name == kListBeforeFilter || name == kListAtDownloadStart;
}

std::vector<DownloadRow> download_selection_rows(const CSettings& settings, std::u16string_view name, bool& known) {
    known = true;
    if (is_list_snapshot_name(name)) return load_list_snapshot(list_snapshot_folder(settings), name);
    const int selection = history_selection_of(name);
    if (selection < 0) {
        known = false;
        return {};
    }
    CFileSP file;
    CCharW text;
    CDownloadHistory history(settings.number(OptNumber::kHistoryLines));
    if (file.read_settings_text(resolve_in_home(settings.text(OptText::kDownloadHistory)), text) == 0)
        history.load_text(text.view());
    return history_selection_rows(history, static_cast<HistorySelection>(selection));
}

void CDownloadHistory::load_text(std::u16string_view text) {
    entries_.clear();
    by_id_.clear();
    live_ = oldest_ = 0;
    dropped_ = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        at = end + 1;
        if (line.empty()) continue;
        HistoryLine parsed;
        if (HistoryLine::parse(line, parsed))
            add(std::move(parsed));
        else
            ++dropped_;
    }
    compact();
}

std::u16string CDownloadHistory::text() const {
    std::u16string s;
    for (const Entry& e : entries_) {
        if (!e.live) continue;
        s += e.line.text();
        s += u"\r\n";
    }
    return s;
}

void CDownloadHistory::kill(size_t at) {
    entries_[at].live = false;
    --live_;
}

bool CDownloadHistory::add(HistoryLine line) {
    bool only_appended = true;
    unsigned seen = recorded_steps(line);
    std::vector<size_t>& same = by_id_[line.id];
    // The older lines of the video from the newest back: each keeps its place only with a step the newer
    // ones do not record.
    size_t kept = same.size();
    for (size_t i = same.size(); i-- > 0;) {
        const unsigned steps = recorded_steps(entries_[same[i]].line);
        if ((steps & ~seen) == 0) {
            kill(same[i]);
            same[i] = SIZE_MAX;
            --kept;
            only_appended = false;
        } else {
            seen |= steps;
        }
    }
    if (kept != same.size()) std::erase(same, SIZE_MAX);
    same.push_back(entries_.size());
    entries_.push_back({std::move(line), true});
    ++live_;
    while (live_ > static_cast<size_t>(max_lines_)) {
        while (!entries_[oldest_].live)
            ++oldest_;
        auto& positions = by_id_[entries_[oldest_].line.id];
        positions.erase(positions.begin()); // the oldest line of its video
        kill(oldest_);
        only_appended = false;
    }
    if (entries_.size() - live_ > std::max<size_t>(1024, live_ / 4)) compact();
    return only_appended;
}

void CDownloadHistory::compact() {
    std::vector<Entry> kept;
    kept.reserve(live_);
    by_id_.clear();
    for (Entry& e : entries_) {
        if (!e.live) continue;
        by_id_[e.line.id].push_back(kept.size());
        kept.push_back(std::move(e));
    }
    entries_ = std::move(kept);
    oldest_ = 0;
}

std::vector<const HistoryLine*> CDownloadHistory::lines() const {
    std::vector<const HistoryLine*> out;
    out.reserve(live_);
    for (const Entry& e : entries_)
        if (e.live) out.push_back(&e.line);
    return out;
}

std::vector<const HistoryLine*> CDownloadHistory::select(HistorySelection s) const {
    std::vector<const HistoryLine*> out;
    std::unordered_set<std::u16string_view> seen;
    for (size_t i = entries_.size(); i-- > 0;) {
        if (!entries_[i].live) continue;
        const HistoryLine& line = entries_[i].line;
        if (!matches(line, s) || !seen.insert(line.id).second) continue;
        out.push_back(&line);
    }
    return out;
}

CDownloadHistoryFile::~CDownloadHistoryFile() {
    if (count_owed_) write_line_count(path_, file_lines_);
}

int CDownloadHistoryFile::load(std::u16string_view path, int max_lines, int& code) {
    code = 0;
    if (count_owed_) write_line_count(path_, file_lines_);
    count_owed_ = false;
    path_ = path;
    history_ = CDownloadHistory(max_lines);
    slack_ = std::max<size_t>(1000, static_cast<size_t>(max_lines > 0 ? max_lines : 0) / 10);
    file_lines_ = 0;
    appendable_ = false;
    std::error_code ec;
    if (!std::filesystem::exists(to_fs_path(path), ec)) {
        std::filesystem::create_directories(to_fs_path(path).parent_path(), ec);
        return 0;
    }
    CFileSP file;
    CCharM bytes;
    if (file.read(path, bytes) != 0) {
        code = file.error();
        return -1;
    }
    const std::string_view b = bytes.view();
    // Only a file this program wrote is appended to: UTF-16 with its byte order mark, ending in a line break.
    const bool ours = b.size() >= 2 && b.size() % 2 == 0 && static_cast<unsigned char>(b[0]) == 0xFF &&
                      static_cast<unsigned char>(b[1]) == 0xFE &&
                      (b.size() == 2 || b.ends_with(std::string_view("\r\0\n\0", 4)));
    if (ours) {
        std::u16string text((b.size() - 2) / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(b[2 + 2 * i]) |
                                            (static_cast<unsigned char>(b[3 + 2 * i]) << 8));
        history_.load_text(text);
        file_lines_ = static_cast<size_t>(std::count(text.begin(), text.end(), u'\n'));
        appendable_ = history_.dropped_on_load() == 0;
    } else {
        CCharW text;
        if (file.read_settings_text(path, text) != 0) {
            code = file.error();
            return -1;
        }
        history_.load_text(text.view());
    }
    return 0;
}

int CDownloadHistoryFile::add(const HistoryLine& line, int& code) {
    code = 0;
    history_.add(line);
    if (appendable_ && file_lines_ + 1 <= history_.size() + slack_) {
        CFileSP file;
        if (file.append_wide_units(path_, line.text() + u"\r\n") == 0) {
            ++file_lines_;
            count_owed_ = true;
            return 0;
        }
    }
    return rewrite(code);
}

int CDownloadHistoryFile::rewrite(int& code) {
    CFileSP file;
    if (file.write_wide_text(path_, history_.text(), CFileSP::kOverwrite) != 0) {
        code = file.error();
        appendable_ = false;
        return -1;
    }
    file_lines_ = history_.size();
    appendable_ = true;
    write_line_count(path_, file_lines_);
    count_owed_ = false;
    return 0;
}

std::vector<DownloadRow> history_selection_rows(const CDownloadHistory& history, HistorySelection s) {
    std::vector<DownloadRow> rows;
    for (const HistoryLine* line : history.select(s)) {
        DownloadRow row;
        for (size_t c = 0; c < 6; ++c)
            row.cells[c + 1] = line->columns[c];
        row.cells[dlcol::kId] = line->id;
        row.cells[dlcol::kViews] = line->views;
        row.checked = true;
        rows.push_back(std::move(row));
    }
    return rows;
}

int append_history_file(std::u16string_view path, const HistoryLine& line, int max_lines, int& code) {
    // Readers replay the file, so a line may simply be appended while the file stays within its slack; only
    // then is the history loaded and the file written whole. Every line takes at least kMinLineBytes, so
    // the size alone often shows there is room without reading the file.
    constexpr std::uintmax_t kMinLineBytes = 2 * 36;
    code = 0;
    const auto fs_path = to_fs_path(path);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(fs_path, ec);
    if (!ec && size >= 2 && size % 2 == 0) {
        std::ifstream in(fs_path, std::ios::binary);
        char head[2] = {0, 0}, tail[4] = {0, 0, 0, 0};
        in.read(head, 2);
        if (size >= 6) {
            in.seekg(static_cast<std::streamoff>(size - 4));
            in.read(tail, 4);
        }
        const bool ours = in && static_cast<unsigned char>(head[0]) == 0xFF &&
                          static_cast<unsigned char>(head[1]) == 0xFE &&
                          (size == 2 || std::string_view(tail, 4) == std::string_view("\r\0\n\0", 4));
        in.close();
        const std::uintmax_t limit = static_cast<std::uintmax_t>(max_lines > 0 ? max_lines : 0);
        const std::uintmax_t room = limit + std::max<std::uintmax_t>(1000, limit / 10);
        CFileSP file;
        bool fits = ours && size / kMinLineBytes + 1 <= room;
        std::uintmax_t lines = 0;
        bool counted = false;
        if (ours && !fits) {
            // The size cannot tell: the count kept beside the file, else the lines themselves.
            counted = read_line_count(path, size, lines);
            if (!counted) {
                CCharM bytes;
                if (file.read(path, bytes) == 0) {
                    lines = count_lines(bytes.view());
                    counted = true;
                }
            }
            fits = counted && lines + 1 <= room;
        }
        if (fits && file.append_wide_units(path, line.text() + u"\r\n") == 0) {
            if (counted) write_line_count(path, lines + 1);
            return 0;
        }
    }
    CDownloadHistoryFile file;
    if (file.load(path, max_lines, code) != 0) return -1;
    return file.add(line, code);
}

} // namespace quippet
