#include "comments/ChatWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "comments/ChatReader.h"
#include "tests/comments/ChatTestSupport.h"
#include "tests/text/TempFolder.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::entry_of;
using test::fixture;
using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

ChatWriterOptions all_attributes() {
    ChatWriterOptions o;
    o.write_thread = o.write_score = o.write_premium = o.write_anonymity = true;
    o.write_fork = o.write_leaf = o.write_locale = o.write_deleted = true;
    return o;
}

TEST(ChatWriterTest, ChatElements) {
    CWorkChatdata set;
    set.add(entry_of({.user_id = u"u1", .vpos = 5, .date = 100, .no = 7, .text = u"t&amp;"}), 0);
    set.add(entry_of({.user_id = u"u2", .vpos = -2, .date = 1, .no = -1}), 0);
    ChatEntry full = entry_of({.user_id = u"u3", .vpos = 9, .date = 3, .no = 4, .text = u"ｗ", .mail = u"184 red"});
    full.thread = 11;
    full.score = -100;
    full.premium = 1;
    full.anonymity = 1;
    full.fork = 1;
    full.leaf = 2;
    full.deleted = 1;
    full.locale.assign(u"ja-jp");
    set.add(full, 0);
    ChatEntry zero_premium = entry_of({.user_id = u"u4", .vpos = 1, .date = 1, .no = 1, .text = u"x"});
    set.add(zero_premium, 0);

    ChatWriterOptions plain;
    ChatWriterOptions empty_mail;
    empty_mail.write_empty_mail = true;
    struct Case {
        int i;
        int number;
        const ChatWriterOptions* options;
        const char* want;
    };
    const ChatWriterOptions every = all_attributes();
    const Case cases[] = {
        {0, kOwnNumber, &plain, "<chat user_id=\"u1\" date=\"100\" vpos=\"5\" no=\"7\">t&amp;</chat>\n"},
        {0, 3, &plain, "<chat user_id=\"u1\" date=\"100\" vpos=\"5\" no=\"3\">t&amp;</chat>\n"},
        {0, kOwnNumber, &empty_mail, "<chat user_id=\"u1\" date=\"100\" vpos=\"5\" no=\"7\" mail=\"\">t&amp;</chat>\n"},
        // Empty text: self-closing; own number -1: no `no` at all.
        {1, kOwnNumber, &plain, "<chat user_id=\"u2\" date=\"1\" vpos=\"-2\"/>\n"},
        {2, kOwnNumber, &every,
         "<chat user_id=\"u3\" thread=\"11\" date=\"3\" vpos=\"9\" no=\"4\" score=\"-100\" premium=\"1\" "
         "anonymity=\"1\" fork=\"1\" leaf=\"2\" locale=\"ja-jp\" mail=\"184 red\" deleted=\"1\">ｗ</chat>\n"},
        {2, kOwnNumber, &plain, "<chat user_id=\"u3\" date=\"3\" vpos=\"9\" no=\"4\" mail=\"184 red\">ｗ</chat>\n"},
        {3, kOwnNumber, &every, "<chat user_id=\"u4\" date=\"1\" vpos=\"1\" no=\"1\">x</chat>\n"},
    };
    CCharW out(u"left over");
    for (const auto& c : cases) {
        write_chat(set, c.i, c.number, *c.options, out);
        EXPECT_EQ(u8(out.view()), c.want);
    }
}

