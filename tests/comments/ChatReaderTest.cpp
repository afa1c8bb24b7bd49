#include "comments/ChatReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/comments/ChatTestSupport.h"
#include "tests/text/TempFolder.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::fixture;
using test::u8;

TEST(ChatReaderTest, PerCommentRules) {
    struct Case {
        const char* chat;
        bool keep_negative;
        int result;
        int vpos_missing, vpos_rejected, date_rejected, bad_score;
        int no, vpos, score;
    };
    const Case cases[] = {
        {R"(<chat date="1">x</chat>)", true, -2, 1, 0, 0, 0, 0, 0, 0},
        {R"(<chat vpos="" date="1">x</chat>)", true, -2, 0, 1, 0, 0, 0, 0, 0},
        {R"(<chat vpos="1.5" date="1">x</chat>)", true, -2, 0, 1, 0, 0, 0, 0, 0},
        {R"(<chat vpos="1" date="">x</chat>)", true, -2, 0, 0, 1, 0, 0, 0, 0},
        {R"(<chat vpos="1" date="-2">x</chat>)", true, -2, 0, 0, 1, 0, 0, 0, 0},
        {R"(<chat vpos="1">x</chat>)", true, -2, 0, 0, 1, 0, 0, 0, 0},
        {R"(<chat vpos="1" date="2" score="abc">x</chat>)", true, 1, 0, 0, 0, 1, -1, 1, 0},
        {R"(<chat vpos="1" date="2" score="">x</chat>)", true, 1, 0, 0, 0, 0, -1, 1, 0},
        {R"(<chat vpos="1" date="2" score="-1400" no="-5">x</chat>)", true, 1, 0, 0, 0, 0, -1, 1, -1400},
        {R"(<chat vpos="-30" date="2" no="3">x</chat>)", true, 1, 0, 0, 0, 0, 3, -30, 0},
        {R"(<chat vpos="-30" date="2" no="3">x</chat>)", false, -2, 0, 1, 0, 0, 0, 0, 0},
        // Malformed numbers are counted even on a comment that is then rejected.
        {R"(<chat vpos="x" date="2" score="1e3">x</chat>)", true, -2, 0, 1, 0, 1, 0, 0, 0},
        // The first ` no="` wins, even inside another value, as a plain search finds it.
        {R"(<chat mail="a no="7" vpos="4" date="2" no="8">x</chat>)", true, 1, 0, 0, 0, 0, 7, 4, 0},
        {R"(<chat vpos="99999999999" date="2">x</chat>)", true, -2, 0, 1, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const std::string doc = std::string("<packet>") + c.chat + "</packet>";
        CWorkChatdata set;
        ChatReadContext context;
        context.keep_negative_vpos = c.keep_negative;
        EXPECT_EQ(read_comments(doc, set, 0, context), c.result) << c.chat;
        EXPECT_EQ(context.stats.vpos_missing, c.vpos_missing) << c.chat;
        EXPECT_EQ(context.stats.vpos_rejected, c.vpos_rejected) << c.chat;
        EXPECT_EQ(context.stats.date_rejected, c.date_rejected) << c.chat;
        EXPECT_EQ(context.stats.malformed_count(ChatNumberAttribute::score), c.bad_score) << c.chat;
        if (c.result < 0) {
            EXPECT_EQ(context.error, 33) << c.chat;
            continue;
        }
        EXPECT_EQ(set.no(0), c.no) << c.chat;
        EXPECT_EQ(set.vpos(0), c.vpos) << c.chat;
        EXPECT_EQ(set.get(ChatColumn::score, 0), c.score) << c.chat;
    }
}

TEST(ChatReaderTest, KeepsEveryAttributeAsWritten) {
    const std::string doc = "<packet><chat thread=\"77\" no=\"12\" vpos=\"6001\" date=\"1300000000\" premium=\"3\" "
                            "fork=\"1\" score=\"-1000\" leaf=\"2\" deleted=\"1\" anonymity=\"1\" locale=\"ja-jp\" "
                            "mail=\"184 red\" user_id=\"u&amp;1\" extra=\"9\">&lt;ｷﾀ━(ﾟ∀ﾟ)━!&gt;</chat></packet>";
    CWorkChatdata set;
    ChatReadContext context;
    ASSERT_EQ(read_comments(doc, set, 3, context), 1);
    EXPECT_EQ(u8(set.text(0)), "&lt;ｷﾀ━(ﾟ∀ﾟ)━!&gt;");
    EXPECT_EQ(u8(set.user_id(0)), "u&amp;1");
    EXPECT_EQ(u8(set.mail(0)), "184 red");
    EXPECT_EQ(u8(set.locale(0)), "ja-jp");
    const std::pair<ChatColumn, int> want[] = {
        {ChatColumn::thread, 77},       {ChatColumn::no, 12},     {ChatColumn::vpos, 6001},
        {ChatColumn::date, 1300000000}, {ChatColumn::premium, 3}, {ChatColumn::fork, 1},
        {ChatColumn::score, -1000},     {ChatColumn::leaf, 2},    {ChatColumn::deleted, 1},
        {ChatColumn::anonymity, 1},     {ChatColumn::source, 3},  {ChatColumn::filterable, 1},
    };
    for (const auto& [column, value] : want)
        EXPECT_EQ(set.get(column, 0), value) << static_cast<int>(column);
}

TEST(ChatReaderTest, BadFiles) {
    test::TempFolder dir;
    struct Case {
        std::u16string path;
        int result;
        int error;
    };
    const Case cases[] = {
        {fixture(u"chat-empty.xml"), -1, 6},
        {fixture(u"chat-no-comments.xml"), -1, 6},
        // Nothing but self-closing comments (as the writer closes comments without text): read.
        {fixture(u"chat-only-selfclosing.xml"), 2, 0},
        {fixture(u"chat-start-tag-open-at-end.xml"), -1, 7},
        {fixture(u"chat-truncated-text.xml"), -1, 7},
        {fixture(u"chat-truncated-after-comment.xml"), 2, 0},
        {fixture(u"chat-invalid-utf8.xml"), 2, 0},
        {fixture(u"chat-nul-bytes.xml"), 2, 0},
        {fixture(u"chat-unclosed-quotes.xml"), 2, 0},
        {fixture(u"no-such-file.xml"), -1, 9},
        {dir / u"", -1, 9}, // a folder
    };
    for (const auto& c : cases) {
        CWorkChatdata set;
        ChatReadContext context;
        EXPECT_EQ(read_comment_file(c.path, set, 0, context), c.result) << u8(c.path);
        EXPECT_EQ(context.error, c.error) << u8(c.path);
        EXPECT_EQ(set.count(), c.result > 0 ? c.result : 0) << u8(c.path);
    }
}

TEST(ChatReaderTest, DamagedTextIsKeptReadable) {
    struct Case {
        std::u16string_view file;
        int i;
        std::u16string_view text;
        std::u16string_view user_id;
    };
    const Case cases[] = {
        {u"chat-invalid-utf8.xml", 0, u"ok\uFFFD\uFFFDok", u"u1"},
        {u"chat-invalid-utf8.xml", 1, u"\uFFFD", u"\uFFFD(id"},
        {u"chat-nul-bytes.xml", 0, std::u16string_view(u"a\0b", 3), u"u1"},
        {u"chat-unclosed-quotes.xml", 0, u"ok", u""},
        {u"chat-unclosed-quotes.xml", 1, u"tail", u""},
    };
    for (const auto& c : cases) {
        CWorkChatdata set;
        ChatReadContext context;
        ASSERT_GT(read_comment_file(fixture(c.file), set, 0, context), c.i) << u8(c.file);
        EXPECT_EQ(set.text(c.i), c.text) << u8(c.file) << " " << c.i;
        EXPECT_EQ(set.user_id(c.i), c.user_id) << u8(c.file) << " " << c.i;
    }
}

TEST(ChatReaderTest, SelfClosingCommentsAfterTheLastFullOne) {
    CWorkChatdata set;
    ChatFooterRecord footer;
    ChatReadContext context;
    context.footer = &footer;
    ASSERT_EQ(read_comment_file(fixture(u"chat-selfclosing-tail.xml"), set, 0, context), 4);
    EXPECT_EQ(u8(set.text(1)), "に");
    EXPECT_EQ(set.text(2), u"");
    // An attribute a comment lacks reads empty, whatever the comment before it had.
    EXPECT_EQ(set.user_id(2), u"");
    EXPECT_EQ(set.get(ChatColumn::deleted, 3), 2);
    EXPECT_EQ(set.no(3), 4);
    // The num_click among them is neither a comment nor a comment without vpos.
    EXPECT_EQ(context.stats.vpos_missing, 0);
    EXPECT_EQ(footer.num_clicks.count(), 1);
    EXPECT_EQ(footer.before_packet.count(), 0);
}

TEST(ChatReaderTest, FileOverTheSizeLimit) {
    test::TempFolder dir;
    const std::u16string path = dir / u"huge.xml";
    const int fd = ::open(to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, CFileSP::kMaxReadBytes + 1), 0);
    ::close(fd);
    CWorkChatdata set;
    ChatReadContext context;
    EXPECT_EQ(read_comment_file(path, set, 0, context), -1);
    EXPECT_EQ(context.error, 11);
}

