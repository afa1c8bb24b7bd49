#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quippet {

class NetReport;

/// One pause as its parts, in seconds, so that debug mode can show how it came about.
struct WaitPlan {
    int base = 0;    ///< from the wait counter and the base wait
    int running = 0; ///< added for the transfers still running (several videos at once)
    int spent = 0;   ///< already spent since the last request (page-by-page kinds)
    int total() const {
        const int t = base + running - spent;
        return t > 0 ? t : 0;
    }
};

/// The pause before the n-th wait of a download job (n counts from 1) with the base wait `w`: one video at
/// a time or several at once (`running_extra` being the further wait for the running transfers).
WaitPlan download_wait(int n, int w, bool several, int running_extra = 0, int spent = 0);

/// The pause before page `k` (from 1) of a registration job after `info_fetches` information fetches.
int page_wait_seconds(int k, int info_fetches, int w, bool thumbnails_shown);

/// The pause before the thumbnail-info API: the interval (tenths of a second) as whole seconds for the
/// countdown and a rest slept plainly; every 100th access waits the base wait instead.
struct ApiWait {
    int seconds = 0;
    int rest_ms = 0;
};
ApiWait thumb_api_wait(int access_number, int interval_tenths, int w);

/// "5＋3－1＝7秒待機": the parts that are not zero after the base, then the total.
std::u16string wait_debug_line(const WaitPlan& plan);

/// Counts `seconds` down one second at a time, `show(remaining)` before each second, a stop looked at
/// before each second and during the sleeps. -2 when the user stopped, else 0.
int count_down(NetReport& report, int seconds, const std::function<void(int remaining)>& show);

/// "待機中（残り" + seconds + "秒）"
std::u16string countdown_text(int remaining);

/// The waits of one download job: its counter and the settings they depend on.
class DownloadPacer {
public:
    DownloadPacer(int base_wait, int thumb_interval_tenths, bool several, bool debug)
        : w_(base_wait), interval_(thumb_interval_tenths), several_(several), debug_(debug) {}

    /// The row wait (kind 1). -2 when the user stopped during it.
    int wait(NetReport& report, int running_extra = 0);
    /// The pause before an access of the thumbnail-info API. -2 when the user stopped.
    int wait_thumb_api(NetReport& report);

    int waits() const { return n_; }
    int api_accesses() const { return api_; }

private:
    int w_, interval_;
    bool several_, debug_;
    int n_ = 0;
    int api_ = 0;
};

} // namespace quippet
