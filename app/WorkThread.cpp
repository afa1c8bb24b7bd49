#include "app/WorkThread.h"

#include "app/JobText.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <limits>
#include <system_error>

namespace quippet {

using jobtext::decimal;

std::u16string elapsed_text(std::int64_t hundredths) {
    if (hundredths < 0) hundredths = 0;
    const std::int64_t hours = hundredths / 360000;
    const std::int64_t minutes = hundredths / 6000 % 60;
    const std::int64_t seconds = hundredths / 100 % 60;
    const std::int64_t rest = hundredths % 100;

    std::u16string out;
    if (hours > 0) out += decimal(hours) + u"時間";
    // Between hours and seconds a zero minute count is still written, so that "1時間0分5秒" is not
    // misread; a whole number of hours stands alone.
    if (minutes > 0 || (hours > 0 && (seconds > 0 || rest > 0))) out += decimal(minutes) + u"分";
    if (seconds > 0 || rest > 0 || hundredths == 0) out += decimal(seconds) + u"秒";
    if (rest > 0) {
        if (rest < 10) out += u'0';
        out += decimal(rest);
    }
    return out;
}

std::u16string summary_text(int n, int count_word_id, int m) {
    std::u16string out = decimal(n);
    out += message_text(count_word_id);
    out += decimal(m);
    out += message_text(msg::kCountProcessed);
    return out;
}

CWorkThread::CWorkThread(const CWorkData& data) : data_(data), job_start_(Clock::now()), stage_start_(job_start_) {
    assert(data_.frame != nullptr);
    message_buffer_.reserve(message_buffer_units);
}

CWorkThread::~CWorkThread() {
    wait_sub_workers();
}

std::u16string_view CWorkThread::load_message(int id) {
    std::u16string_view text = message_text(id);
    if (text.size() > message_buffer_units) {
        text = text.substr(0, message_buffer_units);
        // A cut between the halves of a pair would leave a character that cannot be shown.
        if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.remove_suffix(1);
    }
    message_buffer_.assign(text);
    return message_buffer_;
}

void CWorkThread::log(std::u16string_view text, LogMode mode) {
    frame().log(data_.target.log, text, mode);
}

void CWorkThread::log_message(int id, LogMode mode) {
    log(load_message(id), mode);
}

void CWorkThread::log_number(std::int64_t n, LogMode mode) {
    log(decimal(n), mode);
}

void CWorkThread::job_begin() {
    log_message(msg::kJobStarting, LogMode::blank_line);
    begin_stage();
}

void CWorkThread::job_begin(int status_column, int result_column) {
    log_message(msg::kJobStarting, LogMode::blank_line);
    const std::u16string status(load_message(msg::kNoValue));
    frame().with_list(data_.target.list, [&](ListView& list) {
        list.set_column(status_column, status);
        list.set_column(result_column, u"");
    });
    begin_stage();
}

void CWorkThread::begin_stage() {
    stage_start_ = Clock::now();
}

std::int64_t CWorkThread::job_elapsed_ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - job_start_).count();
}

std::int64_t CWorkThread::stage_elapsed_ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stage_start_).count();
}

void CWorkThread::log_elapsed() {
    log(u" （" + elapsed_text(stage_elapsed_ms() / 10) + u"）", LogMode::continue_line);
}

void CWorkThread::job_stopped() {
    log_message(msg::kJobStopped);
    log_elapsed();
}

void CWorkThread::stage_stopped(std::u16string_view stage_text) {
    log(stage_text);
    log_message(msg::kStoppedByUserSuffix, LogMode::continue_line);
    log_elapsed();
}

void CWorkThread::job_summary(int n, int count_word_id, int m, LogMode mode) {
    log(summary_text(n, count_word_id, m), mode);
}

void CWorkThread::job_end(int succeeded, int total, int count_word_id, const EndSounds& sounds) {
    job_summary(total, count_word_id, succeeded);
    const bool all_done = succeeded >= total;
    if (!all_done) log_message(msg::kJobEndedWithFailures);
    const std::u16string& sound = all_done ? sounds.success_file : sounds.failure_file;
    if (sounds.enabled && !sound.empty()) {
        frame().play_sound(sound);
        notify_ = false;
    }
    log_elapsed();
}

void CWorkThread::report_fault(std::u16string_view what) {
    std::u16string text = u"想定外の状況が発生しました";
    if (!what.empty()) text.append(u"（").append(what).append(u"）");
    log(text);
    log_message(msg::kJobStopped);
    log_elapsed();
}

namespace {

bool flag_set(const std::atomic<int>* flag) {
    return flag != nullptr && flag->load(std::memory_order_relaxed) != 0;
}

} // namespace

