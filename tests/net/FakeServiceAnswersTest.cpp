// The replacement service answers the requests the program makes of the video service in their formats:
// later issues build on these answers, so a drift here would show up as faults of the download side.
#include <string>

#include <gtest/gtest.h>

#include "FakeServiceFixture.h"
#include "net/Net.h"
#include "text/Encoding.h"

namespace quippet::test {
namespace {

class FakeServiceAnswers : public FakeServiceTest {
protected:
    std::string get(std::string_view path, int* status = nullptr, std::string_view verb = "GET",
                    std::string_view body = {}) {
        CNet net(service().options());
        std::string out;
        EXPECT_EQ(net.fetch(service().root(false) + from_utf8(path), u"", u"", from_utf8(verb), body, nullptr, out), 0)
            << path << " " << net.code();
        if (status) *status = net.last_status();
        return out;
    }
};

TEST_F(FakeServiceAnswers, EveryRequestOfTheServiceAnswersInItsFormat) {
    struct Case {
        const char* verb;
        const char* path;
        const char* body;
        int status;
        std::vector<const char*> contains;
    };
    const std::vector<Case> cases = {
        {"GET",
         "/api/getthumbinfo/sm9",
         "",
         200,
         {"<nicovideo_thumb_response status=\"ok\">", "<movie_type>flv</movie_type>", "<size_high>",
          "<tags domain=\"jp\">"}},
        {"GET", "/api/getthumbinfo/sm10", "", 200, {"status=\"fail\"", "<code>DELETED</code>"}},
        {"GET", "/api/getthumbinfo/sm11", "", 200, {"<code>NOT_FOUND</code>", "not found or invalid"}},
        {"GET", "/api/getthumbinfo/sm12", "", 200, {"<code>COMMUNITY</code>"}},
        {"GET", "/v3/video.array?v=sm9", "", 200, {"nicovideo_video_response", "<num_res>", "<area>tw</area>"}},
        {"GET", "/nicoapi/v1/video.array?v=sm11", "", 200, {"<count>0</count>"}},
        {"GET",
         "/watch/sm9",
         "",
         200,
         {"data-api-data=\"", "&quot;session_api&quot;", "&quot;smileInfo&quot;", "/login\""}},
        {"GET", "/watch/sm14", "", 200, {"&quot;dmcInfo&quot;:null"}},
        {"GET", "/watch/sm15", "", 200, {"&quot;smileInfo&quot;:{&quot;url&quot;:&quot;&quot;}"}},
        {"GET", "/watch/sm10", "", 404, {}},
        {"GET", "/api/getflv/sm9?as3=1&is_https=1", "", 200, {"closed=1"}},
        {"GET", "/api/getthreadkey?thread=1000000013", "", 200, {"threadkey=tk1000000013&force_184=1"}},
        {"GET", "/api/getthreadkey?thread=1000000009", "", 200, {"threadkey=&force_184="}},
        {"GET", "/api/getwaybackkey?thread=1000000009", "", 200, {"waybackkey="}},
        {"GET",
         "/api/getbgm?v=sm17&as3=1",
         "",
         200,
         {"<bgm_video status=\"ok\">", "<id>sm90001</id>", "<id>sm90002</id>"}},
        {"GET", "/api/getbgm?v=sm9&as3=1", "", 200, {"<code>NONEXIST</code>"}},
        {"POST",
         "/api/",
         "<thread res_from=\"-1000\" version=\"20061206\" thread=\"1000000019\" scores=\"1\"/>",
         200,
         {"last_res=\"1000000\"", "no=\"999001\"", "no=\"1000000\""}},
        {"POST",
         "/api/",
         "<thread res_from=\"-1000\" version=\"20061206\" thread=\"1000000018\" scores=\"1\" fork=\"1\"/>",
         200,
         {"投稿者コメント1", "投稿者コメント3"}},
        {"POST",
         "/api/",
         "<thread res_from=\"-1000\" version=\"20061206\" thread=\"1000000013\" scores=\"1\"/>",
         200,
         {"resultcode=\"9\""}},
        {"POST",
         "/api/",
         "<thread res_from=\"-1000\" version=\"20061206\" thread=\"1000000013\" threadkey=\"tk1000000013\" "
         "force_184=\"1\" scores=\"1\"/>",
         200,
         {"resultcode=\"0\"", "<chat "}},
        {"POST",
         "/api/",
         "<packet><thread thread=\"1000000009\" user_id=\"12345\" version=\"20090904\" scores=\"1\"/><thread_leaves "
         "thread=\"1000000009\" user_id=\"12345\" scores=\"1\">0-6:100,1000</thread_leaves></packet>",
         200,
         {"<leaf ", "no=\"10\"", "no=\"1009\""}},
        // Comment 500 of sm19 was posted 500 minutes after the video; asking one second later gives 1 to 500.
        {"POST",
         "/api/",
         "<thread when=\"1174781580\" waybackkey=\"wbk1000000019\" res_from=\"-1000\" version=\"20061206\" "
         "thread=\"1000000019\" scores=\"1\"/>",
         200,
         {"no=\"1\"", "no=\"500\"", "last_res=\"1000000\""}},
        {"POST",
         "/api/",
         "<thread when=\"1174781580\" waybackkey=\"wrong\" res_from=\"-1000\" version=\"20061206\" "
         "thread=\"1000000019\" scores=\"1\"/>",
         200,
         {"resultcode=\"11\""}},
        {"GET", "/thumb/9", "", 200, {"\xFF\xD8\xFF\xE0"}},
        {"GET", "/thumb/9.L", "", 404, {}},
        {"GET", "/thumb/8.L", "", 200, {"\xFF\xD8"}},
        {"GET", "/search/abc?page=2", "", 200, {"data-video-id=\"sm", "searchTotal", "?page=3"}},
        {"GET", "/tag/abc?page=4", "", 200, {"data-video-id=\"sm"}},
        {"GET", "/ranking/fav/daily/all?rss=2.0", "", 200, {"<rss version=\"2.0\">", "<link>http://127.0.0.1:"}},
        {"GET", "/mylist/0", "", 403, {"<p class=\"att\">非公開です</p>"}},
        {"GET", "/livetx/subback.html", "", 200, {"/l50\">1: "}},
        {"GET", "/livetx/kako/", "", 200, {"class=\"menu_here\"", "<p class=\"menu_link\"><a href=\"./kako0.html\">"}},
        {"GET",
         "/livetx/kako/kako1.html",
         "",
         200,
         {"<span class=\"filename\">", ".dat</span>", "<span class=\"lines\">"}},
        {"GET", "/schedule/index.html", "", 200, {"/watch/sm9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.path);
        int status = 0;
        const std::string answer = get(c.path, &status, c.verb, c.body);
        EXPECT_EQ(status, c.status);
        for (const char* part : c.contains)
            EXPECT_NE(answer.find(part), std::string::npos) << part << "\n" << answer.substr(0, 400);
    }
    EXPECT_EQ(service().counter("requests /api/"), 7);
}

TEST_F(FakeServiceAnswers, PastLogWalkOverAMillionCommentsEnds) {
    // Walk back from the newest comment of the 1,000,000-comment thread, 1000 at a time, for 5 steps: each
    // answer ends with the oldest comment of the one before (asked for at its date + 1 second).
    long long oldest_date = 1'173'108'780 + 19LL * 86400 + 1'000'000LL * 60 + 1;
    long long expected_last = 1'000'000;
    for (int step = 0; step < 5; ++step) {
        const std::string body = "<thread when=\"" + std::to_string(oldest_date) +
                                 "\" waybackkey=\"wbk1000000019\" res_from=\"-1000\" version=\"20061206\" "
                                 "thread=\"1000000019\" scores=\"1\"/>";
        const std::string answer = get("/api/", nullptr, "POST", body);
        const size_t first = answer.find("<chat ");
        ASSERT_NE(first, std::string::npos);
        const std::string first_no = "no=\"" + std::to_string(expected_last - 999) + "\"";
        EXPECT_NE(answer.find(first_no, first), std::string::npos);
        EXPECT_NE(answer.find("no=\"" + std::to_string(expected_last) + "\""), std::string::npos);
        const size_t date_at = answer.find("date=\"", first) + 6;
        oldest_date = std::stoll(answer.substr(date_at, answer.find('"', date_at) - date_at)) + 1;
        expected_last -= 999;
    }
}

TEST_F(FakeServiceAnswers, DeliverySessionAndOldServerServeTheVideoWithRanges) {
    int status = 0;
    const std::string created = get("/api/sessions?_format=json", &status, "POST",
                                    R"({"session":{"recipe_id":"nicovideo-sm8","content_id":"out1"}})");
    EXPECT_EQ(status, 201);
    const size_t uri = created.find("\"content_uri\":\"");
    ASSERT_NE(uri, std::string::npos);
    const std::string content = created.substr(uri + 15, created.find('"', uri + 15) - uri - 15);
    CNet net(service().options());
    std::string video;
    ASSERT_EQ(net.fetch(from_utf8(content), u"", u"Range: bytes=0-1023\r\n", u"GET", {}, nullptr, video), 0);
    EXPECT_EQ(net.last_status(), 206);
    EXPECT_EQ(video.size(), 1024u);
    EXPECT_EQ(video.substr(4, 4), "ftyp");
    // The old-server-only video has no session; the session-only video has no old-server file.
    get("/api/sessions?_format=json", &status, "POST", R"({"session":{"recipe_id":"nicovideo-sm14"}})");
    EXPECT_EQ(status, 400);
    get("/smile?v=sm15", &status);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(service().counter("sessions"), 1);
    EXPECT_EQ(service().counter("range_requests"), 1);
}

} // namespace
} // namespace quippet::test
