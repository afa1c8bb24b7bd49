#include "net/NetSettingPages.h"

#include "app/SettingsCatalogue.h"

namespace quippet {

void add_net_setting_pages(CatalogueBuilder& b) {
    b.page(u"ログイン");
    b.group(u"ログイン");
    b.secret(OptProtected::kMail, u"メールアドレス");
    b.secret(OptProtected::kPassword, u"パスワード");
    b.text(OptText::kLoginPage, u"ログインページ", u"https://secure.nicovideo.jp/secure/login?site=niconico");
    b.choice(OptNumber::kLoginSharing, u"クッキーやログイン状態の共有",
             {u"設定ファイルの指定に従う（「login=AUTO」「login=OFF」に従う）",
              u"設定ファイルの指定に関わらず、状況に応じて自動ログインを行う（常に「login=AUTO」あつかい）",
              u"設定ファイルの指定に関わらず、常に自動ログインを行わない（常に「login=OFF」あつかい）"});
    b.sw(OptSwitch::kSkipCookieCharCheck, u"クッキーの構成文字種のチェックをスキップする");
    b.text(OptText::kTestVideoId, u"getflv のテストを行う場合の動画のID", u"sm9");
    b.sw(OptSwitch::kShowMembership, u"会員の種類を表示する", 1, "（プレミアム会員）/（無料会員） in the login line");
    b.text(OptText::kNicknameText, u"ニックネームの後の文字列");

    b.page(u"動画情報");
    b.group(u"動画情報");
    b.sw(OptSwitch::kForeignTags, u"海外のタグも取得する");
    b.sw(OptSwitch::kAppendLength, u"再生時間付加", 0, "the length in the name brackets after the title");
    b.sw(OptSwitch::kInfoCacheSections, u"動画情報ファイルにスレッドIDなどを記録する");
    b.sw(OptSwitch::kKeepOldDescription,
         u"「動画の説明文」が変更されていた場合に、旧説明文の動画情報ファイルも別名で保存する");
    b.group(u"動画閲覧ページ");
    b.sw(OptSwitch::kWatchRefererRetry, u"ページの内容に応じてリファラを変えて再アクセスする");
    b.text(OptText::kRefererMarkers, u"再アクセスの目印（|区切り）", u"");
    b.text(OptText::kReferers, u"再アクセスのリファラ（|区切り）", u"");

    b.page(u"通信");
    b.group(u"プロキシの設定");
    b.choice(OptNumber::kProxyMode, u"プロキシの設定", {u"IEの設定に従う", u"直接", u"これを通す→"});
    b.text(OptText::kProxyAddress, u"これを通す→（プロキシ）", u"localhost:8081");
    b.group(u"リクエスト\nヘッダ");
    b.text(OptText::kRequestHeaders, u"リクエスト\nヘッダ",
           u"Accept: */*\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64; Trident/7.0; rv:11.0) like "
           u"Gecko\r\nProxy-Connection: Keep-Alive\r\n");
    b.text(OptText::kOldRequestHeaders, u"リクエスト\nヘッダ（旧方式）",
           u"Accept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; SV1; .NET CLR "
           u"2.0.50727)\r\nProxy-Connection: Keep-Alive\r\n");
    b.group(u"URL");
    b.text(OptText::kGetFlvHttp, u"getflv（旧方式）", u"http://flapi.nicovideo.jp/api/getflv/");
    b.text(OptText::kGetFlvHttps, u"getflv", u"https://flapi.nicovideo.jp/api/getflv/");
    b.text(OptText::kThreadKeyHttp, u"getthreadkey（旧方式）", u"http://flapi.nicovideo.jp/api/getthreadkey?thread=");
    b.text(OptText::kThreadKeyHttps, u"getthreadkey", u"https://flapi.nicovideo.jp/api/getthreadkey?thread=");
    b.text(OptText::kWaybackKeyHttp, u"getwaybackkey（旧方式）",
           u"http://flapi.nicovideo.jp/api/getwaybackkey?thread=");
    b.text(OptText::kWaybackKeyHttps, u"getwaybackkey", u"https://flapi.nicovideo.jp/api/getwaybackkey?thread=");
    b.text(OptText::kThumbInfoApi, u"getthumbinfo", u"https://ext.nicovideo.jp/api/getthumbinfo/");
    b.text(OptText::kMobileApi, u"iOSとかのAPI", u"https://i.nicovideo.jp/v3/video.array?v=");
    b.text(OptText::kWatchPage, u"動画閲覧ページ", u"https://www.nicovideo.jp/watch/");
    b.text(OptText::kSearchUrl, u"検索のURL", u"https://www.nicovideo.jp/search/");
    b.text(OptText::kGetBgm, u"getbgm", u"https://flapi.nicovideo.jp/api/getbgm?v=");
    b.sw(OptSwitch::kGetFlvAlwaysHttp, u"GetFlvには常にhttpを要求する");
}

} // namespace quippet
