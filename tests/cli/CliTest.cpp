#include "cli/Cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/WorkThread.h"
#include "cli/JobRunner.h"

namespace {

struct CliRun {
    int code;
    std::string out, err;
};

CliRun run_cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = quippet::cli::run(args, out, err);
    return {code, out.str(), err.str()};
}

std::string sample(const char* name) {
    return std::string(QUIPPET_SAMPLES_DIR) + "/" + name;
}

} // namespace

TEST(Cli, GlobalOptionsAndUsageErrors) {
    const CliRun version = run_cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("quippet ") + QUIPPET_VERSION + "\n");

    const CliRun help = run_cli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--home DIR"), std::string::npos);
    EXPECT_NE(help.out.find("scan"), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case usage_errors[] = {
        {{}, "Usage:"},
        {{"--bogus"}, "unknown option --bogus"},
        {{"--home"}, "--home needs a folder"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"scan"}, "Usage: quippet scan"},
    };
    for (const Case& c : usage_errors) {
        const CliRun r = run_cli(c.args);
        EXPECT_EQ(r.code, quippet::cli::kExitUsage) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(Cli, ScanReportsEachFileAndFailsOnUnreadableOnes) {
    const auto home = std::filesystem::temp_directory_path() / "quippet-cli-test-home";
    const CliRun ok = run_cli({"--home", home.string(), "scan", sample("sm13800000-comments.xml")});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_NE(ok.out.find("処理を始めるりゅん！"), std::string::npos);
    EXPECT_NE(ok.out.find("sm13800000-comments.xml：8972バイト、60個のコメント（vpos 62～26591、"), std::string::npos)
        << ok.out;
    EXPECT_NE(ok.out.find("1個のうち、1個を処理したりゅん！"), std::string::npos) << ok.out;

    const CliRun mixed = run_cli({"scan", sample("sm13800000-comments.xml"), "/nonexistent/コメント.xml"});
    EXPECT_EQ(mixed.code, quippet::cli::kExitFailures);
    EXPECT_NE(mixed.out.find("/nonexistent/コメント.xml：ファイルがオープンできません"), std::string::npos)
        << mixed.out;
    EXPECT_NE(mixed.out.find("処理を終了します（失敗あり）。"), std::string::npos) << mixed.out;
}

TEST(Cli, FullScanCountsWhatTheReaderRejects) {
    const auto folder = std::filesystem::temp_directory_path() / "quippet-cli-full-scan";
    std::filesystem::create_directories(folder);
    const auto file = folder / "不正あり.xml";
    std::ofstream(file) << "<packet><thread thread=\"1\"/>\n<chat no=\"1\" vpos=\"10\" date=\"5\">a</chat>\n"
                           "<chat no=\"2\" date=\"5\">no vpos</chat>\n<chat no=\"3\" vpos=\"x\" date=\"5\">bad</chat>\n"
                           "<chat no=\"4\" vpos=\"20\" date=\"5\" score=\"?\">b</chat>\n</packet>\n";
    const CliRun r = run_cli({"scan", "--full", file.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("　読込：2個のコメント、不正データ2個、数値以外の属性値1個\n"), std::string::npos) << r.out;
    std::filesystem::remove_all(folder);
}

TEST(Cli, InterruptStopsTheJobThroughItsStoppedPath) {
    quippet::cli::TerminalJob job;
    job.kind = quippet::JobKind::kSplit;
    job.body = [](quippet::CWorkThread& worker, quippet::cli::JobOutcome& outcome) {
        worker.job_begin();
        outcome.total = 1;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!worker.stop_requested() && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        worker.job_stopped();
        outcome.stopped = true;
    };
    std::thread interrupter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::raise(SIGINT);
    });
    std::ostringstream out, err;
    const int code = quippet::cli::run_in_terminal(job, out, err);
    interrupter.join();
    EXPECT_EQ(code, quippet::cli::kExitStopped);
    EXPECT_NE(out.str().find("処理を中止しました。"), std::string::npos) << out.str();
}
