#include "reconstruct/SplitCut.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/MemorySinks.h"
#include "app/WorkThread.h"
#include "tests/support/JobTestSupport.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::listing;
using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

const std::string kTrailing = "<num_click no=\"2\" count=\"1\" thread=\"7\"/>\n</packet>\n";

/// A comment file of the comments [from, to) of `numbers`, the header's last_res being the last of them;
/// vpos rises evenly to `last_vpos` over all of `numbers`. A part written from the whole file must equal it.
std::string file_of(const std::vector<int>& numbers, size_t from = 0, size_t to = SIZE_MAX, int last_vpos = 10000) {
    to = std::min(to, numbers.size());
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread thread=\"7\" last_res=\"" +
                       std::to_string(numbers[to - 1]) + "\" ticket=\"0x1\"/><view_counter video=\"3\" id=\"sm9\"/>\n";
    for (size_t i = from; i < to; ++i) {
        const long long vpos = numbers.size() > 1 ? 1LL * last_vpos * static_cast<long long>(i) /
                                                        static_cast<long long>(numbers.size() - 1)
                                                  : last_vpos;
        const std::string no = std::to_string(numbers[i]);
        text += "<chat thread=\"7\" no=\"" + no + "\" vpos=\"" + std::to_string(vpos) + "\" user_id=\"u" + no + "\">c" +
                no + "</chat>\n";
    }
    return text + kTrailing;
}

std::vector<int> range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i)
        v.push_back(i);
    return v;
}

UnitContext context_for(const std::u16string& input, SplitCutSettings settings) {
    UnitContext context;
    context.settings = settings;
    context.inputs = {input};
    return context;
}

SplitCutSettings sized(int size, bool remainder = false, bool overwrite = false) {
    SplitCutSettings s;
    s.part_size = size;
    s.remainder = remainder;
    s.overwrite = overwrite;
    return s;
}

