#include "net/Login.h"

#include "net/MovieInfo.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"

namespace quippet {

std::u16string login_status_text(const CWorkMovieInfo& info, const LoginSettings& settings, LoginKind kind) {
    if (info.nickname.empty())
        return std::u16string(message_text(kind == LoginKind::kLoggedIn ? msg::kProbablyLoggedIn : msg::kNoNickname));
    std::u16string line = info.nickname + settings.nickname_text;
    if (settings.show_membership) {
        if (info.premium == 1) line += message_text(msg::kPremiumMember);
        if (info.premium == 0) line += message_text(msg::kFreeMember);
    }
    line += message_text(kind == LoginKind::kLoggedIn ? msg::kLoggedInAs : msg::kSharingLoginOf);
    return line;
}

LoginOutcome login_command(CookieStore& store, const LoginSettings& settings, NetReport& report) {
    LoginOutcome out;
    if (settings.mail.empty() || settings.password.empty()) {
        out.line = message_text(msg::kEnterLoginDetails);
        return out;
    }
    if (post_login(settings, out.code) != 0) {
        out.line = message_text(msg::kLoginFailed);
        return out;
    }
    store.determine_mode(settings, report);
    if (!settings.entry.keywords.starts_with(u"NOGET")) store.fetch_value(settings, report);
    CWorkMovieInfo info;
    info.id = settings.test_video_id.empty() ? std::u16string(u"sm9") : settings.test_video_id;
    int code = 0;
    const int result = get_flv(info, !settings.getflv_url.starts_with(u"http:"), settings.getflv_url,
                               settings.request_headers, true, settings.net, &store, report, code);
    out.code = code;
    if (result == -2) {
        out.line = settings.mail + std::u16string(message_text(msg::kLoginTriedAndFailed));
    } else if (result != 0) {
        out.line = message_text(msg::kLoginSeemsFailed);
    } else {
        out.logged_in = true;
        out.line = login_status_text(info, settings, LoginKind::kLoggedIn);
    }
    return out;
}

int store_pasted_cookie(std::u16string_view value, bool skip_char_check) {
    std::u16string_view text = value;
    if (text.starts_with(u"user_session=")) text.remove_prefix(13);
    const auto session = find_session_value(
        u"user_session_" + std::u16string(text.starts_with(u"user_session_") ? text.substr(13) : text),
        u"user_session_", {}, skip_char_check);
    if (!session) return -1;
    load_cookie_jar();
    std::u16string url = u"https://" + service_cookie_host() + u"/";
    if (net_set_cookie(url, u"user_session", *session) != 0) return -1;
    return save_cookie_jar();
}

} // namespace quippet
