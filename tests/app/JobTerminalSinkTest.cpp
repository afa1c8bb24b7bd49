#include "app/JobFrame.h"
#include "app/TerminalSink.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quippet {
namespace {

struct Terminal {
    explicit Terminal(bool progress) : sink(out, err, progress) {}
    std::ostringstream out;
    std::ostringstream err;
    TerminalSink sink;
};

void run_session(CJobFrame& frame, TerminalSink& sink) {
    frame.log(&sink, u"処理を始めるりゅん！", LogMode::blank_line);
    frame.log(&sink, u"a.xml", LogMode::new_line);
    frame.log(&sink, u"1/2", LogMode::replace_last_line);
    frame.log(&sink, u"2/2", LogMode::replace_last_line);
    frame.log(&sink, u" （1秒）", LogMode::continue_line);
    frame.log(&sink, u"完了", LogMode::blank_line);
}

TEST(JobTerminalSink, RedirectedOutputHoldsOnlyRealLines) {
    CJobFrame frame;
    Terminal t(false);
    run_session(frame, t.sink);
    t.sink.finish();
    EXPECT_EQ(t.out.str(), "処理を始めるりゅん！\na.xml （1秒）\n\n完了\n");
    EXPECT_EQ(t.err.str(), "");
}

TEST(JobTerminalSink, ProgressIsDrawnOverItselfOnTheTerminal) {
    CJobFrame frame;
    Terminal t(true);
    run_session(frame, t.sink);
    t.sink.finish();
    // The open line is ended before the progress line so that it is not drawn over.
    EXPECT_EQ(t.out.str(), "処理を始めるりゅん！\na.xml\n （1秒）\n\n完了\n");
    EXPECT_EQ(t.err.str(), "\r1/2\x1b[K\r2/2\x1b[K\r\x1b[K");
}

TEST(JobTerminalSink, MirrorFollowsTheWindowRules) {
    CJobFrame frame;
    Terminal t(true);
    run_session(frame, t.sink);
    const std::u16string window = u"処理を始めるりゅん！\r\n2/2 （1秒）\r\n\r\n完了";
    EXPECT_EQ(t.sink.length(), window.size());
    EXPECT_EQ(t.sink.unit_at(window.size() - 1), u'了');
}

TEST(JobTerminalSink, NoticesAndBoxes) {
    CJobFrame frame;
    Terminal t(false);
    frame.log(&t.sink, u"途中", LogMode::new_line);
    t.sink.job_ended(*make_end_notice(0, false, true));
    frame.log(&t.sink, u"次", LogMode::new_line);
    const BoxAnswer answer =
        t.sink.message_box({u"続けますか？\r\n二行目", u"確認", BoxButtons::ok_cancel, BoxAnswer::cancel});
    t.sink.finish();
    EXPECT_EQ(answer, BoxAnswer::cancel);
    EXPECT_EQ(t.out.str(), "途中\n分割が終了（全処理が終了）\n次\n");
    EXPECT_EQ(t.err.str(), "[確認] 続けますか？\n二行目\n");
}

} // namespace
} // namespace quippet
