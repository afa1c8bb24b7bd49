#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/JobSinks.h"

// The download tab's list as a model of its own, so that the command line, the window and the jobs work on
// the same rows. The window shows it through an item model; the jobs reach it through the frame's list
// access (it is a ListView), the command line holds one in memory.

namespace quippet {

/// Columns of the download list, in display order.
namespace dlcol {
inline constexpr int kMark = 0;     ///< result mark
inline constexpr int kMarker = 1;   ///< what put the row there
inline constexpr int kSaveName = 2; ///< "保存ファイル名"
inline constexpr int kDetail = 3;   ///< "詳細": progress and result text
inline constexpr int kFolder = 4;   ///< "保存場所"
inline constexpr int kComments = 5; ///< "コメ"
inline constexpr int kPosted = 6;   ///< "投稿日"
inline constexpr int kId = 7;       ///< "ID"
inline constexpr int kViews = 8;    ///< "再生"
inline constexpr int kThumb = 9;    ///< "サムネ"
inline constexpr int kCount = 10;
} // namespace dlcol

inline constexpr std::u16string_view kMarkSuccess = u"○";
inline constexpr std::u16string_view kMarkFailure = u"×";
inline constexpr std::u16string_view kMarkPartial = u"△";
inline constexpr std::u16string_view kMarkNotRun = u"－";
/// Column 1 of a row that registration added.
inline constexpr std::u16string_view kRegisteredMarker = u"＊";
/// Column 2 of a row whose information is still to be fetched.
inline constexpr std::u16string_view kPendingName = u"*情報取得中...";

/// What the steps of a row left: message ids, 0 where a step set nothing.
struct RowCodes {
    int comment = 0;
    int video = 0;
    int info = 0;
    int owner_comments = 0;
    int thumbnail = 0;
    int nicowari = 0;
    int secondary = 0;
    int attempt = 0; ///< the attempt that succeeded (1 for the first)

    friend bool operator==(const RowCodes&, const RowCodes&) = default;
};

struct DownloadRow {
    std::array<std::u16string, dlcol::kCount> cells;
    bool checked = false;
    std::int64_t value = 0;
    RowCodes codes;

    const std::u16string& id() const { return cells[dlcol::kId]; }
};

/// The rows of the download tab. Beside the rows it keeps the set of listed IDs (column 7), so that the
/// test before each registration costs a hash look-up and not a scan of a list of many thousand rows.
class CListDownload : public ListView {
public:
    CListDownload() = default;
    CListDownload(const CListDownload&) = default;
    CListDownload& operator=(const CListDownload&) = default;
    ~CListDownload() override = default;

    // ListView
    int row_count() const override { return static_cast<int>(rows_.size()); }
    std::u16string cell(int row, int column) const override;
    void set_cell(int row, int column, std::u16string_view text) override;
    std::int64_t stored_value(int row) const override;
    void set_stored_value(int row, std::int64_t value) override;
    int insert_row(int row, std::u16string_view first_cell) override;
    bool is_checked(int row) const override;
    void set_checked(int row, bool checked) override;
    void scroll_into_view(int row) override { last_scrolled_ = row; }
    void redraw_rows(int, int) override {}
    int top_row() const override { return 0; }
    void auto_fit_columns() override { ++fits_; }
    /// The ID column is answered from the set of IDs.
    int find_row(std::u16string_view text, int after, int column) override;

    /// Appends `row` unless its ID (when it has one) is listed already. The row's index, or -1 when the ID
    /// was there.
    int add_row(DownloadRow row);
    bool has_id(std::u16string_view id) const { return ids_.find(id) != ids_.end(); }
    void remove_row(int row);
    void clear();

    const DownloadRow& row(int row) const { return rows_.at(static_cast<size_t>(row)); }
    RowCodes& codes(int row) { return rows_.at(static_cast<size_t>(row)).codes; }
    const std::vector<DownloadRow>& rows() const { return rows_; }
    int last_scrolled() const { return last_scrolled_; }
    int fit_count() const { return fits_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::u16string_view a, std::u16string_view b) const { return a == b; }
    };
    void forget_id(const std::u16string& id);
    void remember_id(const std::u16string& id);
    bool valid(int row) const { return row >= 0 && static_cast<size_t>(row) < rows_.size(); }

    std::vector<DownloadRow> rows_;
    /// How many rows hold each ID; an ID typed into two rows by hand stays listed until both are gone.
    std::unordered_map<std::u16string, int, Hash, Equal> ids_;
    int last_scrolled_ = -1;
    int fits_ = 0;
};

} // namespace quippet
