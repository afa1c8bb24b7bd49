#include "comments/ChatScan.h"

#include <gtest/gtest.h>

#include <string>

namespace quippet {
namespace {

TEST(CommentScanTest, NumberScan) {
    struct Case {
        const char* doc;
        NumberScan want;
    };
    const Case cases[] = {
        {R"(<chat no="1"/><chat no="2"/><chat no="3"/>)", {1, 3, 1, 3, 3, 0}},
        {R"(<chat no="1"/><chat no="2"/><chat no="4"/>)", {1, 4, 1, 4, 3, 8}},
        {R"(<chat no="5"/><chat no="0"/><chat no="1"/>)", {5, 1, 1, 5, 3, 8}}, // 0 takes no part in min/max
        {R"(<chat no="x"/><chat no="7"/><chat no="8")", {7, 8, 7, 8, 2, 0}},   // unreadable values are passed over
        {"<chat vpos=\"1\"/>", {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const NumberScan got = scan_numbers(c.doc);
        EXPECT_EQ(got.first, c.want.first) << c.doc;
        EXPECT_EQ(got.last, c.want.last) << c.doc;
        EXPECT_EQ(got.min, c.want.min) << c.doc;
        EXPECT_EQ(got.max, c.want.max) << c.doc;
        EXPECT_EQ(got.count, c.want.count) << c.doc;
        EXPECT_EQ(got.error, c.want.error) << c.doc;
    }
}

TEST(CommentScanTest, AttributeRangesAndCounts) {
    const std::string doc = R"(<thread thread="9"/><chat date="20" vpos="-5"/><chat date="10" vpos="7"/>)"
                            R"(<chat xdate="1" date="30" vpos="12/>)";
    EXPECT_EQ(count_vpos(doc), 2); // the last one is never closed
    const AttributeRange dates = attribute_range(doc, "date");
    EXPECT_EQ(dates.min, 10);
    EXPECT_EQ(dates.max, 30);
    EXPECT_EQ(dates.count, 3);
    const AttributeRange vpos = attribute_range(doc, "vpos");
    EXPECT_EQ(vpos.min, -5);
    EXPECT_EQ(vpos.max, 7);
    EXPECT_EQ(attribute_range(doc, "score").count, 0);

    AttributeRange within;
    EXPECT_EQ(attribute_range_within(doc, "date", 15, 30, within), 0);
    EXPECT_EQ(within.min, 20);
    EXPECT_EQ(within.max, 20);
    int error = 0;
    EXPECT_EQ(attribute_range_within(doc, "date", 31, 99, within, &error), -1);
    EXPECT_EQ(error, 158);
}

TEST(CommentScanTest, OnePassFindsWhatEachScanFinds) {
    // Attribute-like text in values and in comment text, a value whose closing quote is the start of another
    // name's value, names at the sixteen-byte boundaries of the blank search, and a quote never closed.
    const std::string docs[] = {
        R"(<chat no="1" vpos="5" date="9">a no="7" b</chat><chat no="2" vpos="x date="3" date="4">t</chat>)",
        R"(<chat mail=" no=" no="3" vpos="2"/>            <chat  no="4"   date="12" vpos="-1"/>)",
        std::string(15, 'x') + R"( no="1" vpos="10"  date="5" )" + std::string(17, ' ') + R"( no="2" date="6)",
        R"( vpos="1" vpos="2" no="0" no="5" no="6" date="7)",
        "",
        " ",
    };
    for (const std::string& doc : docs) {
        const BodyFacts facts = scan_body_facts(doc);
        const NumberScan numbers = scan_numbers(doc);
        const AttributeRange vpos = attribute_range(doc, "vpos"), dates = attribute_range(doc, "date");
        EXPECT_EQ(facts.numbers.first, numbers.first) << doc;
        EXPECT_EQ(facts.numbers.last, numbers.last) << doc;
        EXPECT_EQ(facts.numbers.min, numbers.min) << doc;
        EXPECT_EQ(facts.numbers.max, numbers.max) << doc;
        EXPECT_EQ(facts.numbers.count, numbers.count) << doc;
        EXPECT_EQ(facts.numbers.error, numbers.error) << doc;
        for (const auto& [got, want] : {std::pair{facts.vpos, vpos}, {facts.dates, dates}}) {
            EXPECT_EQ(got.count, want.count) << doc;
            EXPECT_EQ(got.min, want.min) << doc;
            EXPECT_EQ(got.max, want.max) << doc;
        }
        EXPECT_EQ(facts.vpos.count, count_vpos(doc)) << doc;
    }
    const BodyFacts first = scan_body_facts(docs[0]);
    EXPECT_EQ(first.numbers.count, 3); // the text's no="7" counts, as it does for the scan of its own
    EXPECT_EQ(first.dates.count, 3);
}

