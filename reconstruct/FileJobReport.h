#pragma once

#include <string_view>

namespace quippet {

class CWorkThread;

/// Closing lines shared by the jobs of the reconstruction tab: the result over all files (one file by
/// name, several by count), the failure notice when any failed, and the elapsed time.
void log_file_job_end(CWorkThread& worker, int total, int succeeded, std::u16string_view last_name);

} // namespace quippet
