#include "download/Nicowari.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/net/FakeServiceFixture.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;
using test::MemoryReport;
using test::read_bytes;

TEST(NicowariAddress, QueryJoinsTheSettingsOwn) {
    EXPECT_EQ(getbgm_address(u"https://h/api/getbgm?v=", u"sm17"), u"https://h/api/getbgm?v=sm17&as3=1");
    EXPECT_EQ(getbgm_address(u"https://h/api/getbgm/", u"sm17"), u"https://h/api/getbgm/sm17?as3=1");
}

TEST(NicowariAnswer, StatesOfTheAnswer) {
    const std::u16string head = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    auto failing = [&](const char16_t* code) {
        return head + u"<bgm_video status=\"fail\"><error><code>" + code + u"</code></error></bgm_video>";
    };
    auto bgm = [](const char16_t* id, const char16_t* url) {
        return std::u16string(u"<bgm><id>") + id + u"</id><url>" + url + u"</url></bgm>";
    };
    struct Case {
        std::u16string answer;
        int rc;
        BgmState state;
        int code;
        size_t entries;
    };
    const std::vector<Case> cases = {
        {failing(u"NONEXIST"), 0, BgmState::kNone, msg::kNoNicowari, 0},
        {failing(u"PARAMERROR"), 0, BgmState::kNoneByParamError, msg::kNoNicowariProbably, 0},
        {failing(u"DELETED"), 0, BgmState::kNotDownloadable, msg::kNicowariUndeliverable, 0},
        {head + u"<bgm_video status=\"ok\">" + bgm(u"sm1", u"http://h/a") + bgm(u"sm1", u"http://h/b") +
             bgm(u"sm2", u"http://h/c?x=1&amp;y=2") + u"</bgm_video>",
         1, BgmState::kOk, 0, 2},
        {head + u"<bgm_video status=\"ok\"></bgm_video>", -1, BgmState::kNoId, msg::kBgmNoId, 0},
        // Entries that would name files or fetch from elsewhere are no entries.
        {head + u"<bgm_video status=\"ok\">" + bgm(u"../x", u"http://h/a") + bgm(u"sm3", u"file:///etc/passwd") +
             u"</bgm_video>",
         -1, BgmState::kNoId, msg::kBgmNoId, 0},
        {u"<html>maintenance</html>", -1, BgmState::kUnexpected, msg::kBgmUnexpected, 0},
        {u"", -1, BgmState::kUnexpected, msg::kBgmUnexpected, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.answer));
        NicowariInfo info;
        EXPECT_EQ(read_getbgm_answer(c.answer, InfoRules::defaults(), info), c.rc);
        EXPECT_EQ(info.state, c.state);
        EXPECT_EQ(info.code, c.code);
        EXPECT_EQ(info.entries.size(), c.entries);
    }
    NicowariInfo info;
    ASSERT_EQ(read_getbgm_answer(cases[3].answer, InfoRules::defaults(), info), 1);
    EXPECT_EQ(info.entries[0].id, u"sm1");
    EXPECT_EQ(info.entries[0].url, u"http://h/a"); // the first of an ID counts
    EXPECT_EQ(info.entries[1].url, u"http://h/c?x=1&y=2");
}

TEST(NicowariAnswer, RulesOfTheUserFileWinAndMissingOnesComeFromTheDefaults) {
    // A rules file of the time before getbgm was read knows none of its keys.
    const InfoRules old = InfoRules::parse(u"ﾚｽﾎﾟﾝｽ\t属性値\tnicovideo_thumb_response\tstatus\r\n");
    NicowariInfo info;
    EXPECT_EQ(read_getbgm_answer(u"<bgm_video status=\"ok\"><bgm><id>sm5</id><url>http://h/5</url></bgm></bgm_video>",
                                 old, info),
              1);
    // A changed format followed by the user's own rule.
    const InfoRules edited = InfoRules::parse(u"BGMﾚｽ\t属性値\tbgm_response\tresult\r\nBGM成功\tsuccess\r\n");
    EXPECT_EQ(read_getbgm_answer(
                  u"<bgm_response result=\"success\"><bgm><id>sm6</id><url>http://h/6</url></bgm></bgm_response>",
                  edited, info),
              1);
    EXPECT_EQ(info.entries.at(0).id, u"sm6");
}

