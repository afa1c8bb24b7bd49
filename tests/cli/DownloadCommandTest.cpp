#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

class DownloadCommandTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        old_home_ = app_home();
    }
    void TearDown() override {
        set_service_root(u"");
        set_app_home(old_home_);
        FakeServiceTest::TearDown();
    }
    /// A command with the service's addresses, direct connections and no waits, in a home of its own.
    test::CommandRun quippet(const std::string& command, std::vector<std::string> args) {
        home_ = to_utf8(scratch_dir()) + "home";
        dl_ = home_ + "/dl";
        std::filesystem::create_directories(dl_);
        args.insert(args.begin(), {command,
                                   "--set",
                                   "OptionDialog/EN19=1",
                                   "--set",
                                   "OptionDialog/EN21=0",
                                   "--set",
                                   "OptionDialog/EN22=0",
                                   "--set",
                                   "OptionDialog/EN34=0",
                                   "--set",
                                   "OptionDialog/EN37=0",
                                   "--set",
                                   "OptionDialog/EN24=0",
                                   "--set",
                                   "OptionDialog/EN25=0",
                                   "--set",
                                   "OptionDialog/AN0=quippet@example.invalid",
                                   "--set",
                                   "OptionDialog/AN1=vellichor",
                                   "--folder",
                                   dl_});
        set_service_root(service().root(false));
        return test::run_quippet_in(home_, args);
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::u16string old_home_;
    std::string home_, dl_;
};

TEST_F(DownloadCommandTest, MixedListPrintsARowLineEachAndFailsForTheDeletedOne) {
    const auto run = quippet("download", {"--comments", "--info", "sm9", "sm10", "sm14", "sm13", "sm16"});
    EXPECT_EQ(run.code, 1) << run.err;
    const char* expected[] = {"○\tsm9\t", "△\tsm10\t", "○\tsm14\t", "○\tsm13\t", "○\tsm16\t"};
    size_t at = 0;
    for (const char* line : expected) {
        const size_t next = run.out.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << "\n" << run.out << run.err;
        at = next;
    }
    EXPECT_NE(run.out.find("\tコメントのDL完了／動画情報のDL完了\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\t0コメントの動画"), std::string::npos) << run.out;
    // Only what the flags named: no video beside the comment and information files.
    for (const auto& f : test::files_in(from_utf8(dl_)))
        EXPECT_TRUE(f.ends_with(".xml") || f.ends_with(".txt")) << f;
    CFileSP file;
    CCharW text;
    ASSERT_EQ(file.read_settings_text(from_utf8(home_ + "/cache/log/down.txt"), text), 0);
    const std::string history = to_utf8(text.view());
    EXPECT_NE(history.find("*w=0 m=0 o=0 c=3 t=0 i=3\t\t"), std::string::npos) << history;
    EXPECT_NE(run.err.find("5個のIDのDLを試みて、"), std::string::npos) << run.err;
}

TEST_F(DownloadCommandTest, AllGoodIsExitZeroAndUsageErrorsAreTwo) {
    const auto run = quippet("download", {"--thumbnail", "sm9"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("○\tsm9\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("サムネイル画像のDL完了"), std::string::npos) << run.out;
    EXPECT_EQ(quippet("download", {"--bogus", "sm9"}).code, 2);
    EXPECT_EQ(quippet("download", {}).code, 2);
}

TEST_F(DownloadCommandTest, ChainVisitsTheStartAndPrintsItsRow) {
    const auto run = quippet("chain", {"--thumbnail", "sm9"});
    EXPECT_NE(run.out.find("○\tsm9\t"), std::string::npos) << run.out << run.err;
    EXPECT_EQ(quippet("chain", {"--thumbnail", "nothing"}).code, 2);
}

} // namespace
} // namespace quippet
