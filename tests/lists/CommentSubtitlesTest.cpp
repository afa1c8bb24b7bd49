#include "lists/CommentSubtitles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/CliRun.h"
#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

using test::u8;

/// One Dialogue line read back from the script, with the geometry its override block gives.
struct Event {
    int layer = 0;
    long long start = 0, end = 0; // 1/100 s
    bool scroll = false;
    int y = 0, width = 0, size = 30, lines = 1;
    std::string text;
};

long long parse_time(const std::string& t) {
    int h = 0, m = 0, s = 0, cs = 0;
    std::sscanf(t.c_str(), "%d:%d:%d.%d", &h, &m, &s, &cs);
    return ((h * 60LL + m) * 60 + s) * 100 + cs;
}

std::vector<Event> parse_events(const std::string& ass) {
    std::vector<Event> events;
    std::istringstream in(ass);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("Dialogue: ")) continue;
        std::vector<std::string> fields;
        size_t pos = 10;
        for (int i = 0; i < 9; ++i) {
            const size_t comma = line.find(',', pos);
            fields.push_back(line.substr(pos, comma - pos));
            pos = comma + 1;
        }
        Event e;
        e.layer = std::stoi(fields[0]);
        e.start = parse_time(fields[1]);
        e.end = parse_time(fields[2]);
        const std::string rest = line.substr(pos);
        const size_t close = rest.find('}');
        const std::string tags = rest.substr(1, close - 1);
        e.text = rest.substr(close + 1);
        int x1 = 0, x2 = 0, y2 = 0;
        if (std::sscanf(tags.c_str(), "\\move(%d,%d,%d,%d)", &x1, &e.y, &x2, &y2) == 4) {
            e.scroll = true;
            e.width = -x2;
        } else {
            std::sscanf(tags.c_str(), "\\an8\\pos(%d,%d)", &x1, &e.y);
        }
        if (const size_t fs = tags.find("\\fs"); fs != std::string::npos) e.size = std::stoi(tags.substr(fs + 3));
        for (size_t b = e.text.find("\\N"); b != std::string::npos; b = e.text.find("\\N", b + 2))
            ++e.lines;
        events.push_back(e);
    }
    return events;
}

/// Left edge of a scrolling comment at time t (it moves linearly from 640 to -width).
double left_at(const Event& e, double t) {
    return 640.0 - (640.0 + e.width) * (t - double(e.start)) / double(e.end - e.start);
}

bool rows_meet(const Event& a, const Event& b) {
    return a.y < b.y + b.size * b.lines && b.y < a.y + a.size * a.lines;
}

/// Scrolling comments of one layer that share rows never touch; fixed ones never share rows at one time.
void expect_no_overlap(const std::vector<Event>& events) {
    for (size_t i = 0; i < events.size(); ++i) {
        for (size_t j = i + 1; j < events.size(); ++j) {
            const Event& a = events[i].start <= events[j].start ? events[i] : events[j];
            const Event& b = events[i].start <= events[j].start ? events[j] : events[i];
            if (a.layer != b.layer || a.end <= b.start || !rows_meet(a, b)) continue;
            if (!a.scroll) {
                ADD_FAILURE() << "fixed comments share rows: " << a.text << " / " << b.text;
                continue;
            }
            // The gap between a's right edge and b's left edge changes linearly: check both ends of the time
            // they are both on the field.
            for (double t : {double(b.start), double(std::min(a.end, b.end))}) {
                const double gap = left_at(b, t) - (left_at(a, t) + a.width);
                EXPECT_GE(gap, -0.5) << a.text << " and " << b.text << " touch at " << t;
            }
        }
    }
}

TEST(CommentSubtitles, CommandsGivePositionSizeColourAndTime) {
    struct Case {
        std::u16string mail;
        CommentLook::Position position;
        int size;
        unsigned rgb;
        int duration;
    };
    const std::vector<Case> cases = {
        {u"", CommentLook::kScroll, 30, 0xFFFFFF, 300},
        {u"184 big yellow ue", CommentLook::kTop, 39, 0xFFFF00, 300},
        {u"shita\u3000small\t#00ff80", CommentLook::kBottom, 20, 0x00FF80, 300},
        {u"ue naka @5 niconicowhite", CommentLook::kScroll, 30, 0xCCCC99, 500},
        {u"@2.5 #12345 #GGGGGG", CommentLook::kScroll, 30, 0xFFFFFF, 250},
        {u"@0 @x @1.", CommentLook::kScroll, 30, 0xFFFFFF, 100},
        {u"@99999999999", CommentLook::kScroll, 30, 0xFFFFFF, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.mail));
        const CommentLook look = comment_look(c.mail);
        EXPECT_EQ(look.position, c.position);
        EXPECT_EQ(look.size, c.size);
        EXPECT_EQ(look.rgb, c.rgb);
        EXPECT_EQ(look.duration_cs, c.duration);
    }
}

