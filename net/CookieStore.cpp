#include "net/CookieStore.h"

#include <openssl/evp.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/OwnerOnlyFile.h"
#include "app/Settings.h"
#include "net/NetReport.h"
#include "net/NetResponse.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/FolderMacros.h"

namespace quippet {

void NetReport::sleep_ms(int ms) {
    // In slices, so that a stop ends the pause within a tenth of a second.
    for (int left = ms; left > 0 && !stop_requested(); left -= 100)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 100)));
}

namespace {

constexpr std::u16string_view kSessionPrefix = u"user_session_";
constexpr std::u16string_view kCookieName = u"user_session";

/// Cookie files larger than this are not browser cookie stores worth reading whole.
constexpr std::uintmax_t kMaxCookieFileBytes = 64u << 20;
/// The folder search stops after this many entries, so that a folder field naming "/" cannot hang a job.
constexpr int kMaxFolderEntries = 200'000;
/// The jar is ours and small; anything far larger was not written by us.
constexpr std::uintmax_t kMaxJarBytes = 4u << 20;

std::u16string_view text_of(int id) {
    return message_text(id);
}

bool is_hex_or_underscore(char16_t c) {
    return is_ascii_digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u'_';
}

/// The session value of the text right after one occurrence of the name, or nullopt.
std::optional<std::u16string> session_value_at(std::u16string_view rest, bool skip_char_check) {
    if (rest.starts_with(kSessionPrefix)) rest.remove_prefix(kSessionPrefix.size());
    size_t digits = 0;
    while (digits < rest.size() && is_ascii_digit(rest[digits]))
        ++digits;
    if (digits == 0 || digits >= rest.size() || rest[digits] != u'_') return std::nullopt;
    const std::u16string_view user_id = rest.substr(0, digits);
    std::u16string_view token = rest.substr(digits + 1);
    if (!skip_char_check) {
        size_t n = 0;
        while (n < token.size() && is_hex_or_underscore(token[n]))
            ++n;
        token = token.substr(0, n);
    } else {
        // Even unchecked, a value never runs past the end of its line or field.
        const size_t end = token.find_first_of(u"\t\r\n;% \"");
        token = token.substr(0, end);
    }
    if (token.empty()) return std::nullopt;
    std::u16string value(kSessionPrefix);
    value += user_id;
    value += u'_';
    value += token;
    return value;
}

/// "~" at the start of a folder field is the home folder; the two folder macros expand as everywhere.
/// nullopt when a macro (or the home) cannot be expanded.
std::optional<std::u16string> expand_cookie_folder(std::u16string_view folder) {
    CCharW path(folder);
    if (path.starts_with(u"~")) {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return std::nullopt;
        std::u16string expanded = from_utf8(home);
        expanded += folder.substr(1);
        path.assign(expanded);
    }
    if (path.contains(u"%") && expand_folder_macros(path) != 0) return std::nullopt;
    std::u16string out(path.view());
    std::replace(out.begin(), out.end(), u'\\', u'/');
    if (out.find(u'%') != std::u16string::npos) return std::nullopt;
    return out;
}

/// The first file of that name in the folder or below it (the folder itself first, then depth first in
/// name order, so that the same folder always gives the same file).
std::optional<std::filesystem::path> find_cookie_file(const std::filesystem::path& folder,
                                                      const std::filesystem::path& name) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(folder / name, ec)) return folder / name;
    std::vector<std::filesystem::path> found;
    int seen = 0;
    for (std::filesystem::recursive_directory_iterator
             it(folder, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        if (++seen > kMaxFolderEntries) break;
        if (it->path().filename() == name && it->is_regular_file(ec)) found.push_back(it->path());
    }
    if (found.empty()) return std::nullopt;
    return *std::min_element(found.begin(), found.end());
}

std::optional<std::string> read_bounded(const std::filesystem::path& path, std::uintmax_t limit) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > limit) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

std::mutex g_keyring_mutex;
KeyringLookup g_keyring_lookup;

