#pragma once

#include <string>
#include <vector>

#include "net/CookieStore.h"
#include "net/MovieInfo.h"

namespace quippet {

/// What the information steps of a row gathered, besides the record itself.
struct InfoGathered {
    int code = 0; ///< the information code of the row (0 when nothing is missing)
    bool api_failed = false;
    bool watch_page_failed = false;
    std::vector<int> follow_ups; ///< the reasons logged, as message ids, in order
};

/// The information steps of a download row: cookies prepared, the thumbnail-info API, the watch page when
/// the information is still incomplete (unless `watch_page` is off), then the follow-ups through the mobile
/// API and the watch page again, each reason logged. A source never overwrites what an earlier one found.
InfoGathered gather_video_info(CWorkMovieInfo& info, const InfoOptions& options, CookieStore& store,
                               const LoginSettings& login, NetReport& report, bool watch_page = true);

} // namespace quippet
