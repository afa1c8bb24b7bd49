#pragma once

#include <string>
#include <string_view>

#include "net/NetOptions.h"

namespace quippet {

class CSettings;

/// `url` with the scheme, host and port of `root` in place of its own; path and query stay. A url without
/// "//" is returned as it is.
std::u16string rebase_url(std::u16string_view url, std::u16string_view root);

/// Whether `root` is "http://HOST[:PORT]" or "https://HOST[:PORT]" (a trailing "/" or path is ignored).
bool is_service_root(std::u16string_view root);

/// Rewrites every service address setting (login page, getflv, getthreadkey, getwaybackkey, getthumbinfo,
/// the mobile API, the watch page, search, getbgm; "http:" and "https:" variants alike) onto `root`.
/// Nothing happens for an empty root. Returns how many settings changed.
int apply_service_root(CSettings& settings, std::u16string_view root);

/// Service addresses that are not settings but defaults of the program, rebased onto the current root.
std::u16string session_api_default_url();
std::u16string anime_schedule_url();

/// The root of this run: set_service_root (the front ends' --service-root), else $QUIPPET_SERVICE_ROOT,
/// else empty (the settings as they are).
const std::u16string& service_root();
void set_service_root(std::u16string root);

/// Extra trusted certificates for this run: set_extra_ca_file (--ca-file), else $QUIPPET_CA_FILE.
const std::u16string& extra_ca_file();
void set_extra_ca_file(std::u16string path);

/// The client's options from a settings snapshot: proxy mode and address, debug mode (dumps into the app
/// home), and the extra certificates of this run.
CNetOptions net_options_from_settings(const CSettings& settings);

} // namespace quippet
