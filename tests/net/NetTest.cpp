// The client against the replacement service over real sockets, plain and TLS alike.
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "FakeServiceFixture.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "text/Encoding.h"

namespace quippet::test {
namespace {

class FailingCookies : public CNetCookieSource {
public:
    int apply_cookie(std::u16string_view) override { return -1; }
};

std::string read_file(const std::u16string& path) {
    std::ifstream in(to_utf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class NetOverSocket : public FakeServiceTest, public ::testing::WithParamInterface<bool> {
protected:
    bool tls() const { return GetParam(); }
    std::u16string url(std::string_view path) const { return service().root(tls()) + from_utf8(path); }
    CNetOptions options() const { return service().options(); }
};

TEST_P(NetOverSocket, BareServerUrlOpensTheServerWithAnEmptyObject) {
    CNet net(options());
    std::u16string text;
    ASSERT_EQ(net.get_text(3, text, service().root(tls()), u"", u"Accept: */*\r\n"), 0) << net.code();
    EXPECT_EQ(net.code(), 0);
    EXPECT_EQ(net.object(), u"");
    EXPECT_EQ(net.server(), service().root(tls()).substr(tls() ? 8 : 7));
    EXPECT_EQ(net.secure(), tls());
    EXPECT_NE(text.find(u"replacement service"), std::u16string::npos);
    EXPECT_EQ(service().counter("requests /"), 1);
}

TEST_P(NetOverSocket, TimeoutsAreRetriedThriceAndASuccessRestoresTheEarlierCode) {
    struct Case {
        int stalls;
        int result;
        int code;
        int attempts;
    };
    for (const Case c : {Case{2, 0, net_code::kCookieFailed, 3}, Case{3, -1, net_code::kTimeout, 3},
                         Case{1, 0, net_code::kCookieFailed, 2}}) {
        SCOPED_TRACE(c.stalls);
        ASSERT_TRUE(service().reset());
        ASSERT_TRUE(service().fault("/api/getthumbinfo/sm9", "stall", 2500, c.stalls));
        CNet net(options());
        FailingCookies cookies;
        net.open_url(url("/api/getthumbinfo/sm9"), u"", &cookies);
        ASSERT_EQ(net.code(), net_code::kCookieFailed);
        ASSERT_EQ(net.send_request(CNet::kFlagReload, u"Accept: */*\r\n"), 0);
        EXPECT_EQ(net.send(), c.result);
        EXPECT_EQ(net.code(), c.code);
        EXPECT_EQ(net.send_attempts(), c.attempts);
        if (c.result == 0) {
            std::string body;
            EXPECT_GT(net.read_all(body), 0);
            EXPECT_NE(body.find("status=\"ok\""), std::string::npos);
        }
    }
}

TEST_P(NetOverSocket, DownloadToFileTakesOnly200AndLeavesNothingOtherwise) {
    struct Case {
        const char* fault;
        long long param;
        int result;
        int code;
    };
    for (const Case c :
         {Case{"partial", 0, -1, 0}, Case{"not-modified", 0, -1, net_code::kStatusRedirect},
          Case{"status", 404, -1, net_code::kStatus404}, Case{"truncate", 30000, -1, net_code::kFileSizeMismatch}}) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(service().fault("/bytes/100000", c.fault, c.param));
        CNet net(options());
        const std::u16string path = scratch_dir() + u"out.bin";
        EXPECT_EQ(net.download_to_file(path, url("/bytes/100000"), u"", -1, -1), c.result);
        EXPECT_EQ(net.code(), c.code);
        EXPECT_TRUE(files_in(scratch_dir()).empty());
    }
}

TEST_P(NetOverSocket, KnownSizesSkipTheDownloadWithoutAFile) {
    const std::u16string final_path = scratch_dir() + u"v.bin";
    {
        CNet net(options());
        EXPECT_EQ(net.download_via_temp(final_path, u"v", url("/bytes/5000"), u"", 5000, -1, CNet::kRenameKeepBoth),
                  -2);
        EXPECT_EQ(net.code(), 0);
    }
    {
        CNet net(options());
        EXPECT_EQ(net.download_to_file(final_path, url("/bytes/5000"), u"", 10, 5000), 0);
    }
    EXPECT_TRUE(files_in(scratch_dir()).empty());
    CNet net(options());
    int grew = 0;
    EXPECT_EQ(net.download_to_file(final_path, url("/bytes/5000"), u"", 10, -1, &grew), 1);
    EXPECT_EQ(grew, 1);
    EXPECT_EQ(read_file(final_path).size(), 5000u);
}

TEST_P(NetOverSocket, DownloadViaTempRenamesOntoTakenNamesByMode) {
    const std::u16string dir = scratch_dir();
    const std::u16string final_path = dir + u"v.bin";
    std::ofstream(to_utf8(final_path)) << "old";
    std::ofstream(to_utf8(dir + u"v.tmp")); // a zero-length leftover moves the working name on
    struct Case {
        int mode;
        int outcome;
        std::vector<std::string> files;
    };
    for (const Case& c :
         {Case{CNet::kRenameKeepBoth, net_code::kSavedUnderOtherName, {"v(2).bin", "v.bin", "v.tmp"}},
          Case{CNet::kRenameExistingAside, net_code::kExistingRenamed, {"v(2).bin", "v(3).bin", "v.bin", "v.tmp"}},
          Case{CNet::kRenameReplace, 0, {"v(2).bin", "v(3).bin", "v.bin", "v.tmp"}}}) {
        SCOPED_TRACE(c.mode);
        CNet net(options());
        int outcome = -1;
        std::u16string saved;
        EXPECT_EQ(
            net.download_via_temp(final_path, u"v", url("/bytes/3000"), u"", -1, -1, c.mode, nullptr, &outcome, &saved),
            1);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(files_in(dir), c.files);
        EXPECT_EQ(read_file(saved).size(), 3000u);
    }
    EXPECT_EQ(read_file(final_path).size(), 3000u);
    EXPECT_EQ(service().counter("requests /bytes/3000"), 3);
}

TEST_P(NetOverSocket, GetTextDecodesByModeAndDeclaration) {
    struct Case {
        const char* path;
        int mode;
        std::u16string_view expected;
    };
    for (const Case c :
         {Case{"/text/eucjp", 3, u"日本"}, Case{"/text/sjis", 3, u"日本"}, Case{"/text/sjis", 1, u"日本"},
          Case{"/text/utf8", 3, u"日本"}, Case{"/text/utf8", 1, u"譌･譛ｬ"}}) {
        SCOPED_TRACE(std::string(c.path) + " mode " + std::to_string(c.mode));
        CNet net(options());
        std::u16string text;
        ASSERT_EQ(net.get_text(c.mode, text, url(c.path), u"", u""), 0) << net.code();
        EXPECT_NE(text.find(c.expected), std::u16string::npos) << to_utf8(text);
    }
}

TEST_P(NetOverSocket, HeadReadsGiveTheBodyBackAndSniffTheType) {
    const CNetCookie flash{u"watch_flash", u"1"};
    struct Case {
        const char* id;
        std::u16string_view ext;
    };
    for (const Case c : {Case{"sm8", u".mp4"}, Case{"sm9", u".flv"}}) {
        SCOPED_TRACE(c.id);
        CNet net(options());
        net.open_url(url("/smile?v=") + from_utf8(c.id), u"", nullptr, &flash);
        ASSERT_EQ(net.send_request(CNet::kFlagReload, u""), 0);
        ASSERT_EQ(net.send(), 0) << net.code();
        ASSERT_EQ(net.status_code(), 200);
        std::u16string ext;
        EXPECT_EQ(net.sniff_extension(ext), 0);
        EXPECT_EQ(ext, c.ext);
        const long long length = net.content_length();
        std::string head;
        ASSERT_EQ(net.read_head(head), 0);
        std::string body;
        ASSERT_GT(net.read_all(body), 0);
        EXPECT_EQ(static_cast<long long>(body.size()), length);
        EXPECT_EQ(body.substr(0, head.size()), head);

        const std::u16string file = scratch_dir() + u"head.bin";
        std::ofstream(to_utf8(file), std::ios::binary) << body.substr(0, 2000);
        EXPECT_EQ(CNet::file_head_equals(file, body.substr(0, 1024)), 1);
        std::string other = body.substr(0, 1024);
        other[1023] ^= 1;
        EXPECT_EQ(CNet::file_head_equals(file, other), 0);
        EXPECT_EQ(CNet::file_head_equals(file, body.substr(0, 1000)), 0);
    }
    // Without the cookie the older server refuses the file. The explicit cookie went into the shared store,
    // as a browser's would, so the store is emptied first.
    net_clear_cookies();
    CNet net(options());
    net.open_url(url("/smile?v=sm9"));
    net.send_request(CNet::kFlagReload, u"");
    ASSERT_EQ(net.send(), 0);
    EXPECT_EQ(net.status_code(), 403);
    EXPECT_EQ(net.code(), net_code::kStatus403);
}

TEST_P(NetOverSocket, RangeRequestsResumeWithSeekAndChunks) {
    std::string whole;
    {
        CNet net(options());
        ASSERT_EQ(net.fetch(url("/bytes/300000"), u"", u"", u"GET", {}, nullptr, whole), 0);
        ASSERT_EQ(whole.size(), 300000u);
    }
    CNet net(options());
    net.open_url(url("/bytes/300000"));
    ASSERT_EQ(net.send_request(CNet::kFlagReload, u"Accept: */*\r\nRange: bytes=100000-\r\n"), 0);
    ASSERT_EQ(net.send(), 0);
    EXPECT_EQ(net.status_code(), 206);
    EXPECT_EQ(net.head_equals_file(u"/nonexistent/file"), 0);
    EXPECT_EQ(net.seek(1024), 0);
    std::string got(200000 - 1024, '\0');
    int at = 0;
    while (at < static_cast<int>(got.size())) {
        const int n = net.read_chunk(got.data() + at, std::min(4096, static_cast<int>(got.size()) - at));
        ASSERT_GT(n, 0);
        at += n;
    }
    char extra = 0;
    EXPECT_EQ(net.read_chunk(&extra, 1), 0);
    EXPECT_EQ(got, whole.substr(100000 + 1024));
    EXPECT_EQ(service().counter("range_requests"), 1);
}

TEST_P(NetOverSocket, HeaderBlockAddsEachNameOnceAndRejectsMalformedLines) {
    CNet net(options());
    std::string body;
    ASSERT_EQ(
        net.fetch(url("/echo"), u"?q=1", u"Accept: */*\r\nX-Test: one\r\nx-test: two\r\n", u"GET", {}, nullptr, body),
        0);
    EXPECT_NE(body.find("GET /echo?q=1"), std::string::npos);
    EXPECT_NE(body.find("X-Test: one"), std::string::npos);
    EXPECT_EQ(body.find("two"), std::string::npos);
    EXPECT_EQ(body.find("Content-Type"), std::string::npos);

    for (std::u16string_view bad : {u"no colon here\r\n", u"Bad Name: x\r\n",
                                    u"X: a\x01"
                                    u"b\r\n"}) {
        CNet other(options());
        other.open_url(url("/echo"));
        EXPECT_EQ(other.send_request(CNet::kFlagReload, bad), -1);
        EXPECT_EQ(other.code(), net_code::kHeaderAddFailed);
    }
}

TEST_P(NetOverSocket, LoginCookieGoesOutWithLaterRequestsAndRedirectsAreResults) {
    net_clear_cookies();
    std::u16string text;
    CNet first(options());
    ASSERT_EQ(first.get_text(3, text, url("/api/getflv/sm9"), u"", u""), 0);
    EXPECT_EQ(text, u"closed=1&done=true");

    CNet login(options());
    login.open_url(url("/secure/login"), u"?site=niconico");
    ASSERT_EQ(login.send_request(0, u"Accept: */*\r\n", u"POST"), 0);
    ASSERT_EQ(login.post_form("site=niconico&mail=quippet@example.invalid&password=vellichor"), 0) << login.code();
    EXPECT_EQ(login.status_code(), 302); // not followed
    EXPECT_EQ(login.code(), net_code::kStatusRedirect);
    login.close();
    EXPECT_EQ(net_cookie_value(u"127.0.0.1", u"user_session"), u"user_session_12345_0123456789abcdef0123456789abcdef");

    CNet after(options());
    ASSERT_EQ(after.get_text(3, text, url("/api/getflv/sm9"), u"", u""), 0);
    EXPECT_NE(text.find(u"thread_id=1000000009"), std::u16string::npos);
    net_clear_cookies();
}

TEST_P(NetOverSocket, SessionJsonAndHeartbeat) {
    CNet create(options());
    create.open_url(url("/api/sessions"), u"?_format=json");
    ASSERT_EQ(create.send_request(0, u"", u"POST"), 0);
    ASSERT_EQ(create.post_json(R"({"session":{"recipe_id":"nicovideo-sm9"}})"), 0);
    EXPECT_EQ(create.status_code(), 201);
    std::string answer;
    ASSERT_GT(create.read_all(answer), 0);
    const size_t at = answer.find("\"id\":\"");
    ASSERT_NE(at, std::string::npos);
    const std::string id = answer.substr(at + 6, answer.find('"', at + 6) - at - 6);
    CNet beat(options());
    beat.open_url(url("/api/sessions/" + id), u"?_format=json&_method=PUT");
    ASSERT_EQ(beat.send_request(0, u"", u"POST"), 0);
    ASSERT_EQ(beat.post_json(answer), 0);
    EXPECT_EQ(beat.status_code(), 200);
    EXPECT_EQ(service().counter("heartbeats"), 1);
}

TEST_P(NetOverSocket, BodiesInMemoryStopAtTheLimit) {
    CNetOptions small = options();
    small.max_body_bytes = 4096;
    CNet net(small);
    std::string body;
    EXPECT_EQ(net.fetch(url("/bytes/5000"), u"", u"", u"GET", {}, nullptr, body), -1);
    EXPECT_EQ(net.code(), net_code::kTooLarge);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(net.fetch(url("/bytes/4096"), u"", u"", u"GET", {}, nullptr, body), 0);
}

TEST_P(NetOverSocket, BodiesInMemoryCutShortAreFailures) {
    struct Case {
        const char* fault;
        int code;
    };
    for (const Case c : {Case{"truncate", net_code::kConnectionAborted}, Case{"reset", net_code::kConnectionReset},
                         Case{"stall-body", net_code::kTimeout}}) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(service().fault("/bytes/100000", c.fault, 20000));
        CNet net(options());
        std::string body;
        EXPECT_EQ(net.fetch(url("/bytes/100000"), u"", u"", u"GET", {}, nullptr, body), -1);
        EXPECT_EQ(net.code(), c.code);
        EXPECT_TRUE(body.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, NetOverSocket, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "https" : "http"; });

class NetTrust : public FakeServiceTest {};

TEST_F(NetTrust, CertificatesAreVerifiedAlways) {
    struct Case {
        const char* what;
        int port;
        bool with_ca;
        int code;
    };
    for (const Case c :
         {Case{"trusted through the extra file", service().https_port(), true, 0},
          Case{"system store only", service().https_port(), false, net_code::kConnectFailed},
          Case{"certificate nobody trusts", service().untrusted_port(), true, net_code::kConnectFailed}}) {
        SCOPED_TRACE(c.what);
        CNetOptions options = service().options();
        if (!c.with_ca) options.ca_file.clear();
        CNet net(options);
        std::string body;
        net.fetch(from_utf8("https://127.0.0.1:" + std::to_string(c.port) + "/"), u"", u"", u"GET", {}, nullptr, body);
        EXPECT_EQ(net.code(), c.code);
    }
}

TEST_F(NetTrust, ProxyModes) {
    // A proxy at a port where nothing listens: a request that goes through it is refused.
    const std::string saved = std::getenv("http_proxy") ? std::getenv("http_proxy") : "";
    setenv("http_proxy", "http://127.0.0.1:1", 1);
    unsetenv("no_proxy");
    struct Case {
        int mode;
        std::u16string proxy;
        int code;
    };
    for (const Case& c : {Case{CNetOptions::kProxySystem, u"", net_code::kConnectFailed},
                          Case{CNetOptions::kProxyDirect, u"", 0}, Case{CNetOptions::kProxyNamed, u"", 0},
                          Case{CNetOptions::kProxyNamed, u"127.0.0.1:1", net_code::kConnectFailed}}) {
        SCOPED_TRACE(c.mode);
        CNetOptions options = service().options();
        options.proxy_mode = c.mode;
        options.proxy = c.proxy;
        CNet net(options);
        std::string body;
        net.fetch(service().root(false) + u"/", u"", u"", u"GET", {}, nullptr, body);
        EXPECT_EQ(net.code(), c.code);
    }
    if (saved.empty())
        unsetenv("http_proxy");
    else
        setenv("http_proxy", saved.c_str(), 1);
}

TEST_F(NetTrust, UnreachableAndInvalidAddresses) {
    struct Case {
        std::u16string url;
        int code;
    };
    for (const Case& c :
         {Case{u"http://127.0.0.1:1/", net_code::kConnectFailed}, Case{u"http://", net_code::kInvalidUrl},
          Case{u"http://127.0.0.1:99999/", net_code::kInvalidUrl}}) {
        SCOPED_TRACE(to_utf8(c.url));
        CNet net(service().options());
        std::string body;
        EXPECT_EQ(net.fetch(c.url, u"", u"", u"GET", {}, nullptr, body), -1);
        EXPECT_EQ(net.code(), c.code);
    }
}

} // namespace
} // namespace quippet::test

namespace quippet::test {
namespace {

TEST_F(NetTrust, DebugDumpsGoToTheDebugFolderOnlyInDebugMode) {
    CNetOptions options;
    options.debug_folder = scratch_dir();
    net_debug_dump(options, u"getflvから取得した情報.txt", "off");
    EXPECT_TRUE(files_in(scratch_dir()).empty());
    options.debug = true;
    net_debug_dump(options, u"getflvから取得した情報.txt", "a=1\r\nb=2");
    net_debug_dump(options, u"../escape.txt", "x");
    EXPECT_EQ(files_in(scratch_dir()), (std::vector<std::string>{"デバッグモード：..／escape.txt",
                                                                 "デバッグモード：getflvから取得した情報.txt"}));
    std::ifstream in(to_utf8(scratch_dir() + u"デバッグモード：getflvから取得した情報.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a=1\r\nb=2");
}

} // namespace
} // namespace quippet::test
