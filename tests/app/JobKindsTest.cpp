#include "app/JobFrame.h"
#include "app/JobKinds.h"
#include "tests/support/TestText.h"

#include <gtest/gtest.h>

#include <string>

namespace quippet {
namespace {

using test::u8;

std::array<int, job_kind_count> running_with(std::initializer_list<int> kinds) {
    std::array<int, job_kind_count> running{};
    for (int kind : kinds)
        ++running[static_cast<std::size_t>(kind)];
    return running;
}

TEST(JobKinds, AdmissionRules) {
    struct Case {
        std::initializer_list<int> running;
        int kind;
        bool admitted;
    };
    const Case cases[] = {
        {{}, 0, true},     {{}, 22, true},     {{0}, 0, true}, // splits run side by side
        {{1, 1}, 1, true}, {{4}, 4, false},                    // one download at a time
        {{4}, 0, true},    {{3}, 2, false},                    // reconstruction waits for the live-log conversion
        {{2}, 3, false},   {{2}, 2, false},    {{3}, 3, false},
        {{2}, 13, true},   {{7}, 8, false},                    // exclusive kinds block each other
        {{5}, 11, false},  {{10}, 6, false},   {{8}, 4, true}, // a download is not exclusive
        {{4}, 8, true},    {{8}, 12, true},    {{18}, 18, true},
        {{17}, 17, false}, {{9, 9}, 9, true},  {{14, 15, 16}, 14, true},
        {{21}, 21, false}, {{2, 3}, 23, true}, // the command line's scan runs beside anything
    };
    for (const Case& c : cases) {
        std::string running;
        for (int k : c.running)
            running += std::to_string(k) + " ";
        EXPECT_EQ(may_admit(running_with(c.running), static_cast<JobKind>(c.kind)), c.admitted)
            << "kind " << c.kind << " while running " << running;
    }
    // Numbers without a slot name no kind, so nothing can admit them.
    for (int number : {-1, job_kind_count, 500})
        EXPECT_FALSE(job_kind_from_int(number).has_value()) << number;
    EXPECT_EQ(job_kind_from_int(18), JobKind::kListRefresh);
}

TEST(JobEndNotice, TextsForEachSituation) {
    struct Case {
        int kind;
        bool others;
        bool notify;
        std::u16string_view text; // empty: nothing shown
    };
    const Case cases[] = {
        {0, false, true, u"分割が終了（全処理が終了）"},
        {0, true, true, u"分割が終了（他の処理は継続中）"},
        {3, false, false, u"実況ログの変換が終了（全処理が終了）"},
        {13, false, true, u"2chブラウザへ送信終了（全処理が終了）"},
        {18, false, true, u"サムネ表示の更新終了（全処理が終了）"},
        {18, true, true, u""}, // a display refresh is not worth a notice while others work
        {17, true, true, u"サムネ表示の更新終了（他の処理は継続中）"},
        {22, false, true, u"リストへの登録（全処理が終了）"},
        {23, false, true, u"処理が終了しました（全処理が終了）"},
        {500, true, true, u"処理が終了しました（他の処理は継続中）"},
        {-1, false, true, u"想定外の状況が発生しました（スレッドの種類が予期しない番号でした）"},
    };
    for (const Case& c : cases) {
        const auto notice = make_end_notice(c.kind, c.others, c.notify);
        if (c.text.empty()) {
            EXPECT_FALSE(notice.has_value()) << c.kind;
            continue;
        }
        ASSERT_TRUE(notice.has_value()) << c.kind;
        EXPECT_EQ(u8(notice->text), u8(c.text)) << c.kind;
        EXPECT_EQ(u8(notice->tooltip), u8(u"QuippetVellichor - " + std::u16string(c.text))) << c.kind;
        EXPECT_EQ(notice->balloon, c.notify) << c.kind;
    }
}

TEST(JobEndNotice, KindFromEndMessagePayload) {
    struct Case {
        std::u16string_view payload;
        int kind;
    };
    const Case cases[] = {
        {u"4", 4},
        {std::u16string_view(u"22\0", 3), 22},
        {u"23", 23},
        {u"0", 0},
        {u"", -1},
        {u"-1", -1},
        {u"4a", -1},
        {u" 4", -1},
        {u"99999999999", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_job_kind(c.payload), c.kind) << u8(c.payload);
}

} // namespace
} // namespace quippet
