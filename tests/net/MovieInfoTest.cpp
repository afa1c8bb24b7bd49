#include <gtest/gtest.h>

#include <filesystem>

#include "net/JsonScan.h"
#include "net/MovieInfo.h"
#include "resources/MessageIds.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
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

std::u16string thumb_fail(std::u16string_view code, std::u16string_view text) {
    return u"<?xml version=\"1.0\"?><nicovideo_thumb_response status=\"fail\"><error><code>" + std::u16string(code) +
           u"</code><description>" + std::u16string(text) + u"</description></error></nicovideo_thumb_response>";
}

TEST(MovieInfo, ServiceErrorsBecomeStatusesAndLabels) {
    struct Case {
        std::u16string answer;
        int result;
        InfoStatus status;
        int code;
        std::u16string_view label;
    };
    const Case cases[] = {
        {thumb_fail(u"DELETED", u"deleted"), -2, InfoStatus::kDeleted, 0, u"情報の残っている削除動画"},
        {thumb_fail(u"X", u"not found or invalid"), -2, InfoStatus::kNotFound, 0, u"情報が存在しない動画"},
        {thumb_fail(u"COMMUNITY", u""), -2, InfoStatus::kCommunity, 0, u"コミュニティ動画"},
        {thumb_fail(u"BUSY", u"busy"), -2, InfoStatus::kOtherError, 0, u"タイトル取得失敗"},
        {u"<html>maintenance</html>", -1, InfoStatus::kUnexpectedFormat, msg::kApiUnexpectedFormat,
         u"タイトル取得失敗"},
        {u"<nicovideo_thumb_response status=\"busy\"/>", -1, InfoStatus::kUnexpectedFormat, msg::kApiUnexpectedFormat,
         u"タイトル取得失敗"},
        // Truncated in the middle of the record: what is there is taken, what is missing has its code.
        {std::u16string(kThumbOk.substr(0, 260)), 0, InfoStatus::kOk, msg::kApiNoPostedDate, u""},
    };
    for (const Case& c : cases) {
        CWorkMovieInfo info;
        info.id = u"sm10";
        int code = -1;
        EXPECT_EQ(read_api_answer(info, u"", c.answer, offline_options(), code), c.result);
        EXPECT_EQ(info.status, c.status);
        EXPECT_EQ(code, c.code);
        if (!c.label.empty()) {
            EXPECT_EQ(status_label(info), c.label);
        }
    }
}

TEST(MovieInfo, EarlierSourcesWinAndForeignTagsAreOptional) {
    CWorkMovieInfo info;
    info.id = u"sm9";
    info.title = u"閲覧ページの題";
    int code = 0;
    read_api_answer(info, u"", kThumbOk, offline_options(), code);
    EXPECT_EQ(info.title, u"閲覧ページの題");

    InfoOptions foreign = offline_options();
    foreign.foreign_tags = true;
    CWorkMovieInfo all;
    read_api_answer(all, u"", kThumbOk, foreign, code);
    // Without a domain filter the first tag range is taken, whatever its area.
    EXPECT_EQ(all.tags.front(), u"陰陽師");

    const std::u16string mobile =
        u"<nicovideo_video_response status=\"ok\"><count>1</count><video_info><video><id>sm9</id>"
        u"<deleted>0</deleted><title>T</title><length_in_seconds>319</length_in_seconds>"
        u"<first_retrieve>2007-03-06T00:33:00+09:00</first_retrieve><view_counter>5</view_counter></video>"
        u"<thread><id>1173108780</id><num_res>40</num_res></thread><tags><tag_info><tag>国内</tag><area>JP</area>"
        u"</tag_info><tag_info><tag>海外</tag><area>tw</area></tag_info><tag_info><tag>地域なし</tag></tag_info>"
        u"</tags></video_info></nicovideo_video_response>";
    CWorkMovieInfo home;
    EXPECT_EQ(read_api_answer(home, u"V", mobile, offline_options(), code), 0);
    EXPECT_EQ(home.tags, (std::vector<std::u16string>{u"国内", u"地域なし"}));
    EXPECT_EQ(home.thread_id, u"1173108780");
    EXPECT_EQ(home.comments, 40);
    // No channel thread in the answer: its id is not read from the video's own <id>.
    EXPECT_TRUE(home.channel_thread_id.empty());
    CWorkMovieInfo abroad;
    read_api_answer(abroad, u"V", mobile, foreign, code);
    EXPECT_EQ(abroad.tags.size(), 3u);

    CWorkMovieInfo none;
    read_api_answer(none, u"V", u"<nicovideo_video_response status=\"ok\"><count>0</count></nicovideo_video_response>",
                    offline_options(), code);
    EXPECT_EQ(none.status, InfoStatus::kNotInMobileApi);
}

