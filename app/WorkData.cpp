#include "app/WorkData.h"

namespace quippet {

void CWorkData::clear_job_inputs() {
    for (auto& list : lists)
        list.clear();
    counters = {};
}

} // namespace quippet
