#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/Net.h"

namespace quippet {

class CSettings;
class NetReport;

/// One entry of the cookie-sharing file: a label for the drop-down, the keywords that say where the
/// cookie comes from ("IE", "GET" or "NOGET", then "login=…" and "hogo=…"), and, for "GET", where the
/// browser keeps it.
struct CookieSharingEntry {
    std::u16string label;
    std::u16string keywords;
    std::u16string folder;
    std::u16string file_name;
    std::u16string name;
    std::u16string terminator;
};

/// The text the program writes when the cookie-sharing file is missing.
std::u16string default_cookie_sharing_text();
/// Entries of a cookie-sharing file, in order; comment lines ("//") and lines without a tab are skipped.
std::vector<CookieSharingEntry> parse_cookie_sharing(std::u16string_view text);
/// The entries of the file the settings name (the default text when it cannot be read).
std::vector<CookieSharingEntry> load_cookie_sharing(const CSettings& settings);

/// What the login side reads from a job's settings snapshot.
struct LoginSettings {
    CookieSharingEntry entry; ///< the entry chosen in the download tab
    std::u16string mail;
    std::u16string password;
    std::u16string login_page;
    int sharing_choice = 0; ///< 0 follow the entry, 1 always "login=AUTO", 2 always "login=OFF"
    bool skip_char_check = false;
    std::u16string test_video_id;
    bool show_membership = true;
    std::u16string nickname_text;
    std::u16string getflv_url;
    std::u16string request_headers;
    CNetOptions net;
};
/// The snapshot's login settings with the entry at `entry_index` of the cookie-sharing file (the first one
/// when the index is out of range).
LoginSettings login_settings_from(const CSettings& settings, int entry_index = 0);

/// The "user_session" value in `text`: after each occurrence of `name` (up to `terminator` when one is
/// given), text of the form "user_session_" + decimal user id + "_" + token; the token ends at the first
/// character that is not a hexadecimal digit or "_" unless `skip_char_check`, and must not be empty. The
/// first occurrence that qualifies wins.
std::optional<std::u16string> find_session_value(std::u16string_view text, std::u16string_view name,
                                                 std::u16string_view terminator, bool skip_char_check);

/// The keyring's password of a Chromium-family browser ("chrome" or "chromium"); nullopt when no keyring
/// answers. Tests replace it.
using KeyringLookup = std::function<std::optional<std::string>(std::string_view application)>;
void set_keyring_lookup(KeyringLookup lookup);
/// The Secret Service through libsecret, when the program was built with it.
std::optional<std::string> secret_service_password(std::string_view application);

/// Chromium's encrypted cookie values ("v10" with the fixed password "peanuts", "v11" with the keyring's):
/// AES-128-CBC, key PBKDF2-HMAC-SHA1(password, "saltysalt", 1 iteration), IV of 16 blanks.
std::optional<std::string> decrypt_chromium_value(std::string_view encrypted, std::string_view password);
/// Encrypts as Chromium does (for tests and for the replacement service's sample files).
std::string encrypt_chromium_value(std::string_view plain, std::string_view password, std::string_view version);

/// A browser cookie file made searchable: zero bytes read as "%", and every "v10"/"v11" value that decrypts
/// to a session cookie appended as `name` (without its trailing "user_session_") + the plain value, so that
/// the same byte search finds it. `keyring_missing` is set when a "v11" value was seen but no keyring gave
/// its password.
std::string searchable_cookie_bytes(std::string_view file_bytes, std::u16string_view name, std::string_view keyring_app,
                                    bool* keyring_missing = nullptr);

/// The login state of one worker: the mode it settled on, the cookie value it sends and the automatic
/// logins it has tried. Kept from one job to the next.
class CookieStore : public CNetCookieSource {
public:
    enum Mode : int { kUndetermined = 0, kBrowserStore = 1, kProtectedStore = 2, kNoCookies = 3 };

    int mode() const { return mode_; }
    int login_attempts() const { return login_attempts_; }
    const std::u16string& value() const { return value_; }
    void set_value(std::u16string value) { value_ = std::move(value); }

    /// At the start of each job: settles the mode once, then fetches the cookie value.
    void prepare(const LoginSettings& settings, NetReport& report);
    /// Mode from the entry's "hogo" keyword (there is no protected-mode browser here: "AUTO" is mode 1).
    void determine_mode(const LoginSettings& settings, NetReport& report);
    /// Fetches the value from our cookie jar ("IE") or from the browser's file ("GET"). 0 found, -1 not.
    int fetch_value(const LoginSettings& settings, NetReport& report);

    /// Sets "user_session" for the request's URL in the shared store (the web host's API paths go to the
    /// flash-API host). 0, or -1 when it could not be set.
    int apply_cookie(std::u16string_view url) override;

    /// AutoLogin: 0 when a login was posted without error, -1 when not allowed or failed.
    int auto_login(const LoginSettings& settings, NetReport& report);

private:
    int fetch_from_jar(NetReport& report);
    int fetch_from_browser_file(const LoginSettings& settings, NetReport& report);

    int login_attempts_ = 0;
    int mode_ = kUndetermined;
    std::u16string value_;
};

/// Our stand-in for the browser's shared cookie store: one owner-only file in the app home, written whole
/// and atomically, holding the shared store's cookies in the Netscape format.
std::u16string cookie_jar_path();
/// Loads the jar into the shared store (a missing jar is no error). 0, or -1 when it could not be read.
int load_cookie_jar();
/// Writes the shared store into the jar. 0, or -1.
int save_cookie_jar();

/// The host whose "user_session" cookie is the login: the service root's host when one is set, else the
/// service's base domain.
std::u16string service_cookie_host();

/// The login form's body: the login page's query and "&" (when it has one), then "mail=…&password=…" in
/// UTF-8, not percent-encoded.
std::string login_request_body(const LoginSettings& settings);
/// PostLogin: posts the login form. 0 on success; -1 with the request's code in `code`.
int post_login(const LoginSettings& settings, int& code);

} // namespace quippet
