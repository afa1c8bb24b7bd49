#include <gtest/gtest.h>

#include "net/JsonScan.h"
#include "net/MovieInfo.h"
#include "resources/MessageIds.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

InfoOptions offline_options() {
    InfoOptions o;
    o.rules = InfoRules::defaults();
    o.length_open = u"【";
    o.length_close = u"】";
    return o;
}

constexpr std::u16string_view kThumbOk =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<nicovideo_thumb_response status=\"ok\">\n<thumb>\n"
    u"<video_id>sm9</video_id>\n<title>新・豪血寺一族 &amp;lt;煩悩解放&gt;</title>\n"
    u"<description>説明</description>\n<thumbnail_url>http://x/thumb/9</thumbnail_url>\n"
    u"<first_retrieve>2007-03-06T00:33:00+09:00</first_retrieve>\n<length>5:19</length>\n"
    u"<movie_type>flv</movie_type>\n<size_high>21138631</size_high>\n<size_low>17436492</size_low>\n"
    u"<view_counter>1,234</view_counter>\n<comment_num>4045</comment_num>\n<mylist_counter>77</mylist_counter>\n"
    u"<tags domain=\"jp\">\n<tag lock=\"1\">陰陽師</tag>\n<tag>レッツゴー</tag>\n</tags>\n"
    u"<tags domain=\"tw\">\n<tag>foreign</tag>\n</tags>\n"
    u"<user_id>4</user_id>\n<user_nickname>中の人</user_nickname>\n</thumb>\n</nicovideo_thumb_response>";

TEST(MovieInfo, ThumbInfoAnswerFillsEveryField) {
    CWorkMovieInfo info;
    info.id = u"sm9";
    int code = -1;
    ASSERT_EQ(read_api_answer(info, u"", kThumbOk, offline_options(), code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(info.status, InfoStatus::kOk);
    EXPECT_EQ(info.title, u"新・豪血寺一族 <煩悩解放>");
    EXPECT_EQ(info.posted, u"2007/03/06 00:33:00");
    EXPECT_EQ(info.length_seconds, 319);
    EXPECT_EQ(info.size_high, 21138631);
    EXPECT_EQ(info.size_low, 17436492);
    EXPECT_EQ(info.views, 1234);
    EXPECT_EQ(info.comments, 4045);
    EXPECT_EQ(info.mylists, 77);
    EXPECT_EQ(info.movie_type, u"flv");
    EXPECT_EQ(info.owner_nickname, u"中の人");
    EXPECT_EQ(info.tags, (std::vector<std::u16string>{u"陰陽師", u"レッツゴー"}));
}

} // namespace
} // namespace quippet
