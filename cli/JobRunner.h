#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/JobFrame.h"

namespace quippet::cli {

/// What a job tells its front end when it is over.
struct JobOutcome {
    int succeeded = 0;
    int total = 0;
    bool stopped = false;
};

struct TerminalJob {
    JobKind kind = JobKind::kScan;
    std::vector<std::u16string> inputs;
    /// The job body; it fills `outcome` as it goes.
    std::function<void(CWorkThread& worker, JobOutcome& outcome)> body;
    /// The list the job works on (the download list, say); none for jobs of files.
    ListView* list = nullptr;
    /// A utility run that is not one of the window's jobs prints no end notice.
    bool show_end_notice = true;
};

/// Runs one job through the frame with the terminal as its log pane and main window, and waits for
/// it. Ctrl-C asks the job to stop; it then ends through its normal stopped path.
/// Exit code: 0 all items succeeded, 1 some failed, 3 stopped.
int run_in_terminal(const TerminalJob& job, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
