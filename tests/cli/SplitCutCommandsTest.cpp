#include "cli/SplitCutCommands.h"

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

using test::CommandRun;

/// Runs through the front end, as the terminal would.
CommandRun quippet_run(const std::vector<std::string>& args) {
    return test::run_quippet(args);
}

class SplitCutCommand : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
        sample_ = work_.path().string() + "/sm13800000-comments.xml";
        std::filesystem::copy_file(std::string(QUIPPET_SAMPLES_DIR) + "/sm13800000-comments.xml", sample_);
    }
    void TearDown() override { set_app_home(previous_home_); }

    std::string path(const std::string& name) const { return work_.path().string() + "/" + name; }

    TempFolder home_;
    TempFolder work_;
    std::u16string previous_home_;
    std::string sample_;
};

TEST_F(SplitCutCommand, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"split", "a.xml"},
        {"split", "--size", "20", "--auto", "a.xml"},
        {"split", "--size", "0", "a.xml"},
        {"split", "--size", "20"},
        {"split", "--set", "Nowhere/XX1=2", "--size", "20", "a.xml"},
        {"cut", "--from", "1", "a.xml"},
        {"cut", "--from", "-1", "--to", "3", "a.xml"},
    };
    for (const auto& args : cases) {
        const CommandRun r = quippet_run(args);
        EXPECT_EQ(r.code, kExitUsage) << r.err;
        EXPECT_NE(r.err.find("Usage: quippet " + args[0]), std::string::npos) << r.err;
    }
    EXPECT_EQ(listing(work_.path()), "sm13800000-comments.xml\n");
}

TEST_F(SplitCutCommand, SplitAndCutTheSample) {
    CommandRun r = quippet_run({"split", "--size", "25", sample_});
    ASSERT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find(sample_ + "：2個のファイルを出力（端数の10コメントは出力せず）"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sm13800000-comments.xmlの処理に成功"), std::string::npos) << r.out;
    const std::string part = read_bytes(from_utf8(path("sm13800000-comments［分割2］.xml")));
    EXPECT_NE(part.find("last_res=\"50\""), std::string::npos);

    // "同名時に上書" and the per-minute count come from --set; a missing file fails alone.
    r = quippet_run({"split", "--set", "OptionDialog/EN0=10", "--set", "DividingDriver/CB6=1", "--auto", sample_,
                     path("missing.xml")});
    EXPECT_EQ(r.code, kExitFailures);
    EXPECT_NE(r.out.find(sample_ + "：1個のファイルを出力（端数の20コメントは出力せず）"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing.xml：ファイルがオープンできません"), std::string::npos) << r.out;

    r = quippet_run({"cut", "--from", "5", "--to", "9", sample_});
    ASSERT_EQ(r.code, kExitOk) << r.out << r.err;
    const std::string cut = read_bytes(from_utf8(path("sm13800000-comments［切り出し5～9］.xml")));
    EXPECT_NE(cut.find("no=\"9\""), std::string::npos);
    EXPECT_EQ(cut.find("no=\"10\""), std::string::npos);
    EXPECT_EQ(quippet_run({"cut", "--from", "9", "--to", "5", sample_}).code, kExitFailures);
}

} // namespace
} // namespace quippet::cli
