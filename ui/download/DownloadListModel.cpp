#include "ui/download/DownloadListModel.h"

#include "download/ListSort.h"
#include "ui/UiCall.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>

using quippet::CListDownload;
using quippet::DownloadRow;
using quippet::ui::to_qstring;
namespace dlcol = quippet::dlcol;

namespace {

const char16_t* const kHeaders[dlcol::kCount] = {u"",       u"",   u"保存ファイル名", u"詳細",  u"保存場所", u"コメ",
                                                 u"投稿日", u"ID", u"再生",           u"サムネ"};

} // namespace

/// The jobs' side of the model: every call under the model's lock, changes marked for the next flush.
class CDownloadListModel::JobList : public quippet::ListView {
public:
    explicit JobList(CDownloadListModel& model) : m_(model) {}

    int row_count() const override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.row_count();
    }
    std::u16string cell(int row, int column) const override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.cell(row, column);
    }
    void set_cell(int row, int column, std::u16string_view text) override {
        std::lock_guard lock(m_.mutex_);
        m_.list_.set_cell(row, column, text);
        m_.mark_dirty_locked(row, row);
    }
    std::int64_t stored_value(int row) const override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.stored_value(row);
    }
    void set_stored_value(int row, std::int64_t value) override {
        std::lock_guard lock(m_.mutex_);
        m_.list_.set_stored_value(row, value);
    }
    int insert_row(int row, std::u16string_view first_cell) override {
        {
            std::lock_guard lock(m_.mutex_);
            if (row < 0 || row >= m_.list_.row_count()) return m_.list_.insert_row(-1, first_cell);
        }
        // A row put between others moves the rows the view shows: that needs the UI thread's notice.
        const std::u16string text(first_cell);
        return quippet::ui::call_on_owner(&m_, -1, [this, row, &text] {
            m_.flush();
            std::lock_guard lock(m_.mutex_);
            const int at = std::min(row, m_.list_.row_count());
            const bool shown = at < m_.published_;
            if (shown) m_.beginInsertRows({}, at, at);
            m_.list_.insert_row(at, text);
            if (shown) {
                ++m_.published_;
                m_.endInsertRows();
            }
            return at;
        });
    }
    bool is_checked(int row) const override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.is_checked(row);
    }
    void set_checked(int row, bool checked) override {
        std::lock_guard lock(m_.mutex_);
        m_.list_.set_checked(row, checked);
        m_.mark_dirty_locked(row, row);
    }
    void scroll_into_view(int row) override {
        std::lock_guard lock(m_.mutex_);
        m_.scroll_row_ = row;
    }
    void redraw_rows(int first, int last) override {
        std::lock_guard lock(m_.mutex_);
        m_.mark_dirty_locked(first, last);
    }
    int top_row() const override { return 0; }
    void auto_fit_columns() override {
        std::lock_guard lock(m_.mutex_);
        m_.fit_ = true;
    }
    int find_row(std::u16string_view text, int after, int column) override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.find_row(text, after, column);
    }
    int first_checked_row() override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.first_checked_row();
    }
    int first_checked_open_row() override {
        std::lock_guard lock(m_.mutex_);
        return m_.list_.first_checked_open_row();
    }
    void set_column(int column, std::u16string_view text) override {
        std::lock_guard lock(m_.mutex_);
        m_.list_.set_column(column, text);
        m_.mark_dirty_locked(0, m_.list_.row_count() - 1);
    }

private:
    CDownloadListModel& m_;
};

CDownloadListModel::CDownloadListModel(QObject* parent)
    : QAbstractTableModel(parent), job_list_(std::make_unique<JobList>(*this)) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &CDownloadListModel::flush);
    timer_.start();
}

CDownloadListModel::~CDownloadListModel() = default;

quippet::ListView* CDownloadListModel::job_list() {
    return job_list_.get();
}

void CDownloadListModel::mark_dirty_locked(int first, int last) {
    if (last < first) return;
    dirty_first_ = dirty_first_ < 0 ? first : std::min(dirty_first_, first);
    dirty_last_ = std::max(dirty_last_, last);
}

int CDownloadListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : published_;
}

int CDownloadListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : dlcol::kCount;
}

