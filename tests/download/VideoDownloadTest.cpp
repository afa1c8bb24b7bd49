#include "download/VideoDownload.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "net/Net.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/net/FakeServiceFixture.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;

/// A clock the test moves.
class StepClock : public VideoClock {
public:
    long long now_ms() const override { return now; }
    long long now = 1'000'000;
};

using test::MemoryReport;
using test::read_bytes;

class VideoDownloadTest : public test::FakeServiceTest {
protected:
    VideoOptions options() { return test::fake_video_options(service()); }
    CWorkMovieInfo info_of(const std::u16string& id, const VideoOptions& o) {
        CWorkMovieInfo info;
        info.id = id;
        MemoryReport r;
        int code = 0;
        fetch_api_info(info, u"", o.info, nullptr, r, code);
        fetch_watch_page(info, 0, {}, false, o.info, nullptr, r, code);
        return info;
    }
    VideoResult run(const std::u16string& id, const std::u16string& folder, const VideoOptions& o, MemoryReport& r) {
        CWorkMovieInfo info = info_of(id, o);
        VideoResult result;
        download_video(info, folder, id, o, owed_, clock_, nullptr, r, result);
        return result;
    }
    OwedBytes owed_;
    VideoClock clock_;
};

TEST(VideoSession, RequestBodyIsTheServersLineByteForByte) {
    CWorkMovieInfo info;
    info.player_id = u"\"p1\"";
    info.service_user_id = u"\"42\"";
    info.recipe_id = u"\"nicovideo-sm9\"";
    info.signature = u"\"sig\"";
    info.token = u"\"{\\\"a\\\":1}\"";
    info.ssl = 0;
    QualityChoice q;
    q.video = u"archive_h264_720p";
    q.audio = u"archive_aac_64kbps";
    EXPECT_EQ(session_request_body(info, q),
              "{\"session\":{\"client_info\":{\"player_id\":\"p1\"},\"content_auth\":{\"auth_type\":\"ht2\","
              "\"content_key_timeout\":600000,\"service_id\":\"nicovideo\",\"service_user_id\":\"42\"},"
              "\"content_id\":\"out1\",\"content_src_id_sets\":[{\"content_src_ids\":[{\"src_id_to_mux\":{\"audio_"
              "src_ids\":[\"archive_aac_64kbps\"],\"video_src_ids\":[\"archive_h264_720p\"]}}]}],\"content_type\":"
              "\"movie\",\"content_uri\":\"\",\"keep_method\":{\"heartbeat\":{\"lifetime\":120000}},\"priority\":0.8,"
              "\"protocol\":{\"name\":\"http\",\"parameters\":{\"http_parameters\":{\"parameters\":{\"http_output_"
              "download_parameters\":{\"use_ssl\":\"no\",\"use_well_known_port\":\"yes\",\"transfer_preset\":\"\"}}}}}"
              ",\"recipe_id\":\"nicovideo-sm9\",\"session_operation_auth\":{\"session_operation_auth_by_signature\":{"
              "\"signature\":\"sig\",\"token\":\"{\\\"a\\\":1}\"}},\"timing_constraint\":\"unlimited\"}}");
}

TEST(VideoSession, AnswerNeedsIdAndContentUri) {
    DeliverySession s;
    ASSERT_TRUE(read_session_answer(
        R"({"meta":{"status":201},"data":{"session":{"id":"ab1","content_uri":"http:\/\/h\/d?x=1"}}})", u"http://h/s",
        s));
    EXPECT_EQ(s.heartbeat_url, u"http://h/s/ab1?_format=json&_method=PUT");
    EXPECT_EQ(s.content_uri, u"http://h/d?x=1");
    EXPECT_EQ(s.session_json, R"({"session":{"id":"ab1","content_uri":"http:\/\/h\/d?x=1"}})");
    for (const char* bad : {R"({"data":{"session":{"id":"ab1"}}})", R"({"data":{"session":{"content_uri":"u"}}})",
                            R"({"session":{"id":"a","content_uri":"u"}})", ""})
        EXPECT_FALSE(read_session_answer(bad, u"http://h/s", s)) << bad;
}

