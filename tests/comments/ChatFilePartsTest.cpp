#include "comments/ChatFileParts.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestText.h"

namespace quippet {
namespace {

using test::u8;

std::string joined(const CCharArrayW& list) {
    return u8(list.join(u"|"));
}

TEST(CommentPartsTest, Split) {
    struct Case {
        std::string text;
        int result;
        const char* header;
        const char* body;
        const char* footer;
    };
    const std::string far_footer = "</packet>" + std::string(5000, '\n');
    const Case cases[] = {
        {"<packet><thread/><chat a/>x</packet>\n<!-- -->", 0, "<packet><thread/>", "<chat a/>x", "</packet>\n<!-- -->"},
        // The last "</packet>" wins even when something that looks like one comes earlier.
        {"<p><chat a>&lt;/packet&gt;</packet></packet>", 0, "<p>", "<chat a>&lt;/packet&gt;</packet>", "</packet>"},
        {"<packet><chat a/>" + far_footer, 0, "<packet>", "<chat a/>", far_footer.c_str()},
        {"<packet></packet>", -1, nullptr, nullptr, nullptr},
        {"<packet><chat a/>", -1, nullptr, nullptr, nullptr},
        {"</packet><chat a/>", -1, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::string text = c.text, header = "h", footer = "f";
        int error = 0;
        ASSERT_EQ(split_comment_file(text, header, footer, &error), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(header, c.header);
            EXPECT_EQ(text, c.body);
            EXPECT_EQ(footer, c.footer);
        } else {
            EXPECT_EQ(error, 6);
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST(CommentPartsTest, HeadersMergeIntoOneRecord) {
    ChatHeaderRecord record;
    EXPECT_EQ(record.mylist, -1);
    EXPECT_EQ(record.last_res, 0);
    parse_header("<?xml version=\"1.0\"?><!-- a --><packet><thread resultcode=\"0\" thread=\"100,0,200\" "
                 "last_res=\"60\" ticket=\"0xab\" revision=\"x\" server_time=\"1300000000\" num_clicks=\"4\"/>"
                 "<view_counter video=\"125\" id=\"sm9\" mylist=\"45\"/>",
                 record, u",");
    parse_header("<!-- a --><!-- b --><packet><thread thread=\"200\" last_res=\"30\" ticket=\"0\" revision=\"2\" "
                 "click_revision=\"7\"/><thread thread=\"300\"/><view_counter video=\"900\" id=\"sm10,sm9\"/>",
                 record, u",");
    EXPECT_EQ(joined(record.thread_ids), "100|200|300");
    EXPECT_EQ(joined(record.tickets), "0xab");
    EXPECT_EQ(joined(record.view_counter_ids), "sm9|sm10");
    EXPECT_EQ(joined(record.comments), "<!-- a -->|<!-- b -->");
    EXPECT_EQ(record.resultcode, 0);
    EXPECT_EQ(record.last_res, 60);
    EXPECT_EQ(record.revision, 2); // "x" left the field alone
    EXPECT_EQ(record.server_time, 1300000000);
    EXPECT_EQ(record.num_clicks, 4);
    EXPECT_EQ(record.click_revision, 7);
    EXPECT_EQ(record.mylist, 45);
    EXPECT_EQ(record.video, 900);

    record.add_thread(u"400", 50);
    record.add_player_data(u"1,2");
    EXPECT_EQ(joined(record.thread_ids), "100|200|300|400");
    EXPECT_EQ(record.video, 900);
    EXPECT_EQ(u8(record.comments.get(2)), "<!-- BoonSutazioData=1,2 -->");
}

TEST(CommentPartsTest, FootersKeepTheirElements) {
    ChatFooterRecord record;
    parse_footer("<chat a>x</chat>\n<chat no=\"9\" vpos=\"1\" date=\"2\"/>\n<num_click no=\"1\" count=\"2\"/>\n"
                 "<leaf count=\"3\"/><note kind=\"a\">text</note></packet>\n<!-- saved -->\n",
                 record);
    parse_footer("<num_click no=\"1\" count=\"2\"/><num_click no=\"5\"/></packet><extra/>", record);
    // The self-closing comment after the last full one is a comment, not a trailing element.
    EXPECT_EQ(joined(record.num_clicks), "<num_click no=\"1\" count=\"2\"/>|<num_click no=\"5\"/>");
    EXPECT_EQ(joined(record.before_packet), "<leaf count=\"3\"/>|<note kind=\"a\">text</note>");
    EXPECT_EQ(joined(record.after_packet), "<!-- saved -->|<extra/>");
    EXPECT_EQ(joined(record.names), "<leaf>|<note>|<extra>");
}

} // namespace
} // namespace quippet