class NicowariTest : public test::FakeServiceTest {
protected:
    NicowariOptions options(const std::u16string& getbgm_path = u"/api/getbgm?v=") {
        CSettings settings;
        NicowariOptions o = nicowari_options_from(settings);
        o.getbgm_url = service().root(false) + getbgm_path;
        o.video = test::fake_video_options(service());
        return o;
    }
    OwedBytes owed_;
    VideoClock clock_;
    MemoryReport report_;
};

TEST_F(NicowariTest, EachListedClipOnceWhicheverAddressForm) {
    for (const char16_t* path : {u"/api/getbgm?v=", u"/api/getbgm/"}) {
        SCOPED_TRACE(to_utf8(path));
        NicowariInfo info;
        ASSERT_EQ(fetch_nicowari_info(u"sm17", options(path), nullptr, report_, info), 1);
        EXPECT_EQ(info.state, BgmState::kOk);
        ASSERT_EQ(info.entries.size(), 2u);
        EXPECT_EQ(info.entries[0].id, u"sm90001");
        EXPECT_EQ(info.entries[1].id, u"sm90002");
    }
    NicowariInfo none;
    EXPECT_EQ(fetch_nicowari_info(u"sm9", options(), nullptr, report_, none), 0);
    EXPECT_EQ(none.code, msg::kNoNicowari);
    // A failed request keeps the HTTP code.
    ASSERT_TRUE(service().fault("/api/getbgm", "status", 503));
    EXPECT_EQ(fetch_nicowari_info(u"sm17", options(), nullptr, report_, none), -1);
    EXPECT_EQ(none.state, BgmState::kNetworkFailure);
    EXPECT_NE(none.code, 0);
}

TEST_F(NicowariTest, ClipsAreSavedWholeThenFoundSaved) {
    const NicowariOptions o = options();
    NicowariInfo info;
    ASSERT_EQ(fetch_nicowari_info(u"sm17", o, nullptr, report_, info), 1);
    const std::u16string dir = scratch_dir();
    NicowariResult result;
    ASSERT_EQ(save_nicowari(info, dir, o, owed_, clock_, nullptr, report_, result), 0);
    EXPECT_EQ(result.code, msg::kNicowariSaved);
    ASSERT_EQ(result.saved, 2);
    const auto files = test::files_in(dir);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].ends_with("(sm90001).mp4")) << files[0];
    EXPECT_TRUE(files[1].ends_with("(sm90002).mp4")) << files[1];
    for (const auto& path : result.paths) {
        CWorkMovieInfo clip;
        clip.id = path.find(u"sm90001") != std::u16string::npos ? u"sm90001" : u"sm90002";
        int code = 0;
        fetch_api_info(clip, u"", o.video.info, nullptr, report_, code);
        EXPECT_EQ(static_cast<long long>(read_bytes(path).size()), clip.size_high);
    }
    EXPECT_EQ(owed_.others(nullptr), 0);

    service().reset();
    NicowariResult again;
    ASSERT_EQ(save_nicowari(info, dir, o, owed_, clock_, nullptr, report_, again), 0);
    EXPECT_EQ(again.code, msg::kNicowariSavedBefore);
    EXPECT_EQ(service().counter("requests /nicowari/sm90001"), 0);
}

TEST_F(NicowariTest, AStopEndsTheLoopAndKeepsThePartialFile) {
    NicowariOptions o = options();
    o.video.buffer_kb = 16;
    NicowariInfo info;
    ASSERT_EQ(fetch_nicowari_info(u"sm17", o, nullptr, report_, info), 1);
    ASSERT_TRUE(service().fault("/nicowari/*", "slow", 5, 2));
    const std::u16string dir = scratch_dir();
    MemoryReport stopping;
    stopping.stop_after = 2;
    NicowariResult result;
    EXPECT_EQ(save_nicowari(info, dir, o, owed_, clock_, nullptr, stopping, result), -2);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.saved, 0);
    const auto files = test::files_in(dir);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files[0].find("：DLを中止した不完全ファイル("), std::string::npos) << files[0];
    EXPECT_EQ(service().counter("requests /nicowari/sm90002"), 0);
}

} // namespace
} // namespace quippet
