#include "cli/RebuildCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/CliRun.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet::cli {
namespace {

using test::listing;
using test::read_bytes;
using test::TempFolder;
using test::write_bytes;

using test::CommandRun;

CommandRun quippet_run(const std::vector<std::string>& args) {
    return test::run_quippet(args);
}

const char* const kSamples[] = {"sm13800000-comments.xml", "sm24500001-comments.xml", "so29000000-comments.xml"};

class RebuildCommand : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
        for (const char* name : kSamples) {
            std::filesystem::copy_file(std::string(QUIPPET_SAMPLES_DIR) + "/" + name, path(name));
            originals_.push_back(read_bytes(from_utf8(path(name))));
        }
    }
    void TearDown() override { set_app_home(previous_home_); }

    std::string path(const std::string& name) const { return work_.path().string() + "/" + name; }
    void expect_inputs_unchanged() const {
        for (size_t i = 0; i < std::size(kSamples); ++i)
            EXPECT_EQ(read_bytes(from_utf8(path(kSamples[i]))), originals_[i]) << kSamples[i];
    }

    TempFolder home_;
    TempFolder work_;
    std::u16string previous_home_;
    std::vector<std::string> originals_;
};

TEST_F(RebuildCommand, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"rebuild"},
        {"rebuild", "--bogus", "a.xml"},
        {"rebuild", "a.xml", "--out-dir"},
        {"rebuild", "--out-dir", path("no-such-folder"), "a.xml"},
        {"rebuild", "--set", "Nowhere/XX1=2", "a.xml"},
    };
    for (const auto& args : cases) {
        const CommandRun r = quippet_run(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back();
        EXPECT_NE(r.err.find("Usage: quippet rebuild"), std::string::npos) << r.err;
    }
}

TEST_F(RebuildCommand, SamplesWithDefaultSettings) {
    const CommandRun r = quippet_run({"rebuild", path(kSamples[0]), path(kSamples[1]), path(kSamples[2])});
    EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find("3個のファイルで成功りゅん！"), std::string::npos) << r.out;
    const std::string files = listing(work_.path());
    EXPECT_NE(files.find("sm13800000-comments[1～60].xml"), std::string::npos) << files;
    EXPECT_NE(files.find("so29000000-comments[1～33].xml"), std::string::npos) << files;
    expect_inputs_unchanged();
}

TEST_F(RebuildCommand, DedupeAndLimitThroughSetGiveTheirReportLines) {
    const CommandRun r = quippet_run({"rebuild", "--set", "DividingDriver/CB52=1", "--set", "DividingDriver/CB58=1",
                                      "--set", "DividingDriver/CB60=1", "--set", "DividingDriver/EN75=5", "--set",
                                      "DividingDriver/CB64=1", path(kSamples[0])});
    EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find("内容や表示時間が重複っぽいコメントを削除：40件\n（総削除数：40件）\n"
                         "60コメントから、19コメントに制限して出力（毎分5コメ／計5分／飽和：2／不足：3）\n"),
              std::string::npos)
        << r.out;
    expect_inputs_unchanged();
}

TEST_F(RebuildCommand, NgListsThroughSetGiveTheirReportLines) {
    // The lists are plain text a user edits: an ID, and a word with the chained prefix.
    write_bytes(from_utf8(home_.path().string() + "/設定：ID削除リスト.txt"), "1029384\n");
    write_bytes(from_utf8(home_.path().string() + "/設定：再構成のNGワード.txt"), "【連鎖】これは良い\n");
    const CommandRun r = quippet_run({"rebuild", "--set", "DividingDriver/CB21=1", "--set", "DividingDriver/CB25=1",
                                      "--set", "DividingDriver/CB6=1", path(kSamples[0])});
    EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find("\nNGIDと一致したコメントを削除：11件\nNGワードを含むコメントを削除：5件\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nNGワード者と同一IDのコメントを削除："), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("コメントに制限して出力\n"), std::string::npos) << r.out;
    expect_inputs_unchanged();
}

TEST_F(RebuildCommand, MergedOutputGoesToOutDirAndFailuresGiveExitOne) {
    TempFolder out_dir;
    CommandRun r = quippet_run({"rebuild", "--set", "DividingDriver/CB48=1", "--set", "DividingDriver/CB49=1",
                                "--out-dir", out_dir.path().string(), path(kSamples[0]), path(kSamples[1])});
    EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_NE(listing(out_dir.path()).find("sm[1～124].xml"), std::string::npos) << listing(out_dir.path());

    // Without tail information a single file's output would be the input itself.
    r = quippet_run({"rebuild", "--set", "DividingDriver/CB5=1", "--set", "DividingDriver/CB6=1", path(kSamples[2])});
    EXPECT_EQ(r.code, kExitFailures) << r.out << r.err;
    EXPECT_NE(r.out.find("出力名が入力ファイルと同じため未出力"), std::string::npos) << r.out;
    expect_inputs_unchanged();
}

} // namespace
} // namespace quippet::cli
