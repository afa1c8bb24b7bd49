#include "download/CommentDownload.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "tests/download/CommentTestSupport.h"
#include "resources/Messages.h"
#include "tests/fakeservice/Catalogue.h"
#include "tests/net/FakeServiceFixture.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr const char16_t* kSession = u"user_session_12345_0123456789abcdef0123456789abcdef";

class MemoryReport : public NetReport {
public:
    void log(std::u16string_view text) override { lines.emplace_back(text); }
    void debug(std::u16string_view text) override { lines.emplace_back(text); }
    void progress(std::u16string_view text) override {
        progress_lines.emplace_back(text);
        if (text.starts_with(message_text(msg::kPastLogsProgress))) ++walk_updates;
    }
    bool stop_requested() const override { return stop_after >= 0 && walk_updates >= stop_after; }
    void sleep_ms(int) override {}
    bool has(std::u16string_view text, bool in_progress = false) const {
        for (const auto& l : in_progress ? progress_lines : lines)
            if (l.find(text) != std::u16string::npos) return true;
        return false;
    }
    std::vector<std::u16string> lines, progress_lines;
    int walk_updates = 0;
    int stop_after = -1;
};

std::string read_bytes(const std::u16string& path) {
    std::ifstream in(to_fs_path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using test::comment_numbers;
using test::number_range;

class CommentDownloadTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        home_before_ = app_home();
        set_app_home(scratch_dir());
        net_clear_cookies();
        log_in();
        folder_ = scratch_dir() + u"out";
        std::filesystem::create_directories(to_fs_path(folder_));
    }
    void TearDown() override {
        net_clear_cookies();
        set_app_home(home_before_);
        FakeServiceTest::TearDown();
    }
    void log_in() { net_set_cookie(service().root(false) + u"/", u"user_session", kSession); }

    CommentOptions options() {
        CSettings settings;
        apply_service_root(settings, service().root(false));
        CommentOptions o = comment_options_from(settings);
        o.net = o.info.net = o.login.net = service().options();
        o.retry_wait_s = 0;
        o.interval_ms = 0;
        return o;
    }
    CWorkMovieInfo info_of(const std::u16string& id, const CommentOptions& o) {
        CWorkMovieInfo info;
        info.id = id;
        MemoryReport r;
        int code = 0;
        fetch_api_info(info, u"", o.info, nullptr, r, code);
        return info;
    }
    int run(const std::u16string& id, const CommentOptions& o, CommentResult& result, MemoryReport& report,
            CWorkMovieInfo* given = nullptr) {
        CWorkMovieInfo info = given ? *given : info_of(id, o);
        return fetch_comments(info, folder_, id, o, nullptr, report, result);
    }
    std::string saved(const std::u16string& id) { return read_bytes(folder_ + u"/" + id + u".xml"); }

    std::u16string folder_;
    std::u16string home_before_;
};

