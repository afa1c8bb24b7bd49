#include "cli/FilesCommand.h"

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

class FilesCommand : public ::testing::Test {
protected:
    void SetUp() override { previous_home_ = app_home(); }
    void TearDown() override { set_app_home(previous_home_); }

    CommandRun quippet(std::vector<std::string> args) const { return test::run_quippet_in(home(), std::move(args)); }
    std::string home() const { return home_.path().string(); }

    TempFolder home_;
    std::u16string previous_home_;
};

TEST_F(FilesCommand, ListShowsEveryFileAndInitCreatesOnlyTheMissingOnes) {
    CommandRun r = quippet({"files", "list"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ngid", "設定：ID削除リスト.txt"},          {"ng-words", "設定：再構成のNGワード.txt"},
        {"common-ng", "設定：再構成の共通NG.txt"},   {"priority-ids", "設定：ID優先リスト.txt"},
        {"replace1", "設定：再構成の置換1.txt"},     {"replace2", "設定：再構成の置換2.txt"},
        {"fuzzy", "設定：曖昧一致のルール.txt"},     {"rules-pre", "設定：コマンドの変換1.txt"},
        {"rules-post", "設定：コマンドの変換2.txt"}, {"rules-individual", "設定：コマンドの変換3.txt"},
        {"rules-priority", "設定：優先条件.txt"},    {"vocabulary", "設定：コマンドの基本.txt"},
    };
    for (const auto& [name, file] : expected)
        EXPECT_NE(r.out.find(name + "\tmissing\t" + home() + "/" + file + "\t"), std::string::npos) << name << r.out;

    r = quippet({"files", "init", "fuzzy", "rules-priority", "fuzzy"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "created\tfuzzy\t" + home() + "/設定：曖昧一致のルール.txt\n" + "created\trules-priority\t" +
                         home() + "/設定：優先条件.txt\n");
    const std::string fuzzy = read_bytes(from_utf8(home() + "/設定：曖昧一致のルール.txt"));
    EXPECT_TRUE(fuzzy.starts_with("\xFF\xFE")) << "UTF-16 with its byte order mark";
    EXPECT_NE(fuzzy.find(std::string("\x20\x00[\x00\x92\x21]\x00\r\x00\n\x00", 12)), std::string::npos)
        << "the blank rule \" [→]\" with CR LF";
    EXPECT_NE(quippet({"files", "list"}).out.find("fuzzy\texists\t"), std::string::npos);

    r = quippet({"files", "init"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.find("created\tfuzzy"), std::string::npos) << "an existing file is left alone";
    EXPECT_NE(r.out.find("created\tvocabulary\t"), std::string::npos) << r.out;
    EXPECT_EQ(quippet({"files", "list"}).out.find("missing"), std::string::npos);
    EXPECT_EQ(quippet({"files", "init"}).out, "nothing to create: every file exists\n");
}

TEST_F(FilesCommand, UnknownNamesAreUsageErrorsAndFailuresAreReported) {
    CommandRun r = quippet({"files", "init", "ngid", "no-such-file"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("unknown file no-such-file"), std::string::npos) << r.err;
    EXPECT_EQ(listing(home_.path()), "") << "nothing created before the names were checked";
    EXPECT_EQ(quippet({"files"}).code, kExitUsage);
    EXPECT_EQ(quippet({"files", "bogus"}).code, kExitUsage);

    write_bytes(from_utf8(home() + "/blocker"), "a file where a folder should be");
    ASSERT_EQ(quippet({"settings", "set", "OptionDialog/ES50", "blocker/曖昧.txt"}).code, kExitOk);
    r = quippet({"files", "init", "fuzzy", "ngid"});
    EXPECT_EQ(r.code, kExitFailures);
    EXPECT_NE(r.err.find("blocker/曖昧.txtの新規作成に失敗しました"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("created\tngid\t"), std::string::npos) << "one failure does not stop the others";
}

TEST_F(FilesCommand, RelativeHomeIsTakenFromTheWorkingDirectoryOnce) {
    const std::filesystem::path previous_cwd = std::filesystem::current_path();
    std::filesystem::current_path(home_.path());
    std::ostringstream out, err;
    const int code = run({"--home", "rel", "files", "init", "fuzzy"}, out, err);
    std::filesystem::current_path(previous_cwd);
    EXPECT_EQ(code, kExitOk) << err.str();
    EXPECT_EQ(out.str(), "created\tfuzzy\t" + home() + "/rel/設定：曖昧一致のルール.txt\n");
    EXPECT_EQ(listing(home_.path() / "rel"), "設定：曖昧一致のルール.txt\n");
}

} // namespace
} // namespace quippet::cli
