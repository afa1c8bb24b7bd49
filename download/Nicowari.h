#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "download/VideoDownload.h"
#include "net/InfoRules.h"

namespace quippet {

class CSettings;
class CNetCookieSource;
class NetReport;

/// One clip a video plays, as getbgm lists it.
struct NicowariEntry {
    std::u16string id;
    std::u16string url;
};

/// What getbgm said about a video.
enum class BgmState : int {
    kUnknown = 0,
    kNetworkFailure = 1,
    kOk = 2,
    kNone = 3,
    kNotDownloadable = 4,
    kNoneByParamError = 5,
    kUnexpected = 6,
    kNoId = 7,
};

struct NicowariInfo {
    BgmState state = BgmState::kUnknown;
    int code = 0; ///< the row's nicowari code when there is nothing to fetch, or the failure
    std::vector<NicowariEntry> entries;
};

/// What the nicowari steps read from a settings snapshot.
struct NicowariOptions {
    std::u16string getbgm_url;
    VideoOptions video; ///< the transfer, and through `video.info` the information requests and the rules
};
NicowariOptions nicowari_options_from(const CSettings& settings);

/// The getbgm request for `id`: the setting + ID + "?as3=1", or "&as3=1" when the setting has a query.
std::u16string getbgm_address(std::u16string_view setting, std::u16string_view id);
/// An answer of getbgm read by the rules (a key the user's file lacks is taken from the built-in rules).
/// 1 entries found, 0 the service says there are none, -1 an answer that cannot be used.
int read_getbgm_answer(std::u16string_view answer, const InfoRules& rules, NicowariInfo& out);
/// FetchNicowariInfo: getbgm for `video_id`. 1, 0 or -1 as read_getbgm_answer; -1 with state 1 and the HTTP
/// code when the request failed.
int fetch_nicowari_info(std::u16string_view video_id, const NicowariOptions& options, CNetCookieSource* cookies,
                        NetReport& report, NicowariInfo& out);

/// What the nicowari step of a row did.
struct NicowariResult {
    int code = 0;
    int saved = 0;
    bool stopped = false;
    std::vector<std::u16string> paths; ///< every clip saved by this run
};

/// SaveNicowari: every entry into `folder`, named by the template from the clip's own title and ID, through
/// the video transfer (resume, partial names, size check). 0, or -2 when a stop ended the loop.
int save_nicowari(const NicowariInfo& info, std::u16string_view folder, const NicowariOptions& options, OwedBytes& owed,
                  const VideoClock& clock, CNetCookieSource* cookies, NetReport& report, NicowariResult& result);

} // namespace quippet