/// Drops comments reading "drop", makes "vip" comments priority ones, and records what it was shown.
class RecordingFilter : public ChatFilter {
public:
    void begin_file(std::string_view comments, int source) override {
        began = std::string(comments.substr(0, 6)) + std::to_string(source);
    }
    bool keep(ChatEntry& entry, CWorkChatdata&, int) override {
        seen += u8(entry.work_text.view()) + ";";
        if (entry.text.view() == u"vip") entry.filterable = 0;
        return entry.text.view() != u"drop";
    }
    void end_file(CWorkChatdata&, int, int added) override { ended = added; }

    std::string began;
    std::string seen;
    int ended = -1;
};

TEST(ChatReaderTest, FilterAndStop) {
    const std::string doc = "<packet><chat vpos=\"1\" date=\"1\">a</chat><chat vpos=\"2\" date=\"2\">drop</chat>"
                            "<chat vpos=\"3\" date=\"3\">vip</chat><chat date=\"4\">novpos</chat></packet>";
    CWorkChatdata set;
    RecordingFilter filter;
    ChatReadContext context;
    context.filter = &filter;
    EXPECT_EQ(read_comments(doc, set, 5, context), 2);
    EXPECT_EQ(filter.began, "<chat 5");
    EXPECT_EQ(filter.seen, "a;drop;vip;");
    EXPECT_EQ(filter.ended, 2);
    EXPECT_EQ(set.count_priority(), 1);

    // Everything dropped: no comment, and no end-of-file bookkeeping.
    RecordingFilter none;
    none.seen.clear();
    ChatReadContext all_dropped;
    all_dropped.filter = &none;
    CWorkChatdata empty;
    EXPECT_EQ(read_comments("<chat vpos=\"1\" date=\"1\">drop</chat>", empty, 0, all_dropped), -2);
    EXPECT_EQ(all_dropped.error, 33);
    EXPECT_EQ(none.ended, -1);

    int asked = 0;
    ChatReadContext stopping;
    stopping.stop_requested = [&] { return ++asked == 2; };
    CWorkChatdata stopped;
    EXPECT_EQ(read_comments(doc, stopped, 0, stopping), -3);
    EXPECT_EQ(asked, 2);
}

