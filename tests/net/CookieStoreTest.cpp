#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "net/CookieStore.h"
#include "net/Login.h"
#include "net/MovieInfo.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr const char* kSession = "user_session_12345_0123456789abcdef0123456789abcdef";

std::string from_hex(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

CookieSharingEntry keywords_only(std::u16string_view keywords) {
    CookieSharingEntry e;
    e.label = u"x";
    e.keywords = keywords;
    return e;
}

/// Every line the steps report, with its kind, so that tests can look for a message.
class RecordingReport : public NetReport {
public:
    void log(std::u16string_view text) override { lines += u"log:" + std::u16string(text) + u"\n"; }
    void debug(std::u16string_view text) override { lines += u"debug:" + std::u16string(text) + u"\n"; }
    void progress(std::u16string_view text) override { lines += u"cell:" + std::u16string(text) + u"\n"; }
    void sleep_ms(int) override {}
    bool has(int id) const { return lines.find(message_text(id)) != std::u16string::npos; }
    std::u16string lines;
};

TEST(CookieValue, SearchTakesTheFirstUsableOccurrence) {
    struct Case {
        const char16_t* text;
        const char16_t* name;
        const char16_t* terminator;
        bool skip;
        const char16_t* want; // empty: none
    };
    const Case cases[] = {
        {u"xx user_session_12_ab01_cd yy", u"user_session_", u"", false, u"user_session_12_ab01_cd"},
        // A user id that is no number spoils that occurrence only.
        {u"user_session_x1_ab user_session_7_ff", u"user_session_", u"", false, u"user_session_7_ff"},
        // The token ends at the first character that is no hex digit or "_", unless the check is off.
        {u"user_session=user_session_5_abc;path=/", u"user_session=user_session_", u";", false, u"user_session_5_abc"},
        {u"user_session_5_abcXYZ", u"user_session_", u"", true, u"user_session_5_abcXYZ"},
        {u"user_session_5_abcXYZ", u"user_session_", u"", false, u"user_session_5_abc"},
        // An empty token or a missing "_" after the id is no value.
        {u"user_session_5_;user_session_5", u"user_session_", u"", false, u""},
        // The terminator bounds the search after each name.
        {u"N=user_session_9_aa;N=user_session_8_bb;", u"N=", u";", false, u"user_session_9_aa"},
        {u"", u"user_session_", u"", false, u""},
    };
    for (const Case& c : cases) {
        const auto v = find_session_value(c.text, c.name, c.terminator, c.skip);
        EXPECT_EQ(v.value_or(u""), std::u16string(c.want)) << to_utf8(c.text);
    }
}

TEST(CookieSharing, DefaultFileKeepsItsEntriesAndOrder) {
    const auto entries = parse_cookie_sharing(default_cookie_sharing_text());
    ASSERT_GE(entries.size(), 9u);
    const char16_t* first[] = {u"ログインの設定", u"従来通りの挙動", u"IE(非保護モード)", u"IE(保護モード)",
                               u"IE(自動判別)"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i].label, first[i]);
    EXPECT_EQ(entries[1].keywords, u"NOGET login=AUTO hogo=OFF");
    EXPECT_EQ(entries[5].label, u"Firefox");
    EXPECT_EQ(entries[5].file_name, u"cookies.sqlite");
    EXPECT_EQ(entries[5].name, u"user_session_");
    EXPECT_EQ(entries[5].terminator, u".nicovideo.jp");
    EXPECT_EQ(entries.back().terminator, u";");
    for (const auto& e : entries)
        EXPECT_TRUE(e.keywords.starts_with(u"IE") || e.keywords.starts_with(u"GET") ||
                    e.keywords.starts_with(u"NOGET"));
}

