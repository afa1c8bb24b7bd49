#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "download/DownloadList.h"
#include "download/DownloadReport.h"

namespace quippet {

class CSettings;

/// The steps a history line records, in the order they are written: nicowari, video, uploader comments,
/// comments, thumbnail, information.
inline constexpr std::array<char16_t, 6> kHistoryLetters = {u'w', u'm', u'o', u'c', u't', u'i'};

/// States of a step in a history line.
enum class HistoryState : unsigned char {
    kNotRequested = 0,
    kFailed = 1,  ///< failed or not reached
    kNothing = 2, ///< ended with its code for nothing to fetch ("o", "w", "t" only)
    kDone = 3,
};

/// One line of the download history.
struct HistoryLine {
    std::array<HistoryState, 6> states{};  ///< by kHistoryLetters
    std::array<std::u16string, 6> columns; ///< the row's columns 1 to 6
    std::u16string id;
    std::u16string views;

    HistoryState state(char16_t letter) const;
    /// "*w=0 m=3 o=0 c=3 t=0 i=0" TAB TAB columns 1–6, ID and views, tab-separated.
    std::u16string text() const;
    /// A line as text() writes it; false for anything else.
    static bool parse(std::u16string_view text, HistoryLine& out);
};

/// The history line of a finished row.
HistoryLine history_line_of(const DownloadRow& row, const WantedSteps& wanted);

/// The nine selections offered from the history, in menu order.
enum class HistorySelection : int {
    kVideoDone = 0,
    kVideoTried,
    kVideoFailed,
    kCommentsDone,
    kCommentsTried,
    kCommentsFailed,
    kAnyDone,
    kAnyTried,
    kAnyFailed,
};
inline constexpr int kHistorySelectionCount = 9;
/// "<最近動画をDLした一覧>" …
std::u16string_view history_selection_name(HistorySelection s);
/// The selection a name stands for; -1 when it names none.
int history_selection_of(std::u16string_view name);

/// The list as it was before the last filtering, and at the start of the last download.
inline constexpr std::u16string_view kListBeforeFilter = u"[前回抽出前のリスト]";
inline constexpr std::u16string_view kListAtDownloadStart = u"[前回DL開始時のリスト]";
/// Whether `name` is one of the two snapshots above.
bool is_list_snapshot_name(std::u16string_view name);

/// The download history in memory, oldest line first (the file is written in this order, so that a new
/// line is an append). Lines dropped by the keep rule or the limit are marked and compacted away in
/// batches, and an index by video finds the lines of one video, so an add costs the lines of that video,
/// not the length of the history.
class CDownloadHistory {
public:
    explicit CDownloadHistory(int max_lines = 10000) : max_lines_(max_lines > 0 ? max_lines : 0) {}

    /// Replays the lines of a history file through add(), so that the result is the history whatever
    /// older lines the file still holds. Lines that do not parse are dropped (and counted).
    void load_text(std::u16string_view text);
    std::u16string text() const;

    /// Adds `line` as the newest. Older lines of the same video stay only while they record a step that the
    /// lines kept after them (newer) do not; then the oldest lines go beyond the limit. Returns whether
    /// nothing but the new line changed.
    bool add(HistoryLine line);

    /// The lines of a selection, newest first, one per video.
    std::vector<const HistoryLine*> select(HistorySelection s) const;

    /// The lines, oldest first.
    std::vector<const HistoryLine*> lines() const;
    size_t size() const { return live_; }
    int dropped_on_load() const { return dropped_; }

private:
    struct Entry {
        HistoryLine line;
        bool live = true;
    };
    void kill(size_t at);
    void compact();

    std::vector<Entry> entries_;
    std::unordered_map<std::u16string, std::vector<size_t>> by_id_; ///< live positions, ascending
    size_t live_ = 0;
    size_t oldest_ = 0; ///< no live entry lies before this one
    int max_lines_;
    int dropped_ = 0;
};

/// The history file of a job: loaded once, then each line appended; the file is written whole only when
/// the lines the history no longer holds would exceed a tenth of the limit (at least 1,000 lines). Readers
/// replay the file, so what they see is the history at every moment.
class CDownloadHistoryFile {
public:
    CDownloadHistoryFile() = default;
    CDownloadHistoryFile(const CDownloadHistoryFile&) = delete;
    CDownloadHistoryFile& operator=(const CDownloadHistoryFile&) = delete;
    /// Leaves the line count beside the file for the adds outside a job.
    ~CDownloadHistoryFile();

    /// Missing file: an empty history. 0, or -1 with a file code in `code`.
    int load(std::u16string_view path, int max_lines, int& code);
    /// 0, or -1 with a file code in `code` (the line stays in the history in memory).
    int add(const HistoryLine& line, int& code);
    const CDownloadHistory& history() const { return history_; }

private:
    int rewrite(int& code);

    std::u16string path_;
    CDownloadHistory history_;
    size_t file_lines_ = 0;
    size_t slack_ = 1000;
    bool appendable_ = false;
    bool count_owed_ = false; ///< lines were appended since the count beside the file was written
};

/// The rows a selection registers: columns 1 to 6, ID and views of each line, newest first, checked.
std::vector<DownloadRow> history_selection_rows(const CDownloadHistory& history, HistorySelection s);

/// The rows a selection of the download tab registers, by its name: one of the nine history selections
/// (read from the history file of the settings) or one of the two snapshots (from the folder of saved
/// lists, with their check states). Empty, with `known` false, for any other name.
std::vector<DownloadRow> download_selection_rows(const CSettings& settings, std::u16string_view name, bool& known);

/// Loads the history file, adds the line and saves it: for a single row outside a job.
int append_history_file(std::u16string_view path, const HistoryLine& line, int max_lines, int& code);

} // namespace quippet
