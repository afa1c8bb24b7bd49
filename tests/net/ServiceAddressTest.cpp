#include <sstream>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "cli/Cli.h"
#include "net/ServiceAddress.h"

namespace quippet {
namespace {

TEST(ServiceAddress, RebaseKeepsPathAndQuery) {
    struct Case {
        std::u16string_view url, root, expected;
    };
    for (const Case c : {Case{u"https://flapi.nicovideo.jp/api/getflv/", u"http://127.0.0.1:8080",
                              u"http://127.0.0.1:8080/api/getflv/"},
                         Case{u"http://flapi.nicovideo.jp/api/getthreadkey?thread=", u"https://127.0.0.1:9/",
                              u"https://127.0.0.1:9/api/getthreadkey?thread="},
                         Case{u"https://secure.nicovideo.jp/secure/login?site=niconico", u"http://h",
                              u"http://h/secure/login?site=niconico"},
                         Case{u"https://host?x=1", u"http://h:1/ignored/path", u"http://h:1?x=1"},
                         Case{u"no scheme here", u"http://h", u"no scheme here"},
                         Case{u"https://a/b", u"not a root", u"https://a/b"}}) {
        EXPECT_EQ(rebase_url(c.url, c.root), c.expected);
    }
    EXPECT_TRUE(is_service_root(u"http://127.0.0.1:8080"));
    EXPECT_TRUE(is_service_root(u"https://localhost/"));
    for (std::u16string_view bad : {u"ftp://h", u"http://", u"127.0.0.1:80", u"http://user@h", u"http://a b"})
        EXPECT_FALSE(is_service_root(bad));
}

TEST(ServiceAddress, EveryServiceSettingMovesOntoTheRoot) {
    CSettings settings;
    const CSettings before = settings;
    EXPECT_EQ(apply_service_root(settings, u""), 0);
    EXPECT_EQ(apply_service_root(settings, u"http://127.0.0.1:5"), 12);
    for (OptText key :
         {OptText::kLoginPage, OptText::kGetFlvHttp, OptText::kGetFlvHttps, OptText::kThreadKeyHttp,
          OptText::kThreadKeyHttps, OptText::kWaybackKeyHttp, OptText::kWaybackKeyHttps, OptText::kThumbInfoApi,
          OptText::kMobileApi, OptText::kWatchPage, OptText::kSearchUrl, OptText::kGetBgm}) {
        SCOPED_TRACE(static_cast<int>(key));
        const std::u16string& was = before.text(key);
        EXPECT_TRUE(settings.text(key).starts_with(u"http://127.0.0.1:5/"));
        EXPECT_EQ(settings.text(key).substr(18), was.substr(was.find(u'/', was.find(u"//") + 2)));
    }
    // Settings that are no addresses of the service stay.
    EXPECT_EQ(settings.text(OptText::kProxyAddress), before.text(OptText::kProxyAddress));
    EXPECT_EQ(apply_service_root(settings, u"http://127.0.0.1:5"), 0);
}

TEST(ServiceAddress, GlobalOptionsOfTheCommandLine) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::run({"--service-root", "ftp://x", "settings", "list"}, out, err), cli::kExitUsage);
    EXPECT_NE(err.str().find("--service-root"), std::string::npos);
    EXPECT_EQ(cli::run({"--ca-file"}, out, err), cli::kExitUsage);
    EXPECT_EQ(cli::run({"--service-root=http://127.0.0.1:7", "--ca-file", "/tmp/ca.pem", "--version"}, out, err),
              cli::kExitOk);
    EXPECT_EQ(service_root(), u"http://127.0.0.1:7");
    EXPECT_EQ(extra_ca_file(), u"/tmp/ca.pem");
    EXPECT_EQ(session_api_default_url(), u"http://127.0.0.1:7/api/sessions");
    CSettings settings;
    settings.set_number(OptNumber::kProxyMode, 2);
    settings.set_text(OptText::kProxyAddress, u"127.0.0.1:3128");
    const CNetOptions options = net_options_from_settings(settings);
    EXPECT_EQ(options.proxy_mode, CNetOptions::kProxyNamed);
    EXPECT_EQ(options.proxy, u"127.0.0.1:3128");
    EXPECT_EQ(options.ca_file, u"/tmp/ca.pem");
    set_service_root(u"");
    set_extra_ca_file(u"");
}

} // namespace
} // namespace quippet
