#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "tests/support/JobTestSupport.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

/// `quippet warehouse` against the served board "livewh", in a fresh app home with its own board and
/// browser tables and the clock of UTC.
class WarehouseCommand : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        if (const char* tz = std::getenv("TZ")) previous_tz_ = tz, had_tz_ = true;
        setenv("TZ", "UTC0", 1);
        tzset();
        home_ = scratch_dir();
        write(home_ + u"/設定：実況板の情報.txt",
              u"▼倉庫テスト\r\nフォルダ\tlivewh\r\n2005-01-01\tlive8\r\n2010-06-01\thayabusa\r\n▼参考\r\n"
              u"URLを開く\thttps://example.invalid/\r\n");
        std::filesystem::create_directories(to_fs_path(home_ + u"/setting"));
        write(home_ + u"/setting/設定：コンバートのブラウザ.txt",
              u"// test\r\n記録\thttps://%SABA%.example.invalid/r/%DIR%/%KEY%/\t1\r\n");
    }
    void TearDown() override {
        set_service_root(u"");
        if (had_tz_)
            setenv("TZ", previous_tz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        FakeServiceTest::TearDown();
    }
    static void write(const std::u16string& path, std::u16string_view text) {
        ASSERT_EQ(CFileSP().write_wide_text(path, text, CFileSP::kOverwrite), 0) << to_utf8(path);
    }
    test::CommandRun run(std::vector<std::string> extra) {
        std::vector<std::string> args = {
            "--home",     to_utf8(home_), "--service-root",     to_utf8(service().root(false)),
            "warehouse",  "--set",        "OptionDialog/EN9=0", "--board",
            "倉庫テスト", "--at",         "2011-01-01 00:00"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::run_quippet(args);
    }
    std::u16string home_;

private:
    std::string previous_tz_;
    bool had_tz_ = false;
};

constexpr const char* kExpectedList = "倉庫一覧\n▽該当\n"
                                      "1293811300\t東京の夜\n"
                                      "1293811500\t大阪 東京\n"
                                      "1293812000\t1: 実況 テレビ東京 1\n"
                                      "1293825000\t東京特番\n"
                                      "1293839000\t東京ラスト\n"
                                      "▽除外\n"
                                      "1293815000\t2: 雑談スレ\n"
                                      "1293826000\t関係ない\n";

TEST_F(WarehouseCommand, FindsTheThreadsOfTheCurrentListAndTheWarehouse) {
    // One warehouse page never answers; the search must go past it.
    ASSERT_TRUE(service().fault("/livewh/kako/kakoslow.html", "stall", 0, 10));
    const test::CommandRun r = run({"--back", "8", "--forward", "0", "--min-posts", "100", "--words", "東京|大阪"});
    const std::string all = r.out + r.err;
    EXPECT_EQ(r.code, 0) << all;
    EXPECT_NE(all.find(kExpectedList), std::string::npos) << all;
    // Broken pages are reported each on their own line.
    EXPECT_NE(all.find("倉庫(kakobig.html)：アクセス失敗"), std::string::npos) << all;
    EXPECT_NE(all.find("倉庫(kakoslow.html)：アクセス失敗"), std::string::npos) << all;
    EXPECT_NE(all.find("スレ一覧：2件のスレを発見りゅん！"), std::string::npos) << all;
    EXPECT_NE(all.find("5件の倉庫を発見りゅん！"), std::string::npos) << all;
    EXPECT_EQ(all.find("東京 遅い"), std::string::npos);
    EXPECT_EQ(all.find("桁あふれ"), std::string::npos);
    EXPECT_NE(all.find("完了りゅん！"), std::string::npos);
}

TEST_F(WarehouseCommand, WithoutTitleWordsEveryKeptThreadMatches) {
    const test::CommandRun r = run({"--min-posts", "300"});
    const std::string all = r.out + r.err;
    EXPECT_EQ(r.code, 0) << all;
    EXPECT_NE(all.find("▽該当\n1293812000\t1: 実況 テレビ東京 1\n1293813000\t東京 遅い\n1293815000\t2: 雑談スレ\n"
                       "1293839000\t東京ラスト\n▽除外\n"),
              std::string::npos)
        << all;
}

TEST_F(WarehouseCommand, NothingInTheWindow) {
    const test::CommandRun r = run({"--back", "1", "--words", "存在しない語"});
    const std::string all = r.out + r.err;
    EXPECT_EQ(r.code, 1) << all;
    EXPECT_NE(all.find("条件に合うスレなし"), std::string::npos) << all;
}

TEST_F(WarehouseCommand, UsageErrors) {
    EXPECT_EQ(run({"--words"}).code, 2);
    EXPECT_EQ(run({"--back", "721"}).code, 2);
    EXPECT_EQ(run({"--send", "無い"}).code, 2);
    EXPECT_EQ(
        test::run_quippet({"--home", to_utf8(home_), "warehouse", "--board", "無い", "--at", "2011-01-01 00:00"}).code,
        2);
    EXPECT_EQ(
        test::run_quippet({"--home", to_utf8(home_), "warehouse", "--board", "倉庫テスト", "--at", "2011-1-1"}).code,
        2);
}

TEST_F(WarehouseCommand, SendOpensEachThreadWithTheEntrysBrowser) {
    const std::u16string record = home_ + u"/opened.txt";
    const std::u16string script = home_ + u"/browser.sh";
    {
        std::ofstream out(to_fs_path(script));
        out << "#!/bin/sh\nline=\"$(date +%s%N)\"\nfor a in \"$@\"; do line=\"$line [$a]\"; done\necho \"$line\" >> '"
            << to_utf8(record) << "'\n";
    }
    std::filesystem::permissions(to_fs_path(script), std::filesystem::perms::owner_all);
    const test::CommandRun r =
        run({"--words", "東京|大阪", "--send", "記録", "--set", "OptionDialog/ES6=" + to_utf8(script), "--set",
             "OptionDialog/ES7=--new-tab --x", "--set", "OptionDialog/EN10=300"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("6スレを送信"), std::string::npos) << r.out << r.err;

    std::vector<std::string> lines;
    ASSERT_TRUE(test::eventually([&] {
        std::ifstream in(to_fs_path(record));
        lines.clear();
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines.size() >= 6;
    }));
    const char* keys[] = {"1293811300", "1293811500", "1293812000", "1293813000", "1293825000", "1293839000"};
    long long previous = 0;
    for (size_t i = 0; i < 6; ++i) {
        std::istringstream in(lines[i]);
        long long ns = 0;
        in >> ns;
        std::string rest;
        std::getline(in, rest);
        EXPECT_EQ(rest, std::string(" [--new-tab] [--x] [https://hayabusa.example.invalid/r/livewh/") + keys[i] + "/]");
        // The interval lies between two starts; the script's own start-up only adds to it on average.
        if (i > 0) {
            EXPECT_GE(ns - previous, 200'000'000LL) << i;
        }
        previous = ns;
    }
}

} // namespace
} // namespace quippet