TEST(CommentSubtitles, SamplesKeepEveryCommentOnceWithoutOverlap) {
    for (const char* name : {"sm13800000-comments.xml", "sm24500001-comments.xml", "so29000000-comments.xml"}) {
        SCOPED_TRACE(name);
        std::vector<SubtitleComment> comments;
        int error = 0;
        ASSERT_EQ(read_subtitle_comments(from_utf8(std::string(QUIPPET_SAMPLES_DIR) + "/" + name), comments, error), 0);
        ASSERT_FALSE(comments.empty());
        std::map<std::string, int> expected;
        for (const auto& c : comments)
            ++expected[to_utf8(c.text)];
        const std::vector<Event> events = parse_events(comments_to_ass(comments));
        std::map<std::string, int> got;
        for (const auto& e : events)
            ++got[e.text];
        // The samples hold no braces, backslashes or line breaks, so texts come back as they were.
        EXPECT_EQ(got, expected);
        expect_no_overlap(events);
        if (std::string(name).starts_with("sm138")) {
            EXPECT_EQ(expected.count("<●><●>"), 1u) << "entities are resolved";
        }
    }
}

TEST(CommentSubtitles, CrowdedSecondsSpreadOverLayers) {
    std::vector<SubtitleComment> comments;
    for (int i = 0; i < 120; ++i) {
        const char16_t* mail = i % 7 == 0 ? u"ue" : i % 5 == 0 ? u"shita big" : i % 3 == 0 ? u"big" : u"";
        comments.push_back(
            {1000 + i % 40, mail, u"コメント" + from_utf8(std::to_string(i)) + (i % 4 ? u"" : u"\n二行目")});
    }
    const std::vector<Event> events = parse_events(comments_to_ass(comments));
    ASSERT_EQ(events.size(), comments.size());
    expect_no_overlap(events);
    for (const auto& e : events) {
        EXPECT_GE(e.y, 0) << e.text;
        EXPECT_LE(e.y + e.size * e.lines, 360 + 20) << e.text;
    }
}

TEST(CommentSubtitles, TextCannotOpenOverrideBlocks) {
    const std::string ass = comments_to_ass({{0, u"", u"{\\pos(0,0)}a\\Nb\r\nc\x01"}});
    const auto events = parse_events(ass);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "｛＼pos(0,0)｝a＼Nb\\Nc ");
    EXPECT_EQ(events[0].start, 0);
    EXPECT_EQ(events[0].end, 300);
    EXPECT_EQ(comments_to_ass({{-500, u"", u"x"}}).find("Dialogue: 0,0:00:00.00,0:00:03.00"), ass.find("Dialogue"))
        << "a negative position starts with the video";
}

TEST(CommentSubtitles, AssCommandWritesStdoutOrAFileButNeverTheInput) {
    const std::string sample = std::string(QUIPPET_SAMPLES_DIR) + "/sm13800000-comments.xml";
    auto r = test::run_quippet({"ass", sample});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("[Script Info]\n"));
    EXPECT_EQ(parse_events(r.out).size(), 60u);

    test::TempFolder folder;
    const std::string out = to_utf8(folder / u"out.ass");
    EXPECT_EQ(test::run_quippet({"ass", "--out", out, sample}).code, 0);
    EXPECT_EQ(test::read_bytes(from_utf8(out)), r.out);
    EXPECT_EQ(test::run_quippet({"ass", "--out", sample, sample}).code, 2);
    EXPECT_EQ(test::run_quippet({"ass", to_utf8(folder / u"missing.xml")}).code, 1);
    EXPECT_EQ(test::run_quippet({"ass"}).code, 2);
}

} // namespace
} // namespace quippet