std::optional<std::string> keyring_password(std::string_view application) {
    KeyringLookup lookup;
    {
        std::lock_guard lock(g_keyring_mutex);
        lookup = g_keyring_lookup;
    }
    return lookup ? lookup(application) : secret_service_password(application);
}

bool derive_key(std::string_view password, unsigned char key[16]) {
    static constexpr unsigned char kSalt[] = {'s', 'a', 'l', 't', 'y', 's', 'a', 'l', 't'};
    return PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), kSalt, sizeof kSalt, 1, 16,
                                  key) == 1;
}

/// Raw AES-128-CBC over whole blocks, no padding handling: the caller decides where a value ends.
std::optional<std::string> aes_cbc(std::string_view in, std::string_view password, bool encrypt) {
    unsigned char key[16];
    unsigned char iv[16];
    std::fill(std::begin(iv), std::end(iv), static_cast<unsigned char>(' '));
    if (!derive_key(password, key) || in.size() % 16 != 0) return std::nullopt;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key, iv, encrypt ? 1 : 0) != 1) return {};
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    std::string out(in.size() + 16, '\0');
    int n = 0, tail = 0;
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_CipherUpdate(ctx.get(), dst, &n, reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), dst + n, &tail) != 1)
        return std::nullopt;
    out.resize(static_cast<size_t>(n + tail));
    return out;
}

/// The session cookie inside a decrypted value: at its start, or after the 32-byte digest of the cookie's
/// domain that newer browser versions put in front of the value.
std::optional<std::string> session_in_plain(std::string_view plain) {
    for (size_t offset : {size_t{0}, size_t{32}}) {
        if (plain.size() > offset && plain.substr(offset).starts_with("user_session_"))
            return std::string(plain.substr(offset));
    }
    return std::nullopt;
}

/// Longest value tried after a "v10"/"v11" marker: a session cookie is far shorter.
constexpr size_t kMaxEncryptedValue = 1024;

/// Values that decrypt under `password` after a marker at `at`: every block boundary whose last block ends
/// in valid padding is a candidate end, since a byte search cannot know the blob's length.
void decrypted_candidates(std::string_view bytes, size_t at, std::string_view password, std::vector<std::string>& out) {
    const size_t start = at + 3;
    const size_t available = std::min(kMaxEncryptedValue, bytes.size() - start) / 16 * 16;
    if (available == 0) return;
    const auto plain = aes_cbc(bytes.substr(start, available), password, false);
    if (!plain) return;
    for (size_t end = 16; end <= plain->size(); end += 16) {
        const auto pad = static_cast<unsigned char>((*plain)[end - 1]);
        if (pad == 0 || pad > 16) continue;
        bool valid = true;
        for (size_t i = end - pad; i < end; ++i)
            valid = valid && static_cast<unsigned char>((*plain)[i]) == pad;
        if (!valid) continue;
        if (auto session = session_in_plain(std::string_view(*plain).substr(0, end - pad))) {
            out.push_back(std::move(*session));
            return;
        }
    }
}

} // namespace

// --- the cookie-sharing file ----------------------------------------------------------------------------