TEST(ChromiumCookies, DecryptsTheFixedLinuxKeyAndTheKeyringsKey) {
    // Made with: openssl enc -aes-128-cbc -K <PBKDF2-SHA1("peanuts","saltysalt",1,16)> -iv 20…20
    const std::string v10 = "v10" + from_hex("5dc075d8debde82552aa8e975f8c14d70bbb73e7af8282cb8e5413fe58435cdc");
    EXPECT_EQ(decrypt_chromium_value(v10, "peanuts").value_or(""), "user_session_777_abcdef0123");
    EXPECT_FALSE(decrypt_chromium_value(v10, "wrong").has_value());
    EXPECT_FALSE(decrypt_chromium_value("v10abc", "peanuts").has_value());

    const std::string v11 = encrypt_chromium_value(kSession, "keyring-secret", "v11");
    EXPECT_EQ(decrypt_chromium_value(v11, "keyring-secret").value_or(""), kSession);

    // Inside a file the blob's length is unknown; the byte search still finds the value behind its row.
    const std::string file =
        std::string("SQLite format 3\0\0junk", 21) + ".nicovideo.jpuser_session" + v10 + "\x01tail";
    const std::u16string name = u".nicovideo.jpuser_sessionuser_session_";
    const std::string searchable = searchable_cookie_bytes(file, name, "chrome");
    EXPECT_EQ(find_session_value(from_utf8(searchable), name, {}, false).value_or(u""), u"user_session_777_abcdef0123");

    set_keyring_lookup([](std::string_view app) -> std::optional<std::string> {
        if (app == "chromium") return "keyring-secret";
        return std::nullopt;
    });
    const std::string v11_file = "row.nicovideo.jpuser_session" + v11 + "end";
    bool missing = false;
    EXPECT_NE(searchable_cookie_bytes(v11_file, name, "chromium", &missing).find(kSession), std::string::npos);
    EXPECT_FALSE(missing);
    EXPECT_EQ(searchable_cookie_bytes(v11_file, name, "chrome", &missing).find(kSession), std::string::npos);
    EXPECT_TRUE(missing);
    set_keyring_lookup({});
}

/// A home folder of its own for the browser files, put back afterwards.
class BrowserFiles : public ::testing::Test {
protected:
    void SetUp() override {
        old_home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", to_utf8(from_utf8(home_.path().string())).c_str(), 1);
        set_app_home(from_utf8(home_.path().string()) + u"/app");
        std::filesystem::create_directories(home_.path() / "app");
        net_clear_cookies();
    }
    void TearDown() override {
        setenv("HOME", old_home_.c_str(), 1);
        net_clear_cookies();
        set_keyring_lookup({});
    }
    bool sqlite(const std::filesystem::path& db, const std::string& sql) {
        const std::string command = "sqlite3 '" + db.string() + "' \"" + sql + "\" 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }
    LoginSettings entry(const CookieSharingEntry& e) {
        LoginSettings s;
        s.entry = e;
        return s;
    }
    test::TempFolder home_;
    std::string old_home_;
};

TEST_F(BrowserFiles, FirefoxAndChromiumDatabasesGiveTheirSessionCookie) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "sqlite3 is not installed";
    const auto entries = parse_cookie_sharing(default_cookie_sharing_text());
    auto by_label = [&](std::u16string_view label) {
        for (const auto& e : entries)
            if (e.label == label) return e;
        return CookieSharingEntry{};
    };

    // Firefox: a profile folder below the configured one, the value stored in clear.
    const auto profile = home_.path() / ".mozilla/firefox/abcd.default-release";
    std::filesystem::create_directories(profile);
    ASSERT_TRUE(sqlite(profile / "cookies.sqlite",
                       "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT);"
                       "INSERT INTO moz_cookies (name, value, host) VALUES ('nicosid', '1.2', '.nicovideo.jp');"
                       "INSERT INTO moz_cookies (name, value, host) VALUES ('user_session', '" +
                           std::string(kSession) + "', '.nicovideo.jp');"));
    CookieStore firefox;
    RecordingReport report;
    firefox.prepare(entry(by_label(u"Firefox")), report);
    EXPECT_EQ(firefox.mode(), CookieStore::kBrowserStore);
    EXPECT_EQ(to_utf8(firefox.value()), kSession) << to_utf8(report.lines);

