#include "download/DownloadSettingPages.h"

#include "app/SettingsCatalogue.h"
#include "download/DownloadTabKeys.h"

namespace quippet {

void add_download_setting_pages(CatalogueBuilder& b) {
    b.page(u"ダウンロード");
    b.group(u"待機");
    b.num(OptNumber::kDownloadWait, u"ダウンロードの基本待機秒数", 0, 3600, 5);
    b.num(OptNumber::kThumbApiInterval, u"サムネイルAPIへのアクセス間隔", 0, 36000, 10, "tenths of a second");
    b.group(u"保存");
    b.num(OptNumber::kFreeSpaceMb, u"DLすると空き容量が … MB未満になる時はDLを行わない", 0, CatalogueBuilder::kMaxCount,
          500);
    b.text(OptText::kNameTemplate, u"保存名", u"%TITLE%(%ID%)");
    b.text(OptText::kVideoExtensions, u"動画の拡張子", u"mp4|avi|wmv|mkv|flv|swf");
    b.text(OptText::kImageExtensions, u"画像の拡張子", u"jpg|jpeg|gif");
    b.text(OptText::kThumbExtension, u"サムネイル画像の拡張子", u"jpg");
    b.sw(OptSwitch::kLargeThumbnail, u"サムネイル画像は、大きいサイズがあればそちらを保存する");
    b.sw(OptSwitch::kKeepThumbCache, u"サムネイル画像をキャッシュから保存した場合も、キャッシュを残す");
    b.num(OptNumber::kImageRenameRule, u"同名で別サイズの画像ファイルが既存の場合の挙動", 0, 2, 0,
          "0 save the new image as name(N), 1 rename the saved image to name(N), 2 move the saved image to the trash");
    b.sw(OptSwitch::kInfoFileWithoutWatchPage,
         u"動画情報テキストファイルのためだけなら、動画閲覧ページからの情報取得を行わない");
    b.group(u"ID");
    b.text(OptText::kVideoIdPrefixes, u"動画IDの接頭辞", u"sm|so|nm|am|fz|ut|ca");
    b.text(OptText::kOtherIdPrefixes, u"その他のIDの接頭辞", u"lv|ch|co|nb|nc|sg|im|mg|az|dw|ga|gg|ip|nd|ys|it|pk");
    b.num(OptNumber::kIdMinDigits, u"数字だけのID：最小桁数", 1, 20, 8);
    b.num(OptNumber::kIdMaxDigits, u"数字だけのID：最大桁数", 1, 20, 12);
    b.group(u"履歴と更新チェック");
    b.num(OptNumber::kHistoryLines, u"DLの履歴の行数", 0, CatalogueBuilder::kMaxCount, 10000);
    b.num(OptNumber::kUpdateCheckDays, u"前の更新チェックより前の投稿はスルー（日）", 0, 36500, 1);
    b.sw(OptSwitch::kBookmarkFetchName,
         u"マイリストなどをブックマークする際、ツリーに表示する文字列を得るために、ネットにアクセスする");
    b.group(u"終了時");
    b.sw(OptSwitch::kPlayEndSound, u"すべてのダウンロードが終了した際に、WAVファイルを再生する");
    b.text(OptText::kEndSoundSuccess, u"成功時のWAVファイル");
    b.text(OptText::kEndSoundFailure, u"失敗時のWAVファイル");

    b.page(u"コメントファイルのダウンロード・保存は次の条件で行う");
    b.group(u"取得");
    b.num(OptNumber::kCommentsPerRequest, u"1回のリクエストで取得するコメント数", 1, 100000, 1000);
    b.num(OptNumber::kPastLogInterval, u"過去ログ取得時のリクエスト間隔", 0, 600000, 1000, "milliseconds");
    b.group(u"アクセス失敗などの場合のリトライ：");
    b.num(OptNumber::kCommentRetryWait, u"秒待機で", 0, 3600, 5);
    b.num(OptNumber::kCommentRetryCount, u"回まで", 0, 100, 3);
    b.group(u"｢過去ログも取得｣の起点");
    b.num(OptNumber::kPastLogStartDays, u"日", 0, 100000, 0, "days after the posting time");
    b.num(OptNumber::kPastLogStartHours, u"時間", 0, 100000, 0);
    b.group(u"｢過去ログも取得｣の上限");
    b.num(OptNumber::kPastLogLimit, u"件", 1, CatalogueBuilder::kMaxCount, 1000000, "newest comment numbers kept");
    b.group(u"スキップ");
    b.sw(OptSwitch::kSkipUnchangedComments,
         u"過去に保存したコメントファイルがある場合、コメント数が増えていなければDLをスキップする");
    b.num(OptNumber::kSkipIncreaseBelow, u"未満のコメント数の増加ならスキップする", 0, CatalogueBuilder::kMaxCount, 1);
    b.sw(OptSwitch::kSkipByConditions,
         u"過去に保存したコメントファイルがある場合、以下のチェックした条件をすべて満たすならDLをスキップする");
    b.sw(OptSwitch::kSkipCondLastNumber, u"過去に保存したコメントファイル内の、最後のコメント番号");
    b.num(OptNumber::kSkipLastNumberAtLeast, u"過去に保存したコメントファイル内の、最後のコメント番号（以上）", 0,
          CatalogueBuilder::kMaxCount, 1000);
    b.sw(OptSwitch::kSkipCondLatestCount, u"ニコニコ動画上の、現在の最新コメント数");
    b.num(OptNumber::kSkipLatestCountAtMost, u"ニコニコ動画上の、現在の最新コメント数（以下）", 0,
          CatalogueBuilder::kMaxCount, 1000);
    b.sw(OptSwitch::kSkipCondIncrease, u"過去に保存したファイルから比べて、現在までに増えたコメント数");
    b.num(OptNumber::kSkipIncreaseAtMost, u"過去に保存したファイルから比べて、現在までに増えたコメント数（以下）", 0,
          CatalogueBuilder::kMaxCount, 0);
    b.sw(OptSwitch::kFuzzySavedMatch,
         u"上2件の「過去に保存したコメントファイル」は曖昧に識別（「保存名」部分のみ・IDのみの一致を許容）");
    b.group(u"保存");
    b.text(OptText::kOwnerNameTemplate, u"投稿者コメントの保存名", u"%TITLE%(%ID%)[Owner]");
    b.sw(OptSwitch::kAddBoonData, u"ダウンロードしたコメントファイルには BoonSutazioData を付加する");

    b.page(u"動画ファイルのダウンロード・保存は次の条件で行う");
    b.group(u"保存");
    b.num(OptNumber::kVideoFreeSpaceMb, u"DLすると空き容量が … MB未満になる時はDLを行わない", -1,
          CatalogueBuilder::kMaxCount, -1, "-1: the value of the download page");
    b.num(OptNumber::kParallelDownloads, u"動画を同時にDLする本数：", 1, 16, 1);
    b.sw(OptSwitch::kAddToWatchLater, u"保存した動画を「あとで見るリスト」に追加する");
    b.sw(OptSwitch::kAddToListFile, u"保存した動画を右のリストファイルに追加する");
    b.text(OptText::kVideoListFile, u"保存した動画を右のリストファイルに追加する（リストファイル）");
    b.sw(OptSwitch::kResume, u"可能ならレジュームする（推奨）", 1);
    b.num(OptNumber::kVideoQuality, u"画質", 0, 6, 0,
          "0 （画質）, 1 旧サーバを使う, 2 超（1080p）優先, 3 高（720p）優先, 4 中（540p）優先, 5 低（360p）優先, 6 "
          "360p/600＆低音質");
    b.num(OptNumber::kOtherSizeRule, u"同名でサイズ違いのファイルがすでに保存されている場合の挙動", 0, 2, 0,
          "0 skip, 1 rename the saved file, 2 save under another name");
    b.group(u"エラー時のリトライ：");
    b.num(OptNumber::kVideoRetryWait, u"秒待機で", 0, 3600, 10);
    b.num(OptNumber::kVideoRetryCount, u"回まで", 0, 100, 3);
    b.group(u"サーバ");
    b.sw(OptSwitch::kNewServerBestOnly, u"新サーバ：最高画質以外では、ダウンロードしない");
    b.sw(OptSwitch::kNewServerSkipLowQuality,
         u"新サーバ：低画質モードの影響を受ける場合は、DLしない（指定範囲内の最高画質でDLできないならスルー）");
    b.sw(OptSwitch::kOldServerSkipEconomy, u"旧サーバ：エコノミー動画は、ダウンロードしない");
    b.sw(OptSwitch::kOldServerEconomySuffix, u"旧サーバ：エコノミー動画なら、ファイル名の末尾に右の文字列を追加する");
    b.text(OptText::kEconomySuffix, u"旧サーバ：エコノミー動画なら、ファイル名の末尾に右の文字列を追加する（文字列）",
           u"【エコノミー】");
    b.sw(OptSwitch::kOldServerSkipEconomyIfHigh, u"旧サーバ：高画質動画（非エコノミーの動画）がすでに保存されているとき"
                                                 u"は、エコノミー動画のダウンロードをしない");
    b.sw(OptSwitch::kOldServerFailWithoutHigh,
         u"旧サーバ：高画質動画（非エコノミーの動画）が保存されていないときは、結果表示を「×」にする");
    b.group(u"書込");
    b.num(OptNumber::kWriteChunkMb, u"HDD等への書込は … MBずつ行う", 1, 1024, 1);
    b.num(OptNumber::kBufferKb, u"バッファ … KB", 1, 65536, 64);
    b.group(u"緊急用");
    b.sw(OptSwitch::kQualityCheckBypass, u"「（画質）」選択時、画質と音質の判定をスルーする（緊急用）");
    b.sw(OptSwitch::kForceDownload, u"削除動画などでもDLをある程度強行する ※テスト用");

    add_download_registration_pages(b);
    add_download_tab_page(b);
}

void add_download_registration_pages(CatalogueBuilder& b) {
    b.page(u"リスト登録と更新チェック");
    b.group(u"ページからの登録");
    b.text(OptText::kPageErrorPattern, u"エラーページの判定（正規表現）", {},
           "a fetched page that matches is an error page; empty: none");
    b.group(u"更新チェック");
    b.num(OptNumber::kUpdateMinComments, u"コメント数が … 未満の動画はスルー", 0, CatalogueBuilder::kMaxCount, 0);
    b.text(OptText::kUpdateSoundNew, u"更新ありのWAVファイル");
    b.text(OptText::kUpdateSoundNone, u"更新なしのWAVファイル");
}

void add_download_tab_page(CatalogueBuilder& b) {
    b.page(u"ダウンロード（タブ）");
    b.group(u"ダウンロードするもの");
    b.sw(DlSwitch::kVideo, u"動画ファイル");
    b.sw(DlSwitch::kThumbnail, u"サムネイル画像");
    b.sw(DlSwitch::kNicowari, u"ユーザーニコ割");
    b.sw(DlSwitch::kInfoFile, u"動画情報ファイル");
    b.sw(DlSwitch::kComments, u"コメントファイル", 1);
    b.sw(DlSwitch::kOwnerComments, u"投稿者コメント");
    b.group(u"コメント");
    b.choice(DlNumber::kCommentMode, u"DLするコメント", {u"定量", u"毎分", u"両方"}, 0);
    b.sw(DlSwitch::kPastLogs, u"過去ログも取得");
    b.sw(DlSwitch::kPastLogStart, u"｢過去ログも取得｣の起点", 0, "days and hours in the detailed settings");
    b.sw(DlSwitch::kPastLogLimit, u"｢過去ログも取得｣の上限", 0, "the count in the detailed settings");
    b.sw(DlSwitch::kPastMoment, u"昔", 0, "radio: from the moment below (off: 今)");
    b.text(kDlPastMoment, u"昔の日時", {}, "seconds since 1970");
    b.group(u"保存");
    b.text(DlText::kFolder, u"保存場所", u"download");
    b.sw(DlSwitch::kRenameOnNameChange, u"保存名が変わったら保存済みのファイルもリネーム");
    b.sw(DlSwitch::kReconstructAfter, u"DL後に再構成");
    b.text(DlText::kReconstructPreset, u"再構成のプリセット");
    b.group(u"入力欄");
    b.text(DlText::kInput, u"入力欄", {}, "IDs, addresses, files or search words");
    b.text(DlText::kAddition, u"追加する文字列");
    b.group(u"検索");
    b.num(DlNumber::kSearchMethod, u"検索の並び順", 0, 9999, 0, "line of the search-order file, from 0");
    b.sw(DlSwitch::kSearchStartPage, u"検索開始ページ");
    b.num(DlNumber::kStartPage, u"検索開始ページ（ページ）", 1, CatalogueBuilder::kMaxCount, 1);
    b.sw(DlSwitch::kPageLimit, u"辿るページの上限");
    b.num(DlNumber::kPageLimit, u"辿るページの上限（ページ）", 0, CatalogueBuilder::kMaxCount, 10);
    b.group(u"連番登録");
    b.num(DlNumber::kSerialFirst, u"開始番号", 1, CatalogueBuilder::kMaxCount, 1);
    b.num(DlNumber::kSerialLast, u"終了番号", 1, CatalogueBuilder::kMaxCount, 1);
    b.num(DlNumber::kSerialCount, u"個数", 1, 10000, 100);
    b.group(u"リスト");
    b.text(DlText::kListName, u"この名前でリストを保存");
    b.choice(DlNumber::kSaveForm, u"（保存方式）", {u"完全＋状態", u"パス＋情報", u"パスのみ", u"IDのみ"}, 0);
    b.sw(DlSwitch::kShowThumbnails, u"サムネイルを表示");
    b.sw(DlSwitch::kFollowNewRows, u"追加した行を表示");
    b.sw(DlSwitch::kUncheckDone, u"DL成功した行のチェックを外す");
    b.num(DlNumber::kThumbSize, u"サムネの大きさ", 1, 4, 2, "1 小, 2 中, 3 大, 4 特 (shown while サムネイルを表示 is on)");
    b.sw(DlSwitch::kThumbFourThree, u"4:3");
    b.group(u"ログイン");
    b.num(DlNumber::kLoginEntry, u"ログインの設定", 0, 999, 0, "line of the cookie-sharing file, from 0");
    b.group(u"更新チェック");
    b.sw(DlSwitch::kUpdateSkipThumb, u"サムネ既存はスルー");
    b.sw(DlSwitch::kUpdateSkipOld, u"投稿日が古いものはスルー");
    b.num(DlNumber::kUpdateOldDays, u"日より前の投稿", 0, 36500, 30);
    b.sw(DlSwitch::kUpdateSound, u"更新チェックの結果を音で知らせる");
}

} // namespace quippet
