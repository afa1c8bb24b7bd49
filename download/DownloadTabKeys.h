#pragma once

#include "app/SettingKeys.h"

// Where the download tab keeps its controls in the settings file. The download steps read them from the
// job's settings snapshot, so the command line and the window share one set of keys.

namespace quippet {

// The numbers below are the keys of every stored settings file. Never renumber them: a renumbered key
// silently hands an old value to another control.

/// Check boxes and radio buttons of the download tab ("CB" 0 … 28).
enum class DlSwitch : int {
    kVideo = 0,          ///< "動画ファイル"
    kThumbnail,          ///< "サムネイル画像"
    kNicowari,           ///< "ユーザーニコ割"
    kInfoFile,           ///< "動画情報ファイル"
    kComments,           ///< "コメントファイル"
    kPastLogs,           ///< "過去ログも取得"
    kOwnerComments,      ///< "投稿者コメント"
    kPastLogStart,       ///< "｢過去ログも取得｣の起点" (days and hours in the detailed settings)
    kPastLogLimit,       ///< "｢過去ログも取得｣の上限" (the count in the detailed settings)
    kPastMoment,         ///< the date picker on "昔" (off: "今")
    kRenameOnNameChange, // 10: files saved under an old save name follow the new one
    kSearchStartPage,    ///< "検索開始ページ"
    kPageLimit,          ///< "辿るページの上限"
    kShowThumbnails,     ///< "サムネイルを表示"
    kFollowNewRows,      ///< "追加した行を表示": new rows are scrolled into view
    kUncheckDone,        // 15: "DL成功した行のチェックを外す"
    kReconstructAfter,   ///< "DL後に再構成": the saved comment file goes to the reconstruction
    kUpdateSkipThumb,    ///< "サムネ既存はスルー" (update checks)
    kUpdateSkipOld,      ///< "投稿日が古いものはスルー" (update checks)
    kUpdateSound,        ///< "更新チェックの結果を音で知らせる"
    kThumbFourThree,     // 20: thumbnails of the list in 4:3 (off: 16:9)
};

/// Number fields and drop-downs of the download tab ("EN" 0 … 8).
enum class DlNumber : int {
    kCommentMode = 0, ///< "DLするコメント": 0 "定量", 1 "毎分", 2 "両方"
    kStartPage,       ///< "検索開始ページ"
    kPageLimit,       ///< "辿るページの上限"
    kSerialFirst,     ///< "連番登録": first number
    kSerialLast,      ///< "連番登録": last number
    kSerialCount,     // 5: "連番登録": count
    kSearchMethod,    ///< the chosen line of the search-order file
    kSaveForm,        ///< "（保存方式）"
    kUpdateOldDays,   ///< "投稿日が古いものはスルー": days
    kLoginEntry,      ///< "ログインの設定": the entry of the cookie-sharing file
    kThumbSize,       // 10: the size button of the thumbnails ("小" 1 … "特" 4) while they are shown
};

/// Texts of the download tab ("ComboStr" 1 … 5).
enum class DlText : int {
    kInput = 1,         ///< the input box: IDs, addresses, search words
    kFolder,            ///< "保存場所": the default save folder
    kListName,          ///< "この名前でリストを保存"
    kAddition,          ///< text added to the input box by a hand-over
    kReconstructPreset, // 5: the preset the reconstruction after a download uses
};

/// "DLするコメント".
enum class CommentMode : int { kByCount = 0, kByMinute = 1, kBoth = 2 };

/// The moment of "昔": seconds since 1970 as decimal text.
inline constexpr SettingKey kDlPastMoment{section::kDownload, u"EmperorTime", -1};

constexpr SettingKey key(DlSwitch v) {
    return {section::kDownload, u"CB", static_cast<int>(v)};
}
constexpr SettingKey key(DlNumber v) {
    return {section::kDownload, u"EN", static_cast<int>(v)};
}
constexpr SettingKey key(DlText v) {
    return {section::kDownload, u"ComboStr", static_cast<int>(v)};
}

} // namespace quippet
