#include "reconstruct/FileJobReport.h"

#include "resources/MessageIds.h"

#include <string>

#include "app/WorkThread.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr std::u16string_view kFileDone = u"の処理に成功";
constexpr std::u16string_view kFileFailed = u"の処理に失敗...";
constexpr std::u16string_view kAllFilesDone = u"個のファイルで成功りゅん！";
constexpr std::u16string_view kFilesOf = u"個中";
constexpr std::u16string_view kFilesFailed = u"個のファイルの処理に失敗...";

} // namespace

void log_file_job_end(CWorkThread& worker, int total, int succeeded, std::u16string_view last_name) {
    const int failed = total - succeeded;
    if (total == 1)
        worker.log(std::u16string(last_name) + std::u16string(failed == 0 ? kFileDone : kFileFailed));
    else if (failed == 0)
        worker.log(decimal_text(total) + std::u16string(kAllFilesDone));
    else
        worker.log(decimal_text(total) + std::u16string(kFilesOf) + decimal_text(failed) +
                   std::u16string(kFilesFailed));
    if (failed > 0) worker.log_message(msg::kJobEndedWithFailures);
    worker.log_elapsed();
}

} // namespace quippet
