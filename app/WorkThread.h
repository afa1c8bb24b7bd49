#pragma once

#include "app/JobFrame.h"
#include "app/WorkData.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quippet {

/// Elapsed time as the log writes it, from hundredths of a second: "1時間", "2分", "12秒34", "0秒".
std::u16string elapsed_text(std::int64_t hundredths);

/// n + count word + m + "個を処理したりゅん！", the count word being a message id.
std::u16string summary_text(int n, int count_word_id, int m);

/// Sounds a job plays at its end.
struct EndSounds {
    bool enabled = false;
    std::u16string success_file;
    std::u16string failure_file;
};

/// Counters shown in the progress line of the list jobs.
struct ProgressCounts {
    int existing = 0;
    int added = 0;
    int info = 0;
};

struct ThrottleOptions {
    /// Parallel downloading with `workers` workers.
    bool parallel = false;
    int workers = 1;
    /// Length of the pause taken after each batch of requests.
    int pause_seconds = 1;
};

/// A job's worker: its own copy of the job data, the texts it builds and the operations every job
/// uses to report and to read its stop requests. Lives on the job's thread only.
class CWorkThread {
public:
    static constexpr std::size_t message_buffer_units = 256;
    static constexpr std::size_t cell_read_units = 516;
    static constexpr int requests_per_pause = 401;

    /// `data.frame` must be set.
    explicit CWorkThread(const CWorkData& data);
    /// Waits for the sub-workers still running.
    virtual ~CWorkThread();
    CWorkThread(const CWorkThread&) = delete;
    CWorkThread& operator=(const CWorkThread&) = delete;

    CWorkData& data() { return data_; }
    const CWorkData& data() const { return data_; }
    CJobFrame& frame() { return *data_.frame; }
    JobKind kind() const { return data_.kind; }

    /// Cleared once the end sound has played, so that the window does not show a balloon as well.
    bool notify() const { return notify_; }

    /// Loads a message-table text into the worker's message buffer, cut to its size.
    std::u16string_view load_message(int id);

    void log(std::u16string_view text, LogMode mode = LogMode::new_line);
    void log_message(int id, LogMode mode = LogMode::new_line);
    void log_number(std::int64_t n, LogMode mode = LogMode::new_line);
    /// Announces the start and starts the stage clock.
    void job_begin();
    /// The same, also resetting every row: `status_column` to "－", `result_column` emptied.
    void job_begin(int status_column, int result_column);
    void begin_stage();
    std::int64_t job_elapsed_ms() const;
    std::int64_t stage_elapsed_ms() const;
    /// " （" + elapsed time of the stage + "）" on the current line.
    void log_elapsed();
    void job_stopped();
    /// A stop during a stage: the stage's text, then the stop notice on the same line.
    void stage_stopped(std::u16string_view stage_text);
    void job_summary(int n, int count_word_id, int m, LogMode mode = LogMode::new_line);
    /// Summary of `total` items of which `succeeded` went well, failure notice, end sound, elapsed time.
    void job_end(int succeeded, int total, int count_word_id, const EndSounds& sounds);
    /// Reports a job that ended by an unexpected exception.
    void report_fault(std::u16string_view what);

    bool stop_requested() const;
    bool pass_stop_requested() const;
    bool download_stop_requested() const;

    // The tab's list; every call takes the list lock once. Without a list: 0 rows, -1 for searches.
    int row_count();
    std::u16string cell(int row, int column);
    /// Leading decimal digits of a cell; 0 when there are none, capped at the largest int.
    int cell_number(int row, int column);
    std::int64_t stored_value(int row);
    void set_cell(int row, int column, std::u16string_view text);
    void set_column(int column, std::u16string_view text);
    int insert_row(int row, std::u16string_view first_cell);
    int find_row(std::u16string_view text, int after, int column = 0);
    int first_checked_row();
    int first_checked_open_row();
    bool is_checked(int row);
    void set_checked(int row, bool checked);
    void set_stored_value(int row, std::int64_t value);
    void scroll_into_view(int row);
    void redraw_rows(int first, int last);
    int top_row();
    void auto_fit_columns();

    int next_shared_number() { return frame().next_shared_number(); }
    BoxAnswer message_box(const MessageBoxRequest& request) { return frame().message_box(request); }

    /// Paces the requests of a list job after `processed` items and shows its progress. -2 when a
    /// stop was requested during the pause, else 0.
    int throttle_and_progress(int processed, const ProgressCounts& counts, const ThrottleOptions& options);

    /// Runs `work` on another thread with its own worker on the same job data. Returns -1 when no
    /// thread could be started.
    int start_sub_worker(JobFunction work);
    void wait_sub_workers();

    /// Header, body and footer of the comment file being produced.
    std::string header;
    std::string body;
    std::string footer;

private:
    using Clock = std::chrono::steady_clock;

    CWorkData data_;
    std::u16string message_buffer_;
    Clock::time_point job_start_;
    Clock::time_point stage_start_;
    bool notify_ = true;
    std::vector<std::thread> sub_workers_;
};

} // namespace quippet