TEST(VideoQualityChoice, LimitsOfTheDropDown) {
    const std::vector<std::u16string> videos = {u"archive_h264_1080p_6000kbps", u"archive_h264_720p_2000kbps",
                                                u"archive_h264_360p_600kbps", u"archive_h264_360p_300kbps"};
    const std::vector<std::u16string> audios = {u"archive_aac_192kbps", u"archive_aac_64kbps"};
    struct Case {
        VideoQuality quality;
        const char16_t* video;
        const char16_t* audio;
        bool best;
    };
    for (const Case& c : {Case{VideoQuality::kDefault, u"archive_h264_1080p_6000kbps", u"archive_aac_192kbps", true},
                          Case{VideoQuality::k720, u"archive_h264_720p_2000kbps", u"archive_aac_192kbps", false},
                          Case{VideoQuality::k540, u"archive_h264_360p_600kbps", u"archive_aac_192kbps", false},
                          Case{VideoQuality::k360Low, u"archive_h264_360p_600kbps", u"archive_aac_64kbps", false}}) {
        QualityChoice q;
        ASSERT_TRUE(choose_quality(videos, audios, static_cast<int>(c.quality), false, q));
        EXPECT_EQ(q.video, c.video) << static_cast<int>(c.quality);
        EXPECT_EQ(q.audio, c.audio) << static_cast<int>(c.quality);
        EXPECT_EQ(q.best, c.best) << static_cast<int>(c.quality);
    }
    // The emergency option takes the lists as they come, whatever their order.
    QualityChoice q;
    ASSERT_TRUE(choose_quality({u"b_360p", u"a_1080p"}, audios, 0, true, q));
    EXPECT_EQ(q.video, u"b_360p");
    EXPECT_FALSE(choose_quality({}, audios, 0, false, q));
}

TEST(VideoQualityChoice, LowQualityModeIsTheBestWithinTheLimitsMissing) {
    const std::vector<std::u16string> site_videos = {u"v_1080p", u"v_720p", u"v_360p"};
    const std::vector<std::u16string> site_audios = {u"a_192kbps", u"a_64kbps"};
    struct Case {
        std::vector<std::u16string> videos, audios;
        VideoQuality quality;
        int code;
        const char16_t* missing;
    };
    for (const Case& c : {Case{{u"v_720p", u"v_360p"}, site_audios, VideoQuality::kDefault, 246, u"v_1080p"},
                          Case{{u"v_720p", u"v_360p"}, site_audios, VideoQuality::k720, 0, u""},
                          Case{site_videos, {u"a_64kbps"}, VideoQuality::kDefault, 247, u"a_192kbps"},
                          Case{site_videos, {u"a_64kbps"}, VideoQuality::k360Low, 0, u""},
                          Case{site_videos, site_audios, VideoQuality::kDefault, 0, u""}}) {
        QualityChoice offered;
        ASSERT_TRUE(choose_quality(c.videos, c.audios, static_cast<int>(c.quality), false, offered));
        std::u16string missing;
        EXPECT_EQ(low_quality_check(site_videos, site_audios, offered, static_cast<int>(c.quality), false, missing),
                  c.code);
        EXPECT_EQ(missing, c.missing);
    }
    // Without the page's lists there is nothing to compare with.
    std::u16string missing;
    EXPECT_EQ(low_quality_check({}, {}, QualityChoice{}, 0, false, missing), 0);
}

TEST(VideoOwedBytes, OthersExcludeTheAsker) {
    OwedBytes owed;
    int a = 0, b = 0, c = 0;
    owed.set(&a, 100);
    owed.set(&b, 50);
    owed.set(&c, -5);
    EXPECT_EQ(owed.others(&a), 50);
    EXPECT_EQ(owed.others(&b), 100);
    owed.remove(&b);
    EXPECT_EQ(owed.others(&a), 0);
}

TEST_F(VideoDownloadTest, HeartbeatsAtZeroEightyAndOneSixtySeconds) {
    const VideoOptions o = options();
    const CWorkMovieInfo info = info_of(u"sm9", o);
    QualityChoice q;
    ASSERT_TRUE(choose_quality(info.video_qualities, info.audio_qualities, 0, false, q));
    StepClock clock;
    DeliverySession s;
    MemoryReport r;
    int code = 0;
    ASSERT_EQ(create_session(info, q, o, clock, s, r, code), 0) << code;
    struct Step {
        long long at_s;
        long long heartbeats;
    };
    for (const Step& step :
         {Step{0, 1}, Step{1, 1}, Step{79, 1}, Step{80, 2}, Step{159, 2}, Step{160, 3}, Step{161, 3}}) {
        clock.now = s.start_ms + step.at_s * 1000;
        heartbeat(s, o, clock, r);
        EXPECT_EQ(service().counter("heartbeats"), step.heartbeats) << step.at_s << " s";
    }
}

TEST_F(VideoDownloadTest, SessionDownloadSavesTheWholeFile) {
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, options(), r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    ASSERT_TRUE(res.saved);
    EXPECT_EQ(test::files_in(dir), std::vector<std::string>{"sm9.flv"});
    EXPECT_EQ(static_cast<long long>(read_bytes(res.path).size()), info_of(u"sm9", options()).size_high);
    EXPECT_EQ(service().counter("sessions"), 1);
    EXPECT_GE(service().counter("heartbeats"), 1);
    EXPECT_EQ(service().counter("range_requests"), 0);
}

