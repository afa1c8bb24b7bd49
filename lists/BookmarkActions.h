#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/BookmarkTree.h"

namespace quippet {

/// The saved lists (".txt" and ".m3u" files of `folder`, by name) become the children of every item whose
/// target is "<保存したリストの一覧>". The number of such items.
int refresh_saved_lists(CBookmarkTree& tree, std::u16string_view folder);

/// A target that names an existing local folder.
bool is_local_folder(std::u16string_view target);

/// Subfolders when a bookmark has no depth limit of its own, and the most children one rebuild adds: a
/// folder bookmark on a large disk must not turn into a tree nobody can scroll.
inline constexpr int kBmDefaultSubfolderDepth = 8;
inline constexpr int kBmMaxSubfolderItems = 5'000;

/// Rebuilds the subfolder children of a folder bookmark down to `depth` levels: children that stand for a
/// folder directly inside the bookmark's folder are replaced by what the disk holds now (sorted by name);
/// other children stay. The number of items added.
int rebuild_subfolders(CBookmarkTree& tree, BookmarkNode& node, int depth);
/// After a folder was created or renamed at `path`: every bookmark whose target is its parent folder (with
/// or without the trailing separator) and whose options lack "e=0" gets its subfolders rebuilt.
int folder_changed(CBookmarkTree& tree, std::u16string_view path);

/// What an editing operation needs from outside: where the tree is saved, the two switches, how a folder
/// goes to the trash (the desktop's trash in the window), and where its log lines go.
struct BookmarkEditorSettings {
    std::u16string tree_path;
    std::u16string saved_lists_folder;
    bool add_subfolders = true; ///< rebuild folder bookmarks after a folder change through the tree
    bool new_folder_on_disk = false;
    std::function<bool(std::u16string_view path)> trash; ///< empty: nothing can be trashed
};

/// The tree's editing operations: each acts on the local folder behind a bookmark where the operation says
/// so, logs its result with the texts the user knows, and saves the whole tree.
class CBookmarkEditor {
public:
    using Log = std::function<void(std::u16string_view line)>;

    CBookmarkEditor(CBookmarkTree& tree, BookmarkEditorSettings settings, Log log);

    CBookmarkTree& tree() { return tree_; }
    const BookmarkEditorSettings& settings() const { return settings_; }

    /// Loads the tree file (refreshing the saved lists); the skipped lines are logged. -1 when the file
    /// could not be read (the tree stays as it was); 1 when a line could not be inserted.
    int load();
    /// Saves the tree; a failure is logged. 0 or -1.
    int save();

    /// "追加する": a new bookmark near the selection. Null when the tree is full.
    BookmarkNode* add(BookmarkNode* selected, const BookmarkNode& data);
    /// "置き換えて閉じる": the selected item takes the data (its children and state stay). False without a
    /// selection (the message is logged).
    bool replace(BookmarkNode* selected, const BookmarkNode& data);
    /// Deletes the item. For a folder bookmark `trash_folder` sends its folder to the trash first, and
    /// keeping it is logged; a folder that cannot be trashed keeps the item as well.
    bool remove(BookmarkNode* node, bool trash_folder);
    /// Moves the item; a bookmark of a local folder dropped on another folder bookmark moves its folder
    /// there on disk. A folder that cannot be moved leaves the item where it was.
    bool move(BookmarkNode* node, BookmarkNode* new_parent, int index);
    /// Renames the item; an item that stands for a folder (its label is the folder's name) renames the
    /// folder and follows it.
    bool rename(BookmarkNode* node, std::u16string_view label);
    /// "新しいフォルダ": a folder item under `selected` (at top level without one). Under a bookmark of a
    /// local folder with the switch on, the folder is created on disk and the item becomes its bookmark.
    BookmarkNode* new_folder(BookmarkNode* selected);
    /// After a registration from a folder bookmark: its subfolders follow the disk unless it says "e=0".
    int registered(BookmarkNode& node);
    /// Check or uncheck every item.
    void check_all(bool on);

    /// The checked bookmarks for an update check, in tree order. A checked folder item stands for the
    /// bookmarks below it, down to its depth limit. Targets that are not service addresses are listed as
    /// not checked, so that the check counts them as excluded.
    struct UpdateItem {
        std::u16string url;
        std::u16string options;
        bool checkable = true;
    };
    std::vector<UpdateItem> update_items() const;

private:
    void log(std::u16string_view line) const {
        if (log_) log_(line);
    }
    void changed_folder(std::u16string_view path);

    CBookmarkTree& tree_;
    BookmarkEditorSettings settings_;
    Log log_;
};

/// "作": what the button beside a path field does, and the line it shows. `save_folder_field` selects
/// the save-folder field's rules; `create_list` writes the current download list to a path (0 on success).
std::u16string make_bookmark_path(std::u16string_view path, bool save_folder_field,
                                  const std::function<int(std::u16string_view path)>& create_list);

/// The question asked before adding a bookmark whose target exists: empty when there is none.
std::u16string same_target_question(const CBookmarkTree& tree, std::u16string_view target);

} // namespace quippet
