#pragma once

#include <string>
#include <string_view>
#include <vector>

// The right-click menu of the download list, read from a user-editable text file. One entry a line:
//   label TAB command      an item
//   -                      a separator
//   ▼label                 a submenu, up to the next "▲"
//   // …                   a comment
// Commands are the names of list_commands(); a line naming none is skipped and reported.

namespace quippet {

enum class ListCommand : int {
    kDownload,
    kStop,
    kRegister,
    kChain,
    kLogin,
    kPlay,
    kPlayDefault,
    kOpenFolder,
    kCopyAddress,
    kCopyId,
    kCopyName,
    kRemoveSelected,
    kRemoveChecked,
    kRemoveDone,
    kClear,
    kCheckSelected,
    kUncheckSelected,
    kCheckAll,
    kUncheckAll,
    kInvertChecks,
    kSaveList,
    kLoadList,
    kOpenMemo,
    kToReconstruct,
    kRefreshThumbnails,
};

struct ListCommandName {
    ListCommand command;
    std::u16string_view name;
};
/// Every command with the name the menu file uses for it.
const std::vector<ListCommandName>& list_commands();

struct ListMenuEntry {
    enum class Kind { kItem, kSeparator, kSubmenu, kEnd } kind = Kind::kItem;
    std::u16string label;
    ListCommand command = ListCommand::kDownload;
};

struct ListMenu {
    std::vector<ListMenuEntry> entries; ///< submenus balanced: every kSubmenu has its kEnd
    /// Lines skipped, as "line N: text" for the log.
    std::vector<std::u16string> problems;
};

ListMenu parse_list_menu(std::u16string_view text);
const std::u16string& default_list_menu_text();

} // namespace quippet
