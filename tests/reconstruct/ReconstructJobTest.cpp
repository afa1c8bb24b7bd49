#include "reconstruct/ReconstructJob.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/JobFrame.h"
#include "app/MemorySinks.h"
#include "app/Settings.h"
#include "app/SettingKeys.h"
#include "app/WorkThread.h"
#include "comments/ChatReader.h"
#include "reconstruct/ReconstructReport.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/support/JobTestSupport.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::listing;
using test::read_bytes;
using test::TempFolder;
using test::write_bytes;

std::string u8(std::u16string_view s) {
    return to_utf8(s);
}

struct Chat {
    int no;
    int vpos;
    const char* text;
};

std::string file_of(const std::vector<Chat>& chats) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread resultcode=\"0\" thread=\"1\" "
                    "last_res=\"1\" ticket=\"0x1\" revision=\"1\" server_time=\"1300000000\"/>"
                    "<view_counter video=\"1\" id=\"sm1\" mylist=\"0\"/>\n";
    for (const Chat& c : chats)
        s += "<chat thread=\"1\" no=\"" + std::to_string(c.no) + "\" vpos=\"" + std::to_string(c.vpos) + "\" date=\"" +
             std::to_string(1300000000 + c.no) + "\" user_id=\"u" + std::to_string(c.no) + "\">" + c.text + "</chat>\n";
    return s + "</packet>\n";
}

/// The list files are UTF-16 with a byte order mark, as the program creates them.
std::string utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(ReconstructGrouping, UnitsFollowTheMergeMode) {
    const std::vector<std::u16string> files = {u"/d/第14話A.xml", u"/d/第15話A.xml",    u"/d/おまけ.xml",
                                               u"/d/第14話B.xml", u"/d/第1第15話B.xml", u"/d/予告.xml"};
    using Units = std::vector<std::vector<int>>;
    EXPECT_EQ(group_units(files, MergeMode::none, 1, u""), (Units{{0}, {1}, {2}, {3}, {4}, {5}}));
    EXPECT_EQ(group_units(files, MergeMode::all, 1, u""), (Units{{0, 1, 2, 3, 4, 5}}));
    EXPECT_EQ(group_units(files, MergeMode::by_rows, 4, u""), (Units{{0, 1, 2, 3}, {4, 5}}));
    // "第1第15話B": the first 第 is followed by 1, so that is its number; files without a number share a unit.
    EXPECT_EQ(group_units(files, MergeMode::by_number_after, 1, u"第"), (Units{{0, 3}, {1}, {2, 5}, {4}}));
    const std::vector<std::u16string> skip = {u"/d/第A第15話.xml", u"/d/第15話B.xml"};
    EXPECT_EQ(group_units(skip, MergeMode::by_number_after, 1, u"第"), (Units{{0, 1}}));
    EXPECT_TRUE(group_units({}, MergeMode::all, 1, u"").empty());
}

TEST(ReconstructNaming, StemIsTheCommonPrefixWithoutTails) {
    EXPECT_EQ(u8(unit_output_stem({u"/d/abc1.xml", u"/d/abd2.xml"})), "ab");
    EXPECT_EQ(u8(unit_output_stem({u"/d/xyz.xml", u"/d/abc.xml"})), "xyz");
    EXPECT_EQ(u8(unit_output_stem({u"/d/ep[1～60].xml", u"/d/ep[1～70].xml"}, u"[", u"]")), "ep");
    EXPECT_EQ(u8(name_without_tail(u"[only].xml", u"[", u"]")), "[only]");
    EXPECT_EQ(unit_output_stem({u"/d/" + std::u16string(256, u'a') + u".xml"}), std::u16string(256, u'a'));
    EXPECT_EQ(u8(unit_output_stem({u"/d/" + std::u16string(257, u'a') + u".xml"})), "__新規Vellichorファイル__");
}

class ReconstructJob : public ::testing::Test {
protected:
    void SetUp() override {
        previous_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
    }
    void TearDown() override { set_app_home(previous_home_); }

    struct Run {
        ReconstructCounts counts;
        std::string log;
        std::vector<MemoryListView::Row> rows;
    };

    Run run(const std::vector<std::u16string>& inputs, bool stop = false) {
        CJobFrame frame;
        MemoryLogBox log;
        MemoryListView list;
        for (const std::u16string& input : inputs)
            list.add_row({input});
        CWorkData data = test::data_for(frame, &log, &list, JobKind::kReconstruct);
        data.inputs() = inputs;
        if (stop) frame.stop_job_flag() = 1;
        CWorkThread worker(data);
        Run r;
        r.counts = run_reconstruct_job(worker, settings_, reconstruct_settings(settings_));
        r.log = u8(log.text());
        std::erase(r.log, '\r');
        r.rows = list.rows();
        return r;
    }

