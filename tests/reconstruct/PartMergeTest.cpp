#include "reconstruct/PartMerge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestText.h"

namespace quippet {
namespace {

using test::u8;

TEST(PartMergeNames, VideoIdIsTwoLettersAndDigitsStandingAlone) {
    const struct {
        std::u16string_view name;
        std::string_view id;
    } cases[] = {
        {u"sm9[0分30秒].xml", "sm9"}, {u"第2話 so29000000.xml", "so29000000"},
        {u"xsm123.xml", ""}, // glued to a letter: part of another word
        {u"SM123.xml", ""},           {u"sm.xml", ""},
        {u"abc nm42x.xml", "nm42"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(video_id_in_name(c.name)), c.id) << u8(c.name);
}

class FakeService : public VideoLengthProvider {
public:
    bool available() const override { return true; }
    std::optional<int> from_api(std::u16string_view id) override {
        api_calls.emplace_back(id);
        return api;
    }
    std::optional<int> from_watch_page(std::u16string_view id) override {
        page_calls.emplace_back(id);
        return page;
    }
    std::optional<int> api, page;
    std::vector<std::u16string> api_calls, page_calls;
};

TEST(PartMergeLengths, NameThenNetworkThenLargestVpos) {
    PartLengthLookup lookup;
    // The name wins over everything, the network is not asked.
    FakeService service;
    service.api = 12345;
    lookup.provider = &service;
    lookup.from_net = true;
    PartLength l = part_length(u"sm1[1分30秒].xml", 500, 2, lookup);
    EXPECT_EQ(l.hundredths, 9000);
    EXPECT_EQ(l.source, LengthSource::file_name);
    EXPECT_TRUE(service.api_calls.empty());

    l = part_length(u"sm1.xml", 500, 2, lookup);
    EXPECT_EQ(l.hundredths, 12345);
    EXPECT_EQ(l.source, LengthSource::net_api);

    // Without "可能ならネットから取得" the comments decide.
    lookup.from_net = false;
    l = part_length(u"sm1.xml", 500, 2, lookup);
    EXPECT_EQ(l.hundredths, 500);
    EXPECT_EQ(u8(length_source_text(l.source)), "コメント内容から推測");

    // The default provider is never able to answer: no pause, straight to the comments.
    VideoLengthProvider none;
    lookup.from_net = true;
    lookup.provider = &none;
    int sleeps = 0;
    lookup.sleep_second = [&sleeps] { return ++sleeps > 0; };
    lookup.wait_seconds = 10;
    l = part_length(u"sm1.xml", 700, 20, lookup);
    EXPECT_EQ(l.source, LengthSource::comments);
    EXPECT_EQ(sleeps, 0);
}

TEST(PartMergeLengths, WatchPageAfterAPauseThatGrowsWithTheUnit) {
    FakeService service;
    service.page = 6000;
    PartLengthLookup lookup;
    lookup.from_net = true;
    lookup.provider = &service;
    lookup.wait_seconds = 10;
    std::vector<std::string> lines;
    int sleeps = 0;
    lookup.status = [&lines](std::u16string_view line, bool) { lines.push_back(u8(line)); };
    lookup.sleep_second = [&sleeps] {
        ++sleeps;
        return true;
    };
    const struct {
        int files;
        int sleeps;
    } cases[] = {{3, 0}, {4, 2}, {12, 2}, {13, 10}};
    for (const auto& c : cases) {
        sleeps = 0;
        lines.clear();
        const PartLength l = part_length(u"sm7.xml", 100, c.files, lookup);
        EXPECT_EQ(l.source, LengthSource::net_page) << c.files;
        EXPECT_EQ(l.hundredths, 6000);
        EXPECT_EQ(sleeps, c.sleeps) << c.files;
        if (c.sleeps > 0) {
            EXPECT_EQ(lines.front(), "ネットからの情報取得のために待機中（残り" + std::to_string(c.sleeps) + "秒）");
            EXPECT_EQ(lines.back(), "ネットからの情報取得のために" + std::to_string(c.sleeps) + "秒待機しました");
        }
    }
    // A stop ends the pause early; the wait reported is the time actually waited.
    lookup.sleep_second = [] { return false; };
    lines.clear();
    part_length(u"sm7.xml", 100, 20, lookup);
    EXPECT_EQ(lines.back(), "ネットからの情報取得のために0秒待機しました");
}

TEST(PartMergeLengths, OffsetsAddUpThePartsBefore) {
    EXPECT_EQ(
        part_offsets({{100, LengthSource::file_name}, {250, LengthSource::comments}, {50, LengthSource::net_api}}),
        (std::vector<int>{0, 100, 350}));
    EXPECT_TRUE(part_offsets({}).empty());
}

} // namespace
} // namespace quippet