std::u16string default_cookie_sharing_text() {
    const std::u16string t = u"\t";
    const std::u16string domain = u".nicovideo.jp";
    const std::u16string chrome_name = domain + u"user_sessionuser_session_";
    const std::u16string get = u"GET login=AUTO hogo=AUTO";
    std::u16string text;
    auto line = [&](std::initializer_list<std::u16string_view> fields) {
        bool first = true;
        for (std::u16string_view f : fields) {
            if (!first) text += t;
            text += f;
            first = false;
        }
        text += u"\r\n";
    };
    line({u"ログインの設定", u"IE login=AUTO hogo=AUTO"});
    line({u"従来通りの挙動", u"NOGET login=AUTO hogo=OFF"});
    line({u"IE(非保護モード)", u"IE login=AUTO hogo=OFF"});
    line({u"IE(保護モード)", u"IE login=AUTO hogo=ON"});
    line({u"IE(自動判別)", u"IE login=AUTO hogo=AUTO"});
    line({u"Firefox", get, u"~/.mozilla/firefox", u"cookies.sqlite", u"user_session_", domain});
    line({u"Firefox(WAL)", get, u"~/.mozilla/firefox", u"cookies.sqlite-wal", u"user_session_", domain});
    line({u"Chrome", get, u"~/.config/google-chrome", u"Cookies", chrome_name});
    line({u"Chromium", get, u"~/.config/chromium", u"Cookies", chrome_name});
    line({u"ChromePlus", get, u"~/.config/chromeplus", u"Cookies", chrome_name});
    line({u"ChromePlus(2)", get, u"%LOCAL_APPDATA%/ChromePlus", u"Cookies", chrome_name});
    line({u"Safari", get, u"~/.local/share/safari", u"Cookies.binarycookies", u"user_session_"});
    line({u"Opera", get, u"~/.config/opera", u"Cookies", chrome_name});
    line({u"Opera(旧)", get, u"~/.opera", u"cookies4.dat", u"user_session_"});
    line({u"Lunascape Gecko", get, u"%APPDATA%/Lunascape", u"cookies.sqlite", u"user_session_", domain});
    line({u"Lunascape Webkit", get, u"%APPDATA%/Lunascape", u"cookies.ini", u"user_session=user_session_", u";"});
    text += u"//\r\n"
            u"// 1行に1つの設定（タブ区切り）：ラベル、キーワード、フォルダ、ファイル名、名前、終端\r\n"
            u"// キーワードの先頭は「IE」（このツールのクッキー保存ファイル）、「GET」（ブラウザのクッキーの"
            u"ファイルから取得）、「NOGET」（クッキーを扱わない）のどれか\r\n"
            u"// 「login=AUTO」なら必要な時に自動ログイン、「login=OFF」なら自動ログインしない\r\n"
            u"// フォルダは「~」（ホームフォルダ）や「%APPDATA%」「%LOCAL_APPDATA%」で始めてもよく、"
            u"その下のフォルダも探します\r\n"
            u"// 名前はクッキーの値の直前にある文字列、終端は値の終わりを示す文字列（省略可）\r\n"
            u"// Chrome系のブラウザの暗号化された値（v10、v11）は復号してから探します\r\n";
    return text;
}

std::vector<CookieSharingEntry> parse_cookie_sharing(std::u16string_view text) {
    std::vector<CookieSharingEntry> entries;
    while (!text.empty()) {
        const size_t end = text.find_first_of(u"\r\n");
        std::u16string_view line = text.substr(0, end);
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        if (line.starts_with(u"//") || line.find(u'\t') == std::u16string_view::npos) continue;
        const auto f = split_view(line, u'\t');
        auto field = [&](size_t i) { return i < f.size() ? std::u16string(f[i]) : std::u16string(); };
        entries.push_back({field(0), field(1), field(2), field(3), field(4), field(5)});
    }
    return entries;
}

std::vector<CookieSharingEntry> load_cookie_sharing(const CSettings& settings) {
    const std::u16string path =
        resolve_in_home(with_default_extension(settings.text(OptText::kCookieSharing), u".txt"));
    ensure_file_exists(path, default_cookie_sharing_text(), [](std::u16string_view) {});
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) == 0) {
        auto entries = parse_cookie_sharing(text.view());
        if (!entries.empty()) return entries;
    }
    return parse_cookie_sharing(default_cookie_sharing_text());
}

LoginSettings login_settings_from(const CSettings& settings, int entry_index) {
    LoginSettings s;
    const auto entries = load_cookie_sharing(settings);
    if (!entries.empty())
        s.entry = entries[entry_index >= 0 && entry_index < static_cast<int>(entries.size())
                              ? static_cast<size_t>(entry_index)
                              : 0];
    s.mail = settings.text(OptProtected::kMail);
    s.password = settings.text(OptProtected::kPassword);
    s.login_page = settings.text(OptText::kLoginPage);
    s.sharing_choice = settings.number(OptNumber::kLoginSharing);
    s.skip_char_check = settings.on(OptSwitch::kSkipCookieCharCheck);
    s.test_video_id = settings.text(OptText::kTestVideoId);
    s.show_membership = settings.on(OptSwitch::kShowMembership);
    s.nickname_text = settings.text(OptText::kNicknameText);
    s.getflv_url = settings.on(OptSwitch::kGetFlvAlwaysHttp) ? settings.text(OptText::kGetFlvHttp)
                                                             : settings.text(OptText::kGetFlvHttps);
    s.request_headers = settings.text(OptText::kRequestHeaders);
    s.net = net_options_from_settings(settings);
    return s;
}

