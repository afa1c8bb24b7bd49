#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lists/PlayerTable.h"
#include "lists/Playlist.h"

namespace quippet {

class CSettings;

/// What the playlist tab shows and does, without its widgets: the folders of the locations file, the
/// playlists of the selected folder, the rows of the loaded playlist with their display names, and the
/// name field with the save, delete and memo buttons that act on them. Every operation that meets a
/// problem leaves the state as it was and says why in `log`.
class CPlaylistTab {
public:
    struct Row {
        std::u16string name; ///< the display name
        std::u16string path;
    };

    CPlaylistTab() = default;
    explicit CPlaylistTab(const CSettings& settings) { configure(settings); }
    /// Takes the display-name settings, the video-ID prefixes and the memo folder from `settings`; the
    /// rows are named again.
    void configure(const CSettings& settings);

    void set_places(std::vector<PlaylistPlace> places);
    const std::vector<PlaylistPlace>& places() const { return places_; }

    /// Selects a folder and lists its playlists; the loaded playlist is closed. A folder that cannot be
    /// read shows no playlists and logs the folder + "は存在しません". 0, or -1 (also for an index out of range,
    /// which selects nothing).
    int select_folder(int index, std::vector<std::u16string>& log);
    int folder_index() const { return folder_; }
    /// The selected folder, empty when none.
    std::u16string folder() const;
    /// Lists the playlists of the selected folder again, keeping the loaded playlist.
    void refresh_playlists(std::vector<std::u16string>& log);
    const std::vector<std::u16string>& playlists() const { return playlists_; }
    /// Index of `name` in playlists(), or -1.
    int playlist_index(std::u16string_view name) const;

    /// Loads a playlist of the folder; its name goes into the name field. A file that cannot be read logs
    /// "プレイリストを読み込めませんでした" and changes nothing. 0 or -1.
    int load(int playlist, std::vector<std::u16string>& log);
    /// The name of the loaded playlist; empty when none is loaded.
    const std::u16string& loaded() const { return loaded_; }

    const std::vector<Row>& rows() const { return rows_; }
    std::vector<std::u16string> paths() const;
    /// The rows differ from the loaded file (or, with nothing loaded, there are rows at all).
    bool rows_changed() const;

    /// Inserts files before row `at` (at the end for a negative or too large `at`). Returns the index of
    /// the first inserted row.
    int insert(int at, const std::vector<std::u16string>& paths);
    /// Moves the given rows, in their order, so that they stand together before the row that was at `to`
    /// (at the end for a negative or too large `to`). Unknown and repeated indexes are dropped. Returns
    /// the new index of the first moved row, or -1 when nothing moved.
    int move(std::vector<int> rows, int to);
    /// Removes the given rows (unknown indexes ignored).
    void remove(std::vector<int> rows);

    void set_name(std::u16string name) { name_ = std::move(name); }
    const std::u16string& name() const { return name_; }

    /// The save button for the name field and the rows now.
    SaveButton save_button() const;
    /// Does what the save button says. Afterwards the playlists are listed again and the saved playlist
    /// is loaded again. 0, or -1 when the button is disabled or the file could not be written.
    int save(std::vector<std::u16string>& log);
    /// Sends the playlist `playlist` of the folder to the trash; the loaded playlist is closed when it was
    /// that one. 0 or -1.
    int delete_playlist(int playlist, std::vector<std::u16string>& log);

    /// "メモ／既存", "メモ／新規", or "空白" with nothing loaded.
    std::u16string memo_caption() const;
    /// Creates the loaded playlist's memo file when missing and returns its path; empty with nothing
    /// loaded or when it could not be created (logged).
    std::u16string ensure_memo(std::vector<std::u16string>& log) const;

private:
    std::u16string playlist_path(std::u16string_view name) const;
    void rename_rows();
    void close();

    std::vector<std::u16string> separators_;
    std::vector<std::u16string> tail_markers_;
    std::u16string memo_folder_ = u"memo";

    std::vector<PlaylistPlace> places_;
    int folder_ = -1;
    std::vector<std::u16string> playlists_;
    std::u16string loaded_;
    /// The loaded file as read: its form is kept when it is written back.
    Playlist file_;
    std::vector<Row> rows_;
    std::u16string name_;
};

} // namespace quippet