TEST(CommentScanTest, LocateEndAndCut) {
    const std::string doc = "<packet>\n<chat no=\"1\" vpos=\"1\">a</chat>\n<chat no=\"2\" vpos=\"2\"/>\n"
                            "<chat no=\"3\" vpos=\"3\">c</chat>\n<num_click no=\"4\"/>\n</packet>";
    int error = 0;
    const int second = locate_comment(doc, 2, &error);
    ASSERT_EQ(second, static_cast<int>(doc.find("<chat no=\"2\"")));
    EXPECT_EQ(comment_end(doc, second), static_cast<int>(doc.find("\n<chat no=\"3\"")));
    const int third = locate_comment(doc, 3);
    EXPECT_EQ(comment_end(doc, third), static_cast<int>(doc.find("\n<num_click")));

    struct Case {
        int no;
        bool from;
        int result;
        int error;
        const char* left;
    };
    const Case cases[] = {
        {2, false, 0, 0, "<packet>\n<chat no=\"1\" vpos=\"1\">a</chat>\n"},
        {3, true, 0, 0, "<chat no=\"3\" vpos=\"3\">c</chat>\n<num_click no=\"4\"/>\n</packet>"},
        {9, false, -1, 6, nullptr},
        {4, true, -1, 7, nullptr}, // not a comment
    };
    for (const auto& c : cases) {
        std::string text = doc;
        int code = 0;
        EXPECT_EQ(c.from ? cut_from_comment(text, c.no, &code) : cut_before_comment(text, c.no, &code), c.result)
            << c.no;
        EXPECT_EQ(code, c.error) << c.no;
        EXPECT_EQ(text, c.left ? c.left : doc) << c.no;
    }

    EXPECT_EQ(locate_comment(R"( no="1">)", 1, &error), -1);
    EXPECT_EQ(error, 7);
    EXPECT_EQ(comment_end("<chat no=\"1\">open", 0, &error), -1);
    EXPECT_EQ(error, 7);
    // A long text between the "<" and the number is searched beyond the near window.
    const std::string far = "<chat" + std::string(5000, ' ') + "no=\"5\"/>";
    EXPECT_EQ(locate_comment(far, 5), 0);
}

TEST(CommentScanTest, ThreadAttributes) {
    const std::string header = R"(<packet><thread resultcode="0" thread="12" last_res="60" x="-3q"/><chat no="1"/>)";
    EXPECT_EQ(thread_attribute(header, "last_res"), 60);
    EXPECT_EQ(thread_attribute(header, "x"), -1);
    EXPECT_EQ(thread_attribute(header, "num_clicks"), -1);

    struct Case {
        const char* name;
        int value;
        const char* want;
    };
    const Case cases[] = {
        {"last_res", 184, R"(<packet><thread resultcode="0" thread="12" last_res="184" x="-3q"/><chat no="1"/>)"},
        {"num_clicks", 2,
         R"(<packet><thread resultcode="0" thread="12" last_res="60" x="-3q" num_clicks="2"/><chat no="1"/>)"},
    };
    for (const auto& c : cases) {
        std::string text = header;
        EXPECT_EQ(set_thread_attribute(text, c.name, c.value), 0);
        EXPECT_EQ(text, c.want);
    }
    std::string bare = "<thread >";
    EXPECT_EQ(set_thread_attribute(bare, "last_res", 0), 0);
    EXPECT_EQ(bare, R"(<thread last_res="0" >)");

    std::string text = header;
    EXPECT_EQ(remove_thread_attribute(text, "thread"), 1);
    EXPECT_EQ(remove_thread_attribute(text, "num_clicks"), 0);
    EXPECT_EQ(text, R"(<packet><thread resultcode="0" last_res="60" x="-3q"/><chat no="1"/>)");

    std::string none = "<packet><chat no=\"1\"/>";
    int error = 0;
    EXPECT_EQ(set_thread_attribute(none, "last_res", 1, &error), -1);
    EXPECT_EQ(error, 6);
    EXPECT_EQ(remove_thread_attribute(none, "last_res"), -1);
}

} // namespace
} // namespace quippet