TEST(ChatWriterTest, Header) {
    ChatHeaderRecord merged;
    parse_header(R"(<!-- note --><thread resultcode="0" thread="10,20" last_res="5" ticket="0xa" revision="1" )"
                 R"(server_time="99" num_clicks="2" click_revision="0"/><view_counter video="7" id="sm1" mylist="3"/>)",
                 merged, u",");
    ChatWriterOptions joined;
    joined.join_header_values = true;
    ChatWriterOptions ticket;
    ticket.always_write_ticket = true;
    struct Case {
        const ChatHeaderRecord* record;
        const ChatWriterOptions* options;
        const char* line_end;
        const char* want;
    };
    const ChatHeaderRecord fresh;
    const ChatWriterOptions plain;
    const Case cases[] = {
        {&fresh, &plain, "\n",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n<thread last_res=\"0\"/>\n<view_counter "
         "video=\"0\"/>\n"},
        {&fresh, &ticket, "",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><thread last_res=\"0\" ticket=\"\"/>"
         "<view_counter video=\"0\"/>"},
        {&merged, &plain, "",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- note --><packet><thread resultcode=\"0\" thread=\"10\" "
         "last_res=\"5\" ticket=\"0xa\" revision=\"1\" server_time=\"99\" num_clicks=\"2\" click_revision=\"0\"/>"
         "<view_counter id=\"sm1\" video=\"7\" mylist=\"3\"/>"},
        {&merged, &joined, "",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- note --><packet><thread resultcode=\"0\" thread=\"10,20\" "
         "last_res=\"5\" ticket=\"0xa\" revision=\"1\" server_time=\"99\" num_clicks=\"2\" click_revision=\"0\"/>"
         "<view_counter id=\"sm1\" video=\"7\" mylist=\"3\"/>"},
    };
    for (const auto& c : cases) {
        std::string out = "old";
        write_header(*c.record, *c.options, c.line_end, out);
        EXPECT_EQ(out, c.want);
    }
}

TEST(ChatWriterTest, FooterKeepsNumClickOnlyForOwnNumbers) {
    ChatFooterRecord record;
    parse_footer("</chat><num_click no=\"1\"/><leaf count=\"2\"/></packet><tail/>", record);
    ChatWriterOptions dropping;
    dropping.drop_num_click = true;
    struct Case {
        bool keep;
        const ChatWriterOptions options;
        const char* want;
    };
    const Case cases[] = {
        {true, {}, "<num_click no=\"1\"/>\n<leaf count=\"2\"/>\n</packet>\n<tail/>\n"},
        {false, {}, "<leaf count=\"2\"/>\n</packet>\n<tail/>\n"},
        {true, dropping, "<leaf count=\"2\"/>\n</packet>\n<tail/>\n"},
    };
    for (const auto& c : cases) {
        std::string out;
        std::u16string names;
        write_footer(record, c.options, "\n", c.keep, out, &names);
        EXPECT_EQ(out, c.want);
        EXPECT_EQ(u8(names), "<leaf> <tail>");
    }
    std::string empty;
    write_footer(ChatFooterRecord{}, {}, "\n", true, empty);
    EXPECT_EQ(empty, "</packet>\n");
}

CWorkChatdata small_set() {
    CWorkChatdata set;
    set.add(entry_of({.user_id = u"b", .vpos = 30, .date = 5, .no = 12, .text = u"三"}), 1);
    set.add(entry_of({.user_id = u"a", .vpos = 10, .date = 9, .no = 10, .text = u"一"}), 0);
    set.add(entry_of({.user_id = u"c", .vpos = 20, .date = 7, .no = 11, .text = u"", .filterable = 0}), 0);
    return set;
}

TEST(ChatWriterTest, BodyNumbersAndStop) {
    CWorkChatdata set = small_set();
    set.sort(chat_key::vpos);
    ChatWriterOptions options;
    std::string body;
    ASSERT_EQ(write_body(set, options, {}, body), 0);
    EXPECT_EQ(body, "<chat user_id=\"a\" date=\"9\" vpos=\"10\" no=\"1\">一</chat>\n"
                    "<chat user_id=\"c\" date=\"7\" vpos=\"20\" no=\"2\"/>\n"
                    "<chat user_id=\"b\" date=\"5\" vpos=\"30\" no=\"3\">三</chat>\n");
    options.keep_own_numbers = true;
    ASSERT_EQ(write_body(set, options, {}, body), 0);
    EXPECT_NE(body.find("no=\"11\"/>"), std::string::npos);

    int asked = 0;
    int error = 0;
    EXPECT_EQ(write_body(
                  set, options, [&] { return ++asked == 2; }, body, &error),
              -1);
    EXPECT_EQ(error, 36);
    EXPECT_EQ(body, "");
}