TEST_F(VideoDownloadTest, SessionWithoutContentUriFallsBackToTheOlderServer) {
    ASSERT_TRUE(service().fault("/api/sessions", "no-content-uri"));
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, options(), r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    EXPECT_TRUE(r.logged(msg::kSessionFailed));
    EXPECT_TRUE(r.logged(msg::kTryingOldServer));
    EXPECT_EQ(service().counter("requests /smile"), 1);
    EXPECT_EQ(service().counter("heartbeats"), 0);
}

TEST_F(VideoDownloadTest, OldServerOnlyVideoNeedsTheFlashCookie) {
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm14", dir, options(), r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    EXPECT_TRUE(res.saved);
}

TEST_F(VideoDownloadTest, ResetAtFortyPercentResumesWithOneRangeRequest) {
    const VideoOptions o = options();
    const std::u16string id = u"sm20000064";
    const long long size = 64LL << 20;
    ASSERT_TRUE(service().fault("/deliver/*", "reset", size * 4 / 10));
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(id, dir, o, r);
    ASSERT_EQ(res.code, msg::kVideoSaved);
    EXPECT_TRUE(r.logged(msg::kResumeSeamOk));
    EXPECT_EQ(service().counter("range_requests"), 1);
    // One transfer up to the reset, the head read again for the resume search, then the rest.
    EXPECT_LT(service().counter("bytes_served"), size + size / 4);
    const std::string got = read_bytes(res.path);
    ASSERT_EQ(static_cast<long long>(got.size()), size);
    // The same video fetched whole in another folder is the reference.
    service().reset();
    const std::u16string ref_dir = scratch_dir() + u"/ref";
    fs::create_directories(to_fs_path(ref_dir));
    MemoryReport r2;
    const VideoResult ref = run(id, ref_dir, o, r2);
    ASSERT_EQ(ref.code, msg::kVideoSaved);
    EXPECT_TRUE(got == read_bytes(ref.path));
    EXPECT_EQ(test::files_in(dir), (std::vector<std::string>{"ref", to_utf8(id) + ".flv"}));
}

TEST_F(VideoDownloadTest, StopKeepsTheStoppedFileAndTheNextRunCompletesIt) {
    VideoOptions o = options();
    o.buffer_kb = 16;
    const std::u16string id = u"sm20000004";
    ASSERT_TRUE(service().fault("/deliver/*", "slow", 5, 1));
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    r.stop_after = 3;
    const VideoResult first = run(id, dir, o, r);
    EXPECT_TRUE(first.stopped);
    const auto left = test::files_in(dir);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with(to_utf8(id) + ".flv：DLを中止した不完全ファイル(")) << left[0];
    service().reset();
    MemoryReport r2;
    const VideoResult second = run(id, dir, o, r2);
    ASSERT_EQ(second.code, msg::kVideoSaved);
    EXPECT_EQ(service().counter("range_requests"), 1);
    EXPECT_EQ(test::files_in(dir), std::vector<std::string>{to_utf8(id) + ".flv"});
    const std::string got = read_bytes(second.path);
    const std::u16string ref_dir = dir + u"/ref";
    fs::create_directories(to_fs_path(ref_dir));
    MemoryReport r3;
    const VideoResult ref = run(id, ref_dir, o, r3);
    ASSERT_EQ(ref.code, msg::kVideoSaved);
    EXPECT_TRUE(got == read_bytes(ref.path));
}

TEST_F(VideoDownloadTest, RangeAnsweredWithTwoHundredStartsOver) {
    VideoOptions o = options();
    o.buffer_kb = 16;
    const std::u16string dir = scratch_dir();
    ASSERT_TRUE(service().fault("/deliver/*", "slow", 5));
    MemoryReport r;
    r.stop_after = 2;
    const VideoResult first = run(u"sm9", dir, o, r);
    EXPECT_TRUE(first.stopped);
    ASSERT_EQ(test::files_in(dir).size(), 1u); // the partial file, resumable
    service().reset();
    ASSERT_TRUE(service().fault("/deliver/*", "ignore-range", 0, 5));
    MemoryReport r2;
    const VideoResult second = run(u"sm9", dir, o, r2);
    EXPECT_EQ(second.code, msg::kVideoSaved);
    EXPECT_TRUE(r2.logged(msg::kStatus200OnResume));
    const long long size = info_of(u"sm9", o).size_high;
    EXPECT_EQ(static_cast<long long>(read_bytes(dir + u"/sm9.flv").size()), size);
}

TEST_F(VideoDownloadTest, PartialFileWithAnotherHeadIsNotResumed) {
    const VideoOptions o = options();
    const std::u16string dir = scratch_dir();
    {
        std::ofstream f(to_fs_path(dir + u"/sm9.flv：DL中のファイル(5000／9)"), std::ios::binary);
        f << std::string(5000, 'x');
    }
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, o, r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    EXPECT_EQ(service().counter("range_requests"), 0);
    EXPECT_EQ(static_cast<long long>(read_bytes(res.path).size()), info_of(u"sm9", o).size_high);
}

