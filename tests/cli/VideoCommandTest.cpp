#include <filesystem>

#include <gtest/gtest.h>

#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

class VideoCommandTest : public test::FakeServiceTest {};

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

} // namespace
} // namespace quippet
