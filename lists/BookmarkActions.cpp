#include "lists/BookmarkActions.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "lists/BookmarkOptions.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;

std::u16string msg_of(int id) {
    return std::u16string(message_text(id));
}

/// The path without trailing separators ("/" kept for the root).
std::u16string trimmed_path(std::u16string_view path) {
    while (path.size() > 1 && (path.back() == u'/' || path.back() == u'\\'))
        path.remove_suffix(1);
    return std::u16string(path);
}

std::u16string parent_of(std::u16string_view path) {
    const std::u16string p = trimmed_path(path);
    const size_t slash = p.find_last_of(u"/\\");
    if (slash == std::u16string::npos) return {};
    return slash == 0 ? std::u16string(u"/") : p.substr(0, slash);
}

std::u16string join(std::u16string_view folder, std::u16string_view name) {
    std::u16string out = trimmed_path(folder);
    if (out != u"/") out += u'/';
    out += name;
    return out;
}

bool has_list_extension(std::u16string_view path) {
    auto ends = [path](std::u16string_view ext) {
        return path.size() >= ext.size() && ascii_equal_nocase(path.substr(path.size() - ext.size()), ext);
    };
    return ends(u".txt") || ends(u".m3u");
}

bool is_absolute(std::u16string_view path) {
    return !path.empty() && path.front() == u'/';
}

bool exists_as_folder(std::u16string_view path) {
    std::error_code ec;
    return fs::is_directory(to_fs_path(path), ec);
}

bool exists_at_all(std::u16string_view path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(to_fs_path(path), ec));
}

/// An item that stands for a folder directly inside `folder`, as a rebuild makes it.
bool is_subfolder_item(const BookmarkNode& n, std::u16string_view folder) {
    return !n.target.empty() && !has_list_extension(n.target) && parent_of(n.target) == trimmed_path(folder) &&
           n.label == file_name(trimmed_path(n.target));
}

/// True when nothing below `n` was put there by the user.
bool only_subfolder_items(const BookmarkNode& n) {
    for (const auto& c : n.children)
        if (!is_subfolder_item(*c, n.target) || !only_subfolder_items(*c)) return false;
    return true;
}

std::vector<std::u16string> subfolder_names(std::u16string_view folder, int limit) {
    std::vector<std::u16string> names;
    std::error_code ec;
    for (fs::directory_iterator it(to_fs_path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_directory(kind) || it->is_symlink(kind)) continue;
        names.push_back(from_fs_path(it->path().filename()));
        if (static_cast<int>(names.size()) >= limit) break;
    }
    std::sort(names.begin(), names.end());
    return names;
}