TEST_F(VideoDownloadTest, TinyFileIsReportedAndRenamed) {
    VideoOptions o = options();
    o.retry_count = 1;
    ASSERT_TRUE(service().fault("/deliver/*", "wrong-length", 700, 100));
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, o, r);
    EXPECT_EQ(res.code, msg::kVideoTooSmall);
    EXPECT_FALSE(res.saved);
    EXPECT_EQ(test::files_in(dir), std::vector<std::string>{"sm9.flv：ファイルサイズ異常"});
}

TEST_F(VideoDownloadTest, FreeSpaceBelowTheSettingStopsBeforeAnyTransfer) {
    VideoOptions o = options();
    o.free_space_mb = 1LL << 40;
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, o, r);
    EXPECT_EQ(res.code, msg::kFreeSpaceShort);
    EXPECT_TRUE(test::files_in(dir).empty());
    EXPECT_EQ(service().counter("bytes_served") < 100000, true);
}

TEST_F(VideoDownloadTest, ForbiddenFirstTransferGetsAFreshAddress) {
    ASSERT_TRUE(service().fault("/deliver/*", "status", 403));
    const std::u16string dir = scratch_dir();
    MemoryReport r;
    const VideoResult res = run(u"sm9", dir, options(), r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    EXPECT_EQ(service().counter("sessions"), 2);
}

TEST_F(VideoDownloadTest, LowQualityModeIsSkippedOnlyWhenAsked) {
    VideoOptions o = options();
    const std::u16string dir = scratch_dir();
    o.skip_low_quality = true;
    MemoryReport r;
    VideoResult res = run(u"sm27", dir, o, r);
    EXPECT_EQ(res.code, msg::kLowQualityVideo);
    EXPECT_TRUE(res.skipped);
    EXPECT_TRUE(r.logged(msg::kLowQualityVideo));
    EXPECT_EQ(service().counter("sessions"), 0);
    test::write_bytes(dir + u"/sm27.flv", "old");
    res = run(u"sm27", dir, o, r);
    EXPECT_EQ(res.code, msg::kLowQualityVideoSameName);
    fs::remove(to_fs_path(dir + u"/sm27.flv"));
    o.skip_low_quality = false;
    res = run(u"sm27", dir, o, r);
    EXPECT_EQ(res.code, msg::kVideoSaved);
    EXPECT_EQ(test::files_in(dir), std::vector<std::string>{"sm27.mp4"});
    // sm9 is offered whole: the switch changes nothing there.
    o.skip_low_quality = true;
    EXPECT_EQ(run(u"sm9", dir, o, r).code, msg::kVideoSaved);
}

TEST_F(VideoDownloadTest, ExistingFileRules) {
    const VideoOptions base = options();
    const long long size = info_of(u"sm9", base).size_high;
    struct Case {
        long long existing; ///< size of a saved sm9.mp4, -1 none
        OtherSizeRule rule;
        int code;
        int log;
        std::vector<std::string> files;
    };
    const std::vector<Case> cases = {
        {size, OtherSizeRule::kSkip, msg::kVideoSavedBefore, msg::kType4_1, {"sm9.flv"}},
        {77, OtherSizeRule::kSkip, msg::kOtherSizeSkipped, msg::kType7_2, {"sm9.flv"}},
        {77,
         OtherSizeRule::kSaveAside,
         msg::kSavedAside,
         msg::kType7_4,
         {"sm9.flv", "sm9：既存ファイルと別名で保存.flv"}},
        {77,
         OtherSizeRule::kRenameExisting,
         msg::kOtherSizeRenamed,
         msg::kType7_3,
         {"sm9.flv", "sm9：同名別サイズ動画の保存時にリネーム.flv"}},
        {-1, OtherSizeRule::kSkip, msg::kVideoSaved, msg::kType3_1, {"sm9.flv"}},
    };
    for (const Case& c : cases) {
        service().reset();
        const std::u16string dir = scratch_dir() + u"/" + decimal_text(static_cast<int>(&c - cases.data()));
        fs::create_directories(to_fs_path(dir));
        if (c.existing >= 0) {
            std::ofstream f(to_fs_path(dir + u"/sm9.flv"), std::ios::binary);
            f << std::string(static_cast<size_t>(c.existing), 'e');
        }
        VideoOptions o = base;
        o.other_size_rule = static_cast<int>(c.rule);
        MemoryReport r;
        const VideoResult res = run(u"sm9", dir, o, r);
        EXPECT_EQ(res.code, c.code) << c.log;
        EXPECT_TRUE(r.logged(c.log)) << c.log;
        EXPECT_EQ(test::files_in(dir), c.files) << c.log;
    }
}

} // namespace
} // namespace quippet
