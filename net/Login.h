#pragma once

#include <string>

#include "net/CookieStore.h"

namespace quippet {

class CWorkMovieInfo;

/// Whether the login status line reports a login just made or a login shared with a browser.
enum class LoginKind : int { kLoggedIn = 0, kShared = 1 };

/// LoginStatusText: who is logged in, from what getflv told of the user.
std::u16string login_status_text(const CWorkMovieInfo& info, const LoginSettings& settings, LoginKind kind);

/// The outcome of the user's explicit login.
struct LoginOutcome {
    bool logged_in = false;
    std::u16string line; ///< the status line or the failure message
    int code = 0;        ///< the request's result code of a failure
};

/// LoginCommand: posts the login form, takes the cookie it set and checks it with a getflv request for the
/// settings' test video.
LoginOutcome login_command(CookieStore& store, const LoginSettings& settings, NetReport& report);

/// A "user_session" value the user copied from a browser, stored in the jar for the service's host as the
/// login's own cookie would be. 0, or -1 when the value is no session cookie or the jar cannot be written.
int store_pasted_cookie(std::u16string_view value, bool skip_char_check);

} // namespace quippet