bool CWorkThread::stop_requested() const {
    return flag_set(data_.stop_job);
}
bool CWorkThread::pass_stop_requested() const {
    return flag_set(data_.stop_pass);
}
bool CWorkThread::download_stop_requested() const {
    return flag_set(data_.stop_download);
}

int CWorkThread::row_count() {
    return frame().with_list(data_.target.list, 0, [](ListView& list) { return list.row_count(); });
}

std::u16string CWorkThread::cell(int row, int column) {
    return frame().with_list(data_.target.list, std::u16string(), [&](ListView& list) {
        std::u16string text = list.cell(row, column);
        if (text.size() > cell_read_units) text.resize(cell_read_units);
        return text;
    });
}

int CWorkThread::cell_number(int row, int column) {
    const std::u16string text = cell(row, column);
    std::int64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        value = std::min<std::int64_t>(value * 10 + (c - u'0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

std::int64_t CWorkThread::stored_value(int row) {
    return frame().with_list(data_.target.list, std::int64_t{0},
                             [&](ListView& list) { return list.stored_value(row); });
}

void CWorkThread::set_cell(int row, int column, std::u16string_view text) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.set_cell(row, column, text); });
}

void CWorkThread::set_column(int column, std::u16string_view text) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.set_column(column, text); });
}

int CWorkThread::insert_row(int row, std::u16string_view first_cell) {
    return frame().with_list(data_.target.list, -1, [&](ListView& list) { return list.insert_row(row, first_cell); });
}

int CWorkThread::find_row(std::u16string_view text, int after, int column) {
    return frame().with_list(data_.target.list, -1, [&](ListView& list) { return list.find_row(text, after, column); });
}

int CWorkThread::first_checked_row() {
    return frame().with_list(data_.target.list, -1, [](ListView& list) { return list.first_checked_row(); });
}

int CWorkThread::first_checked_open_row() {
    return frame().with_list(data_.target.list, -1, [](ListView& list) { return list.first_checked_open_row(); });
}

bool CWorkThread::is_checked(int row) {
    return frame().with_list(data_.target.list, false, [&](ListView& list) { return list.is_checked(row); });
}

void CWorkThread::set_checked(int row, bool checked) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.set_checked(row, checked); });
}

void CWorkThread::set_stored_value(int row, std::int64_t value) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.set_stored_value(row, value); });
}

void CWorkThread::scroll_into_view(int row) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.scroll_into_view(row); });
}

void CWorkThread::redraw_rows(int first, int last) {
    frame().with_list(data_.target.list, [&](ListView& list) { list.redraw_rows(first, last); });
}

int CWorkThread::top_row() {
    return frame().with_list(data_.target.list, 0, [](ListView& list) { return list.top_row(); });
}

void CWorkThread::auto_fit_columns() {
    frame().with_list(data_.target.list, [](ListView& list) { list.auto_fit_columns(); });
}

int CWorkThread::throttle_and_progress(int processed, const ProgressCounts& counts, const ThrottleOptions& options) {
    if (processed <= 0) return 0;
    const int workers = std::max(1, options.workers);
    // More workers than requests per batch would leave a batch of 0 to divide by.
    const int batch = options.parallel ? std::max(1, requests_per_pause / workers) : requests_per_pause;
    if (processed % batch == 0) {
        for (int left = options.pause_seconds; left > 0; --left) {
            if (stop_requested()) return -2;
            log(u"待機中（残り" + decimal(left) + u"秒）", LogMode::replace_last_line);
            frame().pause(std::chrono::seconds(1));
        }
        if (stop_requested()) return -2;
    }
    if (options.parallel || processed % 3 == 0) {
        const int shown_workers = options.parallel ? workers : 1;
        std::u16string text = decimal(static_cast<std::int64_t>(processed) * shown_workers);
        if (shown_workers > 1) text += u"くらい";
        text += u"（既存：" + decimal(counts.existing) + u"／新規：" + decimal(counts.added) + u"／情報：" +
                decimal(counts.info) + u"）";
        log(text, LogMode::replace_last_line);
    }
    return 0;
}

int CWorkThread::start_sub_worker(JobFunction work) {
    if (!work) return -1;
    try {
        sub_workers_.emplace_back([data = data_, work = std::move(work)] {
            CWorkThread worker(data);
            try {
                work(worker);
            } catch (const std::exception& e) {
                worker.report_fault(jobtext::from_utf8(e.what()));
            } catch (...) {
                worker.report_fault({});
            }
        });
    } catch (const std::system_error&) {
        return -1;
    }
    return 0;
}

void CWorkThread::wait_sub_workers() {
    for (auto& thread : sub_workers_)
        if (thread.joinable()) thread.join();
    sub_workers_.clear();
}

} // namespace quippet