TEST(SplitAutoSize, RoundsToMinutesAndFallsBackForShortFiles) {
    const int cases[][3] = {
        {100, 28000, 500},
        {100, 26999, 400}, // 4:40 rounds up, 4:29.99 down
        {100, 2000, 50},
        {100, 1000, 33}, // under half a minute: a half from 15 s on, else a third
        {100, 1499, 33},
        {100, 1500, 50},
        {100, 3000, 100},
        {1, 500, 1},                // a part never has 0 comments
        {100000, INT_MAX, INT_MAX}, // no overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(auto_part_size(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(SplitFile, FixedAndAutomaticSizes) {
    TempFolder folder;
    const std::u16string input = folder / u"番組.xml";
    const std::vector<int> numbers = range(1, 1000);
    write_bytes(input, file_of(numbers));

    UnitResult r = split_file(input, context_for(input, sized(300)));
    ASSERT_TRUE(r.ok) << u8(r.message);
    EXPECT_EQ(u8(r.message), u8(u"3個のファイルを出力（端数の100コメントは出力せず）"));
    ASSERT_EQ(r.written.size(), 3u);
    EXPECT_EQ(u8(r.written[0]), u8(folder / u"番組［分割1］.xml"));
    EXPECT_EQ(read_bytes(r.written[0]), file_of(numbers, 0, 300));
    EXPECT_EQ(read_bytes(r.written[2]), file_of(numbers, 600, 900));

    r = split_file(input, context_for(input, sized(300, true, true)));
    ASSERT_EQ(r.written.size(), 4u);
    EXPECT_EQ(read_bytes(r.written[3]), file_of(numbers, 900, 1000));
    EXPECT_EQ(read_bytes(input), file_of(numbers)) << "the source is never changed";

    // Last comment at 4:40 with 100 a minute: parts of 500, whatever size is typed.
    write_bytes(input, file_of(numbers, 0, SIZE_MAX, 28000));
    SplitCutSettings automatic = sized(7, false, true);
    automatic.automatic = true;
    r = split_file(input, context_for(input, automatic));
    ASSERT_EQ(r.written.size(), 2u);
    EXPECT_EQ(read_bytes(r.written[1]), file_of(numbers, 500, 1000, 28000));

    write_bytes(input, file_of(range(1, 10)));
    EXPECT_EQ(u8(split_file(input, context_for(input, sized(300))).message), u8(u"切り出せるコメントがありません"));
}

TEST(SplitFile, RejectsFilesItCannotIndex) {
    TempFolder folder;
    std::string no_vpos = file_of(range(1, 5));
    no_vpos.replace(no_vpos.find(" vpos=\"0\""), 9, "");
    std::string no_number = file_of(range(1, 5));
    no_number.replace(no_number.find(" no=\"3\""), 7, "");
    std::string unclosed = file_of(range(1, 5));
    unclosed.erase(unclosed.rfind("</chat>"));
    const std::u16string_view format = u"想定しているファイル形式と異なるようです";
    const struct {
        const char* name;
        std::string text;
        std::u16string_view message;
    } cases[] = {
        {"order.xml", file_of({1, 2, 4, 3}), u"コメント番号の順序に入れ替わりあり"},
        {"twice.xml", file_of({1, 2, 2, 3}), u"コメント番号の順序に入れ替わりあり"},
        {"novpos.xml", no_vpos, format}, // only "自動" needs vpos
        {"nonumber.xml", no_number, format},
        {"unclosed.xml", unclosed, format},
        {"empty.xml", "<packet><thread thread=\"7\"/></packet>", u"切り出せるコメントがありません"},
        {"list.txt", file_of(range(1, 5)), u"ファイルの拡張子が違います"},
    };
    for (const auto& c : cases) {
        const std::u16string input = folder / from_utf8(c.name);
        write_bytes(input, c.text);
        SplitCutSettings settings = sized(2);
        settings.automatic = true;
        const UnitResult r = split_file(input, context_for(input, settings));
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(u8(r.message), u8(c.message)) << c.name;
    }
    EXPECT_TRUE(split_file(folder / u"novpos.xml", context_for(folder / u"novpos.xml", sized(5))).ok);
    EXPECT_EQ(u8(split_file(folder / u"missing.xml", context_for(folder / u"missing.xml", sized(5))).message),
              u8(u"ファイルがオープンできません"));
}

TEST(SplitFile, ExistingOutputsInputsAndStops) {
    TempFolder folder;
    const std::u16string input = folder / u"a.xml";
    write_bytes(input, file_of(range(1, 9)));
    const std::u16string second = folder / u"a［分割2］.xml";
    write_bytes(second, "kept");

    // Without "同名時に上書" no part is written, not even those whose names are free.
    UnitResult r = split_file(input, context_for(input, sized(3)));
    EXPECT_EQ(u8(r.message), u8(u"同名ファイルが存在するため未出力"));
    EXPECT_EQ(listing(folder.path()), u8(u"a.xml\na［分割2］.xml\n"));

    // With it a part is replaced, unless it is an input of the job.
    UnitContext context = context_for(input, sized(3, false, true));
    context.inputs.push_back(second);
    EXPECT_EQ(u8(split_file(input, context).message), u8(u"出力名が入力ファイルと同じため未出力"));
    EXPECT_EQ(read_bytes(second), "kept");
    EXPECT_TRUE(split_file(input, context_for(input, sized(3, false, true))).ok);
    EXPECT_EQ(read_bytes(second), file_of(range(1, 9), 3, 6));

    // A stop while indexing, between parts or before the renames leaves no new file and no temporary.
    write_bytes(input, file_of(range(1, 100)));
    const std::string before = listing(folder.path());
    for (int after : {5, 100, 105, 110}) {
        context = context_for(input, sized(10));
        auto calls = std::make_shared<int>(0);
        context.stop_requested = [calls, after] { return ++*calls > after; };
        r = split_file(input, context);
        EXPECT_TRUE(r.stopped && !r.ok) << after;
        EXPECT_EQ(listing(folder.path()), before) << after;
    }
}

TEST(CutFile, RangesAndMessages) {
    TempFolder folder;
    const std::u16string input = folder / u"b.xml";
    const std::vector<int> numbers = {3, 4, 5, 7, 8, 20};
    write_bytes(input, file_of(numbers));
    const struct {
        int first, last;
        std::u16string_view message, name;
        size_t from, to;
    } cases[] = {
        {1, 5, u"切り出しに成功", u"b［切り出し3～5］.xml", 0, 3},
        {4, 8, u"切り出しに成功（連続していない番号があります）", u"b［切り出し4～8］.xml", 1, 5},
        {19, 999, u"切り出しに成功", u"b［切り出し20～20］.xml", 5, 6},
        {9, 19, u"切り出せるコメントがありません", u"", 0, 0},
        {8, 7, u"切り出し設定範囲の最初と最後が逆", u"", 0, 0},
    };
    for (const auto& c : cases) {
        SplitCutSettings settings;
        settings.cut_first = c.first;
        settings.cut_last = c.last;
        const UnitResult r = cut_file(input, context_for(input, settings));
        EXPECT_EQ(u8(r.message), u8(c.message));
        ASSERT_EQ(r.written.size(), c.name.empty() ? 0u : 1u) << c.first;
        if (r.ok) {
            EXPECT_EQ(read_bytes(folder / c.name), file_of(numbers, c.from, c.to));
        }
    }
    EXPECT_EQ(read_bytes(input), file_of(numbers));
}

struct JobRun {
    JobCounts counts;
    std::u16string log;
    std::vector<MemoryListView::Row> rows;
};

JobRun run_job(const std::vector<std::u16string>& inputs, const SplitCutSettings& settings, JobKind kind,
               bool stop = false) {
    CJobFrame frame;
    MemoryLogBox log;
    MemoryListView list;
    for (const std::u16string& input : inputs)
        list.add_row({input});
    CWorkData data = test::data_for(frame, &log, &list, kind);
    data.inputs() = inputs;
    if (stop) frame.stop_job_flag() = 1;
    CWorkThread worker(data);
    JobRun run;
    run.counts = run_split_cut_job(worker, settings, kind);
    run.log = log.text();
    run.rows = list.rows();
    return run;
}

TEST(SplitCutJob, EveryFileIsTriedAndTheSummaryCounts) {
    TempFolder folder;
    const std::u16string good = folder / u"good.xml";
    const std::u16string bad = folder / u"bad.xml";
    write_bytes(good, file_of(range(1, 10)));
    write_bytes(bad, file_of({2, 1}));

    JobRun run = run_job({bad, good, good}, sized(5), JobKind::kSplit);
    EXPECT_EQ(run.counts.total, 2) << "a file listed twice is one unit";
    EXPECT_EQ(run.counts.succeeded, 1);
    for (const std::u16string& line :
         {bad + u"：コメント番号の順序に入れ替わりあり\r\n",
          good + u"：2個のファイルを出力\r\n　→ " + folder / u"good［分割1］.xml",
          good + u"：同じファイルが重複して指定されているので省略",
          std::u16string(u"2個中1個のファイルの処理に失敗...\r\n処理を終了します（失敗あり）。")})
        EXPECT_NE(run.log.find(line), std::u16string::npos) << u8(line) << "\n" << u8(run.log);
    EXPECT_EQ(u8(run.rows[0].cells[kDdStatusColumn]), u8(u"失敗"));
    EXPECT_EQ(u8(run.rows[1].cells[kDdResultColumn]), u8(u"2個のファイルを出力"));

    SplitCutSettings cut;
    cut.cut_first = 2;
    cut.cut_last = 4;
    run = run_job({good}, cut, JobKind::kCut);
    EXPECT_NE(run.log.find(u"good.xmlの処理に成功"), std::u16string::npos) << u8(run.log);

    run = run_job({good, bad}, sized(5), JobKind::kSplit, true);
    EXPECT_TRUE(run.counts.stopped);
    EXPECT_NE(run.log.find(u"：ユーザー操作で中止\r\n処理を中止しました。"), std::u16string::npos) << u8(run.log);
    EXPECT_EQ(run.log.find(u"bad.xml"), std::u16string::npos) << "nothing after the stop";
}

} // namespace
} // namespace quippet
