#include "cli/JobRunner.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <ostream>

#include "app/TerminalSink.h"
#include "app/WorkThread.h"
#include "cli/Cli.h"

namespace quippet::cli {
namespace {

// The handler may only store into lock-free atomics; the frame's stop flags are such.
std::atomic<std::atomic<int>*> interrupt_targets[3];

extern "C" void on_interrupt(int) {
    for (auto& target : interrupt_targets)
        if (std::atomic<int>* flag = target.load()) flag->store(1);
}

class InterruptScope {
public:
    explicit InterruptScope(CJobFrame& frame) {
        interrupt_targets[0] = &frame.stop_job_flag();
        interrupt_targets[1] = &frame.stop_pass_flag();
        interrupt_targets[2] = &frame.stop_download_flag();
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptScope() {
        sigaction(SIGINT, &previous_, nullptr);
        for (auto& target : interrupt_targets)
            target = nullptr;
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction previous_ {};
};

/// Passes everything to the terminal but the end notice of utility runs.
class QuietEndSink : public NoticeSink {
public:
    explicit QuietEndSink(TerminalSink& inner) : inner_(inner) {}
    void job_ended(const JobEndNotice&) override {}
    BoxAnswer message_box(const MessageBoxRequest& request) override { return inner_.message_box(request); }

private:
    TerminalSink& inner_;
};

} // namespace

int run_in_terminal(const TerminalJob& job, std::ostream& out, std::ostream& err) {
    TerminalSink terminal(out, err, &err == &std::cerr && TerminalSink::stderr_is_terminal());
    QuietEndSink quiet(terminal);
    NoticeSink* notice = job.show_end_notice ? static_cast<NoticeSink*>(&terminal) : &quiet;
    JobOutcome outcome;
    {
        CJobFrame frame(notice);
        frame.set_ready(true);
        frame.job_data().inputs() = job.inputs;
        InterruptScope interrupt(frame);
        const auto body = job.body;
        if (frame.start_job([&outcome, body](CWorkThread& worker) { body(worker, outcome); },
                            JobTarget{&terminal, job.list}, job.kind) != 0) {
            err << "quippet: the job could not be started\n";
            return kExitFailures;
        }
        frame.wait_all();
    }
    terminal.finish();
    if (outcome.stopped) return kExitStopped;
    return outcome.succeeded == outcome.total ? kExitOk : kExitFailures;
}

} // namespace quippet::cli