// --- finding the value ------------------------------------------------------------------------------------

std::optional<std::u16string> find_session_value(std::u16string_view text, std::u16string_view name,
                                                 std::u16string_view terminator, bool skip_char_check) {
    if (name.empty()) return std::nullopt;
    for (size_t at = text.find(name); at != std::u16string_view::npos; at = text.find(name, at + 1)) {
        std::u16string_view rest = text.substr(at + name.size());
        if (!terminator.empty()) {
            const size_t end = rest.find(terminator);
            if (end != std::u16string_view::npos) rest = rest.substr(0, end);
        }
        if (auto value = session_value_at(rest, skip_char_check)) return value;
    }
    return std::nullopt;
}

void set_keyring_lookup(KeyringLookup lookup) {
    std::lock_guard lock(g_keyring_mutex);
    g_keyring_lookup = std::move(lookup);
}

std::optional<std::string> decrypt_chromium_value(std::string_view encrypted, std::string_view password) {
    if (!encrypted.starts_with("v10") && !encrypted.starts_with("v11")) return std::nullopt;
    encrypted.remove_prefix(3);
    if (encrypted.empty() || encrypted.size() % 16 != 0) return std::nullopt;
    auto plain = aes_cbc(encrypted, password, false);
    if (!plain || plain->empty()) return std::nullopt;
    const auto pad = static_cast<unsigned char>(plain->back());
    if (pad == 0 || pad > 16 || pad > plain->size()) return std::nullopt;
    for (size_t i = plain->size() - pad; i < plain->size(); ++i)
        if (static_cast<unsigned char>((*plain)[i]) != pad) return std::nullopt;
    plain->resize(plain->size() - pad);
    return plain;
}

std::string encrypt_chromium_value(std::string_view plain, std::string_view password, std::string_view version) {
    std::string padded(plain);
    const size_t pad = 16 - padded.size() % 16;
    padded.append(pad, static_cast<char>(pad));
    const auto cipher = aes_cbc(padded, password, true);
    return cipher ? std::string(version) + *cipher : std::string();
}

std::string searchable_cookie_bytes(std::string_view file_bytes, std::u16string_view name, std::string_view keyring_app,
                                    bool* keyring_missing) {
    std::string out(file_bytes);
    std::replace(out.begin(), out.end(), '\0', '%');
    std::string lead = to_utf8(name);
    if (lead.ends_with("user_session_")) lead.resize(lead.size() - std::string_view("user_session_").size());
    std::vector<std::string> plain;
    std::optional<std::string> v11_password;
    bool v11_asked = false;
    for (size_t at = file_bytes.find('v'); at != std::string_view::npos && at + 3 < file_bytes.size();
         at = file_bytes.find('v', at + 1)) {
        const std::string_view marker = file_bytes.substr(at, 3);
        if (marker == "v10") {
            decrypted_candidates(file_bytes, at, "peanuts", plain);
        } else if (marker == "v11") {
            if (!v11_asked) {
                v11_asked = true;
                v11_password = keyring_password(keyring_app);
                if (!v11_password && keyring_missing) *keyring_missing = true;
            }
            if (v11_password) decrypted_candidates(file_bytes, at, *v11_password, plain);
        }
    }
    for (const std::string& value : plain) {
        out += '\n';
        out += lead;
        out += value;
    }
    return out;
}

// --- the jar ---------------------------------------------------------------------------------------------

std::u16string cookie_jar_path() {
    return resolve_in_home(u"cookies.txt");
}

