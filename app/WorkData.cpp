#include "app/WorkData.h"

namespace quippet {

void CWorkData::clear_job_inputs() {
    inputs_.clear();
}

} // namespace quippet