TEST_F(CommentDownloadTest, LatestByCountIsSavedWithItsLastNumber) {
    CommentOptions o = options();
    o.per_request = 100;
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm9", o, result, report), 1) << result.code;
    EXPECT_EQ(result.code, msg::kCommentsDone);
    EXPECT_EQ(result.written, 100);
    const std::string file = saved(u"sm9");
    EXPECT_EQ(comment_numbers(file), number_range(910, 1009));
    EXPECT_NE(file.find("last_res=\"1009\""), std::string::npos);
    EXPECT_TRUE(file.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(file.ends_with("</packet>"));
    // No key was needed, so none was sent.
    EXPECT_EQ(service().counter("comment threadkey attributes"), 0);
    EXPECT_EQ(service().counter("requests /api/getthreadkey"), 0);

    // A thread that needs a key gets one and answers with comments.
    CommentResult keyed;
    ASSERT_EQ(run(u"sm13", o, keyed, report), 1) << keyed.code;
    EXPECT_EQ(service().counter("comment threadkey attributes"), 1);
    EXPECT_TRUE(report.has(message_text(msg::kThreadKeyProgress), true));
}

TEST_F(CommentDownloadTest, ByMinuteWithoutLengthFallsBackToTheCountRequest) {
    CommentOptions o = options();
    o.mode = CommentMode::kByMinute;
    o.per_request = 50;
    CWorkMovieInfo info = info_of(u"sm9", o);
    CommentResult known;
    MemoryReport report;
    ASSERT_EQ(run(u"sm9", o, known, report, &info), 1);
    EXPECT_EQ(known.secondary_code, 0);
    EXPECT_GT(known.written, 50); // 100 a minute

    CWorkMovieInfo no_length = info_of(u"sm26", o);
    ASSERT_EQ(no_length.length_seconds, -1);
    CommentResult unknown;
    ASSERT_EQ(run(u"sm26", o, unknown, report, &no_length), 1) << unknown.code;
    EXPECT_EQ(unknown.secondary_code, msg::kLengthUnknownByCount);
    EXPECT_EQ(unknown.written, 50);
    EXPECT_TRUE(report.has(message_text(msg::kLengthUnknownByCount)));
}

TEST_F(CommentDownloadTest, LimitAboveTheHighestNumberFetchesNothingOlder) {
    CommentOptions o = options();
    o.past_logs = true;
    o.limit_on = true;
    o.limit = 1000;
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm25", o, result, report), 1) << result.code;
    EXPECT_EQ(comment_numbers(saved(u"sm25")), number_range(1, 800));
    EXPECT_EQ(service().counter("comment requests at a moment"), 0);
    EXPECT_EQ(service().counter("requests /api/getwaybackkey"), 0);

    // A limit below what the latest answer holds keeps the newest numbers only, still without a walk.
    o.limit = 300;
    o.per_request = 500;
    ASSERT_EQ(run(u"sm25", o, result, report), 1);
    EXPECT_EQ(comment_numbers(saved(u"sm25")), number_range(501, 800));
    EXPECT_EQ(service().counter("comment requests at a moment"), 0);
}

TEST_F(CommentDownloadTest, EmptyPastLogAnswersAreRetriedTwiceThen253) {
    CommentOptions o = options();
    o.past_logs = true;
    o.per_request = 400;
    // The latest comments' request takes one fault of the count too, without effect.
    ASSERT_TRUE(service().fault("/api/", "empty-pastlog", 0, 4));
    CommentResult result;
    MemoryReport report;
    EXPECT_EQ(run(u"sm9", o, result, report), -1);
    EXPECT_EQ(result.code, msg::kPastLogAbnormal);
    EXPECT_EQ(service().counter("comment requests at a moment"), 3);
    EXPECT_TRUE(report.has(u"過去ログの取得で 1/2 のリトライ"));
    EXPECT_TRUE(report.has(u"過去ログの取得で 2/2 のリトライ"));
    EXPECT_FALSE(std::filesystem::exists(to_fs_path(folder_ + u"/sm9.xml")));

    // Two empty answers and then a good one: the walk goes on to number 1.
    ASSERT_TRUE(service().reset());
    ASSERT_TRUE(service().fault("/api/", "empty-pastlog", 0, 3));
    CommentResult again;
    ASSERT_EQ(run(u"sm9", o, again, report), 1) << again.code;
    EXPECT_EQ(comment_numbers(saved(u"sm9")), number_range(1, 1009));
}

TEST_F(CommentDownloadTest, DenseThreadIsWalkedBackToNumberOneAsTheServiceHoldsIt) {
    CommentOptions o = options();
    o.past_logs = true;
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm21", o, result, report), 1) << result.code;
    EXPECT_EQ(result.written, 5000);
    const std::string file = saved(u"sm21");
    const CommentAnswer read = read_comment_answer(file);
    ASSERT_EQ(read.chats.size(), 5000u);
    fakeservice::Video v;
    ASSERT_TRUE(fakeservice::find_video("sm21", v));
    for (int no = 1; no <= 5000; ++no) {
        const ChatSpan& s = read.chats[static_cast<size_t>(no - 1)];
        ASSERT_EQ(std::string_view(file).substr(s.begin, s.length), fakeservice::chat_element(v, no, false)) << no;
    }
    EXPECT_NE(file.find("last_res=\"5000\""), std::string::npos);
    EXPECT_TRUE(report.has(message_text(msg::kPastLogsJoining), true));
    EXPECT_TRUE(report.has(u"/5000", true)); // the two counters of the walk

    // A stop between two requests ends the walk with nothing written.
    std::filesystem::remove(to_fs_path(folder_ + u"/sm21.xml"));
    MemoryReport stopping;
    stopping.stop_after = 2;
    CommentResult stopped;
    EXPECT_EQ(run(u"sm21", o, stopped, stopping), -2);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(std::filesystem::exists(to_fs_path(folder_ + u"/sm21.xml")));
}

TEST_F(CommentDownloadTest, HostileThreadsEndWithTheirCodes) {
    CommentOptions o = options();
    o.past_logs = true;
    o.per_request = 500;
    MemoryReport report;
    // Comments 1 and 2 never come: the walk ends by the retry rule instead of asking forever.
    CommentResult lost;
    EXPECT_EQ(run(u"sm23", o, lost, report), -1);
    EXPECT_EQ(lost.code, msg::kPastLogAbnormal);
    EXPECT_LE(service().counter("comment requests at a moment"), 10);

    CommentResult one;
    ASSERT_EQ(run(u"sm22", o, one, report), 1) << one.code;
    EXPECT_EQ(comment_numbers(saved(u"sm22")), std::vector<int>{1});

    // A last_res below the numbers the answer holds does not make the thread look unchanged.
    o.past_logs = false;
    o.skip_unchanged = true;
    o.skip_increase_below = 1;
    std::ofstream(to_fs_path(folder_ + u"/sm24.xml")) << "<packet><chat no=\"1000\" vpos=\"1\" date=\"1\"/></packet>";
    CommentResult lying;
    ASSERT_EQ(run(u"sm24", o, lying, report), 1) << lying.code;
    EXPECT_TRUE(lying.saved);
    EXPECT_NE(saved(u"sm24").find("last_res=\"1024\""), std::string::npos);

    CommentResult none;
    EXPECT_EQ(run(u"sm16", o, none, report), -1);
    EXPECT_EQ(none.code, msg::kZeroCommentsProbably);

    // An error page served as a success is no thread, and no "0 comments" either.
    ASSERT_TRUE(service().fault("/api/", "status", 200, 1));
    CommentResult page;
    EXPECT_EQ(run(u"sm9", o, page, report), -1);
    EXPECT_EQ(page.code, msg::kNoPacketTag);
}

TEST_F(CommentDownloadTest, SkipRulesDecideBeforeAndAfterTheLatestComments) {
    CommentOptions o = options();
    o.skip_unchanged = true;
    o.skip_increase_below = 5;
    const std::string kept = "<packet><chat no=\"1005\" vpos=\"1\" date=\"1\"/></packet>";
    std::ofstream(to_fs_path(folder_ + u"/sm9.xml")) << kept;
    CWorkMovieInfo info = info_of(u"sm9", o);
    ASSERT_EQ(info.comments, 1009);
    CommentResult before;
    MemoryReport report;
    EXPECT_EQ(run(u"sm9", o, before, report, &info), 1);
    EXPECT_TRUE(before.skipped);
    EXPECT_EQ(before.code, msg::kFewNewComments);
    EXPECT_EQ(service().counter("requests /api/"), 0);

    // The listed count is old; the thread's own count decides once it is known.
    info.comments = 1200;
    CommentResult after;
    EXPECT_EQ(run(u"sm9", o, after, report, &info), 1);
    EXPECT_EQ(after.code, msg::kFewNewComments);
    EXPECT_EQ(service().counter("requests /api/"), 1);
    EXPECT_EQ(read_bytes(folder_ + u"/sm9.xml"), kept);

    // A past moment is never skipped.
    o.past_moment = true;
    o.moment = posted_seconds(info.posted) + 600;
    CommentResult moment;
    ASSERT_EQ(run(u"sm9", o, moment, report, &info), 1) << moment.code;
    EXPECT_EQ(comment_numbers(saved(u"sm9")), number_range(1, 10));
    o.moment = posted_seconds(info.posted) - 1;
    CommentResult early;
    EXPECT_EQ(run(u"sm9", o, early, report, &info), -1);
    EXPECT_EQ(early.code, msg::kMomentBeforePosting);
}

TEST_F(CommentDownloadTest, GetflvFailuresAndTheLoginPath) {
    CommentOptions o = options();
    MemoryReport report;
    net_clear_cookies();
    CommentResult closed;
    EXPECT_EQ(run(u"sm9", o, closed, report), -1);
    EXPECT_EQ(closed.code, msg::kLoginNotShared);
    EXPECT_EQ(closed.video_code, 0);

    // With login details the login is made and getflv asked again.
    o.login.mail = u"quippet@example.invalid";
    o.login.password = u"vellichor";
    o.login.entry.keywords = u"NOGET login=AUTO hogo=AUTO";
    CookieStore store;
    CWorkMovieInfo info = info_of(u"sm9", o);
    CommentResult logged;
    EXPECT_EQ(fetch_comments(info, folder_, u"sm9", o, &store, report, logged), 1) << logged.code;
    EXPECT_EQ(service().counter("logins"), 1);

    CommentResult missing;
    EXPECT_EQ(run(u"sm11", o, missing, report), -1);
    EXPECT_EQ(missing.code, msg::kProbablyNoSuchVideo);

    // A request that fails sets all three codes; a video saved under the name turns it into 199.
    ASSERT_TRUE(service().fault("/api/getflv/*", "status", 503, 2));
    CommentResult down;
    EXPECT_EQ(run(u"sm8", o, down, report), -1);
    EXPECT_EQ(down.code, net_code::kStatus503);
    EXPECT_EQ(down.video_code, net_code::kStatus503);
    EXPECT_EQ(down.secondary_code, net_code::kStatus503);
    std::ofstream(to_fs_path(folder_ + u"/sm8.mp4")) << "video";
    CommentResult have_video;
    EXPECT_EQ(run(u"sm8", o, have_video, report), -1);
    EXPECT_EQ(have_video.code, 0);
    EXPECT_EQ(have_video.secondary_code, msg::kUndeliverableSameName);
}

TEST_F(CommentDownloadTest, FailedRequestsAreTriedAgainAfterTheCountdown) {
    CommentOptions o = options();
    o.retry_wait_s = 1;
    o.retry_count = 3;
    ASSERT_TRUE(service().fault("/api/", "status", 503, 2));
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm9", o, result, report), 1) << result.code;
    EXPECT_TRUE(report.has(u"待機中（残り1秒）", true));
    EXPECT_EQ(service().counter("requests /api/"), 3);

    ASSERT_TRUE(service().fault("/api/", "status", 503, 3));
    CommentResult failed;
    EXPECT_EQ(run(u"sm9", o, failed, report), -1);
    EXPECT_EQ(failed.code, net_code::kStatus503);
}

TEST_F(CommentDownloadTest, UploaderCommentsHaveTheirOwnNameAndChecks) {
    CommentOptions o = options();
    MemoryReport report;
    CWorkMovieInfo info = info_of(u"sm18", o);
    CommentResult owner;
    ASSERT_EQ(fetch_owner_comments(info, folder_, o, nullptr, report, owner), 1) << owner.code;
    EXPECT_EQ(owner.code, msg::kOwnerDone);
    EXPECT_TRUE(owner.path.ends_with(u"(sm18)[Owner].xml")) << to_utf8(owner.path);
    EXPECT_EQ(comment_numbers(read_bytes(owner.path)), number_range(1, 3));

    CWorkMovieInfo plain = info_of(u"sm9", o);
    CommentResult none;
    EXPECT_EQ(fetch_owner_comments(plain, folder_, o, nullptr, report, none), 0);
    EXPECT_EQ(none.code, msg::kOwnerNone);

    // A failed request is tried again; an answer cut short by the server is no uploader comment file, and
    // is not asked for again.
    ASSERT_TRUE(service().fault("/api/", "status", 503, 1));
    CommentResult retried;
    EXPECT_EQ(fetch_owner_comments(info, folder_, o, nullptr, report, retried), 1) << retried.code;
    EXPECT_TRUE(report.has(message_text(msg::kOwnerRetryProgress), true));
    EXPECT_EQ(service().counter("requests /api/"), 4);
    ASSERT_TRUE(service().fault("/api/", "wrong-length", 60, 1));
    CommentResult cut;
    MemoryReport once;
    EXPECT_EQ(fetch_owner_comments(info, folder_, o, nullptr, once, cut), -1);
    EXPECT_EQ(cut.code, msg::kOwnerFetchFailed);
    EXPECT_EQ(service().counter("requests /api/"), 5);
    EXPECT_FALSE(once.has(message_text(msg::kOwnerRetryProgress), true));
}

TEST_F(CommentDownloadTest, StartPointWalksFromThatMomentAndKeepsTheLatest) {
    CommentOptions o = options();
    o.past_logs = true;
    o.start_point = true;
    o.start_hours = 5; // 300 comments, one a minute
    o.per_request = 100;
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm9", o, result, report), 1) << result.code;
    std::vector<int> expected = number_range(1, 300);
    for (int n : number_range(910, 1009))
        expected.push_back(n);
    EXPECT_EQ(comment_numbers(saved(u"sm9")), expected);
}

TEST_F(CommentDownloadTest, PlayerDataAndTheLooseSearchForASavedFile) {
    CommentOptions o = options();
    o.per_request = 10;
    o.add_player_data = true;
    CommentResult result;
    MemoryReport report;
    ASSERT_EQ(run(u"sm9", o, result, report), 1) << result.code;
    const std::string file = saved(u"sm9");
    EXPECT_NE(file.find("<!-- BoonSutazioData=sm9 -->"), std::string::npos) << file.substr(0, 300);
    EXPECT_EQ(comment_numbers(file), number_range(1000, 1009));

    std::filesystem::remove(to_fs_path(folder_ + u"/sm9.xml"));
    for (const char* name : {"/タイトル(sm90).xml", "/タイトル(sm9)[Owner].xml", "/別名(sm9)［分割1］.xml"})
        std::ofstream(to_fs_path(folder_ + from_utf8(name))) << "<packet></packet>";
    EXPECT_EQ(find_saved_comment_file(folder_, u"タイトル(sm9)", u"sm9", o), u"");
    o.fuzzy_saved_match = true;
    // The ID alone is enough, but not the ID of another video that begins with it, nor the uploader's file.
    EXPECT_EQ(find_saved_comment_file(folder_, u"タイトル(sm9)", u"sm9", o), folder_ + u"/別名(sm9)［分割1］.xml");
    EXPECT_EQ(find_saved_comment_file(folder_, u"タイトル(sm9", u"sm7", o), folder_ + u"/タイトル(sm90).xml");
}

} // namespace
} // namespace quippet
