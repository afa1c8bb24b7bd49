#include "comments/ChatReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/Messages.h"
#include "tests/comments/ChatTestSupport.h"
#include "tests/text/TempFolder.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

std::string chat(int no, std::string_view body) {
    const std::string n = std::to_string(no);
    return "<chat thread=\"1\" no=\"" + n + "\" vpos=\"" + n + "\" date=\"100\" user_id=\"u" + n + "\">" +
           std::string(body) + "</chat>";
}

// Files saved by other tools or cut off by a full disk: one huge comment, and whole files on one line.
TEST(ChatReaderLimits, HugeLinesAndBodies) {
    struct Case {
        const char* name;
        std::string doc;
        int result;
        int error;
    };
    std::string one_line = "<packet><thread thread=\"1\"/>";
    int on_one_line = 0;
    while (one_line.size() < 20 * kMiB)
        one_line += chat(++on_one_line, "comment text without a line break");
    one_line += "</packet>";
    std::string start_tags;
    while (start_tags.size() < 20 * kMiB)
        start_tags += "<chat ";
    std::string open_tail = one_line.substr(0, one_line.size() - 9) + "<chat vpos=\"1\" date=\"1\">cut";

    Case cases[] = {
        {"5 MiB body", "<packet>\n" + chat(1, std::string(5 * kMiB, 'x')) + "\n</packet>\n", 1, 0},
        {"20 MiB on one line", std::move(one_line), on_one_line, 0},
        {"20 MiB line then an open comment", std::move(open_tail), -1, 7},
        {"20 MiB without a comment", "<packet>" + std::string(20 * kMiB, '<') + "</packet>", -1, 6},
        {"20 MiB attribute never closed", "<packet><chat vpos=\"" + std::string(20 * kMiB, '1'), -1, 7},
        {"20 MiB of start tags", "<packet>" + std::move(start_tags), -1, 7},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWorkChatdata set;
        ChatReadContext context;
        EXPECT_EQ(read_comments(c.doc, set, 0, context), c.result);
        EXPECT_EQ(context.error, c.error);
        EXPECT_EQ(set.count(), c.result > 0 ? c.result : 0);
    }
}

TEST(ChatReaderLimits, HugeBodyIsKeptWhole) {
    const std::string body = std::string(5 * kMiB, 'x') + "&lt;end";
    CWorkChatdata set;
    ChatReadContext context;
    ASSERT_EQ(read_comments("<packet>" + chat(7, body) + "</packet>", set, 0, context), 1);
    EXPECT_EQ(set.text(0).size(), 5 * kMiB + 7);
    EXPECT_EQ(set.text(0).substr(5 * kMiB), u"&lt;end");
    EXPECT_EQ(set.no(0), 7);
}

// The job shows the reason next to the file: a file one byte over the limit is not read at all.
TEST(ChatReaderLimits, FileOverTheLimitIsRefusedWithItsMessage) {
    test::TempFolder dir;
    const std::u16string path = dir / u"over.xml";
    const int fd = ::open(to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string start = "<packet>" + chat(1, "x");
    ASSERT_EQ(::write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    ASSERT_EQ(::ftruncate(fd, CFileSP::kMaxReadBytes + 1), 0);
    ::close(fd);
    CWorkChatdata set;
    ChatReadContext context;
    EXPECT_EQ(read_comment_file(path, set, 0, context), -1);
    EXPECT_EQ(set.count(), 0);
    EXPECT_EQ(test::u8(message_text(context.error)), "ファイルの容量が大きすぎます");
}

} // namespace
} // namespace quippet
