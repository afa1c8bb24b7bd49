#include "cli/PresetCommand.h"

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

constexpr const char* kSample = "sm13800000-comments.xml";

/// The command line as a user types it, with the test's home.
class PresetCommand : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        std::filesystem::copy_file(std::string(QUIPPET_SAMPLES_DIR) + "/" + kSample, sample());
    }
    void TearDown() override { set_app_home(previous_home_); }

    CommandRun quippet(std::vector<std::string> args) const { return test::run_quippet_in(home(), std::move(args)); }
    std::string home() const { return home_.path().string(); }
    std::string sample() const { return work_.path().string() + "/" + kSample; }
    std::string ngid_bytes() const { return read_bytes(from_utf8(home() + "/設定：ID削除リスト.txt")); }
    void set_ngid(std::string_view bytes) const { write_bytes(from_utf8(home() + "/設定：ID削除リスト.txt"), bytes); }

    TempFolder home_;
    TempFolder work_;
    std::u16string previous_home_;
};

TEST_F(PresetCommand, SaveListShowLoadThroughTheSettingsFile) {
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/CB60", "1"}).code, kExitOk);
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/EN75", "42"}).code, kExitOk);
    set_ngid("\xFF\xFEsaved");
    CommandRun r = quippet({"preset", "save", "週末"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("saved " + home() + "/set/週末.ini"), std::string::npos) << r.out;

    r = quippet({"preset", "save", "アニメ"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(quippet({"preset", "list"}).out, "アニメ\n週末\n");

    r = quippet({"preset", "show", "週末"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("DividingDriver\tCB60\tswitch\t1\t（6）コメント数制限\tする\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DividingDriver\tEN75\tnumber(0..999999999)\t42\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("file\t.ngid\tpresent\t"), std::string::npos) << r.out;

    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/EN75", "9"}).code, kExitOk);
    set_ngid("\xFF\xFE"
             "changed");
    r = quippet({"preset", "load", "週末"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(quippet({"settings", "get", "DividingDriver/EN75"}).out, "42\n");
    EXPECT_EQ(quippet({"settings", "get", "DividingDriver/ES2"}).out, "週末\n");
    EXPECT_EQ(ngid_bytes(), "\xFF\xFEsaved");
}

TEST_F(PresetCommand, UsageErrorsAndUnknownPresets) {
    std::filesystem::create_directories(home() + "/set");
    write_bytes(from_utf8(home() + "/set/gone.bak"), "[DividingDriver]\n");
    const std::vector<std::vector<std::string>> cases = {
        {"preset"},
        {"preset", "load"},
        {"preset", "load", "nope"},
        {"preset", "show", "nope"},
        {"preset", "save", "a/b"},
        {"preset", "save", ".."},
        {"preset", "bogus", "x"},
        {"preset", "load", "gone"},
        {"rebuild", "--preset", "nope", sample()},
        {"rebuild", "--preset"},
        {"rebuild", "--preset", "../x", sample()},
    };
    for (const auto& args : cases) {
        const CommandRun r = quippet(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back() << r.err;
        EXPECT_NE(r.err.find("Usage: quippet " + args[0]), std::string::npos) << r.err;
    }
    EXPECT_NE(quippet({"preset", "load", "gone"}).err.find("gone.bak"), std::string::npos);
    EXPECT_EQ(listing(work_.path()), std::string(kSample) + "\n") << "no output for a refused rebuild";
}

TEST_F(PresetCommand, SaveOfADeletedNamePrintsTheRecoveryNotice) {
    std::filesystem::create_directories(home() + "/set");
    write_bytes(from_utf8(home() + "/set/old.bak"), "[DividingDriver]\nEN75=5\n");
    const CommandRun r = quippet({"preset", "save", "old"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(
        r.out.find("同名のプリセットが過去に存在していたので、それを復元しました（現在ダイアログにある設定はまだ保"
                   "存されていません）"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(quippet({"preset", "list"}).out, "old\n");
}

TEST_F(PresetCommand, RebuildWithPresetThenSetOverrides) {
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/CB60", "1"}).code, kExitOk);
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/EN75", "10"}).code, kExitOk);
    ASSERT_EQ(quippet({"preset", "save", "limit10"}).code, kExitOk);
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/CB60", "0"}).code, kExitOk);
    set_ngid("\xFF\xFE");

    CommandRun r = quippet({"rebuild", sample()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.find("コメントに制限して出力"), std::string::npos) << r.out;

    r = quippet({"rebuild", "--set", "DividingDriver/CB6=1", "--preset", "limit10", sample()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("60コメントから、10コメントに制限して出力"), std::string::npos) << r.out;
    EXPECT_NE(ngid_bytes(), "\xFF\xFE") << "the preset's NGID list is back in place";

    r = quippet(
        {"rebuild", "--preset=limit10", "--set", "DividingDriver/EN75=20", "--set", "DividingDriver/CB6=1", sample()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("60コメントから、20コメントに制限して出力"), std::string::npos) << r.out;
    // The run used the preset; the stored settings stay as they were.
    EXPECT_EQ(quippet({"settings", "get", "DividingDriver/CB60"}).out, "0\n");
}

TEST_F(PresetCommand, SaveOnRunWritesThePresetOfTheRun) {
    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/CB7", "1"}).code, kExitOk);
    CommandRun r = quippet({"rebuild", sample()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_FALSE(std::filesystem::exists(home() + "/set")) << "no name, nothing saved";

    ASSERT_EQ(quippet({"settings", "set", "DividingDriver/ES2", "毎回"}).code, kExitOk);
    r = quippet({"rebuild", "--set", "DividingDriver/EN75=33", "--set", "DividingDriver/CB6=1", sample()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(quippet({"preset", "list"}).out, "毎回\n");
    EXPECT_NE(quippet({"preset", "show", "毎回"}).out.find("DividingDriver\tEN75\tnumber(0..999999999)\t33\t"),
              std::string::npos);

    // Split and cut are jobs of the same tab: they save too.
    r = quippet({"cut", "--from", "1", "--to", "5", "--set", "DividingDriver/EN75=44", sample()});
    EXPECT_NE(r.out.find("saved (実行で設定保存)"), std::string::npos) << r.out << r.err;
    EXPECT_NE(quippet({"preset", "show", "毎回"}).out.find("DividingDriver\tEN75\tnumber(0..999999999)\t44\t"),
              std::string::npos);
}

} // namespace
} // namespace quippet::cli
