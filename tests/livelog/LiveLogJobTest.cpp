#include "livelog/LiveLogJob.h"

#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "app/WorkThread.h"
#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogSettingKeys.h"
#include "tests/support/JobTestSupport.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

constexpr std::string_view kThreePosts = "1 ：名無し：2012/01/01(日) 21:00:05.12 ID:AbCdEfGh\r\nこんばんは\r\n"
                                         "2 ：名無し：2012/01/01(日) 21:00:07.00 ID:ZyXwVu12\r\n>>1 始まった\r\n"
                                         "3 ：名無し：2012/01/01(日) 21:01:00.50\r\n【今夜の回】\r\n";

class LiveLogJob : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
        settings_.set_number(WcNumber::kYear, 2012);
        settings_.set_number(wc_clock_time(0, 0), 21);
        settings_.set_number(wc_video_time(8, 1), 30);
        settings_.set_number(OptNumber::kLiveLineBreaks, 1);
        settings_.set_text(OptText::kLiveOutputFolder, out_ / u"");
        settings_.set_text(OptText::kLiveSource, source_);
        write_bytes(source_, kThreePosts);
        ensure_live_ng_file(settings_);
    }
    void TearDown() override { set_app_home(previous_home_); }

    struct Outcome {
        LiveLogJobResult result;
        std::string log;
    };
    Outcome run(const LiveLogJobOptions& options = {}) {
        CJobFrame frame;
        MemoryLogBox log;
        CWorkData data = test::data_for(frame, &log, nullptr, JobKind::kLiveLog);
        CWorkThread worker(data);
        Outcome o;
        o.result = run_livelog_job(worker, settings_, options);
        o.log = u8(log.text());
        std::erase(o.log, '\r');
        return o;
    }
    std::u16string out_file(std::u16string_view name) const { return out_ / name; }

    TempFolder home_;
    TempFolder out_;
    std::u16string source_ = out_ / u"source.txt";
    std::u16string previous_home_;
    CSettings settings_;
};

