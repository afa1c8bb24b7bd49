#pragma once

#include "app/JobSinks.h"
#include "download/DownloadList.h"
#include "download/RegisterOptions.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

/// The download list `CListDownload` as the view sees it. The rows live in the core list; jobs write them
/// from their threads through job_list(), under the model's own lock and without waiting for the UI thread.
/// What they changed is only marked; a timer publishes new rows and repaints the changed ones a few times a
/// second, so that a download of four videos at once over ten thousand rows costs the UI a handful of
/// signals, not one per progress line.
///
/// Row indexes that a running download holds must stay valid: while the structure is locked
/// (set_structure_locked) sorting and removing rows are refused; adding at the end is always allowed.
class CDownloadListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CDownloadListModel(QObject* parent = nullptr);
    ~CDownloadListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    /// What the jobs of the tab get as their list.
    quippet::ListView* job_list();

    /// Runs `fn(list)` with the rows held still. Not to be called from inside another with_rows.
    template <typename Fn> auto with_rows(Fn&& fn) const {
        std::lock_guard lock(mutex_);
        return std::forward<Fn>(fn)(static_cast<const quippet::CListDownload&>(list_));
    }
    /// A copy of the rows (list files, snapshots, the chain's visited set).
    quippet::CListDownload copy() const;

    /// Rows a job found, added at the end from any thread (shown with the next flush) unless their ID is
    /// listed. The index of the last row added, -1 when none was.
    int add_rows_from_job(std::vector<quippet::DownloadRow> rows);

    // UI thread only.
    /// Adds the rows whose ID is not listed yet; the number added.
    int append_rows(std::vector<quippet::DownloadRow> rows);
    /// Replaces the whole list.
    void reset_rows(std::vector<quippet::DownloadRow> rows);
    void remove_rows(std::vector<int> rows);
    /// Rows whose state `pick` accepts are removed; the number removed.
    int remove_if(const std::function<bool(const quippet::DownloadRow&)>& pick);
    void clear();
    void set_checked(const std::vector<int>& rows, bool checked);
    void set_all_checked(bool checked);
    void invert_checks();
    /// Sorts by a sort code (column number, negative descending); false while the structure is locked.
    bool sort_by_code(int code);

    void set_structure_locked(bool locked) { structure_locked_ = locked; }
    bool structure_locked() const { return structure_locked_; }

    // Thumbnails, keyed by video ID; decoded on a worker, handed over as images.
    void set_thumbnail(const QString& id, const QImage& image);
    void clear_thumbnails();
    bool has_thumbnail(const QString& id) const { return thumbs_.contains(id); }
    void set_thumb_size(quippet::ThumbPixels size);
    quippet::ThumbPixels thumb_size() const { return thumb_size_; }

    /// Publishes what the jobs changed since the last flush (the timer calls it).
    void flush();
    /// Milliseconds between flushes.
    void set_flush_interval(int ms) { timer_.setInterval(ms); }
    /// How many flushes emitted anything (the benchmark and tests look at the coalescing).
    int flushes_emitted() const { return flushes_emitted_; }

Q_SIGNALS:
    /// A job asked for a row to be shown (new rows followed, the row being downloaded).
    void scroll_requested(int row);
    void fit_requested();
    /// A sort or removal was refused because a download holds the rows.
    void structure_refused();

private:
    class JobList;
    friend class JobList;
    void mark_dirty_locked(int first, int last);

    mutable std::mutex mutex_;
    quippet::CListDownload list_;
    std::unique_ptr<JobList> job_list_;
    int published_ = 0;
    // Dirty range since the last flush (under the lock).
    int dirty_first_ = -1;
    int dirty_last_ = -1;
    int scroll_row_ = -1;
    bool fit_ = false;
    bool structure_locked_ = false;
    QTimer timer_;
    int flushes_emitted_ = 0;
    QHash<QString, QImage> thumbs_;
    quippet::ThumbPixels thumb_size_;
};