QVariant CDownloadListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= published_) return {};
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (column == dlcol::kThumb) return {};
        std::lock_guard lock(mutex_);
        return to_qstring(list_.row(index.row()).cells[static_cast<size_t>(column)]);
    }
    if (role == Qt::CheckStateRole && column == dlcol::kMark) {
        std::lock_guard lock(mutex_);
        return list_.row(index.row()).checked ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::DecorationRole && column == dlcol::kThumb && thumb_size_.height > 0) {
        QString id;
        {
            std::lock_guard lock(mutex_);
            id = to_qstring(list_.row(index.row()).id());
        }
        const auto it = thumbs_.constFind(id);
        if (it != thumbs_.constEnd()) return *it;
        return {};
    }
    if (role == Qt::SizeHintRole && column == dlcol::kThumb && thumb_size_.height > 0)
        return QSize(thumb_size_.width + 4, thumb_size_.height + 2);
    if (role == Qt::TextAlignmentRole && (column == dlcol::kComments || column == dlcol::kViews))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool CDownloadListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= published_) return false;
    if (role == Qt::CheckStateRole && index.column() == dlcol::kMark) {
        {
            std::lock_guard lock(mutex_);
            list_.set_checked(index.row(), value.toInt() == Qt::Checked);
        }
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    if (role == Qt::EditRole && index.column() != dlcol::kThumb) {
        {
            std::lock_guard lock(mutex_);
            list_.set_cell(index.row(), index.column(), quippet::ui::to_u16(value.toString()));
        }
        Q_EMIT dataChanged(index, index);
        return true;
    }
    return false;
}

Qt::ItemFlags CDownloadListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid()) return f;
    f |= Qt::ItemIsDragEnabled;
    if (index.column() == dlcol::kMark) f |= Qt::ItemIsUserCheckable;
    if (index.column() == dlcol::kSaveName || index.column() == dlcol::kFolder) f |= Qt::ItemIsEditable;
    return f;
}

QVariant CDownloadListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= dlcol::kCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf16(kHeaders[section]);
}

void CDownloadListModel::sort(int column, Qt::SortOrder order) {
    // Column 0 sorts by the mark; a code of 0 would mean "no sort", so the mark's code is the marker's.
    const int code = column == 0 ? 0 : (order == Qt::AscendingOrder ? column : -column);
    if (code == 0) return;
    sort_by_code(code);
}

bool CDownloadListModel::sort_by_code(int code) {
    if (code == 0) return true;
    if (structure_locked_) {
        Q_EMIT structure_refused();
        return false;
    }
    flush();
    Q_EMIT layoutAboutToBeChanged();
    {
        std::lock_guard lock(mutex_);
        quippet::sort_download_list(list_, code);
    }
    // Persistent indexes (the selection) are not carried across a sort; they would point at other rows.
    const QModelIndexList persistent = persistentIndexList();
    changePersistentIndexList(persistent, QModelIndexList(persistent.size()));
    Q_EMIT layoutChanged();
    return true;
}

QStringList CDownloadListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* CDownloadListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& i : indexes)
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<QUrl> urls;
    {
        std::lock_guard lock(mutex_);
        for (int r : rows) {
            if (r >= list_.row_count()) continue;
            const DownloadRow& row = list_.row(r);
            // The saved comment file is what the reconstruction takes.
            urls.append(QUrl::fromLocalFile(to_qstring(row.cells[dlcol::kFolder]) +
                                            to_qstring(row.cells[dlcol::kSaveName]) + QStringLiteral(".xml")));
        }
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

CListDownload CDownloadListModel::copy() const {
    std::lock_guard lock(mutex_);
    return list_;
}

int CDownloadListModel::add_rows_from_job(std::vector<DownloadRow> rows) {
    std::lock_guard lock(mutex_);
    int last = -1;
    for (DownloadRow& r : rows)
        if (const int at = list_.add_row(std::move(r)); at >= 0) last = at;
    if (last >= 0) scroll_row_ = last;
    return last;
}

int CDownloadListModel::append_rows(std::vector<DownloadRow> rows) {
    int added = 0;
    {
        std::lock_guard lock(mutex_);
        for (DownloadRow& r : rows)
            if (list_.add_row(std::move(r)) >= 0) ++added;
    }
    flush();
    return added;
}

void CDownloadListModel::reset_rows(std::vector<DownloadRow> rows) {
    beginResetModel();
    {
        std::lock_guard lock(mutex_);
        quippet::replace_rows(list_, std::move(rows));
        published_ = list_.row_count();
        dirty_first_ = dirty_last_ = -1;
    }
    endResetModel();
}

void CDownloadListModel::remove_rows(std::vector<int> rows) {
    if (structure_locked_) {
        Q_EMIT structure_refused();
        return;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty()) return;
    // Many rows at once: one pass over the list instead of an erase (a move of every row after it) per row.
    if (rows.size() > 64) {
        flush();
        std::vector<DownloadRow> kept;
        {
            std::lock_guard lock(mutex_);
            kept.reserve(list_.rows().size());
            size_t next = 0;
            for (int r = 0; r < list_.row_count(); ++r) {
                if (next < rows.size() && rows[next] == r) {
                    ++next;
                    continue;
                }
                kept.push_back(list_.row(r));
            }
        }
        reset_rows(std::move(kept));
        return;
    }
    // From the bottom, in runs, so that each signal names rows that are still where the view has them.
    for (size_t end = rows.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin], last = rows[end - 1];
        end = begin;
        if (first < 0 || last >= published_) continue;
        beginRemoveRows({}, first, last);
        {
            std::lock_guard lock(mutex_);
            for (int r = last; r >= first; --r)
                list_.remove_row(r);
            published_ -= last - first + 1;
            dirty_first_ = dirty_last_ = -1;
        }
        endRemoveRows();
    }
}