TEST(ChatReaderTest, RealServiceFile) {
    const std::u16string path = from_utf8(QUIPPET_SAMPLES_DIR "/../../shared/data/real-comments-184-oneline.xml");
    if (!std::filesystem::exists(to_utf8(path))) GTEST_SKIP() << "the shared real file is not there";
    CWorkChatdata set;
    ChatHeaderRecord header;
    ChatReadContext context;
    context.header = &header;
    ASSERT_EQ(read_comment_file(path, set, 0, context), 184);
    int deleted = 0;
    for (int i = 0; i < set.count(); ++i) {
        EXPECT_EQ(set.no(i), i + 1);
        if (set.get(ChatColumn::deleted, i) == 0) continue;
        ++deleted;
        EXPECT_EQ(set.text(i), u"");
        EXPECT_EQ(set.user_id(i), u"");
    }
    EXPECT_GT(deleted, 0);
    EXPECT_EQ(u8(set.text(set.count() - 1)), "AFTER");
    EXPECT_EQ(u8(header.thread_ids.get(0)), "1402132004");
    EXPECT_EQ(header.last_res, 184);
    EXPECT_EQ(header.video, 16721);
    EXPECT_EQ(set.first_file_max_date(), 1403209976);
}

} // namespace
} // namespace quippet