int load_cookie_jar() {
    const std::filesystem::path path = to_fs_path(cookie_jar_path());
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return 0;
    const auto bytes = read_bounded(path, kMaxJarBytes);
    if (!bytes) return -1;
    std::string_view rest(*bytes);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || (line.starts_with('#') && !line.starts_with("#HttpOnly_"))) continue;
        net_add_cookie_line(line);
    }
    return 0;
}

int save_cookie_jar() {
    std::string text = "# Netscape HTTP Cookie File\n";
    for (const std::string& line : net_cookie_lines())
        text += line + "\n";
    int error = 0;
    return write_owner_only_file(to_fs_path(cookie_jar_path()), text, error);
}

std::u16string service_cookie_host() {
    if (!service_root().empty()) {
        std::u16string server, object;
        netresp::split_url(service_root(), server, object);
        if (const size_t colon = server.rfind(u':'); colon != std::u16string::npos) server.resize(colon);
        return server;
    }
    return u"nicovideo.jp";
}

// --- the store -------------------------------------------------------------------------------------------

void CookieStore::prepare(const LoginSettings& settings, NetReport& report) {
    if (mode_ != kUndetermined) {
        report.debug(text_of(msg::kCookieContinued));
        return;
    }
    if (settings.entry.keywords.starts_with(u"NOGET")) {
        value_.clear();
        mode_ = kNoCookies;
        report.debug(text_of(msg::kCookieNotHandled));
        return;
    }
    determine_mode(settings, report);
    fetch_value(settings, report);
}

void CookieStore::determine_mode(const LoginSettings& settings, NetReport& report) {
    const std::u16string& k = settings.entry.keywords;
    if (k.find(u"hogo=OFF") != std::u16string::npos) {
        mode_ = kBrowserStore;
        report.debug(text_of(msg::kModeBySettingUnprotected));
    } else if (k.find(u"hogo=ON") != std::u16string::npos) {
        // There is no protected-mode browser store here; the mode is kept so that it shows, and reads and
        // writes the same jar.
        mode_ = kProtectedStore;
        report.debug(text_of(msg::kModeBySettingProtected));
    } else {
        mode_ = kBrowserStore;
        report.debug(text_of(msg::kModeCheckedUnprotected));
    }
}

int CookieStore::fetch_value(const LoginSettings& settings, NetReport& report) {
    const std::u16string& k = settings.entry.keywords;
    std::optional<std::u16string> found;
    if (k.starts_with(u"IE")) return fetch_from_jar(report);
    if (k.starts_with(u"GET")) return fetch_from_browser_file(settings, report);
    report.log(text_of(msg::kCookieEntryUnexpected));
    return -1;
}

int CookieStore::fetch_from_jar(NetReport& report) {
    const bool protected_mode = mode_ == kProtectedStore;
    if (load_cookie_jar() != 0) {
        report.log(text_of(protected_mode ? msg::kProtectedStoreFailed : msg::kBrowserStoreFailed));
        return -1;
    }
    const std::u16string cookie = net_cookie_value(service_cookie_host(), kCookieName);
    report.debug(text_of(protected_mode ? msg::kProtectedStoreRead : msg::kBrowserStoreRead));
    auto value = find_session_value(cookie, kSessionPrefix, {}, false);
    if (!value) {
        report.debug(text_of(msg::kStoreValueMissing));
        return -1;
    }
    value_ = std::move(*value);
    return 0;
}

