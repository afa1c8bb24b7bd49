#include "app/JobFrame.h"

#include "app/JobText.h"
#include "app/WorkThread.h"

#include <exception>
#include <limits>
#include <vector>

namespace quippet {

void CJobSlots::add_pending() {
    std::lock_guard lock(mutex_);
    ++pending_;
}

void CJobSlots::drop_pending() {
    std::lock_guard lock(mutex_);
    if (pending_ > 0) --pending_;
}

bool CJobSlots::try_admit(JobKind kind) {
    std::lock_guard lock(mutex_);
    if (!may_admit(running_, kind)) return false;
    ++running_[static_cast<std::size_t>(to_int(kind))];
    if (pending_ > 0) --pending_;
    return true;
}

bool CJobSlots::finish(int kind) {
    if (!job_kind_from_int(kind)) return false;
    std::lock_guard lock(mutex_);
    int& count = running_[static_cast<std::size_t>(kind)];
    // An end reported twice must not make room for two more jobs.
    if (count <= 0) return false;
    --count;
    return true;
}

bool CJobSlots::busy() const {
    std::lock_guard lock(mutex_);
    if (pending_ > 0) return true;
    for (int count : running_)
        if (count > 0) return true;
    return false;
}

int CJobSlots::running(JobKind kind) const {
    std::lock_guard lock(mutex_);
    return running_[static_cast<std::size_t>(to_int(kind))];
}

int CJobSlots::pending() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

std::optional<JobEndNotice> make_end_notice(int kind, bool others_active, bool notify) {
    if (kind == to_int(JobKind::kListRefresh) && others_active) return std::nullopt;
    JobEndNotice notice;
    notice.text = std::u16string(job_end_message(kind));
    // A negative kind is a fault report rather than an end message, so it is shown as it is.
    if (kind >= 0) notice.text += others_active ? u"（他の処理は継続中）" : u"（全処理が終了）";
    notice.tooltip = std::u16string(program_name) + u" - " + notice.text;
    notice.balloon = notify;
    return notice;
}

int parse_job_kind(std::u16string_view payload) {
    while (!payload.empty() && payload.back() == u'\0')
        payload.remove_suffix(1);
    if (payload.empty() || payload.size() > 9) return -1;
    int value = 0;
    for (char16_t c : payload) {
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

CJobFrame::CJobFrame(NoticeSink* notice, JobFrameOptions options) : notice_(notice), options_(std::move(options)) {}

CJobFrame::~CJobFrame() {
    closing_.store(true);
    request_stop_all();
    wait_all();
}

int CJobFrame::start_job(JobFunction job, JobTarget target, JobKind kind) {
    if (!ready() || !job || !job_kind_from_int(to_int(kind))) return -1;
    reap_finished();

    // The copy is taken here rather than on the new thread: the window may refill its record for
    // the next start before a new thread gets round to reading it.
    CWorkData data;
    {
        std::lock_guard lock(data_mutex_);
        data = record_;
        record_.clear_job_inputs();
    }
    data.kind = kind;
    data.target = target;
    data.frame = this;
    data.stop_job = &stop_job_;
    data.stop_pass = &stop_pass_;
    data.stop_download = &stop_download_;
    stop_job_.store(0);
    stop_pass_.store(0);
    stop_download_.store(0);

    slots_.add_pending();
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
        std::lock_guard lock(workers_mutex_);
        std::thread thread([this, data = std::move(data), job = std::move(job), done]() mutable {
            run_job(std::move(data), job);
            done->store(true);
        });
        workers_.push_back(Worker{std::move(thread), std::move(done)});
    } catch (const std::system_error&) {
        slots_.drop_pending();
        return -1;
    }
    return 0;
}

bool CJobFrame::wait_for_admission(JobKind kind) {
    while (!slots_.try_admit(kind)) {
        // Only a closing window gives up: the jobs in the way may never be acknowledged then.
        if (closing_.load()) return false;
        std::this_thread::sleep_for(options_.admission_poll);
    }
    return true;
}

void CJobFrame::run_job(CWorkData data, const JobFunction& job) {
    const JobKind kind = data.kind;
    if (!wait_for_admission(kind)) {
        slots_.drop_pending();
        return;
    }
    bool notify = true;
    {
        CWorkThread worker(data);
        try {
            job(worker);
        } catch (const std::exception& e) {
            worker.report_fault(jobtext::from_utf8(e.what()));
        } catch (...) {
            worker.report_fault({});
        }
        notify = worker.notify();
    }
    if (options_.post_end)
        options_.post_end(to_int(kind), notify);
    else
        end_of_job(to_int(kind), notify);
}

void CJobFrame::end_of_job(int kind, bool notify) {
    slots_.finish(kind);
    const std::optional<JobEndNotice> notice = make_end_notice(kind, slots_.busy(), notify);
    if (notice_ != nullptr) {
        if (notice) notice_->job_ended(*notice);
        if (const std::optional<JobKind> known = job_kind_from_int(kind)) {
            const JobKindInfo& info = job_kind_info(*known);
            if (info.update_item_count || info.after_registration) notice_->run_end_actions(*known, info);
        }
    }
    reap_finished();
}

void CJobFrame::reap_finished() {
    std::vector<std::thread> finished;
    {
        std::lock_guard lock(workers_mutex_);
        const auto self = std::this_thread::get_id();
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->done->load() && it->thread.get_id() != self) {
                finished.push_back(std::move(it->thread));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& thread : finished)
        thread.join();
}

void CJobFrame::wait_all() {
    const auto self = std::this_thread::get_id();
    for (;;) {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(workers_mutex_);
            for (auto it = workers_.begin(); it != workers_.end();) {
                if (it->thread.get_id() != self) {
                    threads.push_back(std::move(it->thread));
                    it = workers_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (threads.empty()) return;
        for (auto& thread : threads)
            thread.join();
    }
}

void CJobFrame::request_stop_all() {
    stop_job_.store(1);
    stop_pass_.store(1);
    stop_download_.store(1);
}

int CJobFrame::next_shared_number() {
    std::lock_guard lock(data_mutex_);
    const std::int64_t next = static_cast<std::int64_t>(shared_number_) + 1;
    shared_number_ = next >= 2147483646 ? 0 : static_cast<int>(next);
    return shared_number_;
}

void CJobFrame::set_shared_number(int value) {
    std::lock_guard lock(data_mutex_);
    shared_number_ = value;
}

void CJobFrame::log(LogBox* box, std::u16string_view text, LogMode mode) {
    if (box == nullptr) return;
    std::lock_guard lock(log_mutex_);
    const std::size_t length = box->length();
    if (length > log_trim_threshold) {
        std::size_t cut = log_trim_count;
        // Never leave half a line break or half a surrogate pair at the top of the box.
        const char16_t last = box->unit_at(cut - 1);
        const char16_t next = box->unit_at(cut);
        if ((last == u'\r' && next == u'\n') || (last >= 0xD800 && last <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF))
            ++cut;
        box->erase_front(cut);
    }
    const bool empty = box->length() == 0;
    switch (mode) {
    case LogMode::new_line:
        if (empty)
            box->append(text);
        else
            box->append(std::u16string(u"\r\n").append(text));
        break;
    case LogMode::continue_line:
        box->append(text);
        break;
    case LogMode::replace_last_line:
        box->replace_last_line(text);
        break;
    case LogMode::blank_line:
        if (empty)
            box->append(text);
        else
            box->append(std::u16string(u"\r\n\r\n").append(text));
        break;
    }
}

BoxAnswer CJobFrame::message_box(const MessageBoxRequest& request) {
    if (notice_ == nullptr) return request.default_answer;
    return notice_->message_box(request);
}

void CJobFrame::play_sound(std::u16string_view file) {
    if (notice_ != nullptr) notice_->play_sound(file);
}

void CJobFrame::pause(std::chrono::milliseconds duration) {
    if (options_.sleep)
        options_.sleep(duration);
    else
        std::this_thread::sleep_for(duration);
}

} // namespace quippet
