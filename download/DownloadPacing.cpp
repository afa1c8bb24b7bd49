#include "download/DownloadPacing.h"

#include "net/NetReport.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Encoding.h"

namespace quippet {

WaitPlan download_wait(int n, int w, bool several, int running_extra, int spent) {
    WaitPlan p;
    if (!several) {
        // The first two waits are none: a job of one or two rows should not make the user wait at all.
        if (n <= 2)
            p.base = 0;
        else if (n <= 4)
            p.base = w / 5;
        else if (n <= 10)
            p.base = w / 2;
        else if (n <= 50)
            p.base = w;
        else
            p.base = w * 3 / 2;
    } else {
        if (n < 4)
            p.base = w / 3;
        else if (n <= 12)
            p.base = w;
        else if (n <= 20)
            p.base = w * 3 / 2;
        else
            p.base = 2 * w;
        p.running = running_extra > 0 ? running_extra : 0;
    }
    p.spent = spent > 0 ? spent : 0;
    return p;
}

int page_wait_seconds(int k, int info_fetches, int w, bool thumbnails_shown) {
    if (k <= 1) return 0;
    if (k == 2) return thumbnails_shown ? w / 5 : 0;
    if (k <= 11) {
        if (info_fetches < 50) return w / 5;
        if (info_fetches < 100) return w / 2;
        return w;
    }
    return (k > 23 || info_fetches > 99) ? w : w / 2;
}

ApiWait thumb_api_wait(int access_number, int interval_tenths, int w) {
    ApiWait a;
    if (access_number > 0 && access_number % 100 == 0) {
        a.seconds = w;
        return a;
    }
    if (interval_tenths < 0) interval_tenths = 0;
    a.seconds = interval_tenths / 10;
    a.rest_ms = (interval_tenths % 10) * 100;
    return a;
}

std::u16string wait_debug_line(const WaitPlan& plan) {
    std::u16string s = decimal_text(plan.base);
    if (plan.running) s += u"＋" + decimal_text(plan.running);
    if (plan.spent) s += u"－" + decimal_text(plan.spent);
    s += u"＝" + decimal_text(plan.total());
    s += message_text(msg::kSecondsWait);
    return s;
}

std::u16string countdown_text(int remaining) {
    return std::u16string(message_text(msg::kWaitingLeft)) + decimal_text(remaining) +
           std::u16string(message_text(msg::kSecondsClose));
}

int count_down(NetReport& report, int seconds, const std::function<void(int remaining)>& show) {
    for (int left = seconds; left > 0; --left) {
        if (report.stop_requested()) return -2;
        if (show) show(left);
        // A second in small slices, so that a stop is seen within a tenth of a second.
        for (int slice = 0; slice < 10; ++slice) {
            if (report.stop_requested()) return -2;
            report.sleep_ms(100);
        }
    }
    return report.stop_requested() ? -2 : 0;
}

int DownloadPacer::wait(NetReport& report, int running_extra) {
    const WaitPlan plan = download_wait(++n_, w_, several_, running_extra);
    if (debug_) report.debug(wait_debug_line(plan));
    return count_down(report, plan.total(), [&](int left) { report.progress(countdown_text(left)); });
}

int DownloadPacer::wait_thumb_api(NetReport& report) {
    const ApiWait a = thumb_api_wait(++api_, interval_, w_);
    if (count_down(report, a.seconds, [&](int left) { report.progress(countdown_text(left)); }) != 0) return -2;
    if (a.rest_ms > 0) report.sleep_ms(a.rest_ms);
    return report.stop_requested() ? -2 : 0;
}

} // namespace quippet
