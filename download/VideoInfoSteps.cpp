#include "download/VideoInfoSteps.h"

#include "net/NetReport.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"

namespace quippet {
namespace {

bool is_error_status(InfoStatus s) {
    return s == InfoStatus::kDeleted || s == InfoStatus::kNotFound || s == InfoStatus::kCommunity;
}

/// The reasons for a follow-up, in the order they are logged.
std::vector<int> follow_up_reasons(const CWorkMovieInfo& info, const InfoGathered& g) {
    std::vector<int> reasons;
    if (g.api_failed) reasons.push_back(msg::kFollowThumbApi);
    if (g.watch_page_failed) reasons.push_back(msg::kFollowWatchPage);
    if (info.description.empty() && info.description_short.empty()) reasons.push_back(msg::kFollowDescription);
    if (info.thread_id.empty()) reasons.push_back(msg::kFollowThreadId);
    if (info.thumbnail_url.empty()) reasons.push_back(msg::kFollowThumbnail);
    if (info.title.empty()) reasons.push_back(msg::kFollowTitle);
    if (info.length_seconds < 0) reasons.push_back(msg::kFollowLength);
    return reasons;
}

bool incomplete(const CWorkMovieInfo& info) {
    return info.title.empty() || info.thread_id.empty() || info.length_seconds < 0 ||
           (info.description.empty() && info.description_short.empty());
}

} // namespace

InfoGathered gather_video_info(CWorkMovieInfo& info, const InfoOptions& options, CookieStore& store,
                               const LoginSettings& login, NetReport& report, bool watch_page) {
    InfoGathered g;
    store.prepare(login, report);
    report.progress(message_text(msg::kInfoFetching));
    int api_code = 0;
    const int api = fetch_api_info(info, u"", options, &store, report, api_code);
    g.api_failed = api != 0 || api_code != 0;
    g.code = api_code;
    if (report.stop_requested()) return g;

    int page_code = 0;
    if (incomplete(info) && watch_page) {
        report.debug(message_text(msg::kWatchPageAccess));
        g.watch_page_failed = fetch_watch_page(info, 0, {}, false, options, &store, report, page_code) != 0;
    }
    if (report.stop_requested()) return g;

    g.follow_ups = follow_up_reasons(info, g);
    if (!g.follow_ups.empty()) {
        for (int reason : g.follow_ups)
            report.log(message_text(reason));
        report.debug(message_text(msg::kMobileApiAccess));
        report.progress(message_text(msg::kInfoFollowing));
        // What the first answer said of the video stands: the mobile API knows less about its fate.
        const InfoStatus before = info.status;
        int mobile_code = 0;
        fetch_api_info(info, u"V", options, &store, report, mobile_code);
        if (is_error_status(before)) info.status = before;
        if (watch_page && (info.title.empty() || info.thread_id.empty()) && !report.stop_requested()) {
            report.debug(message_text(msg::kWatchPageAfterApi));
            int again = 0;
            if (fetch_watch_page(info, 0, {}, false, options, &store, report, again) == 0) page_code = 0;
        }
    }
    // The row keeps a code only for what is still missing at the end.
    if (!info.title.empty() && info.posted.size() && info.comments >= 0 && info.views >= 0 && info.length_seconds >= 0)
        g.code = 0;
    else if (g.code == 0)
        g.code = page_code;
    return g;
}

} // namespace quippet