TEST(MovieInfo, DatesAndLengthsInTheirForms) {
    EXPECT_EQ(normalize_posted_date(u"2007-03-06T00:33:00+09:00"), u"2007/03/06 00:33:00");
    EXPECT_EQ(normalize_posted_date(u"2007/03/06 00:33:00"), u"2007/03/06 00:33:00");
    EXPECT_EQ(normalize_posted_date(u"2007-13-06T00:33:00"), u"");
    EXPECT_EQ(normalize_posted_date(u"yesterday"), u"");
    EXPECT_EQ(normalize_posted_date(u""), u"");
    EXPECT_EQ(length_to_seconds(u"5:19"), 319);
    EXPECT_EQ(length_to_seconds(u"1:02:03"), 3723);
    EXPECT_EQ(length_to_seconds(u"319"), 319);
    EXPECT_EQ(length_to_seconds(u"319.5"), 319);
    EXPECT_EQ(length_to_seconds(u"1:2:3:4"), -1);
    EXPECT_EQ(length_to_seconds(u":19"), -1);
    EXPECT_EQ(length_to_seconds(u"99999999999999"), -1);
}

TEST(MovieInfo, RulesFileSkipsWhatItCannotUse) {
    const InfoRules rules = InfoRules::parse(
        u"// comment\r\nﾚｽﾎﾟﾝｽ\t属性値\tnicovideo_thumb_response\r\n動画名\t変数\ttitle\tx\r\n成功時\tok\r\n"
        u"区切成\t括弧内\tthumb\r\n長さ\t抜出\t<length>\t</length>\r\nno tab line\r\n");
    EXPECT_FALSE(rules.has(u"ﾚｽﾎﾟﾝｽ")); // too few arguments
    EXPECT_FALSE(rules.has(u"動画名")); // a method this program does not know
    EXPECT_EQ(rules.constant(u"成功時"), u"ok");
    EXPECT_EQ(rules.apply(u"長さ", u"<length>5:19</length>").value_or(u"-"), u"5:19");
    InfoOptions o = offline_options();
    o.rules = rules;
    CWorkMovieInfo info;
    int code = 0;
    EXPECT_EQ(read_api_answer(info, u"", kThumbOk, o, code), -1);
    EXPECT_EQ(code, msg::kApiUnexpectedFormat);
    // The default text is what the built-in rules are.
    EXPECT_EQ(InfoRules::parse(InfoRules::default_text()).rules().size(), InfoRules::defaults().rules().size());
    EXPECT_EQ(InfoRules::defaults().rules().size(), 109u); // every line of the default text is a usable rule
}

