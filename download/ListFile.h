#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "download/DownloadList.h"

namespace quippet {

class CSettings;

/// The forms of "（保存方式）", in drop-down order.
enum class ListSaveForm : int {
    kFullWithState = 0, ///< "完全＋状態": every column and the check state
    kFullRows = 1,      ///< "パス＋情報": every column
    kPathOnly = 2,      ///< "パスのみ": folder and save name
    kIdOnly = 3,        ///< "IDのみ"
};
inline constexpr int kListSaveFormCount = 4;
std::u16string_view list_save_form_label(ListSaveForm form);
/// The form a label names; -1 for none.
int list_save_form_of(std::u16string_view label);

/// Stand-ins for the separators inside a save name on a path line.
inline constexpr std::u16string_view kBackslashStandIn = u"%_えんまーく_%";
inline constexpr std::u16string_view kSlashStandIn = u"%_すらっしゅ_%";

/// The list in a form, CR LF line ends. The row forms begin with "*" TAB and the form's label, so that a
/// reader tells them from lists of paths.
std::u16string list_file_text(const CListDownload& list, ListSaveForm form);
/// Written as a UTF-16 text file through a temporary file. 0, or -1 with the file code in `code`.
int save_list_file(std::u16string_view path, const CListDownload& list, ListSaveForm form, int& code);

/// A save path read from a list: the folder (with its trailing "/"), the name, the path with ".xml", and
/// whatever followed the path after a tab.
struct SavedPath {
    std::u16string folder;
    std::u16string name;
    std::u16string path;
    std::u16string rest;
};

struct ListFileContents {
    bool full_rows = false;
    std::vector<DownloadRow> rows;
    std::vector<SavedPath> paths;
    /// Lines passed over: control characters or broken text (a foreign encoding, binary junk), rows of the
    /// full form with too few columns. Their numbers (from 1), for the log.
    std::vector<int> bad_lines;
};

/// Reads a list: rows when the first line begins with "*" and a tab or a blank, else save paths. Paths
/// without a folder go to `default_folder`.
ListFileContents read_list_text(std::u16string_view text, std::u16string_view default_folder);

/// The ID of a name, or empty (the registration's recogniser).
using IdOfName = std::function<std::u16string(std::u16string_view name)>;

/// Adds the rows whose ID is not listed; rows without an ID get one from their save name. The number added.
int register_rows(CListDownload& list, std::vector<DownloadRow> rows, const IdOfName& id_of);
/// Adds a row per path whose name holds an unlisted ID (folder, name, ID and the registration marker).
/// `no_id` (may be empty) receives the paths in which no ID was found. The number added.
int register_paths(CListDownload& list, const std::vector<SavedPath>& paths, const IdOfName& id_of,
                   std::vector<std::u16string>* no_id = nullptr);

/// The folder of saved lists ("保存したリストの場所") resolved in the app home; the snapshots live there.
std::u16string list_snapshot_folder(const CSettings& settings);
/// The list file of a snapshot ("[前回抽出前のリスト]", "[前回DL開始時のリスト]") in the folder of saved lists.
std::u16string list_snapshot_path(std::u16string_view saved_lists_folder, std::u16string_view name);
/// Keeps the list as it is now under a snapshot name, every column and the check states. 0, or -1 with the
/// file code in `code`.
int save_list_snapshot(std::u16string_view saved_lists_folder, std::u16string_view name, const CListDownload& list,
                       int& code);
/// The rows of a snapshot; empty when there is none.
std::vector<DownloadRow> load_list_snapshot(std::u16string_view saved_lists_folder, std::u16string_view name);

/// The folder as rows keep it: with one trailing "/".
std::u16string folder_with_slash(std::u16string_view folder);

} // namespace quippet
