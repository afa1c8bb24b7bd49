#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// The special targets of the tree: their children are made by the program, not the user.
inline constexpr std::u16string_view kBmSavedLists = u"<保存したリストの一覧>";
inline constexpr std::u16string_view kBmRecentlyPlayed = u"<最近再生した動画の一覧>";
/// The label of a download-history item.
inline constexpr std::u16string_view kBmHistoryLabel = u"ダウンロード履歴";

/// Tree-control state bits as the file stores them.
inline constexpr int kBmExpanded = 32;
inline constexpr int kBmExpandedOnce = 16;
/// The check-box state image: 1 unchecked, 2 checked, kept in bits 12 … 15.
inline constexpr int kBmStateImageMask = 0xF000;
inline constexpr int kBmChecked = 0x2000;
inline constexpr int kBmUnchecked = 0x1000;

/// One item of the tree: a bookmark when it has a target, else a folder item.
struct BookmarkNode {
    std::u16string label;
    std::u16string target;
    std::u16string save_folder;
    std::u16string options;
    int state = 0;

    BookmarkNode* parent = nullptr;
    std::vector<std::unique_ptr<BookmarkNode>> children;

    bool expanded() const { return (state & kBmExpanded) != 0; }
    void set_expanded(bool on);
    bool checked() const { return (state & kBmStateImageMask) == kBmChecked; }
    void set_checked(bool on);
    /// The index among the parent's children; -1 for the root.
    int row() const;
    /// 1 for top-level items, 0 for the root.
    int depth() const;
    bool is_ancestor_of(const BookmarkNode* other) const;
};

/// What a load found. Skipped lines are kept as read so that the first save after a faulty load can keep
/// the old file aside: nothing the user did not delete is lost with the bad lines.
struct BookmarkLoadReport {
    int lines = 0;
    int loaded = 0;
    std::vector<std::u16string> log; ///< one line per skipped line, naming the file and the line
    int skipped = 0;
    bool insertion_failed = false; ///< the load stopped at a line the tree could not take
};

/// The bookmark tree and its file.
class CBookmarkTree {
public:
    /// More items than this is not a tree anyone edits by hand: the load stops with the insertion message.
    static constexpr int kMaxItems = 200'000;
    /// Deeper lines are skipped: nobody nests folders that far, and the tree stays cheap to walk.
    static constexpr int kMaxDepth = 256;

    CBookmarkTree();

    BookmarkNode& root() { return *root_; }
    const BookmarkNode& root() const { return *root_; }
    int item_count() const;
    bool empty() const { return root_->children.empty(); }

    /// Replaces the tree by the items of `text` (the file's lines). `file_label` names the file in the log.
    BookmarkLoadReport parse(std::u16string_view text, std::u16string_view file_label = u"設定：固定URL.txt");
    /// The file's text: one line per item, depth first, each ended by CR LF.
    std::u16string text() const;

    /// Loads the file; when it cannot be read the tree stays as it was. 0, or -1 when it could not be read.
    int load(std::u16string_view path, BookmarkLoadReport* report = nullptr);
    /// Writes the whole tree through a temporary file. After a load that skipped lines, the file as it was
    /// is first kept aside under "<name>.bak" (a free numbered name when that exists). 0, or -1 (the file
    /// keeps its previous content).
    int save(std::u16string_view path);
    /// The backup written by the last save, empty when none.
    const std::u16string& last_backup() const { return last_backup_; }

    /// Adds an item as the last child of `parent` (the root for top level) or at `index`. Fields are made
    /// safe for the file (tabs and line breaks become blanks); the children of `data` are not taken. Null
    /// when the parent is full.
    BookmarkNode* insert(BookmarkNode* parent, int index, const BookmarkNode& data);
    /// "追加する": a child of `selected` when it has children, else its next sibling; top level without a
    /// selection.
    BookmarkNode* add_near(BookmarkNode* selected, const BookmarkNode& data);
    /// Takes the item and its subtree out of the tree.
    std::unique_ptr<BookmarkNode> take(BookmarkNode* node);
    /// Moves an item under `new_parent` at `index` (counted before the move). False when it would move
    /// into itself or its own subtree.
    bool move(BookmarkNode* node, BookmarkNode* new_parent, int index);
    /// The first bookmark whose target is `target`, or null.
    const BookmarkNode* find_target(std::u16string_view target) const;
    /// Every item, depth first.
    void for_each(const std::function<void(BookmarkNode&)>& visit);
    void clear();

private:
    std::unique_ptr<BookmarkNode> root_;
    bool had_skipped_lines_ = false;
    std::u16string last_backup_;
};

/// A field as the file can hold it: tabs and line breaks become blanks.
std::u16string bookmark_field(std::u16string_view text);

} // namespace quippet
