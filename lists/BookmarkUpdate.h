#pragma once

#include <string>

#include "download/PageRegistration.h"
#include "download/UpdateCheck.h"
#include "lists/BookmarkActions.h"

namespace quippet {

class CSettings;
class CListDownload;

/// The update check's switches from a settings snapshot: the state folder in the home, the download tab's
/// skip switches, and thumbnails counted as existing when the list's cache holds them.
UpdateCheckSettings update_check_settings_from(const CSettings& settings);

/// "更新チェック" (job kind 11): the bookmarks `items` (CBookmarkEditor::update_items, taken on the thread that
/// owns the tree) are checked into `list`; new rows go to `folder` (with its trailing "/").
/// The check logs its summary line to the report.
UpdateTally run_bookmark_update_check(const CSettings& settings, const std::vector<CBookmarkEditor::UpdateItem>& items,
                                      CListDownload& list, std::u16string_view folder, RegisterReport& report);

/// "自動": a name for a bookmark's target from the service when "マイリストなどをブックマークする際、ツリーに
/// 表示する文字列を得るために、ネットにアクセスする" is on: a video's title for a video address or ID, else the
/// page's <title>. 0 with the name; -1 when the switch is off, the request failed or the page had no title.
int bookmark_auto_name(const CSettings& settings, std::u16string_view target, std::u16string& name);

} // namespace quippet