TEST(WatchPage, ApiDataIsReadKeyByKey) {
    const std::u16string json =
        uR"({"video":{"id":"sm9","title":"新・豪血寺","originalDescription":"説明 \"引用\"","duration":319,)"
        uR"("postedDateTime":"2007/03/06 00:33:00","viewCount":100,"mylistCount":3,)"
        uR"("smileInfo":{"url":"http:\/\/smile\/?m=9"},"dmcInfo":{"thread":{"thread_id":1173108780},)"
        uR"("quality":{"videos":[{"id":"archive_h264_720p"},{"id":"archive_h264_360p"}],)"
        uR"("audios":[{"id":"archive_aac_64kbps"},{"id":"audio_aac_128"}]},)"
        uR"("session_api":{"player_id":"p1","videos":["v1","v2"],"audios":["a1"],"token":"{\"t\":1}",)"
        uR"("signature":"sig","recipe_id":"nicovideo-sm9","heartbeat_lifetime":60000,"transfer_presets":[],)"
        uR"("auth_types":{"http":"ht2"},"urls":[{"url":"https:\/\/api.dmc\/api\/sessions","is_well_known_port":false,)"
        uR"("is_ssl":true}]}}},"tags":[{"name":"陰陽師"},{"name":"RPG"}],"owner":{"id":4,"nickname":"中の人 さん"}})";
    CWorkMovieInfo info;
    read_watch_json(info, json);
    EXPECT_EQ(info.title, u"新・豪血寺");
    EXPECT_EQ(info.description, u"説明 \"引用\"");
    EXPECT_EQ(info.length_seconds, 319);
    EXPECT_EQ(info.old_server_url, u"http://smile/?m=9");
    EXPECT_EQ(info.thread_id, u"1173108780");
    EXPECT_EQ(info.audio_qualities, (std::vector<std::u16string>{u"a1"}));
    EXPECT_EQ(info.video_qualities, (std::vector<std::u16string>{u"v1", u"v2"}));
    EXPECT_EQ(info.player_id, u"\"p1\"");
    EXPECT_EQ(info.token, uR"("{\"t\":1}")");
    EXPECT_EQ(info.heartbeat_lifetime, u"60000");
    EXPECT_EQ(info.transfer_preset, u"\"\"");
    EXPECT_EQ(info.session_url, u"https://api.dmc/api/sessions");
    EXPECT_EQ(info.well_known_port, 0);
    EXPECT_EQ(info.ssl, 1);
    EXPECT_EQ(info.owner_nickname, u"中の人");
    EXPECT_EQ(info.owner_id, u"4");
    EXPECT_EQ(info.tags, (std::vector<std::u16string>{u"陰陽師", u"RPG"}));
}

TEST(WatchPage, BrokenPagesEndWithTheirCode) {
    const InfoOptions o = offline_options();
    const std::u16string pages[] = {
        u"<div id=\"x\" data-api-data=\"{&quot;video&quot;:{&quot;title&quot;:&quot;unterminated",
        u"<div data-api-data=\"{&quot;video&quot;:{&quot;id&quot;:[[[[[[[[[[",
        u"<html><head><title>ニコニコ動画</title></head><body>見つかりません</body></html>",
        u"",
    };
    for (const std::u16string& page : pages) {
        CWorkMovieInfo info;
        int code = 0;
        EXPECT_EQ(read_watch_page(info, page, o, code), -1);
        EXPECT_TRUE(code == msg::kHtmlFailedDeleted || code == msg::kHtmlFailedTitle) << code;
    }
    EXPECT_FALSE(json_raw_value(u"{\"a\":\"no end", u"a").has_value());
    EXPECT_FALSE(json_raw_value(u"{\"a\":{\"b\":[1,2}", u"a").has_value());
    EXPECT_EQ(json_array_items(u"[1, \"x\", {\"y\":[2]}]").size(), 3u);

    // Login links decide the flag: a login anchor without a logout anchor means not logged in.
    CWorkMovieInfo info;
    int code = 0;
    read_watch_page(info, u"<a href=\"https://x/login\">ログイン</a>", o, code);
    EXPECT_EQ(info.not_logged_in, 1);
    read_watch_page(info, u"<a href=\"/login\">a</a><a href=\"/secure/logout\">b</a>", o, code);
    EXPECT_EQ(info.not_logged_in, 0);
}