int CookieStore::fetch_from_browser_file(const LoginSettings& settings, NetReport& report) {
    const CookieSharingEntry& e = settings.entry;
    if (e.folder.empty() || e.file_name.empty() || e.name.empty()) {
        report.log(text_of(msg::kCookieEntryIncomplete));
        return -1;
    }
    const auto folder = expand_cookie_folder(e.folder);
    if (!folder) {
        report.log(text_of(msg::kSpecialPathFailed));
        return -1;
    }
    // A file name is a name: one that climbs or descends folders is no browser's cookie file.
    if (e.file_name.find(u'/') != std::u16string::npos || e.file_name == u"..") {
        report.log(text_of(msg::kCookieEntryIncomplete));
        return -1;
    }
    const auto file = find_cookie_file(to_fs_path(*folder), to_fs_path(e.file_name));
    if (!file) {
        report.log(text_of(msg::kCookieFileNotFound));
        return -1;
    }
    const auto bytes = read_bounded(*file, kMaxCookieFileBytes);
    if (!bytes) {
        report.log(text_of(msg::kCookieFileUnreadable));
        return -1;
    }
    const std::string_view app = e.folder.find(u"chromium") != std::u16string::npos ? "chromium" : "chrome";
    bool keyring_missing = false;
    const std::string searchable = searchable_cookie_bytes(*bytes, e.name, app, &keyring_missing);
    auto value = find_session_value(from_utf8(searchable), e.name, e.terminator, settings.skip_char_check);
    if (!value) {
        if (keyring_missing) report.log(text_of(msg::kKeyringMissing));
        report.log(text_of(msg::kCookieValueNotFound));
        return -1;
    }
    report.debug(*value + std::u16string(text_of(msg::kCookieValueTaken)));
    value_ = std::move(*value);
    return 0;
}

int CookieStore::apply_cookie(std::u16string_view url) {
    if (value_.empty() || mode_ == kUndetermined || mode_ == kNoCookies) return 0;
    std::u16string target(url);
    static constexpr std::u16string_view kWebApi = u"www.nicovideo.jp/api/";
    if (const size_t at = target.find(kWebApi); at != std::u16string::npos)
        target.replace(at, kWebApi.size(), u"flapi.nicovideo.jp/api/");
    return net_set_cookie(target, kCookieName, value_);
}

int CookieStore::auto_login(const LoginSettings& settings, NetReport& report) {
    if (settings.mail.empty() || settings.password.empty() || login_attempts_ >= 2 || settings.sharing_choice == 2 ||
        (settings.sharing_choice == 0 && settings.entry.keywords.find(u"login=OFF") != std::u16string::npos))
        return -1;
    report.debug(text_of(msg::kLoginTrying));
    ++login_attempts_;
    report.progress(text_of(msg::kLoginInProgress));
    report.sleep_ms(300);
    int code = 0;
    if (post_login(settings, code) != 0) {
        report.progress(text_of(msg::kLoginFailedCell));
        return -1;
    }
    report.debug(text_of(msg::kLoginNoObviousError));
    if (mode_ == kUndetermined) determine_mode(settings, report);
    if (settings.entry.keywords.starts_with(u"NOGET")) {
        // No cookie of ours: the login's cookie in the shared store goes out by itself.
        return 0;
    }
    fetch_value(settings, report);
    return 0;
}

std::string login_request_body(const LoginSettings& settings) {
    const std::u16string& page = settings.login_page;
    const size_t question = page.find(u'?');
    std::string body;
    if (question != std::u16string::npos && question + 1 < page.size()) body = to_utf8(page.substr(question + 1)) + "&";
    body += "mail=" + to_utf8(settings.mail) + "&password=" + to_utf8(settings.password);
    return body;
}

int post_login(const LoginSettings& settings, int& code) {
    const std::u16string& page = settings.login_page;
    const std::u16string_view address = std::u16string_view(page).substr(0, page.find(u'?'));
    const std::string body = login_request_body(settings);
    // The jar is written whole after the login: what it held before must be in the store by then.
    load_cookie_jar();
    CNet net(settings.net);
    net.open_url(address, u"", nullptr);
    if (net.code() == 0) net.send_request(0, settings.request_headers, u"POST");
    if (net.code() == 0) net.post_form(body);
    if (net.code() == 0) {
        // The form answers with a redirect whichever way the login went; the platform layer this stands
        // for follows it, so a redirect is not a failure here. The cookies came with the redirect itself.
        const int status = net.last_status();
        if (status < 300 || status > 399) net.status_code();
    }
    net.close();
    code = net.code();
    if (code != 0) return -1;
    save_cookie_jar();
    return 0;
}

} // namespace quippet
