#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// The commands the tree's right-click menu can offer.
enum class BmCommand : int {
    kSeparator = 0,
    kRegister,  ///< register the item's videos, as a double-click does
    kEdit,      ///< "ブックマークの追加／編集" with the item's data
    kNewFolder, ///< "新しいフォルダ"
    kRename,
    kDelete,
    kCheckAll,
    kUncheckAll,
    kUpdateCheck, ///< "更新チェック" over the checked bookmarks
    kAnime,       ///< "今期アニメの追加"
    kReload,      ///< "設定ファイルから再読込"
    kExpandAll,
    kCollapseAll,
    kOpenFolder, ///< the bookmark's folder in the file manager
    kCopyTarget, ///< the bookmark's address or path to the clipboard
};

struct BmMenuEntry {
    std::u16string label;
    BmCommand command = BmCommand::kSeparator;
};

struct BmMenu {
    std::vector<BmMenuEntry> entries;
    std::vector<std::u16string> log; ///< lines skipped, naming the file and the line
};

/// The command word of the menu file for a command, and back (nullopt-like kSeparator for an unknown word
/// is not used: `known` tells).
std::u16string_view bm_command_word(BmCommand command);
bool bm_command_of(std::u16string_view word, BmCommand& out);

/// The menu file: one entry a line, the label shown, a tab, and the command word; a line "-" is a
/// separator; lines beginning with "//" and blank lines carry nothing. Unknown commands and lines without a
/// tab are skipped with a log line. Separators never lead, trail or repeat.
BmMenu parse_bookmark_menu(std::u16string_view text, std::u16string_view file_label);
/// The file written when there is none: every command once.
const std::u16string& default_bookmark_menu_text();

} // namespace quippet
