#pragma once

#include <string>
#include <string_view>

#include "comments/ChatWriter.h"

namespace quippet {

/// A comment file dropped on the rename field: with `remove_tail` ("末尾情報なし") the tail information
/// framed by naming.before/after is taken off its name, otherwise the tail the file's comments give is put
/// on (replacing one it had). The file is renamed at once; an existing file of the new name is never
/// replaced. 0 with the new path (the same path when the name already fits), or -1 with the reason.
int rename_by_tail(std::u16string_view path, const SaveNaming& naming, bool remove_tail, std::u16string& result);

/// A comment file dropped on the "調査" field: its latest display time (the largest `vpos`), or -1 with
/// the reason in `text`. `text` gets the line the tab shows.
int survey_latest_time(std::u16string_view path, std::u16string& text);

} // namespace quippet