TEST(Getflv, PairsAndTheirFields) {
    CWorkMovieInfo info;
    int closed = 0;
    std::string error;
    EXPECT_TRUE(parse_getflv(info,
                             "thread_id=1173108780&l=319&url=http%3A%2F%2Fsmile%2Fm%3D9low&ms=http%3A%2F%2Fmsg%2Fapi%2F"
                             "&user_id=7&is_premium=0&needs_key=1&ng_up=a%3Db%26c%3Dd&done=true",
                             closed, error));
    EXPECT_EQ(info.thread_id, u"1173108780");
    EXPECT_EQ(info.message_server, u"http://msg/api/");
    EXPECT_TRUE(info.economy);
    EXPECT_TRUE(info.needs_key);
    EXPECT_EQ(info.premium, 0);
    EXPECT_EQ(info.nickname, u"？（ニックネーム取得失敗）");
    EXPECT_EQ(info.replace_words, (std::vector<std::u16string>{u"a=b", u"c=d"}));
    EXPECT_EQ(closed, -1);

    CWorkMovieInfo shut;
    EXPECT_FALSE(parse_getflv(shut, "closed=1&done=true", closed, error));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(parse_getflv(shut, "error=invalid_v1&thread_id=&url=&ms=&user_id=", closed, error));
    EXPECT_EQ(error, "invalid_v1");
    EXPECT_EQ(parse_flv_pairs(std::string(100000, '&') + "a=b").size(), 1u);
}

TEST(InfoFile, MergesAnOldFileKeepingWhatItDoesNotKnow) {
    test::TempFolder dir;
    const std::u16string folder = from_utf8(dir.path().string());
    CFileSP writer;
    ASSERT_EQ(writer.write_wide_text(folder + u"/old.txt",
                                     u"ignored before any header\r\n[name]\r\nsm9\r\n[title]\r\n昔の題\r\n"
                                     u"[my notes]\r\n大事なメモ\r\n[tags]\r\n古いタグ\r\n[comment]\r\n旧説明文\r\n\r\n"
                                     u"[Replace Word]\r\nx=y\r\n",
                                     CFileSP::kOverwrite),
              0);
    CWorkMovieInfo info;
    info.id = u"sm9";
    info.title = u"[新] 題";
    info.description = u"新しい説明\r\n[括弧で始まる行]";
    info.tags = {u"新タグ"};
    info.views = 10;
    info.length_seconds = 75;
    InfoOptions o = offline_options();
    o.keep_old_description = true;
    int code = 0;
    ASSERT_EQ(write_info_file(info, folder, u"old", o, code), 0) << code;
    CFileSP reader;
    CCharW text;
    ASSERT_EQ(reader.read_settings_text(folder + u"/old.txt", text), 0);
    EXPECT_EQ(std::u16string(text.view()),
              u"[name]\r\nsm9\r\n\r\n[title]\r\n%_BLANK_%[新] 題\r\n\r\n[comment]\r\n新しい説明\r\n"
              u"%_BLANK_%[括弧で始まる行]\r\n\r\n[tags]\r\n新タグ\r\n古いタグ\r\n\r\n[view_counter]\r\n10\r\n\r\n"
              u"[Replace Word]\r\nx=y\r\n\r\n[length]\r\n01分15秒\r\n\r\n[my notes]\r\n大事なメモ\r\n");
    // The changed description's old text went to a file of its own.
    bool found_old = false;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        found_old = found_old || e.path().filename().string().find("変更前の動画説明文") != std::string::npos;
    EXPECT_TRUE(found_old);

    CWorkMovieInfo empty;
    EXPECT_EQ(write_info_file(empty, folder, u"nothing", o, code), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nothing.txt"));
}

TEST(SaveName, TitleOrLabelLengthAndTemplate) {
    InfoOptions o = offline_options();
    CWorkMovieInfo info;
    info.id = u"sm9";
    info.status = InfoStatus::kDeleted;
    EXPECT_EQ(save_name(info, SaveNameKind::kFile, o, true), u"情報の残っている削除動画(sm9)");
    EXPECT_EQ(save_name(info, SaveNameKind::kInfoFile, o, true), u"【タイトル未取得】(sm9)");
    info.title = u"a/b";
    info.length_seconds = 75;
    o.append_length = true;
    EXPECT_EQ(save_name(info, SaveNameKind::kFile, o, true), u"a／b【01分15秒】(sm9)");
    info.title = u"a【01分15秒】";
    EXPECT_EQ(save_name(info, SaveNameKind::kFile, o, true), u"a【01分15秒】(sm9)");
    info.name = u"so1";
    o.name_template = u"%ID%-%TITLE%";
    EXPECT_EQ(save_name(info, SaveNameKind::kFile, o, false), u"so1-a【01分15秒】");
}

} // namespace
} // namespace quippet
