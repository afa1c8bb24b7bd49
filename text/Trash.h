#pragma once

#include <string>
#include <string_view>

namespace quippet {

/// Moves a file into the user's desktop trash with the record a file manager needs to put it back: the
/// home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) when the file lives on the same file system,
/// else the trash at the top of the file's own file system ($topdir/.Trash-$UID), so that a file on another
/// disk is never copied across. 0, or -1 when no trash could take it (the file stays where it was).
/// `trashed_as` (may be null) receives the path the file got inside the trash.
int move_to_trash(std::u16string_view path, std::u16string* trashed_as = nullptr);

} // namespace quippet