    TempFolder home_;
    TempFolder work_;
    std::u16string previous_home_;
    CSettings settings_;
};

TEST_F(ReconstructJob, MergedUnitIsNamedByTheCommonPrefixAndListsAreCreated) {
    settings_.set_number(RcSwitch::kMerge, 1);
    settings_.set_number(RcSwitch::kMergeAll, 1);
    settings_.set_number(RcSwitch::kNoTailInfo, 1);
    settings_.set_number(rc_sort_enabled(0), 1);
    settings_.set_number(rc_sort_key(0), 22); // "*再生時間": latest first
    write_bytes(work_ / u"abc1.xml", file_of({{1, 100, "a"}, {2, 200, "b"}}));
    write_bytes(work_ / u"abd2.xml", file_of({{1, 150, "c"}}));

    const Run r = run({work_ / u"abc1.xml", work_ / u"abd2.xml"});
    EXPECT_EQ(r.counts.succeeded, 1);
    EXPECT_EQ(r.counts.total, 1);
    const std::string out = read_bytes(work_ / u"ab.xml");
    const size_t a = out.find(">a</chat>"), b = out.find(">b</chat>"), c = out.find(">c</chat>");
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(b, c);
    EXPECT_LT(c, a);
    EXPECT_NE(r.log.find("abc1.xmlの処理に成功"), std::string::npos) << r.log;
    // A job never fails for a missing list file: it is created with its default text.
    EXPECT_TRUE(std::filesystem::exists(to_fs_path(list_file_path(settings_, ListFile::kNgWords))));
}

