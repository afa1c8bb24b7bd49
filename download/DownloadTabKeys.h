#pragma once

#include "app/SettingKeys.h"

// Where the download tab keeps its controls in the settings file. The download steps read them from the
// job's settings snapshot, so the command line and the window share one set of keys.

namespace quippet {

// The numbers below are the keys of every stored settings file. Never renumber them: a renumbered key
// silently hands an old value to another control.

/// Check boxes and radio buttons of the download tab ("CB" 0 … 28).
enum class DlSwitch : int {
    kVideo = 0,     ///< "動画ファイル"
    kThumbnail,     ///< "サムネイル画像"
    kNicowari,      ///< "ユーザーニコ割"
    kInfoFile,      ///< "動画情報ファイル"
    kComments,      ///< "コメントファイル"
    kPastLogs,      ///< "過去ログも取得"
    kOwnerComments, ///< "投稿者コメント"
    kPastLogStart,  ///< "｢過去ログも取得｣の起点" (days and hours in the detailed settings)
    kPastLogLimit,  ///< "｢過去ログも取得｣の上限" (the count in the detailed settings)
    kPastMoment,    ///< the date picker on "昔" (off: "今")
    kRenameOnNameChange, // 10: files saved under an old save name follow the new one
};

/// Number fields and drop-downs of the download tab ("EN" 0 … 8).
enum class DlNumber : int {
    kCommentMode = 0, ///< "DLするコメント": 0 "定量", 1 "毎分", 2 "両方"
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

} // namespace quippet
