#include "download/CommentJoin.h"

#include <string>

#include <gtest/gtest.h>

#include "download/CommentDownload.h"
#include "resources/MessageIds.h"
#include "tests/download/CommentTestSupport.h"

namespace quippet {
namespace {

std::string chat(int no, long long date, const std::string& text = "") {
    return "<chat thread=\"1\" no=\"" + std::to_string(no) + "\" vpos=\"10\" date=\"" + std::to_string(date) +
           "\" user_id=\"u\">" + (text.empty() ? "c" + std::to_string(no) : text) + "</chat>";
}

std::string answer(const std::string& chats, const std::string& thread = "<thread resultcode=\"0\" last_res=\"9\"/>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet>" + thread + chats + "</packet>";
}

using test::comment_numbers;
using test::number_range;

TEST(CommentRequest, BodiesCarryTheirAttributesInTheServersOrder) {
    ThreadRequest r;
    r.thread = u"1000000009";
    r.user_id = u"12345";
    r.res_from = 250;
    EXPECT_EQ(thread_request_body(r),
              "<thread user_id=\"12345\" res_from=\"-250\" version=\"20061206\" thread=\"1000000009\" scores=\"1\"/>");
    // A thread without a key is asked for without the attribute at all, not with an empty one.
    EXPECT_EQ(thread_request_body(r).find("threadkey"), std::string::npos);
    EXPECT_EQ(packet_request_body(r, 3, false),
              "<packet><thread user_id=\"12345\" version=\"20090904\" thread=\"1000000009\" scores=\"1\"/>"
              "<thread_leaves thread=\"1000000009\" user_id=\"12345\" scores=\"1\">0-3:100</thread_leaves></packet>");

    r.when = 1173200000;
    r.waybackkey = u"wbk";
    r.threadkey = u"tk";
    r.force_184 = u"1";
    r.fork = true;
    EXPECT_EQ(thread_request_body(r),
              "<thread when=\"1173200000\" waybackkey=\"wbk\" user_id=\"12345\" res_from=\"-250\" version=\"20061206\" "
              "thread=\"1000000009\" threadkey=\"tk\" force_184=\"1\" scores=\"1\" fork=\"1\"/>");
    r.fork = false;
    r.force_184.clear();
    EXPECT_EQ(packet_request_body(r, 12, true),
              "<packet><thread when=\"1173200000\" waybackkey=\"wbk\" user_id=\"12345\" version=\"20090904\" "
              "thread=\"1000000009\" scores=\"1\" threadkey=\"tk\"/><thread_leaves when=\"1173200000\" "
              "waybackkey=\"wbk\" thread=\"1000000009\" user_id=\"12345\" scores=\"1\" threadkey=\"tk\">0-12:100,1000"
              "</thread_leaves></packet>");
}

TEST(CommentAnswerRead, HostileAnswersGiveWhatTheyHoldAndNoMore) {
    const CommentAnswer a = read_comment_answer(
        answer(chat(3, 30) + "<chat vpos=\"1\" date=\"5\">no number</chat>" + chat(1, 10) + "<chat no=\"0\"/>",
               "<thread resultcode=\"9\" thread=\"1000000009\" last_res=\"77\" ticket=\"x\"/>"));
    EXPECT_TRUE(a.has_packet);
    EXPECT_EQ(a.resultcode, 9);
    EXPECT_EQ(a.last_res, 77);
    EXPECT_EQ(a.thread, 1000000009);
    ASSERT_EQ(a.chats.size(), 2u);
    EXPECT_EQ(a.chats[0].no, 3);
    EXPECT_EQ(a.chats[1].date, 10);
    EXPECT_EQ(a.unnumbered, 2);
    EXPECT_FALSE(a.truncated);

    const CommentAnswer cut = read_comment_answer("<packet>" + chat(2, 20) + "<chat no=\"4\">open");
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.chats.size(), 1u);
    EXPECT_FALSE(read_comment_answer("<html>503</html>").has_packet);
    EXPECT_TRUE(read_comment_answer("").chats.empty());
    EXPECT_EQ(read_comment_answer(answer(chat(1, 5))).resultcode, 0);
}

TEST(CommentPiecesJoin, OrdersByNumberAndKeepsEachNumberOnceFirstHeldWins) {
    CommentPieces p;
    const std::string by_count = answer(chat(5, 50) + chat(6, 60) + chat(7, 70, "first"));
    const std::string by_minute = answer(chat(7, 70, "second") + chat(2, 20) + chat(4, 40) + chat(2, 20, "again"));
    p.add(by_count, read_comment_answer(by_count));
    p.add(by_minute, read_comment_answer(by_minute));
    EXPECT_EQ(p.lowest(), 2);
    EXPECT_EQ(p.highest(), 7);
    EXPECT_EQ(p.lowest_date(), 20);
    std::string body;
    EXPECT_EQ(p.join(1, body), 5);
    EXPECT_EQ(comment_numbers(body), (std::vector<int>{2, 4, 5, 6, 7}));
    EXPECT_NE(body.find("first"), std::string::npos);
    EXPECT_EQ(body.find("second"), std::string::npos);
    EXPECT_EQ(body.find("again"), std::string::npos);
    EXPECT_TRUE(p.empty());
}

TEST(CommentPiecesJoin, OlderAnswersAreCutBeforeTheLowestHeld) {
    CommentPieces p;
    const std::string latest = answer(chat(8, 80) + chat(9, 90) + chat(10, 100));
    p.add(latest, read_comment_answer(latest));

    // The held comment must be in the answer: an answer of another thread or window is no continuation.
    const std::string elsewhere = answer(chat(3, 30) + chat(4, 40));
    EXPECT_EQ(p.add_older(elsewhere, read_comment_answer(elsewhere), p.lowest()), -1);
    // An answer without comments, or one that repeats what is held, brings nothing.
    EXPECT_EQ(p.add_older(answer(""), read_comment_answer(answer("")), p.lowest()), 0);
    EXPECT_EQ(p.add_older(latest, read_comment_answer(latest), p.lowest()), 0);
    // Out of order: 9 before the cut is held already, 12 is not older; both stay out.
    const std::string older =
        answer(chat(5, 50) + chat(9, 90) + chat(6, 60) + chat(12, 1) + chat(7, 70) + chat(8, 80) + chat(9, 90));
    EXPECT_EQ(p.add_older(older, read_comment_answer(older), p.lowest()), 3);
    EXPECT_EQ(p.last_added_lowest(), 5);
    EXPECT_EQ(p.lowest(), 5);
    EXPECT_EQ(p.lowest_date(), 50);
    EXPECT_EQ(p.count(), 6);
    EXPECT_EQ(p.header(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><thread resultcode=\"0\" last_res=\"9\"/>");
    EXPECT_EQ(p.footer(), "</packet>");
    std::string body;
    EXPECT_EQ(p.join(6, body), 5);
    EXPECT_EQ(comment_numbers(body), number_range(6, 10));
}

TEST(CommentPiecesJoin, AWalkOfManyPiecesJoinsInOrderAndAbsorbKeepsTheOwnFirst) {
    CommentPieces latest;
    const std::string top = answer(chat(901, 901) + chat(1000, 1000, "latest"));
    latest.add(top, read_comment_answer(top));
    CommentPieces walk;
    std::string first;
    for (int n = 951; n <= 1000; ++n)
        first += chat(n, n);
    walk.add(answer(first), read_comment_answer(answer(first)));
    for (int from = 901; from >= 1; from -= 50) {
        std::string older;
        for (int n = from; n <= from + 50; ++n)
            older += chat(n, n);
        const std::string text = answer(older);
        ASSERT_EQ(walk.add_older(text, read_comment_answer(text), walk.lowest()), 50) << from;
    }
    EXPECT_EQ(walk.lowest(), 1);
    latest.absorb(std::move(walk));
    std::string body;
    EXPECT_EQ(latest.join(1, body), 1000);
    EXPECT_EQ(comment_numbers(body), number_range(1, 1000));
    EXPECT_NE(body.find("latest"), std::string::npos);
}

TEST(CommentSkipRules, FiguresOfTheCommentFilePage) {
    CommentOptions o;
    o.skip_unchanged = true;
    o.skip_increase_below = 5;
    EXPECT_EQ(comment_skip_code(o, 500, 503), msg::kFewNewComments);
    EXPECT_EQ(comment_skip_code(o, 500, 500), msg::kNoNewComments);
    EXPECT_EQ(comment_skip_code(o, 500, 470), msg::kNoNewComments);
    EXPECT_EQ(comment_skip_code(o, 500, 505), 0);
    EXPECT_EQ(comment_skip_code(o, 500, -1), 0); // the count is not known yet
    EXPECT_EQ(comment_skip_code(o, -1, 503), 0); // nothing saved

    CommentOptions c;
    c.skip_by_conditions = true;
    EXPECT_EQ(comment_skip_code(c, 5000, 5000), 0); // no condition checked skips nothing
    c.cond_last_number = true;
    c.last_number_at_least = 1000;
    EXPECT_EQ(comment_skip_code(c, 1000, -1), msg::kSkipManySaved); // decided before any request
    EXPECT_EQ(comment_skip_code(c, 999, -1), 0);
    c.cond_increase = true;
    c.increase_at_most = 10;
    EXPECT_EQ(comment_skip_code(c, 1000, -1), 0);
    EXPECT_EQ(comment_skip_code(c, 1000, 1010), msg::kSkipNotIncreased);
    EXPECT_EQ(comment_skip_code(c, 1000, 1011), 0);
    c.cond_latest_count = true;
    c.latest_count_at_most = 1010;
    EXPECT_EQ(comment_skip_code(c, 1000, 1010), msg::kSkipFewLatest);
    c.latest_count_at_most = 1009;
    EXPECT_EQ(comment_skip_code(c, 1000, 1010), 0);
}

TEST(CommentDates, PostedTextIsTheServicesTime) {
    EXPECT_EQ(posted_seconds(u"2007/03/06 00:33:00"), 1'173'108'780);
    EXPECT_EQ(posted_seconds(u"1970/01/01 09:00:00"), 0);
    EXPECT_EQ(posted_seconds(u"2024/02/29 23:59:59"), 1'709'218'799);
    for (std::u16string_view bad : {u"", u"2007/13/06 00:33:00", u"2007-03-06 00:33:00", u"2007/03/06", u"x"})
        EXPECT_EQ(posted_seconds(bad), -1);
}

} // namespace
} // namespace quippet
