#pragma once

#include <string>

namespace quippet {

/// What a request needs to know from the settings. The caller fills it (net_options_from_settings does it
/// from a settings snapshot); the client never reads the settings itself.
struct CNetOptions {
    enum ProxyMode : int {
        kProxySystem = 0, ///< "IEの設定に従う": the environment's http_proxy / https_proxy / no_proxy
        kProxyDirect = 1, ///< "直接": no proxy even when the environment names one
        kProxyNamed = 2,  ///< "これを通す→": `proxy`; an empty text means direct
    };
    int proxy_mode = kProxySystem;
    std::u16string proxy;
    /// Certificates (PEM) trusted besides the system's store; empty for the system's store alone.
    std::u16string ca_file;
    /// Debug dumps ("デバッグモード：…") go here when `debug` is on.
    bool debug = false;
    std::u16string debug_folder;

    int connect_timeout_ms = 1000;
    /// A transfer that receives nothing for this long has timed out.
    int stall_timeout_ms = 1000;
    /// Waits after a time-out, an aborted and a reset connection, and between the two head reads.
    int failure_pause_ms = 1000;
    int head_retry_wait_ms = 800;
    /// Bodies read into memory stop here (code 11) instead of growing without bound.
    long long max_body_bytes = 262'144'000;
    /// download_to_file refuses an answer announced larger than this (code 11); negative: no bound.
    long long max_file_bytes = -1;
};

} // namespace quippet