TEST_F(LiveLogJob, DefaultNameThenANumberedOne) {
    const Outcome first = run();
    ASSERT_TRUE(first.result.ok) << first.log;
    EXPECT_EQ(u8(first.result.written), u8(out_file(u"__新規Vellichorコンバートファイル__.xml")));
    const std::string xml = read_bytes(first.result.written);
    EXPECT_TRUE(xml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n")) << xml;
    EXPECT_NE(xml.find("<view_counter video=\"3\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("user_id=\"ID:AbCdEfGh\" date=\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("vpos=\"512\" no=\"1\">こんばんは</chat>"), std::string::npos) << xml;
    EXPECT_TRUE(xml.ends_with("</chat>\n</packet>\n")) << xml;
    EXPECT_NE(first.log.find("└前方一致のNGワード：1"), std::string::npos) << first.log;
    // The report is kept in the log file as well.
    EXPECT_NE(u8(from_utf8(read_bytes(home_ / u"QuippetVellichor.log"))).size(), 0u);

    const Outcome second = run();
    ASSERT_TRUE(second.result.ok) << second.log;
    EXPECT_EQ(u8(second.result.written), u8(out_file(u"__新規Vellichorコンバートファイル__(1).xml")));
}

TEST_F(LiveLogJob, OverwriteNeedsItsMinimumAndLeavesTheFileAlone) {
    settings_.set_number(WcSwitch::kOverwrite, 1);
    settings_.set_number(OptNumber::kLiveOverwriteMinimum, 50);
    settings_.set_text(WcText::kOutputName, u"番組");
    write_bytes(out_file(u"番組.xml"), "old");
    const Outcome o = run();
    EXPECT_FALSE(o.result.ok);
    EXPECT_NE(o.log.find("成功数が「2」だけで上書出力の最低条件「150」に達しないので、出力しません"), std::string::npos)
        << o.log;
    EXPECT_EQ(read_bytes(out_file(u"番組.xml")), "old");

    settings_.set_number(OptNumber::kLiveOverwriteMinimum, 0);
    const Outcome replaced = run();
    ASSERT_TRUE(replaced.result.ok) << replaced.log;
    EXPECT_EQ(u8(replaced.result.written), u8(out_file(u"番組.xml")));
    EXPECT_NE(read_bytes(out_file(u"番組.xml")), "old");
}

TEST_F(LiveLogJob, NamingChoices) {
    settings_.set_number(OptSwitch::kLiveNameFromText, 1);
    settings_.set_text(OptText::kLiveNamePattern, u"【(.+?)】");
    settings_.set_number(OptNumber::kLiveExtension, 1);
    Outcome o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_EQ(u8(o.result.written), u8(out_file(u"今夜の回.txt")));

    settings_.set_text(OptText::kLiveNamePattern, u"(unclosed");
    o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_NE(o.log.find("ファイル名の正規表現の誤り"), std::string::npos) << o.log;
    EXPECT_EQ(u8(o.result.written), u8(out_file(u"__新規Vellichorコンバートファイル__.txt")));

    // An expression that cannot finish on the source names nothing, and the log says why.
    write_bytes(source_, std::string(kThreePosts) + "4 ：名無し：2012/01/01(日) 21:02:00.00\r\n" +
                             std::string(40, 'a') + "\r\n");
    settings_.set_text(OptText::kLiveNamePattern, u"((a+)+$)");
    o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_NE(o.log.find("ファイル名の正規表現の照合が長すぎるため打ち切り"), std::string::npos) << o.log;
    EXPECT_NE(u8(o.result.written).find("__新規Vellichorコンバートファイル__"), std::string::npos);

    settings_.set_number(OptSwitch::kLiveDateAsName, 1);
    settings_.set_number(OptSwitch::kLiveChatOnly, 1);
    o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    const std::u16string name = std::filesystem::path(to_utf8(o.result.written)).stem().u16string();
    EXPECT_EQ(u8(name), std::to_string(local_seconds(2012, 1, 1, 21, 0, 5)));
    EXPECT_TRUE(read_bytes(o.result.written).starts_with("<chat ")) << read_bytes(o.result.written);
}

TEST_F(LiveLogJob, BadInputsAreReportedWithoutOutput) {
    struct Case {
        std::string_view source;
        std::string_view expected;
    };
    const Case cases[] = {
        {"", "変換元テキストがカラッポか、当ツールの想定していない形式かもしれません"},
        {std::string_view("\x00\x01\x02\xff\xfe\x00\x13\x37", 8), "実況のログとして解釈できませんでした"},
        {"1 ：名無し：2012/01/01(日) 20:00:05.12\r\n早い\r\n", "指定された時間よりも前の投稿しか見つかりませんでした"},
    };
    for (const Case& c : cases) {
        write_bytes(source_, c.source);
        const Outcome o = run();
        EXPECT_FALSE(o.result.ok);
        EXPECT_NE(o.log.find(c.expected), std::string::npos) << o.log;
    }
    EXPECT_EQ(test::listing(out_.path()), "source.txt\n");

    settings_.set_text(OptText::kLiveSource, out_ / u"missing.txt");
    EXPECT_NE(run().log.find("ファイルがオープンできません"), std::string::npos);

    settings_.set_text(OptText::kLiveSource, source_);
    write_bytes(source_, kThreePosts);
    settings_.set_number(wc_video_time(8, 1), 0);
    settings_.set_number(wc_video_time(0, 1), 1);
    const Outcome reversed = run();
    EXPECT_FALSE(reversed.result.ok);
    EXPECT_NE(reversed.log.find("「時間　分　秒」に順序の逆転があるからダメりゅん！"), std::string::npos);
}

TEST_F(LiveLogJob, NgFileProblemsDoNotStopTheJob) {
    write_bytes(home_ / u"設定：コンバートのNGワード.txt", "[正規表現]\n(abc\nこんばん\n");
    Outcome o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_NE(o.log.find("の2行目（(abc）：正規表現の誤り"), std::string::npos) << o.log;
    EXPECT_NE(o.log.find("└正規表現のNGワード：1"), std::string::npos) << o.log;

    // A folder where the file should be: no NG tests, but a comment file all the same.
    std::filesystem::remove(to_fs_path(home_ / u"設定：コンバートのNGワード.txt"));
    std::filesystem::create_directory(to_fs_path(home_ / u"設定：コンバートのNGワード.txt"));
    o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_EQ(o.log.find("NGワード："), std::string::npos) << o.log;
}

// A hostile expression in either file gives up at the limits, counts as no match and says so in the report.
TEST_F(LiveLogJob, RunawayExpressionsGiveUpAndAreReported) {
    settings_.set_number(WcSwitch::kReplace, 1);
    settings_.set_number(WcNumber::kMaxChars, 999);
    write_bytes(home_ / u"設定：コンバートのNGワード.txt", "[正規表現]\n(a+)+$\n");
    write_bytes(home_ / u"設定：コンバートの置換.txt", "/(a+)+$/\t/x/\n");
    write_bytes(source_, std::string(kThreePosts) + "4 ：名無し：2012/01/01(日) 21:02:00.00\r\n" +
                             std::string(900, 'a') + "!\r\n");
    const Outcome o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_NE(o.log.find("※NG・置換リストの正規表現の照合が長すぎるため打ち切り（一致なしと判定）：2件"),
              std::string::npos)
        << o.log;
    EXPECT_EQ(o.log.find("正規表現のNGワード："), std::string::npos) << o.log;
    EXPECT_NE(read_bytes(o.result.written).find(std::string(900, 'a') + "!</chat>"), std::string::npos);
}

TEST_F(LiveLogJob, ReplacementTableAndKeepCopies) {
    settings_.set_number(WcSwitch::kReplace, 1);
    settings_.set_number(OptSwitch::kLiveKeepCopies, 1);
    settings_.set_number(WcSwitch::kReconstruct, 1);
    settings_.set_text(kWcPresetName, u"どこにもない");
    settings_.set_text(WcText::kOutputName, u"out");
    write_bytes(home_ / u"設定：コンバートの置換.txt", "こんばんは\tこんにちは\n/(.)\\1{2,}/\t/$1$1/\nbroken line\n");
    write_bytes(source_, std::string(kThreePosts) + "4 ：名無し：2012/01/01(日) 21:02:00.00\r\nおおおおお\r\n");
    const Outcome o = run();
    ASSERT_TRUE(o.result.ok) << o.log;
    EXPECT_NE(o.log.find("※正規表現以外の置換を実行したコメント：1件"), std::string::npos) << o.log;
    EXPECT_NE(o.log.find("※1番目の正規表現置換（to「$1$1」）：1件"), std::string::npos) << o.log;
    EXPECT_NE(o.log.find("3行目（broken line）"), std::string::npos) << o.log;
    EXPECT_NE(o.log.find("再構成"), std::string::npos) << o.log;
    const std::string xml = read_bytes(o.result.written);
    EXPECT_NE(xml.find(">こんにちは</chat>"), std::string::npos) << xml;
    EXPECT_NE(xml.find(">おお</chat>"), std::string::npos) << xml;
    EXPECT_FALSE(read_bytes(home_ / u"backup/out.txt").empty());
    EXPECT_FALSE(read_bytes(home_ / u"backup/out.xml").empty());
}

TEST_F(LiveLogJob, SourceEncodings) {
    for (const char* name :
         {"log-utf16le-bom.txt", "log-utf16le-nobom.txt", "log-utf8-bom.txt", "log-utf8-lf.txt", "log-cp932.txt"}) {
        SCOPED_TRACE(name);
        std::u16string text;
        int error = -1;
        SourceEncoding encoding{};
        ASSERT_EQ(
            read_source_text(from_utf8(std::string(QUIPPET_TEST_DATA_DIR "/livelog/") + name), text, error, &encoding),
            0);
        EXPECT_NE(text.find(u"\nこんばんは"), std::u16string::npos);
        settings_.set_text(OptText::kLiveSource, from_utf8(std::string(QUIPPET_TEST_DATA_DIR "/livelog/") + name));
        const Outcome o = run();
        ASSERT_TRUE(o.result.ok) << o.log;
        EXPECT_NE(o.log.find("成功レス合計：2"), std::string::npos) << o.log;
    }
}

std::string utf16le_with_mark(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

// Players show a line break at the end of a comment as an empty second line, so the one that ends the
// file must not reach the last post, whatever the source's encoding and line endings.
TEST_F(LiveLogJob, FinalLineBreakStaysOutOfTheLastComment) {
    settings_.set_number(OptNumber::kLiveLineBreaks, static_cast<int>(WcLineBreaks::kKeep));
    struct Encoding {
        const char* name;
        std::string (*encode)(std::u16string_view);
    };
    const Encoding encodings[] = {
        {"UTF-16LE", utf16le_with_mark},
        {"UTF-8", [](std::u16string_view t) { return to_utf8(t); }},
        {"CP932", [](std::u16string_view t) { return to_cp932(t); }},
    };
    for (const Encoding& e : encodings) {
        for (const std::u16string_view eol : {u"\r\n", u"\n"}) {
            for (const bool final_break : {true, false}) {
                SCOPED_TRACE(std::string(e.name) + (eol.size() == 2 ? " CRLF" : " LF") +
                             (final_break ? " with" : " without") + " a final break");
                const std::u16string lines[] = {u"1 ：名無し：2012/01/01(日) 21:00:05.12 ID:AbCdEfGh", u"こんばんは",
                                                u"2 ：名無し：2012/01/01(日) 21:00:07.00 ID:ZyXwVu12", u"始まった",
                                                u"ね"};
                std::u16string source;
                for (const std::u16string& line : lines)
                    source += (source.empty() ? u"" : std::u16string(eol)) + line;
                if (final_break) source += eol;
                write_bytes(source_, e.encode(source));
                const Outcome o = run();
                ASSERT_TRUE(o.result.ok) << o.log;
                const std::string xml = read_bytes(o.result.written);
                EXPECT_NE(xml.find(">こんばんは</chat>"), std::string::npos) << xml;
                // The break inside the last post stays.
                EXPECT_NE(xml.find(">始まった\r\nね</chat>"), std::string::npos) << xml;
            }
        }
    }
}

} // namespace
} // namespace quippet