TEST(ChatWriterTest, BodyIsUtf8AsTheProgramWritesIt) {
    const std::u16string long_text(300, u'あ');
    const char16_t high = 0xD800, low = 0xDC00;
    const std::u16string texts[] = {u"ascii &amp; ｶﾀｶﾅ",
                                    u"é ü ß",
                                    u"𠮷野家",
                                    u"lone " + std::u16string(1, high) + u" high",
                                    std::u16string(1, low) + u" lone low",
                                    long_text,
                                    u"ends high" + std::u16string(1, high)};
    CWorkChatdata set;
    for (const auto& text : texts)
        set.add(entry_of({.user_id = u"ü", .no = 1, .text = text}), 0);
    std::string body;
    ASSERT_EQ(write_body(set, {}, {}, body), 0);
    std::string want;
    for (int i = 0; i < set.count(); ++i) {
        CCharW element;
        write_chat(set, i, i + 1, {}, element);
        want += to_utf8(element.view());
    }
    EXPECT_EQ(body, want);
}

TEST(ChatWriterTest, WholeSetAsSideFile) {
    TempFolder dir;
    CWorkChatdata set = small_set();
    write_bytes(dir / u"out[NG].xml", "old");
    std::u16string written;
    ASSERT_EQ(write_chat_set(set, dir / u"out.xml", u"[NG].xml", {}, nullptr, &written), 0);
    EXPECT_EQ(written, dir / u"out[NG].xml");
    // Sorted by source, then filterable (priority first), user_id, date; own numbers kept.
    EXPECT_EQ(read_bytes(written), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n<thread last_res=\"0\"/>\n"
                                   "<view_counter video=\"0\"/>\n"
                                   "<chat user_id=\"c\" date=\"7\" vpos=\"20\" no=\"11\"/>\n"
                                   "<chat user_id=\"a\" date=\"9\" vpos=\"10\" no=\"10\">一</chat>\n"
                                   "<chat user_id=\"b\" date=\"5\" vpos=\"30\" no=\"12\">三</chat>\n</packet>\n");
    ASSERT_EQ(write_chat_set(set, dir / u"plain", u"[x].xml", {}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "plain[x].xml"));

    CWorkChatdata empty;
    int error = 0;
    EXPECT_EQ(write_chat_set(empty, dir / u"none.xml", u"[x].xml", {}, &error), -1);
    EXPECT_EQ(error, 33);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none[x].xml"));
    EXPECT_EQ(write_chat_set(set, dir / u"missing/out.xml", u"[x].xml", {}, &error), -1);
    EXPECT_EQ(error, 94);
}

TEST(ChatWriterTest, EnsureHeaderAndFooter) {
    const std::string good = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread thread=\"1\" x=\"keep\"/>"
                             "<view_counter video=\"0\" id=\"sm1\"/>\n";
    struct Case {
        std::string header;
        std::string footer;
        bool rebuild_footer;
        int header_result;
        const char* header_after; // nullptr: unchanged
        int footer_result;
        const char* footer_after;
    };
    const Case cases[] = {
        {good, "</packet>\n", false, 0, nullptr, 0, nullptr},
        {good, "<num_click no=\"1\"/>", false, 0, nullptr, 1, "\n<num_click no=\"1\"/>\n</packet>\n"},
        {good, "</packet>\n<x/>", true, 0, nullptr, 1, "\n</packet>\n<x/>\n"},
        // No declaration (as the service sends it), and no line ends: rebuilt without line ends.
        {"<packet><thread thread=\"5\" last_res=\"2\"/><view_counter video=\"3\" id=\"sm2\"/>", "", false, 1,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><thread thread=\"5\" last_res=\"2\"/>"
         "<view_counter id=\"sm2\" video=\"3\"/>",
         1, "</packet>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread thread=\"5\"/><view_counter video=\"n/a\"/>\n",
         "</packet>", false, 1,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n<thread thread=\"5\" last_res=\"0\"/>\n"
         "<view_counter video=\"0\"/>\n",
         0, nullptr},
    };
    for (const auto& c : cases) {
        std::string header = c.header, body = "<chat/>", footer = c.footer;
        ChatWriterOptions options;
        options.rebuild_footer = c.rebuild_footer;
        EXPECT_EQ(ensure_header({header, body, footer}, options), c.header_result) << c.header;
        EXPECT_EQ(header, c.header_after ? c.header_after : c.header);
        EXPECT_EQ(ensure_footer({header, body, footer}, options), c.footer_result) << c.footer;
        EXPECT_EQ(footer, c.footer_after ? c.footer_after : c.footer);
    }
}

