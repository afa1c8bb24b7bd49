#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "download/DownloadHistory.h"
#include "download/DownloadList.h"
#include "download/ListFile.h"
#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

int lines_of(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

class RegisterCommandTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        dir = to_utf8(scratch_dir());
        home = dir + "/home";
        std::filesystem::create_directories(home);
        set_service_root(service().root(false));
    }
    void TearDown() override {
        set_service_root(u"");
        FakeServiceTest::TearDown();
    }
    /// No pauses: the base wait and the API interval are 0 for these runs.
    test::CommandRun run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--set", "OptionDialog/EN21=0", "--set", "OptionDialog/EN22=0", "--set",
                                       "ElementSuitDownload/ComboStr2=" + dir + "/videos"});
        return test::run_quippet_in(home, args);
    }
    std::string dir, home;
};

TEST_F(RegisterCommandTest, IdsTextsAndListFilesNeverTwice) {
    const std::string list = dir + "/in.txt";
    {
        CFileSP f;
        ASSERT_EQ(f.write_wide_text(from_utf8(list), u"/x/曲(sm20)\r\nsm21\r\n名前だけ\r\n", CFileSP::kOverwrite), 0);
    }
    const auto r = run({"register", "--save", dir + "/out.txt", "--form", "IDのみ", "sm9", "見て sm9 と sm10", list,
                        "https://www.nicovideo.jp/watch/sm20"});
    EXPECT_EQ(r.code, 1) << r.err; // the line without an ID is reported
    EXPECT_EQ(lines_of(r.out), 4) << r.out;
    EXPECT_EQ(r.out.rfind("sm9\tテスト動画 9 & ＜特集＞(sm9)\t", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("sm20\t曲(sm20)\t/x/\t"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("文字列（ID含み）：sm9"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("名前だけ"), std::string::npos) << r.err;
    CFileSP f;
    CCharW text;
    ASSERT_EQ(f.read_settings_text(from_utf8(dir + "/out.txt"), text), 0);
    EXPECT_EQ(to_utf8(text.view()), "sm9\r\nsm10\r\nsm20\r\nsm21\r\n");
}

TEST_F(RegisterCommandTest, FoldersAndHistorySelections) {
    std::filesystem::create_directories(dir + "/xml");
    for (const char* name : {"/xml/曲(sm30).xml", "/xml/題(nm31).xml", "/xml/無題.xml", "/xml/sm32.txt"})
        std::ofstream(dir + name) << "<packet/>";
    const auto folder = run({"register", dir + "/xml"});
    EXPECT_EQ(folder.code, 0) << folder.err;
    EXPECT_EQ(lines_of(folder.out), 2) << folder.out;
    EXPECT_NE(folder.err.find("フォルダ："), std::string::npos) << folder.err;

    std::filesystem::create_directories(home + "/cache/log");
    CFileSP f;
    ASSERT_EQ(f.write_wide_text(from_utf8(home + "/cache/log/down.txt"),
                                u"*w=0 m=3 o=0 c=0 t=0 i=0\t\t＊\t一(sm40)\t完了\t/v/\t1\t07/01/01\tsm40\t5\r\n"
                                u"*w=0 m=1 o=0 c=3 t=0 i=0\t\t＊\t二(sm41)\t\t/v/\t2\t07/01/02\tsm41\t6\r\n",
                                CFileSP::kOverwrite),
              0);
    const auto failed = run({"register", "<最近動画のDLに失敗した一覧>"});
    EXPECT_EQ(failed.code, 0) << failed.err;
    EXPECT_EQ(failed.out, "sm41\t二(sm41)\t/v/\t2\t07/01/02\t6\n");
    const auto tried = run({"register", "<最近動画のDLを試みた一覧>"});
    EXPECT_EQ(lines_of(tried.out), 2);
    EXPECT_EQ(tried.out.rfind("sm41\t", 0), 0u); // newest first

    // The list a download started from reads as a selection too.
    CListDownload kept;
    DownloadRow row;
    row.cells[dlcol::kId] = u"sm42";
    row.cells[dlcol::kSaveName] = u"三(sm42)";
    row.cells[dlcol::kFolder] = u"/v/";
    kept.add_row(row);
    int code = 0;
    ASSERT_EQ(save_list_snapshot(from_utf8(home + "/down"), kListAtDownloadStart, kept, code), 0);
    const auto snapshot = run({"register", "[前回DL開始時のリスト]"});
    EXPECT_EQ(snapshot.code, 0) << snapshot.err;
    EXPECT_EQ(snapshot.out, "sm42\t三(sm42)\t/v/\t\t\t\n");
    EXPECT_NE(snapshot.err.find("特殊設定："), std::string::npos) << snapshot.err;
}

TEST_F(RegisterCommandTest, SearchWithItsOptions) {
    const auto r = run({"search", "--start-page", "2", "--pages", "2", "ボカロ", "曲"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(lines_of(r.out), 60) << r.err;
    EXPECT_NE(r.err.find("2ページ目の取得処理中..."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2～3ページから60件をリストに追加"), std::string::npos) << r.err;
    const auto bad = run({"search", "--method", "無い並び", "x"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("検索の並び順が見つかりません：無い並び"), std::string::npos) << bad.err;
    EXPECT_EQ(run({"search"}).code, 2);
}

TEST_F(RegisterCommandTest, SerialRangesAndTheirLimits) {
    const auto ok = run({"serial", "--from", "5", "--to", "7"});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "sm5\tsm5\t" + dir + "/videos/\t\t\t\nsm6\tsm6\t" + dir + "/videos/\t\t\t\nsm7\tsm7\t" + dir +
                          "/videos/\t\t\t\n");
    const auto reversed = run({"serial", "--from", "5", "--to", "3"});
    EXPECT_EQ(reversed.code, 1);
    EXPECT_NE(reversed.err.find("開始番号が終了番号よりも後です"), std::string::npos);
    EXPECT_TRUE(reversed.out.empty());
    const auto many = run({"serial", "--from", "1", "--to", "10001"});
    EXPECT_NE(many.err.find("連番で一度に追加できる行数は10000までです"), std::string::npos);
    EXPECT_EQ(run({"serial", "--from", "0", "--to", "3"}).code, 2);
    // Options the commands share a reader for: a value missing at the end, a stray input.
    EXPECT_EQ(run({"serial", "--from", "5", "--to", "7", "sm9"}).code, 2);
    EXPECT_EQ(run({"serial", "--from", "5", "--to"}).code, 2);
    EXPECT_EQ(run({"search", "x", "--pages"}).code, 2);
}

} // namespace
} // namespace quippet