int rebuild(CBookmarkTree& tree, BookmarkNode& node, int depth, int& budget) {
    if (depth <= 0 || budget <= 0) return 0;
    const std::u16string folder = trimmed_path(node.target);
    int added = 0;
    // Items of folders that are gone leave, unless the user keeps something of their own below them.
    for (size_t i = 0; i < node.children.size();) {
        BookmarkNode& c = *node.children[i];
        if (is_subfolder_item(c, folder) && !exists_as_folder(c.target) && only_subfolder_items(c))
            node.children.erase(node.children.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    for (const std::u16string& name : subfolder_names(folder, budget)) {
        const std::u16string path = join(folder, name);
        BookmarkNode* item = nullptr;
        for (const auto& c : node.children)
            if (is_subfolder_item(*c, folder) && trimmed_path(c->target) == path) item = c.get();
        if (!item) {
            if (budget <= 0) break;
            BookmarkNode data;
            data.label = name;
            data.target = path;
            item = tree.insert(&node, -1, data);
            if (!item) break;
            --budget;
            ++added;
        }
        added += rebuild(tree, *item, depth - 1, budget);
    }
    return added;
}

/// Targets below a moved or renamed folder follow it.
void retarget(BookmarkNode& node, std::u16string_view from, std::u16string_view to) {
    const std::u16string old = trimmed_path(node.target);
    if (old == from)
        node.target = std::u16string(to);
    else if (old.size() > from.size() && old.starts_with(from) && old[from.size()] == u'/')
        node.target = std::u16string(to) + old.substr(from.size());
    for (const auto& c : node.children)
        retarget(*c, from, to);
}

bool valid_folder_name(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." && name.find(u'/') == std::u16string_view::npos &&
           name.find(u'\0') == std::u16string_view::npos;
}

bool is_service_address(std::u16string_view target) {
    return ascii_starts_with_nocase(target, u"http://") || ascii_starts_with_nocase(target, u"https://");
}

} // namespace

int refresh_saved_lists(CBookmarkTree& tree, std::u16string_view folder) {
    std::vector<std::u16string> files;
    std::error_code ec;
    for (fs::directory_iterator it(to_fs_path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_regular_file(kind)) continue;
        const std::u16string name = from_fs_path(it->path().filename());
        // The two snapshots of the download tab are kept in the same folder but are not saved lists.
        if (has_list_extension(name) && !name.starts_with(u"[")) files.push_back(name);
        if (files.size() >= static_cast<size_t>(kBmMaxSubfolderItems)) break;
    }
    std::sort(files.begin(), files.end());
    int items = 0;
    tree.for_each([&](BookmarkNode& n) {
        if (n.target != kBmSavedLists) return;
        ++items;
        n.children.clear();
        for (const std::u16string& name : files) {
            BookmarkNode data;
            data.label = name.substr(0, name.size() - 4);
            data.target = join(folder, name);
            tree.insert(&n, -1, data);
        }
    });
    return items;
}

bool is_local_folder(std::u16string_view target) {
    return is_absolute(target) && exists_as_folder(target);
}

int rebuild_subfolders(CBookmarkTree& tree, BookmarkNode& node, int depth) {
    if (!is_local_folder(node.target)) return 0;
    int budget = kBmMaxSubfolderItems;
    return rebuild(tree, node, std::min(depth, CBookmarkTree::kMaxDepth - node.depth()), budget);
}

int folder_changed(CBookmarkTree& tree, std::u16string_view path) {
    const std::u16string parent = parent_of(path);
    if (parent.empty()) return 0;
    std::vector<BookmarkNode*> owners;
    tree.for_each([&](BookmarkNode& n) {
        if (!n.target.empty() && trimmed_path(n.target) == parent && parse_bookmark_options(n.options).subfolders)
            owners.push_back(&n);
    });
    int added = 0;
    for (BookmarkNode* n : owners)
        added += rebuild_subfolders(tree, *n, parse_bookmark_options(n->options).depth_limit(kBmDefaultSubfolderDepth));
    return added;
}

CBookmarkEditor::CBookmarkEditor(CBookmarkTree& tree, BookmarkEditorSettings settings, Log log)
    : tree_(tree), settings_(std::move(settings)), log_(std::move(log)) {}

int CBookmarkEditor::load() {
    BookmarkLoadReport report;
    if (tree_.load(settings_.tree_path, &report) != 0) return -1;
    for (const std::u16string& line : report.log)
        log(line);
    if (!settings_.saved_lists_folder.empty()) refresh_saved_lists(tree_, settings_.saved_lists_folder);
    return report.insertion_failed ? 1 : 0;
}

int CBookmarkEditor::save() {
    if (settings_.tree_path.empty()) return 0;
    const int r = tree_.save(settings_.tree_path);
    if (!tree_.last_backup().empty()) log(msg_of(msg::kBmOldFileKept) + tree_.last_backup());
    if (r != 0) log(settings_.tree_path + msg_of(msg::kBmSaveFailed));
    return r;
}

BookmarkNode* CBookmarkEditor::add(BookmarkNode* selected, const BookmarkNode& data) {
    BookmarkNode* node = tree_.add_near(selected, data);
    if (!node) {
        log(msg_of(msg::kBmInsertFailed));
        return nullptr;
    }
    if (node->target == kBmSavedLists && !settings_.saved_lists_folder.empty())
        refresh_saved_lists(tree_, settings_.saved_lists_folder);
    save();
    return node;
}

bool CBookmarkEditor::replace(BookmarkNode* selected, const BookmarkNode& data) {
    if (!selected || selected == &tree_.root()) {
        log(msg_of(msg::kBmNothingToReplace));
        return false;
    }
    selected->label = bookmark_field(data.label);
    selected->target = bookmark_field(data.target);
    selected->save_folder = bookmark_field(data.save_folder);
    selected->options = bookmark_field(data.options);
    if (selected->target == kBmSavedLists && !settings_.saved_lists_folder.empty())
        refresh_saved_lists(tree_, settings_.saved_lists_folder);
    save();
    return true;
}

bool CBookmarkEditor::remove(BookmarkNode* node, bool trash_folder) {
    if (!node || node == &tree_.root()) return false;
    if (is_local_folder(node->target)) {
        const std::u16string path = node->target;
        if (trash_folder) {
            if (!settings_.trash || !settings_.trash(path)) {
                log(path + msg_of(msg::kDeleteFailed));
                return false;
            }
            log(u"「" + path + u"」" + msg_of(msg::kBmTrashed));
        } else {
            log(path + msg_of(msg::kBmKept));
        }
    }
    tree_.take(node);
    save();
    return true;
}

bool CBookmarkEditor::move(BookmarkNode* node, BookmarkNode* new_parent, int index) {
    if (!new_parent) new_parent = &tree_.root();
    if (!node || node == &tree_.root() || node->is_ancestor_of(new_parent)) return false;
    const bool folder_move = is_local_folder(node->target) && is_local_folder(new_parent->target) &&
                             parent_of(node->target) != trimmed_path(new_parent->target);
    if (folder_move) {
        const std::u16string from = trimmed_path(node->target);
        const std::u16string to = join(new_parent->target, file_name(from));
        if (rename_no_replace(from, to) != 0) {
            log(u"「" + from + u"」" + msg_of(msg::kBmMoveFailed));
            return false;
        }
        log(u"「" + from + msg_of(msg::kBmMoved) + trimmed_path(new_parent->target) + u"]");
        if (!tree_.move(node, new_parent, index)) {
            log(msg_of(msg::kBmItemUpdateFailed));
            save();
            return false;
        }
        retarget(*node, from, to);
        save();
        return true;
    }
    if (!tree_.move(node, new_parent, index)) return false;
    save();
    return true;
}

bool CBookmarkEditor::rename(BookmarkNode* node, std::u16string_view label) {
    if (!node || node == &tree_.root()) return false;
    const std::u16string clean = bookmark_field(label);
    const bool folder_item = is_local_folder(node->target) && node->label == file_name(trimmed_path(node->target));
    if (folder_item && clean != node->label) {
        if (!valid_folder_name(clean)) {
            log(msg_of(msg::kBmLabelFailed));
            return false;
        }
        const std::u16string from = trimmed_path(node->target);
        const std::u16string to = join(parent_of(from), clean);
        if (rename_no_replace(from, to) != 0) {
            log(from + msg_of(msg::kBmRenameFailed));
            return false;
        }
        node->label = clean;
        retarget(*node, from, to);
        log(from + msg_of(msg::kBmRenamed) + clean + u"」");
        changed_folder(to);
        save();
        return true;
    }
    node->label = clean;
    save();
    return true;
}

BookmarkNode* CBookmarkEditor::new_folder(BookmarkNode* selected) {
    if (selected == &tree_.root()) selected = nullptr;
    BookmarkNode data;
    data.label = msg_of(msg::kBmNewFolderLabel);
    std::u16string created;
    if (selected && settings_.new_folder_on_disk && is_local_folder(selected->target)) {
        const std::u16string path = join(selected->target, data.label);
        std::error_code ec;
        if (exists_at_all(path)) {
            log(path + msg_of(msg::kBmNewFolderExists));
        } else if (fs::create_directory(to_fs_path(path), ec) && !ec) {
            log(path + msg_of(msg::kBmNewFolderCreated));
            created = path;
        } else {
            log(path + msg_of(msg::kBmNewFolderFailed));
        }
    }
    BookmarkNode* node = tree_.insert(selected, -1, data);
    if (!node) {
        log(msg_of(created.empty() ? msg::kBmInsertFailed : msg::kBmNewItemNotBookmark));
        return nullptr;
    }
    if (!created.empty()) {
        node->target = created;
        changed_folder(created);
    }
    if (selected) selected->set_expanded(true);
    save();
    return node;
}

int CBookmarkEditor::registered(BookmarkNode& node) {
    const BookmarkOptions o = parse_bookmark_options(node.options);
    if (!o.subfolders || !is_local_folder(node.target)) return 0;
    const int added = rebuild_subfolders(tree_, node, o.depth_limit(kBmDefaultSubfolderDepth));
    save();
    return added;
}

void CBookmarkEditor::check_all(bool on) {
    tree_.for_each([on](BookmarkNode& n) { n.set_checked(on); });
    save();
}

void CBookmarkEditor::changed_folder(std::u16string_view path) {
    if (settings_.add_subfolders) folder_changed(tree_, path);
}

std::vector<CBookmarkEditor::UpdateItem> CBookmarkEditor::update_items() const {
    std::vector<UpdateItem> items;
    std::set<const BookmarkNode*> taken;
    auto take = [&](const BookmarkNode& n) {
        if (n.target.empty() || !taken.insert(&n).second) return;
        items.push_back({n.target, n.options, is_service_address(n.target)});
    };
    // Below a checked folder item, down to its limit (a stack: the depth of a file is bounded, but the
    // walk needs no recursion to be so).
    auto below = [&](const BookmarkNode& folder) {
        const int limit = parse_bookmark_options(folder.options).depth_limit(CBookmarkTree::kMaxDepth);
        std::vector<std::pair<const BookmarkNode*, int>> stack;
        for (auto it = folder.children.rbegin(); it != folder.children.rend(); ++it)
            stack.emplace_back(it->get(), 1);
        while (!stack.empty()) {
            auto [n, level] = stack.back();
            stack.pop_back();
            take(*n);
            if (level >= limit) continue;
            for (auto it = n->children.rbegin(); it != n->children.rend(); ++it)
                stack.emplace_back(it->get(), level + 1);
        }
    };
    const_cast<CBookmarkTree&>(tree_).for_each([&](BookmarkNode& n) {
        if (!n.checked()) return;
        if (n.target.empty())
            below(n);
        else
            take(n);
    });
    return items;
}

std::u16string make_bookmark_path(std::u16string_view path, bool save_folder_field,
                                  const std::function<int(std::u16string_view path)>& create_list) {
    const std::u16string p(path);
    if (exists_as_folder(p)) return p + msg_of(msg::kBmFolderExists);
    if (!save_folder_field && has_list_extension(p) && is_absolute(p)) {
        if (exists_at_all(p)) return msg_of(msg::kBmListExists);
        if (!create_list || create_list(p) != 0) return msg_of(msg::kBmListCreateFailed);
        return p + msg_of(msg::kBmListCreated);
    }
    if (is_absolute(p) && !has_list_extension(p) && !exists_at_all(p)) {
        std::error_code ec;
        fs::create_directories(to_fs_path(p), ec);
        if (ec || !exists_as_folder(p)) return msg_of(msg::kBmFolderCreateFailed);
        return p + msg_of(msg::kBmCreated);
    }
    return msg_of(save_folder_field ? msg::kBmNotAFolder : msg::kBmNothingToCreate);
}

std::u16string same_target_question(const CBookmarkTree& tree, std::u16string_view target) {
    if (target.empty() || !tree.find_target(target)) return {};
    return msg_of(msg::kBmSameTargetBefore) + std::u16string(target) + msg_of(msg::kBmSameTargetAfter);
}

} // namespace quippet
