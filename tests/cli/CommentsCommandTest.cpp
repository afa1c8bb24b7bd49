#include <filesystem>

#include <gtest/gtest.h>

#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

class CommentsCommandTest : public test::FakeServiceTest {
protected:
    void TearDown() override {
        set_service_root(u"");
        net_clear_cookies();
        FakeServiceTest::TearDown();
    }
};

TEST_F(CommentsCommandTest, SavesEachVideosCommentsAndReportsEveryFile) {
    const std::u16string dir = scratch_dir();
    const std::string home = to_utf8(dir) + "/home";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(to_utf8(dir) + "/out");
    set_service_root(service().root(false));
    net_set_cookie(service().root(false) + u"/", u"user_session",
                   u"user_session_12345_0123456789abcdef0123456789abcdef");
    // No proxy, no waits between requests, 500 comments a request.
    const auto run =
        test::run_quippet_in(home, {"comments", "--set", "OptionDialog/EN19=1", "--set", "OptionDialog/EN23=500",
                                    "--set", "OptionDialog/EN24=0", "--past-logs", "--owner-comments", "--folder",
                                    to_utf8(dir) + "/out", "sm18", "sm11"});
    EXPECT_EQ(run.code, 1) << run.err; // sm11 does not exist
    EXPECT_NE(run.out.find("sm18\t60\tコメントのDL完了\t"), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.out.find("sm18[Owner]\t76\t投稿者コメントのDL完了\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sm11\t175\tたぶん存在しない動画\n"), std::string::npos) << run.out;
    const auto files = test::files_in(dir + u"/out");
    ASSERT_EQ(files.size(), 2u) << run.out;
    EXPECT_TRUE(files[0].ends_with("(sm18).xml")) << files[0];
    EXPECT_TRUE(files[1].ends_with("(sm18)[Owner].xml")) << files[1];
    EXPECT_GT(std::filesystem::file_size(to_utf8(dir) + "/out/" + files[0]), 100'000u); // all 1018 comments
}

TEST_F(CommentsCommandTest, UsageErrors) {
    EXPECT_EQ(test::run_quippet({"comments"}).code, 2);
    EXPECT_EQ(test::run_quippet({"comments", "--folder", "/nonexistent-folder-x", "sm9"}).code, 2);
    EXPECT_EQ(test::run_quippet({"comments", "--bogus", "sm9"}).code, 2);
}

} // namespace
} // namespace quippet