TEST_F(ReconstructJob, ReportLinesUseTheirLabels) {
    settings_.set_number(RcSwitch::kDuplicates, 1);
    settings_.set_number(RcSwitch::kDupBody, 1);
    settings_.set_number(RcSwitch::kLength, 1);
    settings_.set_number(RcNumber::kMinLength, 2);
    settings_.set_number(RcNumber::kMaxLength, 100);
    const std::u16string input = work_ / u"ep.xml";
    write_bytes(input, file_of({{1, 100, "same"}, {2, 300, "same"}, {3, 500, "x"}, {4, 700, "other"}}));

    const Run r = run({input});
    ASSERT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(r.log.find("文字数が短いコメントを削除：1件\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("内容や表示時間が重複っぽいコメントを削除：1件\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("（総削除数：2件）\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("4コメントから、2コメントに制限して出力"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("スコアが低い"), std::string::npos) << r.log;
}

TEST_F(ReconstructJob, NothingIsWrittenOverAnInputNorOverAnExistingFileUnlessAllowed) {
    const std::u16string input = work_ / u"ep.xml";
    const std::string original = file_of({{1, 100, "a"}});
    write_bytes(input, original);

    settings_.set_number(RcSwitch::kNoTailInfo, 1);
    settings_.set_number(RcSwitch::kOverwrite, 1);
    Run r = run({input});
    EXPECT_EQ(r.counts.succeeded, 0);
    EXPECT_NE(r.log.find("出力名が入力ファイルと同じため未出力"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("ep.xmlの処理に失敗..."), std::string::npos) << r.log;
    EXPECT_EQ(read_bytes(input), original);

    settings_.set_number(RcSwitch::kNoTailInfo, 0);
    settings_.set_number(RcSwitch::kOverwrite, 0);
    r = run({input});
    ASSERT_EQ(r.counts.succeeded, 1) << r.log;
    const std::string first_listing = listing(work_.path());
    EXPECT_NE(first_listing.find("ep[1～1].xml"), std::string::npos) << first_listing;
    const std::u16string output = work_ / u"ep[1～1].xml";
    write_bytes(output, "keep me");
    r = run({input});
    EXPECT_EQ(r.counts.succeeded, 0);
    EXPECT_NE(r.log.find("同名ファイルが存在するため未出力"), std::string::npos) << r.log;
    EXPECT_EQ(read_bytes(output), "keep me");

    settings_.set_number(RcSwitch::kOverwrite, 1);
    r = run({input});
    EXPECT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(read_bytes(output), "keep me");
    EXPECT_EQ(read_bytes(input), original);
}

TEST_F(ReconstructJob, UnitWithoutSurvivorsFailsAndOthersGoOn) {
    settings_.set_number(RcSwitch::kLength, 1);
    settings_.set_number(RcNumber::kMinLength, 3);
    settings_.set_number(RcNumber::kMaxLength, 100);
    write_bytes(work_ / u"short.xml", file_of({{1, 100, "a"}, {2, 200, "b"}}));
    write_bytes(work_ / u"long.xml", file_of({{1, 100, "long enough"}}));
    const std::string before = listing(work_.path());

    const Run r = run({work_ / u"short.xml", work_ / u"missing.xml", work_ / u"long.xml", work_ / u"short.xml"});
    EXPECT_EQ(r.counts.total, 3);
    EXPECT_EQ(r.counts.succeeded, 1);
    EXPECT_NE(r.log.find("有効なコメントがありません"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("同じファイルが重複して指定されているので省略"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("3個中2個のファイルの処理に失敗..."), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("処理を終了します（失敗あり）。"), std::string::npos) << r.log;
    const std::string after = listing(work_.path());
    EXPECT_EQ(after.find("short["), std::string::npos) << after;
    EXPECT_NE(after.find("long["), std::string::npos) << after;
}

TEST_F(ReconstructJob, BadListLineIsLoggedWithItsLineAndTheJobGoesOn) {
    settings_.set_number(RcSwitch::kNgWord, 1);
    write_bytes(list_file_path(settings_, ListFile::kNgWords), utf16le(u"// words\r\n/(unclosed/\r\nbad\r\n"));
    write_bytes(work_ / u"ep.xml", file_of({{1, 100, "bad"}, {2, 200, "good"}}));

    const Run r = run({work_ / u"ep.xml"});
    EXPECT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(r.log.find("2行目"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("NGワードを含むコメントを削除：1件"), std::string::npos) << r.log;
}

TEST_F(ReconstructJob, StopWritesNothing) {
    write_bytes(work_ / u"ep.xml", file_of({{1, 100, "a"}}));
    const std::string before = listing(work_.path());
    const Run r = run({work_ / u"ep.xml"}, true);
    EXPECT_TRUE(r.counts.stopped);
    EXPECT_EQ(listing(work_.path()), before);
}

TEST_F(ReconstructJob, BuiltSetSummary) {
    const ReconstructLists lists = load_reconstruct_lists(settings_, reconstruct_settings(settings_));
    CWorkChatdata set;
    ChatReadContext context;
    const std::string text = file_of({{1, 100, "same"}, {2, 150, "same"}, {3, 500, "x"}});
    ASSERT_EQ(read_comments(text, set, 0, context), 3);
    EXPECT_EQ(u8(reconstruct_built_set(set, reconstruct_settings(settings_), lists)), "再構成では特に変更なし\r\n");

    settings_.set_number(RcSwitch::kDuplicates, 1);
    settings_.set_number(RcSwitch::kDupBody, 1);
    EXPECT_EQ(u8(reconstruct_built_set(set, reconstruct_settings(settings_), lists)),
              "再構成\r\n内容や表示時間が重複っぽいコメントを削除：1件\r\n（総削除数：1件）\r\n"
              "3コメントから、2コメントに制限して出力\r\n\r\n最終コメント数：2\r\n");
}

TEST_F(ReconstructJob, StagesListsAndTheRowsShortReport) {
    settings_.set_number(RcSwitch::kPreStage, 1);
    settings_.set_number(RcSwitch::kNgWord, 1);
    settings_.set_number(RcSwitch::kSaveLists, 1);
    write_bytes(resolve_in_home(settings_.text(OptText::kCommandConvert1)),
                utf16le(u"▼消す\r\n<本文がこの文字列を含む>消して\r\n<このコメントは排除する>\r\n"));
    write_bytes(list_file_path(settings_, ListFile::kNgWords), utf16le(u"NGだ\r\n"));
    std::string text = file_of({{1, 100, "消してね"}, {2, 200, "NGだよ"}, {3, 300, "残る"}});
    // An unknown command is reported once the stages ran over it.
    const size_t at = text.find("user_id=\"u3\"");
    text.insert(at, "mail=\"zzunknown\" ");
    write_bytes(work_ / u"ep.xml", text);

    const Run r = run({work_ / u"ep.xml"});
    ASSERT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(r.log.find("前変換：消す：1件\n（前変換での総削除数：1件）\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("未知のコマンド：「zzunknown」"), std::string::npos) << r.log;
    // The NG word list went to its side file; the kinds not chosen wrote nothing.
    const std::string files = listing(work_.path());
    EXPECT_NE(files.find("ep[1～1][NGワード で除外したコメント].xml"), std::string::npos) << files;
    EXPECT_EQ(files.find("重複"), std::string::npos) << files;
    EXPECT_NE(read_bytes(work_ / u"ep[1～1][NGワード で除外したコメント].xml").find(">NGだよ</chat>"),
              std::string::npos);
    // The list row: the same lines on one line, no validation lines.
    ASSERT_EQ(r.rows.size(), 1u);
    const std::string row = u8(r.rows[0].cells[2]);
    EXPECT_EQ(row.rfind("前変換：消す：1件 （前変換での総削除数：1件） ", 0), 0u) << row;
}

TEST_F(ReconstructJob, JoinedPartsMoveByTheLengthsBefore) {
    settings_.set_number(RcSwitch::kMerge, 1);
    settings_.set_number(RcSwitch::kMergeAll, 1);
    settings_.set_number(RcSwitch::kPartMerge, 1);
    settings_.set_number(RcSwitch::kNoTailInfo, 1);
    settings_.set_number(RcSwitch::kKeepNumbers, 1);
    write_bytes(work_ / u"partA[1分00秒].xml", file_of({{1, 100, "a"}}));
    write_bytes(work_ / u"partB.xml", file_of({{2, 250, "b"}, {3, 900, "c"}}));
    write_bytes(work_ / u"partC.xml", file_of({{4, 5, "d"}}));

    const Run r = run({work_ / u"partA[1分00秒].xml", work_ / u"partB.xml", work_ / u"partC.xml"});
    ASSERT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(r.log.find("パート分割の合成：2行目は1分00秒遅らせた：2件\n"
                         "パート分割の合成：3行目は1分09秒遅らせた：1件\n"
                         "※動画の長さは、1行目が1分00秒（ファイル名から取得）、2行目が0分09秒（コメント内容から推測）、"
                         "3行目が0分00.05秒（コメント内容から推測）\n"),
              std::string::npos)
        << r.log;
    const std::string out = read_bytes(work_ / u"part.xml");
    EXPECT_NE(out.find("vpos=\"6250\""), std::string::npos) << out;
    EXPECT_NE(out.find("vpos=\"6900\""), std::string::npos) << out;
    EXPECT_NE(out.find("vpos=\"6905\""), std::string::npos) << out;
}

TEST(ReconstructSettingsMapping, RowsOfTheTabBecomeTheirOptions) {
    CSettings s;
    s.set_number(RcSwitch::kTiming1, 1);
    s.set_number(rc_timing_scope(0), 0);  // "より後のみ"
    s.set_number(rc_timing_action(0), 2); // "のCMカット"
    s.set_number(rc_timing(0, TimingField::kAtMinutes), 1);
    s.set_number(rc_timing(0, TimingField::kAtSeconds), 30);
    s.set_number(rc_timing(0, TimingField::kBySeconds), 10);
    s.set_number(rc_timing_enabled(1), 1);
    s.set_number(rc_timing_scope(1), 4); // "行目以降": the row number sits in the minutes box
    s.set_number(rc_timing(1, TimingField::kAtMinutes), 3);
    s.set_number(RcSwitch::kDateRule2, 1);
    s.set_number(rc_date_base(1), 4);
    s.set_number(rc_date_side(1), 1);
    s.set_number(rc_date_rule(1, DateRuleField::kHours), -2);
    const ReconstructSettings r = reconstruct_settings(s);
    EXPECT_TRUE(r.pass.timing[0].enabled);
    EXPECT_EQ(r.pass.timing[0].scope, TimingScope::after);
    EXPECT_EQ(r.pass.timing[0].action, TimingAction::cut);
    EXPECT_EQ(r.pass.timing[0].at, 9000);
    EXPECT_EQ(r.pass.timing[0].amount, 1000);
    EXPECT_EQ(r.pass.timing[1].scope, TimingScope::rows_from);
    EXPECT_EQ(r.pass.timing[1].at, 3);
    EXPECT_FALSE(r.pass.timing[2].enabled);
    EXPECT_FALSE(r.pass.date_rules[0].enabled);
    EXPECT_TRUE(r.pass.date_rules[1].enabled);
    EXPECT_EQ(r.pass.date_rules[1].base, DateBase::given);
    EXPECT_FALSE(r.pass.date_rules[1].before);
    EXPECT_EQ(r.pass.date_rules[1].hours, -2);
    EXPECT_GT(r.pass.date_rules[1].given, 1293000000); // 2011-01-01 in any time zone
    EXPECT_FALSE(r.needs_vocabulary());
}

TEST(ReconstructReport, TimingLinesAndTheShortForm) {
    TimingRow cut{true, TimingScope::after, 9000, TimingAction::cut, 1000};
    EXPECT_EQ(u8(timing_row_lines(cut, 3, 5)[0]), "1分30秒より後のコメントを0分10秒のＣＭカット（区間内を削除）：3件");
    EXPECT_EQ(u8(timing_row_lines(cut, 3, 5)[1]),
              "1分30秒より後のコメントを0分10秒のＣＭカット（区間後を早めた）：5件");
    TimingRow advance{true, TimingScope::row_only, 102, TimingAction::advance, 150};
    EXPECT_EQ(timing_row_lines(advance, 0, 0).size(), 0u);
    const std::vector<std::u16string> lines = timing_row_lines(advance, 1, 4);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(u8(lines[0]), "2行目のコメントを0分01.50秒早めた：4件");
    EXPECT_EQ(u8(lines[1]), "その結果、時間がマイナスになったコメントを削除：1件");

    const std::vector<std::u16string> report = {u"abc", u"defgh"};
    EXPECT_EQ(u8(short_report(report, 20)), "abc defgh");
    EXPECT_EQ(u8(short_report(report, 8)), "abc detc");
    // A cut never leaves half a surrogate pair before "etc".
    const std::vector<std::u16string> wide = {u"a\U0001F600bcdef"};
    EXPECT_EQ(u8(short_report(wide, 5)), "aetc");
}

TEST_F(ReconstructJob, UnreadableSettingsFilesAreReportedAndTheJobGoesOn) {
    settings_.set_number(RcSwitch::kPostStage, 1);
    settings_.set_number(RcSwitch::kNgWord, 1);
    settings_.set_number(RcSwitch::kDuplicates, 1);
    settings_.set_number(RcSwitch::kDupBody, 1);
    settings_.set_number(RcSwitch::kDupFuzzy, 1);
    // A folder where a file should be: it exists, so nothing is created, and it cannot be read.
    for (const std::u16string& path :
         {resolve_in_home(settings_.text(OptText::kCommandConvert2)), list_file_path(settings_, ListFile::kNgWords),
          resolve_in_home(settings_.text(OptText::kFuzzyRules))})
        std::filesystem::create_directories(to_fs_path(path));
    write_bytes(work_ / u"ep.xml", file_of({{1, 100, "a"}, {2, 200, "a"}}));

    const Run r = run({work_ / u"ep.xml"});
    EXPECT_EQ(r.counts.succeeded, 1) << r.log;
    EXPECT_NE(r.log.find("設定：コマンドの変換2.txt：読み込めないので何もしないルールとして続行"), std::string::npos)
        << r.log;
    EXPECT_NE(r.log.find("設定：再構成のNGワード.txt 0行目"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("設定：曖昧一致のルール.txt 0行目"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("内容や表示時間が重複っぽいコメントを削除：1件"), std::string::npos) << r.log;
}

TEST_F(ReconstructJob, ListExpressionsThatGiveUpAreReportedPerUnit) {
    settings_.set_number(RcSwitch::kNgWord, 1);
    write_bytes(list_file_path(settings_, ListFile::kNgWords), utf16le(u"/(a+)+$/\r\n"));
    const std::string hostile = std::string(40, 'a') + "b";
    write_bytes(work_ / u"one.xml", file_of({{1, 100, hostile.c_str()}, {2, 200, "fine"}}));
    write_bytes(work_ / u"two.xml", file_of({{1, 100, hostile.c_str()}}));

    const Run r = run({work_ / u"one.xml", work_ / u"two.xml"});
    EXPECT_EQ(r.counts.succeeded, 2) << r.log;
    const std::string line = "NG・置換リストの正規表現の照合が長すぎるため打ち切り（一致なしと判定）：1件\n";
    // Once per unit, not the job's running total; the comment counts as not matching and stays.
    const size_t first = r.log.find(line);
    ASSERT_NE(first, std::string::npos) << r.log;
    EXPECT_NE(r.log.find(line, first + 1), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("NGワードを含むコメントを削除"), std::string::npos) << r.log;
}

} // namespace
} // namespace quippet