/// Local time of the save names in a fixed zone for the duration of a test.
class FixedZone {
public:
    FixedZone() {
        if (const char* tz = std::getenv("TZ")) {
            old_ = tz;
            had_ = true;
        }
        ::setenv("TZ", "JST-9", 1);
        ::tzset();
    }
    ~FixedZone() {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

TEST(ChatWriterTest, SaveNameFragment) {
    FixedZone zone;
    const std::string consecutive =
        R"(<chat no="1" vpos="1" date="1300000000"/><chat no="2" vpos="1" date="1300003600"/>)"
        R"(<chat no="3" vpos="1" date="1300000060">x</chat><num_click no="9"/>)";
    const std::string gap = R"(<chat no="1" vpos="1" date="1"/><chat no="2" vpos="1" date="1"/>)"
                            R"(<chat no="4" vpos="1" date="1"/>)";
    const std::string unnumbered = R"(<chat no="1" vpos="1" date="1"/><chat vpos="1" date="1"/>)";
    struct Case {
        const std::string* body;
        bool numbers, always, dates;
        const char* want;
    };
    const Case cases[] = {
        {&consecutive, true, false, false, "[0001～0003]"},
        {&consecutive, true, true, false, "[0001～0003（3コメント）]"},
        {&consecutive, true, false, true, "[0001～0003 11.03.13 16：06～11.03.13 17：06]"},
        {&gap, true, false, false, "[0001～0004（3コメント）]"},
        {&unnumbered, true, false, false, "[0001～0001（2コメント）]"},
        {&consecutive, false, false, false, ""},
    };
    for (const auto& c : cases) {
        SaveNaming naming;
        naming.number_range = c.numbers;
        naming.always_count = c.always;
        naming.date_range = c.dates;
        naming.number_width = 4;
        naming.before = u"[";
        naming.after = u"]";
        std::u16string fragment;
        ASSERT_EQ(save_name_fragment(*c.body, naming, fragment), 0);
        EXPECT_EQ(u8(fragment), c.want);
    }
}

TEST(ChatWriterTest, Save) {
    TempFolder dir;
    const std::string body = "<chat no=\"1\" vpos=\"1\" date=\"5\">a</chat>\n<chat no=\"2\" vpos=\"1\" date=\"6\"/>\n";
    struct Case {
        std::string header;
        std::string footer;
        const char* header_after;
    };
    const Case cases[] = {
        {R"(<packet><thread thread="1" last_res="0" num_clicks="3" click_revision="2"/>)", "</packet>",
         R"(<packet><thread thread="1" last_res="2"/>)"},
        {R"(<packet><thread thread="1" num_clicks="3"/>)", "<num_click no=\"1\"/><num_click no=\"2\"/></packet>",
         R"(<packet><thread thread="1" num_clicks="2" last_res="2"/>)"},
    };
    for (const auto& c : cases) {
        std::string header = c.header, text = body, footer = c.footer;
        SaveRequest request;
        request.naming.base = dir / u"";
        request.naming.prefix = u"sm9";
        request.policy = CFileSP::kNumberedName;
        std::u16string written;
        ASSERT_EQ(save_comment_file({header, text, footer}, request, nullptr, &written), 0);
        EXPECT_EQ(header, c.header_after);
        EXPECT_EQ(read_bytes(written), header + body + footer);
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "sm9(1).xml"));
    {
        // The whole file held as one text.
        std::string none, whole = "<packet><thread last_res=\"0\"/>" + body + "<num_click no=\"1\"/></packet>";
        SaveRequest request;
        request.naming.base = dir / u"whole";
        std::u16string written;
        ASSERT_EQ(save_comment_file({none, whole, none}, request, nullptr, &written), 0);
        EXPECT_EQ(read_bytes(written),
                  "<packet><thread last_res=\"2\" num_clicks=\"1\"/>" + body + "<num_click no=\"1\"/></packet>");
        std::filesystem::remove(to_utf8(written));
    }

    // A name that is one of the job's inputs never overwrites it.
    write_bytes(dir / u"in.xml", "input");
    std::string header = R"(<thread last_res="1"/>)", text = body, footer = "</packet>";
    SaveRequest request;
    request.naming.base = dir / u"";
    request.naming.prefix = u"in";
    request.policy = CFileSP::kOverwrite;
    request.inputs = {dir / u"In.XML"};
    std::u16string written;
    ASSERT_EQ(save_comment_file({header, text, footer}, request, nullptr, &written), 0);
    EXPECT_EQ(written, dir / u"in(1).xml");
    EXPECT_EQ(read_bytes(dir / u"in.xml"), "input");
    request.protect_inputs = false;
    ASSERT_EQ(save_comment_file({header, text, footer}, request, nullptr, &written), 0);
    EXPECT_EQ(written, dir / u"in.xml");

    // Failures write nothing.
    std::string no_thread = "<packet>";
    int error = 0;
    request.naming.prefix = u"nothread";
    EXPECT_EQ(save_comment_file({no_thread, text, footer}, request, &error), -1);
    EXPECT_EQ(error, 6);
    request.naming.base = dir / u"missing/";
    EXPECT_EQ(save_comment_file({header, text, footer}, request, &error), -1);
    EXPECT_EQ(error, 94);
    request.policy = CFileSP::kKeepExisting;
    request.naming.base = dir / u"";
    request.naming.prefix = u"in";
    EXPECT_EQ(save_comment_file({header, text, footer}, request, &error), -1);
    EXPECT_EQ(error, 21);
    EXPECT_EQ(test::listing(dir.path()), "in(1).xml\nin.xml\nsm9(1).xml\nsm9.xml\n");
}

/// A file read, written by the writer and read again gives the same comments; writing those again gives the
/// same bytes.
TEST(ChatWriterTest, RoundTrip) {
    const std::u16string files[] = {
        test::sample(u"sm13800000-comments.xml"),
        test::sample(u"sm24500001-comments.xml"),
        test::sample(u"so29000000-comments.xml"),
        fixture(u"chat-selfclosing-tail.xml"),
        fixture(u"chat-only-selfclosing.xml"),
        fixture(u"chat-nul-bytes.xml"),
        from_utf8(QUIPPET_SAMPLES_DIR "/../../shared/data/real-comments-184-oneline.xml"),
    };
    ChatWriterOptions options = all_attributes();
    options.keep_own_numbers = true;
    for (const auto& file : files) {
        if (!std::filesystem::exists(to_utf8(file))) continue;
        CWorkChatdata first;
        ChatHeaderRecord header;
        ChatFooterRecord footer;
        ChatReadContext context;
        context.header = &header;
        context.footer = &footer;
        ASSERT_GT(read_comment_file(file, first, 0, context), 0) << u8(file);

        std::string h1, b1, f1;
        ASSERT_EQ(write_reconstructed(first, header, footer, options, {}, {h1, b1, f1}), 0);
        const std::string once = h1 + b1 + f1;
        CWorkChatdata second;
        ChatHeaderRecord header2;
        ChatFooterRecord footer2;
        ChatReadContext again;
        again.header = &header2;
        again.footer = &footer2;
        ASSERT_EQ(read_comments(once, second, 0, again), first.count()) << u8(file);
        test::expect_same_comments(first, second);

        std::string h2, b2, f2;
        ASSERT_EQ(write_reconstructed(second, header2, footer2, options, {}, {h2, b2, f2}), 0);
        EXPECT_EQ(h2 + b2 + f2, once) << u8(file);
    }
}

} // namespace
} // namespace quippet
