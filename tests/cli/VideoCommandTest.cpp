#include <filesystem>

#include <gtest/gtest.h>

#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

class VideoCommandTest : public test::FakeServiceTest {
protected:
    /// `quippet video` with the service's addresses, no waits and no free-space margin, into scratch/out.
    test::CommandRun video(std::vector<std::string> args) {
        const std::string home = to_utf8(scratch_dir()) + "home";
        out_ = to_utf8(scratch_dir()) + "out";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(out_);
        args.insert(args.begin(), {"video", "--set", "OptionDialog/EN37=0", "--set", "OptionDialog/EN19=1", "--set",
                                   "OptionDialog/EN34=0", "--out-dir", out_});
        set_service_root(service().root(false));
        auto run = test::run_quippet_in(home, args);
        set_service_root(u"");
        return run;
    }
    std::vector<std::string> saved() { return test::files_in(from_utf8(out_)); }
    std::string out_;
};

TEST_F(VideoCommandTest, SavesVideosAndReportsEachOne) {
    const std::u16string dir = scratch_dir();
    const std::string home = to_utf8(dir) + "/home";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(to_utf8(dir) + "/out");
    set_service_root(service().root(false));
    const auto run =
        test::run_quippet_in(home, {"video", "--set", "OptionDialog/EN37=0", "--set", "OptionDialog/EN19=1", "--set",
                                    "OptionDialog/EN34=0", "--out-dir", to_utf8(dir) + "/out", "sm8", "sm10"});
    set_service_root(u"");
    EXPECT_EQ(run.code, 1) << run.err; // sm10 is deleted
    EXPECT_NE(run.out.find("sm8\t91\t動画のDL完了\t"), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.out.find("sm10\t133\t"), std::string::npos) << run.out;
    const auto files = test::files_in(dir + u"/out");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].ends_with("(sm8).mp4")) << files[0];
}

TEST_F(VideoCommandTest, ThumbnailAndNicowariBesideTheVideo) {
    const auto run = video({"--thumbnail", "--nicowari", "sm17", "sm9"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("sm17\t91\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sm17\tthumbnail\t86\tサムネイル画像のDL完了\t" + out_ + "/"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sm17\tnicowari\t181\tニコ割のDL完了\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sm9\tnicowari\t182\tニコ割のない動画\n"), std::string::npos) << run.out;
    // Two videos, two thumbnails, two clips.
    EXPECT_EQ(saved().size(), 6u);
}

TEST_F(VideoCommandTest, SeveralAtOnceReportInTheGivenOrder) {
    const auto run = video({"--set", "OptionDialog/EN36=3", "sm20000003", "sm10", "sm20000002", "sm8"});
    EXPECT_EQ(run.code, 1) << run.err;
    const size_t a = run.out.find("sm20000003\t91\t"), b = run.out.find("sm10\t133\t"),
                 c = run.out.find("sm20000002\t91\t"), d = run.out.find("sm8\t91\t");
    ASSERT_NE(d, std::string::npos) << run.out << run.err;
    EXPECT_TRUE(a < b && b < c && c < d) << run.out;
    EXPECT_EQ(saved().size(), 3u);
    EXPECT_EQ(service().counter("sessions"), 3);
}

} // namespace
} // namespace quippet
