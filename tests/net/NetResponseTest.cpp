// What the client reads out of an answer: every lookup must fail cleanly on a hostile one.
#include <gtest/gtest.h>
#include <curl/curl.h>

#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetResponse.h"

namespace quippet::netresp {
namespace {

TEST(NetResponse, StatusLines) {
    struct Case {
        std::string_view line;
        int status;
    };
    for (const Case c : {Case{"HTTP/1.1 200 OK\r\n", 200}, Case{"HTTP/1.0 404\r\n", 404}, Case{"HTTP/2 503 ", 503},
                         Case{"HTTP/1.1 099 x", 99}, Case{"HTTP/1.1 2000 OK", -1}, Case{"HTTP/1.1 20 OK", -1},
                         Case{"HTTP/1.1 2x0 OK", -1}, Case{"ICY 200 OK", -1}, Case{"HTTP/1.1", -1}, Case{"", -1}}) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(parse_status_line(c.line), c.status);
    }
}

TEST(NetResponse, StatusClasses) {
    struct Case {
        int status;
        int code;
    };
    for (const Case c : {Case{200, 0}, Case{206, 0}, Case{299, 0}, Case{100, 219}, Case{304, 215}, Case{302, 215},
                         Case{403, 155}, Case{404, 156}, Case{429, 216}, Case{400, 216}, Case{500, 218}, Case{502, 220},
                         Case{503, 157}, Case{504, 217}, Case{99, 154}, Case{600, 154}, Case{-1, 154}}) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(status_class_code(c.status), c.code);
    }
}

TEST(NetResponse, HeaderLookupAndContentLength) {
    const std::string_view block = "HTTP/1.1 200 OK\r\ncontent-length: 12\r\nX-A:  a b \r\nbroken line\r\n"
                                   "Content-Length: 34\r\n\r\n";
    std::string value;
    ASSERT_TRUE(find_header(block, "Content-Length", value));
    EXPECT_EQ(value, "34"); // the last one counts
    ASSERT_TRUE(find_header(block, "x-a", value));
    EXPECT_EQ(value, "a b");
    EXPECT_FALSE(find_header(block, "broken line", value));
    EXPECT_FALSE(find_header(block, "HTTP/1.1 200 OK", value));

    struct Case {
        std::string_view text;
        long long n;
    };
    for (const Case c : {Case{"0", 0}, Case{" 1024 ", 1024}, Case{"9007199254740992", 9007199254740992LL},
                         Case{"9007199254740993", -1}, Case{"-1", -1}, Case{"1e3", -1}, Case{"", -1},
                         Case{"12345678901234567", -1}, Case{"0x10", -1}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_content_length(c.text), c.n);
    }
}

TEST(NetResponse, SniffedExtensions) {
    struct Case {
        std::string_view head;
        std::string_view ext;
    };
    using namespace std::string_view_literals;
    for (const Case c : {Case{"FLV\x01rest"sv, ".flv"},
                         Case{"\0\0\0\x18"
                              "ftypmp42"sv,
                              ".mp4"},
                         Case{"CWS\x0a"sv, ".swf"}, Case{"FWS"sv, ".swf"}, Case{"ZWS"sv, ""}, Case{"FL"sv, ""},
                         Case{"\0\0\0\x18"
                              "ftyp"sv,
                              ".mp4"},
                         Case{"\0\0\0\x18"
                              "fty"sv,
                              ""},
                         Case{""sv, ""}}) {
        EXPECT_EQ(sniff_extension(c.head), c.ext);
    }
}

TEST(NetResponse, UrlSplitAndHeaderLines) {
    struct Case {
        std::u16string_view url;
        std::u16string_view server;
        std::u16string_view object;
    };
    for (const Case c :
         {Case{u"http://host", u"host", u""}, Case{u"https://host:8443/a/b?c=d", u"host:8443", u"/a/b?c=d"},
          Case{u"host/x", u"host", u"/x"}, Case{u"http://", u"", u""}}) {
        std::u16string server, object;
        split_url(c.url, server, object);
        EXPECT_EQ(server, c.server);
        EXPECT_EQ(object, c.object);
    }
    EXPECT_TRUE(is_valid_header_line("Accept: */*"));
    EXPECT_TRUE(is_valid_header_line("X-Empty:"));
    EXPECT_FALSE(is_valid_header_line(": x"));
    EXPECT_FALSE(is_valid_header_line("Two Words: x"));
    EXPECT_FALSE(is_valid_header_line("X: a\nInjected: b"));
    EXPECT_EQ(header_name("Range : bytes=0-"), "Range");
}

TEST(NetResponse, TransportErrorsMapToTheErrorTable) {
    struct Case {
        CURLcode curl;
        int code;
        bool pause;
    };
    for (const Case c : {Case{CURLE_OPERATION_TIMEDOUT, 56, true}, Case{CURLE_URL_MALFORMAT, 57, false},
                         Case{CURLE_COULDNT_RESOLVE_HOST, 54, false}, Case{CURLE_COULDNT_CONNECT, 55, false},
                         Case{CURLE_PEER_FAILED_VERIFICATION, 55, false}, Case{CURLE_SSL_CONNECT_ERROR, 55, false},
                         Case{CURLE_GOT_NOTHING, 58, true}, Case{CURLE_PARTIAL_FILE, 58, true},
                         Case{CURLE_RECV_ERROR, 59, true}, Case{CURLE_WEIRD_SERVER_REPLY, 161, false},
                         Case{CURLE_UNSUPPORTED_PROTOCOL, 161, false}, Case{CURLE_OUT_OF_MEMORY, 53, false}}) {
        SCOPED_TRACE(static_cast<int>(c.curl));
        bool pause = !c.pause;
        EXPECT_EQ(net_error_code(c.curl, &pause), c.code);
        EXPECT_EQ(pause, c.pause);
    }
}

} // namespace
} // namespace quippet::netresp
