#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/MovieInfo.h"
#include "net/Net.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "tests/support/CliRun.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::run_quippet;

/// The commands as a user runs them: a fresh app home, the replacement service as the service root.
class NetCommands : public test::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        home_ = to_utf8(scratch_dir());
        net_clear_cookies();
    }
    void TearDown() override {
        set_service_root(u"");
        net_clear_cookies();
        FakeServiceTest::TearDown();
    }
    test::CommandRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--home", home_, "--service-root", to_utf8(service().root(false))});
        return run_quippet(args);
    }
    static std::vector<std::string> login_args(const std::string& password) {
        return {"--set", "OptionDialog/AN0=quippet@example.invalid", "--set", "OptionDialog/AN1=" + password};
    }
    std::string home_;
};

/// The value of `key` in the block of video `id` of an info listing; "-" when it is missing.
std::string field(const std::string& listing, const std::string& id, const std::string& key) {
    const size_t block = listing.find("id\t" + id + "\n");
    if (block == std::string::npos) return "-";
    const size_t end = listing.find("\n\n", block);
    const std::string text = listing.substr(block, end == std::string::npos ? std::string::npos : end - block + 1);
    const size_t at = text.find("\n" + key + "\t");
    if (at == std::string::npos) return "-";
    const size_t from = at + key.size() + 2;
    return text.substr(from, text.find('\n', from) - from);
}

TEST_F(NetCommands, InfoReportsEveryStatusWithItsLabel) {
    const auto r = run({"info", "sm9", "sm10", "sm11", "sm12"});
    EXPECT_EQ(r.code, 1) << r.err; // deleted, missing and community videos count as failed
    EXPECT_EQ(field(r.out, "sm9", "status"), "2");
    EXPECT_EQ(field(r.out, "sm9", "title"), "テスト動画 9 & <特集>");
    EXPECT_EQ(field(r.out, "sm9", "length_seconds"), "69");
    EXPECT_EQ(field(r.out, "sm9", "thread_id"), "1000000009");
    EXPECT_EQ(field(r.out, "sm9", "channel_thread_id"), "-");
    EXPECT_EQ(field(r.out, "sm9", "save_name"), "テスト動画 9 & ＜特集＞(sm9)");
    EXPECT_EQ(field(r.out, "sm10", "status"), "3\t情報の残っている削除動画");
    EXPECT_EQ(field(r.out, "sm11", "status"), "4\t情報が存在しない動画");
    EXPECT_EQ(field(r.out, "sm11", "save_name"), "【タイトル未取得】(sm11)");
    EXPECT_EQ(field(r.out, "sm12", "status"), "5\tコミュニティ動画");
    // Only the deleted and missing videos needed the follow-ups.
    EXPECT_NE(r.err.find("情報取得のフォロー（サムネAPIからの取得不備につき）"), std::string::npos) << r.err;

    EXPECT_EQ(run({"info"}).code, 2);
    EXPECT_EQ(run({"info", "--write", home_ + "/missing", "sm9"}).code, 2);
}

TEST_F(NetCommands, InfoWritesTheInformationFileUnderTheSaveName) {
    std::filesystem::create_directories(home_ + "/out");
    const auto r = run({"info", "--write", home_ + "/out", "sm9"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    CFileSP reader;
    CCharW text;
    ASSERT_EQ(reader.read_settings_text(from_utf8(home_ + "/out/テスト動画 9 & ＜特集＞(sm9).txt"), text), 0) << r.out;
    const std::string file = to_utf8(text.view());
    EXPECT_EQ(file.rfind("[name]\r\nsm9\r\n", 0), 0u) << file;
    EXPECT_NE(file.find("[post]\r\n2007/03/15 00:33:00\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("[tags]\r\nテスト\r\nタグ2\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("[owner_nickname]\r\n投稿者9\r\n"), std::string::npos) << file;
}

TEST_F(NetCommands, LoginByFormAndByPastedCookie) {
    auto args = login_args("vellichor");
    args.insert(args.begin(), "login");
    const auto ok = run(args);
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "テスト会員（プレミアム会員）としてログインしました\n");
    EXPECT_TRUE(std::filesystem::exists(home_ + "/cookies.txt"));
    // The watch page now sees the login.
    EXPECT_EQ(field(run({"info", "sm9"}).out, "sm9", "not_logged_in"), "0");

    std::filesystem::remove(home_ + "/cookies.txt");
    net_clear_cookies();
    auto wrong = login_args("nope");
    wrong.insert(wrong.begin(), "login");
    const auto bad = run(wrong);
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.out, "quippet@example.invalidでのログインを試みて失敗しました\n");
    EXPECT_EQ((bad.out + bad.err).find("nope"), std::string::npos);
    EXPECT_EQ(run({"login"}).out, "「詳細設定」にログイン情報を入力してください\n");

    net_clear_cookies();
    const auto pasted = run({"login", "--cookie", "user_session_12345_0123456789abcdef0123456789abcdef"});
    EXPECT_EQ(pasted.code, 0) << pasted.err;
    EXPECT_EQ(pasted.out, "テスト会員（プレミアム会員）のログイン状態を共有\n");
    EXPECT_EQ(run({"login", "--cookie", "garbage"}).code, 1);
}

TEST_F(NetCommands, AnOversizedPageEndsWithItsCode) {
    InfoOptions options;
    options.rules = InfoRules::defaults();
    options.net = service().options();
    options.net.max_body_bytes = 1 << 20; // what the information steps allow, scaled down
    options.watch_url = service().root(false) + u"/bytes/";
    CWorkMovieInfo info;
    info.id = u"3000000";
    NetReport quiet;
    int code = 0;
    EXPECT_EQ(fetch_watch_page(info, 0, {}, false, options, nullptr, quiet, code), -1);
    EXPECT_EQ(code, 11);
    EXPECT_TRUE(info.title.empty());
}

TEST_F(NetCommands, RebuildAsksTheServiceForPartLengths) {
    auto chat_file = [&](const std::string& name, int vpos) {
        std::ofstream f(home_ + "/" + name, std::ios::binary);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n<thread thread=\"1\"/>\n"
             "<chat thread=\"1\" no=\"1\" vpos=\""
          << vpos << "\" date=\"1200000000\" user_id=\"u\">a</chat>\n</packet>\n";
    };
    chat_file("sm9 前半.xml", 100);
    chat_file("sm9 後半.xml", 200);
    const auto r = run({"rebuild", "--set", "DividingDriver/CB48=1", "--set", "DividingDriver/CB49=1", "--set",
                        "DividingDriver/CB37=1", "--set", "DividingDriver/CB38=1", "--out-dir", home_,
                        home_ + "/sm9 前半.xml", home_ + "/sm9 後半.xml"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    // sm9 is 69 s long at the service: the second part moves by that.
    EXPECT_NE((r.out + r.err).find("1分09秒（ネット（API）から取得）"), std::string::npos) << r.out << r.err;
}

} // namespace
} // namespace quippet
