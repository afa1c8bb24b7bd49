#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// A playlist file as read, so that saving it back keeps the form another player gave it.
struct Playlist {
    /// How the file is written: this program's own form is UTF-16 with a byte order mark and CR LF; players
    /// on this desktop write UTF-8, often with "#EXTM3U" and "#EXTINF" lines.
    enum class Encoding { kWide, kUtf8, kUtf8Bom };
    Encoding encoding = Encoding::kWide;
    bool crlf = true;
    bool extended = false; ///< a "#EXTM3U" first line

    struct Entry {
        std::u16string path;
        /// The "#" lines that stood before the entry ("#EXTINF:…"), written back before it.
        std::vector<std::u16string> before;
    };
    std::vector<Entry> entries;
    /// "#" lines after the last entry.
    std::vector<std::u16string> trailer;

    std::vector<std::u16string> paths() const;
    /// Replaces the entries by `paths`, keeping the "#" lines of the paths that stay.
    void set_paths(const std::vector<std::u16string>& paths);
};

/// Reads a playlist: UTF-16 (either byte order mark), UTF-8 with or without one, else CP932. 0, or -1 with
/// the file's result code in `error`.
int read_playlist(std::u16string_view path, Playlist& out, int& error);
/// A playlist file's bytes, read as read_playlist reads them.
Playlist parse_playlist(std::string_view bytes);
/// The playlist's text in its own form (without a byte order mark; write_playlist adds it).
std::u16string playlist_text(const Playlist& playlist);
/// Writes through a temporary file. `policy` as CFileSP. 0, or -1 with the code in `error`.
int write_playlist(std::u16string_view path, const Playlist& playlist, int policy, int& error);

/// The names of the "*.m3u" files of `folder` without the extension, sorted. -1 when the folder cannot be
/// read (it vanished), else 0.
int list_playlists(std::u16string_view folder, std::vector<std::u16string>& names);

/// The markers of the tail-marker setting, with each marker holding "<ID>" repeated once per video-ID
/// prefix ("(<ID>" with "sm|so" gives "(sm", "(so"), in the setting's order.
std::vector<std::u16string> expand_tail_markers(std::u16string_view markers, std::u16string_view id_prefixes);

/// The names shown for a playlist's entries: the file names without folder and extension, without the
/// series the first entry names (found by the first separator it contains), each cut at the last
/// occurrence of the first tail marker it contains. A cut that would leave nothing keeps the name.
std::vector<std::u16string> display_names(const std::vector<std::u16string>& paths,
                                          const std::vector<std::u16string>& separators,
                                          const std::vector<std::u16string>& tail_markers);

/// "a|b|c" split at "|", empty parts dropped.
std::vector<std::u16string> split_bars(std::u16string_view text);

/// The save button of the playlist tab for the name field and the rows.
struct SaveButton {
    enum class Action { kNone, kOverwrite, kRename, kSaveNew };
    std::u16string caption;
    Action action = Action::kNone;
    bool enabled() const { return action != Action::kNone; }
};
/// `loaded` is the loaded playlist's name (empty when none), `exists` whether a playlist named `name`
/// exists in the folder. A name that is not a plain file name ("a/b", "..") is treated as empty.
SaveButton save_button(std::u16string_view name, std::u16string_view loaded, bool rows_changed, bool exists);

/// Renames a playlist and its memo (unless a memo of the new name exists: then `log` gets the new name +
/// ".txtはすでに存在していたので、メモはリネームしませんでした"). 0, or -1 when the playlist could not be renamed.
int rename_playlist(std::u16string_view folder, std::u16string_view from, std::u16string_view to,
                    std::u16string_view memo_folder, std::vector<std::u16string>& log);

/// Sends a playlist file to the desktop trash; a missing file and a failure go to `log`. 0 or -1.
int delete_playlist(std::u16string_view path, std::vector<std::u16string>& log);

/// The memo button's caption: "メモ／既存", "メモ／新規", or "空白" when no playlist is loaded.
std::u16string memo_caption(std::u16string_view memo_folder, std::u16string_view loaded);
/// The memo file of a playlist (memo folder + "/" + name + ".txt").
std::u16string memo_path(std::u16string_view memo_folder, std::u16string_view name);

} // namespace quippet
