#include "cli/LiveLogCommand.h"

#include "tests/support/CliRun.h"
#include "tests/text/TempFolder.h"
#include "text/Encoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quippet::cli {
namespace {

using test::read_bytes;
using test::TempFolder;

struct CommandResult {
    int code = -1;
    std::string out; ///< stdout and stderr, in that order
};

/// One `quippet --home HOME ARGS...` in this process.
CommandResult run_in(const TempFolder& home, std::vector<std::string> args) {
    const test::CommandRun r = test::run_quippet_in(home.path().string(), std::move(args));
    return {r.code, r.out + r.err};
}

std::string str(const std::filesystem::path& p) {
    return p.string();
}

TEST(LiveLogCommand, ConvertsTheSampleWithItsPreset) {
    TempFolder home;
    TempFolder out;
    const std::filesystem::path samples = std::filesystem::path(QUIPPET_SAMPLES_DIR) / "livelog";
    std::filesystem::create_directories(home.path() / "list");
    std::filesystem::copy_file(samples / "sample-30min.txt", home.path() / "list" / "sample-30min.txt");

    const CommandResult list = run_in(home, {"livelog-preset", "list"});
    EXPECT_EQ(list.code, 0) << list.out;
    EXPECT_EQ(list.out, "sample-30min\n");

    const CommandResult run =
        run_in(home, {"livelog", "--preset", "sample-30min", "--set", "OptionDialog/EN6=1", "--source",
                      str(samples / "live-thread-30min-cm.txt"), "--out-dir", str(out.path()), "--out-name", "sample"});
    ASSERT_EQ(run.code, 0) << run.out;
    EXPECT_NE(run.out.find("投稿日時のある行と見なした数：721\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("CM："), std::string::npos) << run.out;
    const std::string xml = read_bytes(from_utf8((out.path() / "sample.xml").string()));
    EXPECT_TRUE(xml.starts_with("<?xml")) << xml.substr(0, 200);
    EXPECT_NE(xml.find("1000ならBパートも神回"), std::string::npos);
    EXPECT_EQ(xml.find("Over 1000 Thread"), std::string::npos);
    EXPECT_EQ(xml.find(">>"), std::string::npos);

    // The NG-word file was created with its default content for the run.
    EXPECT_TRUE(std::filesystem::exists(home.path() / "設定：コンバートのNGワード.txt"));

    const CommandResult bad = run_in(home, {"livelog", "--preset", "nothing-here"});
    EXPECT_EQ(bad.code, 1) << bad.out;
    const CommandResult usage = run_in(home, {"livelog", "--bogus"});
    EXPECT_EQ(usage.code, 2) << usage.out;
}

TEST(LiveLogCommand, FailureWithoutPostsExitsOne) {
    TempFolder home;
    TempFolder out;
    test::write_bytes(from_utf8((out.path() / "empty.txt").string()), "ただの文章\n");
    const CommandResult run =
        run_in(home, {"livelog", "--source", str(out.path() / "empty.txt"), "--out-dir", str(out.path())});
    EXPECT_EQ(run.code, 1) << run.out;
    EXPECT_NE(run.out.find("変換元テキストを、実況のログとして解釈できませんでした"), std::string::npos) << run.out;
    EXPECT_EQ(test::listing(out.path()), "empty.txt\n");

    const CommandResult saved = run_in(home, {"livelog-preset", "save", "夜"});
    ASSERT_EQ(saved.code, 0) << saved.out;
    const CommandResult shown = run_in(home, {"livelog-preset", "show", "夜"});
    EXPECT_EQ(shown.code, 0);
    EXPECT_TRUE(shown.out.starts_with("有効\t×××××××\n日付\t2011\t1\t1\n")) << shown.out;
}

} // namespace
} // namespace quippet::cli