    // Chromium: the value column empty, the encrypted one a "v10" blob.
    const auto chromium = home_.path() / ".config/chromium/Default";
    std::filesystem::create_directories(chromium);
    const std::string blob = encrypt_chromium_value(kSession, "peanuts", "v10");
    std::string hex;
    for (unsigned char c : blob) {
        static const char* digits = "0123456789ABCDEF";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    ASSERT_TRUE(sqlite(chromium / "Cookies",
                       "CREATE TABLE cookies (host_key TEXT, name TEXT, value TEXT, encrypted_value BLOB);"
                       "INSERT INTO cookies VALUES ('.nicovideo.jp', 'user_session', '', X'" +
                           hex + "');"));
    CookieStore chrome_store;
    chrome_store.prepare(entry(by_label(u"Chromium")), report);
    EXPECT_EQ(to_utf8(chrome_store.value()), kSession) << to_utf8(report.lines);
}

TEST_F(BrowserFiles, ProblemsAreLoggedAndLeaveNoCookie) {
    struct Case {
        CookieSharingEntry entry;
        int message;
    };
    std::filesystem::create_directories(home_.path() / "junk");
    {
        std::ofstream f(home_.path() / "junk/cookies.bin", std::ios::binary);
        for (int i = 0; i < 100000; ++i)
            f.put(static_cast<char>((i * 7919) % 251));
    }
    const Case cases[] = {
        {{u"x", u"GET login=AUTO hogo=AUTO", u"", u"cookies.bin", u"user_session_", u""}, msg::kCookieEntryIncomplete},
        {{u"x", u"GET login=AUTO hogo=AUTO", u"%NOSUCH%/x", u"cookies.bin", u"user_session_", u""},
         msg::kSpecialPathFailed},
        {{u"x", u"GET login=AUTO hogo=AUTO", u"~/nothing", u"cookies.bin", u"user_session_", u""},
         msg::kCookieFileNotFound},
        // Random bytes: read, searched, nothing found.
        {{u"x", u"GET login=AUTO hogo=AUTO", u"~/junk", u"cookies.bin", u"user_session_", u""},
         msg::kCookieValueNotFound},
        {{u"x", u"WHAT login=AUTO", u"", u"", u"", u""}, msg::kCookieEntryUnexpected},
    };
    for (const Case& c : cases) {
        CookieStore store;
        RecordingReport report;
        store.prepare(entry(c.entry), report);
        EXPECT_TRUE(store.value().empty());
        EXPECT_TRUE(report.has(c.message)) << to_utf8(report.lines);
    }
}

TEST_F(BrowserFiles, NoGetNeverSetsACookieAndModesAreKept) {
    CookieStore store;
    RecordingReport report;
    store.set_value(u"user_session_1_aa");
    store.prepare(entry(keywords_only(u"NOGET login=AUTO hogo=OFF")), report);
    EXPECT_EQ(store.mode(), CookieStore::kNoCookies);
    EXPECT_TRUE(store.value().empty());
    EXPECT_EQ(store.apply_cookie(u"http://127.0.0.1:9/api/getflv/sm9"), 0);
    EXPECT_TRUE(net_cookie_value(u"127.0.0.1", u"user_session").empty());
    // The mode is settled once per store: the next job keeps it.
    store.prepare(entry(keywords_only(u"IE login=AUTO hogo=ON")), report);
    EXPECT_EQ(store.mode(), CookieStore::kNoCookies);
    EXPECT_TRUE(report.has(msg::kCookieContinued));

    CookieStore prot;
    prot.prepare(entry(keywords_only(u"IE login=AUTO hogo=ON")), report);
    EXPECT_EQ(prot.mode(), CookieStore::kProtectedStore);
}

TEST_F(BrowserFiles, PastedCookieLandsInAnOwnerOnlyJar) {
    EXPECT_EQ(store_pasted_cookie(u"not a cookie", false), -1);
    ASSERT_EQ(store_pasted_cookie(u"user_session=" + from_utf8(kSession), false), 0);
    struct stat st {};
    ASSERT_EQ(::stat(to_utf8(cookie_jar_path()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    net_clear_cookies();
    ASSERT_EQ(load_cookie_jar(), 0);
    EXPECT_EQ(to_utf8(net_cookie_value(service_cookie_host(), u"user_session")), kSession);
}

TEST(LoginBody, FormIsTheQueryThenMailAndPasswordUnencoded) {
    LoginSettings s;
    s.login_page = u"https://secure.example/secure/login?site=niconico";
    s.mail = u"a&b@example.invalid";
    s.password = u"p=ss wörd";
    EXPECT_EQ(login_request_body(s), "site=niconico&mail=a&b@example.invalid&password=p=ss w\xC3\xB6rd");
    s.login_page = u"https://secure.example/secure/login";
    EXPECT_EQ(login_request_body(s), "mail=a&b@example.invalid&password=p=ss w\xC3\xB6rd");
}

TEST(LoginStatus, NicknameMembershipAndKind) {
    LoginSettings s;
    s.nickname_text = u"さん";
    CWorkMovieInfo info;
    EXPECT_EQ(login_status_text(info, s, LoginKind::kLoggedIn), message_text(msg::kProbablyLoggedIn));
    EXPECT_EQ(login_status_text(info, s, LoginKind::kShared), message_text(msg::kNoNickname));
    info.nickname = u"ぽん";
    info.premium = 0;
    EXPECT_EQ(login_status_text(info, s, LoginKind::kShared), u"ぽんさん（無料会員）のログイン状態を共有");
    s.show_membership = false;
    EXPECT_EQ(login_status_text(info, s, LoginKind::kLoggedIn), u"ぽんさんとしてログインしました");
}

// --- against the replacement service ------------------------------------------------------------------------

class LoginAgainstService : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        set_app_home(scratch_dir());
        // The service's host is where the login's cookie is looked for.
        set_service_root(service().root(false));
        net_clear_cookies();
    }
    void TearDown() override {
        set_service_root(u"");
        net_clear_cookies();
        FakeServiceTest::TearDown();
    }
    LoginSettings settings(std::u16string_view password = u"vellichor") {
        LoginSettings s;
        const std::u16string root = service().root(false);
        s.entry = keywords_only(u"IE login=AUTO hogo=AUTO");
        s.mail = u"quippet@example.invalid";
        s.password = password;
        s.login_page = root + u"/secure/login?site=niconico";
        s.getflv_url = root + u"/api/getflv/";
        s.test_video_id = u"sm9";
        s.net = service().options();
        return s;
    }
};

TEST_F(LoginAgainstService, FormLoginSetsTheJarAndReportsTheNickname) {
    CookieStore store;
    RecordingReport report;
    const LoginOutcome ok = login_command(store, settings(), report);
    EXPECT_TRUE(ok.logged_in) << to_utf8(report.lines);
    EXPECT_EQ(ok.line, u"テスト会員（プレミアム会員）としてログインしました");
    EXPECT_EQ(to_utf8(store.value()), kSession);
    // The jar has it for the next process.
    net_clear_cookies();
    ASSERT_EQ(load_cookie_jar(), 0);
    EXPECT_FALSE(net_cookie_value(u"127.0.0.1", u"user_session").empty());
    EXPECT_EQ(service().counter("logins"), 1);
}

TEST_F(LoginAgainstService, WrongPasswordAndMissingDetailsFailWithTheirMessages) {
    CookieStore store;
    RecordingReport report;
    const LoginOutcome wrong = login_command(store, settings(u"nope"), report);
    EXPECT_FALSE(wrong.logged_in);
    EXPECT_EQ(wrong.line, u"quippet@example.invalid" + std::u16string(message_text(msg::kLoginTriedAndFailed)));
    EXPECT_EQ(login_command(store, settings(u""), report).line, message_text(msg::kEnterLoginDetails));
    // The password never reaches a report line.
    EXPECT_EQ(report.lines.find(u"nope"), std::u16string::npos);
}

TEST_F(LoginAgainstService, AutoLoginTriesTwiceAtMostAndHonoursLoginOff) {
    CookieStore store;
    RecordingReport report;
    LoginSettings s = settings(u"nope");
    EXPECT_EQ(store.auto_login(s, report), 0); // posted without error, even though the password is wrong
    EXPECT_EQ(store.auto_login(s, report), 0);
    EXPECT_EQ(store.auto_login(s, report), -1);
    EXPECT_EQ(store.login_attempts(), 2);
    EXPECT_EQ(service().counter("logins"), 2);

    CookieStore off;
    LoginSettings o = settings();
    o.entry.keywords = u"IE login=OFF hogo=OFF";
    EXPECT_EQ(off.auto_login(o, report), -1);
    o.sharing_choice = 1; // "always automatic" overrides the entry
    EXPECT_EQ(off.auto_login(o, report), 0);
    EXPECT_FALSE(off.value().empty());
    o.sharing_choice = 2;
    EXPECT_EQ(off.auto_login(o, report), -1);
}

TEST_F(LoginAgainstService, BrowserFileCookieIsSentWithRequests) {
    const std::filesystem::path folder = std::filesystem::path(to_utf8(scratch_dir())) / "profile";
    std::filesystem::create_directories(folder);
    {
        std::ofstream f(folder / "cookies.sqlite", std::ios::binary);
        f << std::string("\0\0\x13user_session", 15) << kSession << std::string(".nicovideo.jp/\0\0", 16);
    }
    LoginSettings s = settings();
    s.entry = {
        u"Firefox",      u"GET login=AUTO hogo=AUTO", from_utf8(folder.string()), u"cookies.sqlite", u"user_session_",
        u".nicovideo.jp"};
    CookieStore store;
    RecordingReport report;
    store.prepare(s, report);
    ASSERT_EQ(to_utf8(store.value()), kSession) << to_utf8(report.lines);
    CWorkMovieInfo info;
    info.id = u"sm9";
    int code = 0;
    EXPECT_EQ(get_flv(info, false, s.getflv_url, {}, false, s.net, &store, report, code), 0) << code;
    EXPECT_EQ(info.nickname, u"テスト会員");
}

} // namespace
} // namespace quippet