int CDownloadListModel::remove_if(const std::function<bool(const DownloadRow&)>& pick) {
    std::vector<int> rows;
    {
        std::lock_guard lock(mutex_);
        for (int r = 0; r < published_; ++r)
            if (pick(list_.row(r))) rows.push_back(r);
    }
    const int n = static_cast<int>(rows.size());
    remove_rows(std::move(rows));
    return structure_locked_ ? 0 : n;
}

void CDownloadListModel::clear() {
    if (structure_locked_) {
        Q_EMIT structure_refused();
        return;
    }
    reset_rows({});
}

void CDownloadListModel::set_checked(const std::vector<int>& rows, bool checked) {
    {
        std::lock_guard lock(mutex_);
        for (int r : rows) {
            list_.set_checked(r, checked);
            mark_dirty_locked(r, r);
        }
    }
    flush();
}

void CDownloadListModel::set_all_checked(bool checked) {
    {
        std::lock_guard lock(mutex_);
        for (int r = 0; r < list_.row_count(); ++r)
            list_.set_checked(r, checked);
        mark_dirty_locked(0, list_.row_count() - 1);
    }
    flush();
}

void CDownloadListModel::invert_checks() {
    {
        std::lock_guard lock(mutex_);
        for (int r = 0; r < list_.row_count(); ++r)
            list_.set_checked(r, !list_.is_checked(r));
        mark_dirty_locked(0, list_.row_count() - 1);
    }
    flush();
}

void CDownloadListModel::set_thumbnail(const QString& id, const QImage& image) {
    thumbs_.insert(id, image);
    // The rows of that ID repaint with the next flush; a search here would cost a scan per image.
    std::lock_guard lock(mutex_);
    mark_dirty_locked(0, published_ - 1);
}

void CDownloadListModel::clear_thumbnails() {
    thumbs_.clear();
    std::lock_guard lock(mutex_);
    mark_dirty_locked(0, published_ - 1);
}

void CDownloadListModel::set_thumb_size(quippet::ThumbPixels size) {
    thumb_size_ = size;
    std::lock_guard lock(mutex_);
    mark_dirty_locked(0, published_ - 1);
}

void CDownloadListModel::flush() {
    int count = 0, first = -1, last = -1, scroll = -1;
    bool fit = false;
    {
        std::lock_guard lock(mutex_);
        count = list_.row_count();
        first = dirty_first_;
        last = std::min(dirty_last_, published_ - 1);
        dirty_first_ = dirty_last_ = -1;
        scroll = scroll_row_;
        scroll_row_ = -1;
        fit = fit_;
        fit_ = false;
    }
    bool emitted = false;
    if (first >= 0 && first <= last) {
        Q_EMIT dataChanged(index(first, 0), index(last, dlcol::kCount - 1));
        emitted = true;
    }
    // Rows only ever join at the end outside the UI thread, so the new ones are those past the published.
    if (count > published_) {
        beginInsertRows({}, published_, count - 1);
        published_ = count;
        endInsertRows();
        emitted = true;
    }
    if (emitted) ++flushes_emitted_;
    if (scroll >= 0 && scroll < published_) Q_EMIT scroll_requested(scroll);
    if (fit) Q_EMIT fit_requested();
}
