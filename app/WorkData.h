#pragma once

#include "app/JobKinds.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quippet {

class CJobFrame;
class LogBox;
class ListView;

/// The tab a job reports to. Either part may be missing; reports to a missing part are dropped.
struct JobTarget {
    LogBox* log = nullptr;
    ListView* list = nullptr;
};

/// Everything a job gets from the window. The window keeps one as its record and fills it before
/// each start; every worker runs on its own copy.
class CWorkData {
public:
    CWorkData() = default;
    CWorkData(const CWorkData&) = default;
    CWorkData(CWorkData&&) = default;
    CWorkData& operator=(const CWorkData&) = default;
    CWorkData& operator=(CWorkData&&) = default;
    virtual ~CWorkData() = default;

    /// Input files of the reconstruction and live-log jobs.
    std::vector<std::u16string>& inputs() { return inputs_; }
    const std::vector<std::u16string>& inputs() const { return inputs_; }

    /// Empties what belongs to one job only, so that the next start begins clean.
    void clear_job_inputs();

    JobKind kind = JobKind::kSplit; ///< set by the frame when the job starts
    JobTarget target;
    /// The window's shared objects: job slots, locks, shared counter, notices.
    CJobFrame* frame = nullptr;
    std::atomic<int>* stop_job = nullptr;
    std::atomic<int>* stop_pass = nullptr;
    std::atomic<int>* stop_download = nullptr;

private:
    // Each job's own inputs have a named accessor; a job that needs more from its tab gets a named field
    // of its own here rather than an index into a generic list.
    std::vector<std::u16string> inputs_;
};

/// Base of the per-job result records.
class CWorkRecord {
public:
    CWorkRecord() = default;
    CWorkRecord(const CWorkRecord&) = default;
    CWorkRecord(CWorkRecord&&) = default;
    CWorkRecord& operator=(const CWorkRecord&) = default;
    CWorkRecord& operator=(CWorkRecord&&) = default;
    virtual ~CWorkRecord() = default;

    std::vector<std::u16string> texts;
};

} // namespace quippet
