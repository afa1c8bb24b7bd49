#include "lists/BookmarkTree.h"

#include <algorithm>
#include <optional>
#include <filesystem>
#include <string>

#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {

void BookmarkNode::set_expanded(bool on) {
    state = on ? (state | kBmExpanded | kBmExpandedOnce) : (state & ~kBmExpanded);
}

void BookmarkNode::set_checked(bool on) {
    state = (state & ~kBmStateImageMask) | (on ? kBmChecked : kBmUnchecked);
}

int BookmarkNode::row() const {
    if (!parent) return -1;
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) return static_cast<int>(i);
    return -1;
}

int BookmarkNode::depth() const {
    int d = 0;
    for (const BookmarkNode* p = parent; p; p = p->parent)
        ++d;
    return d;
}

bool BookmarkNode::is_ancestor_of(const BookmarkNode* other) const {
    for (const BookmarkNode* p = other; p; p = p->parent)
        if (p == this) return true;
    return false;
}

std::u16string bookmark_field(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return out;
}

namespace {

std::u16string decimal(long long n) {
    return from_utf8(std::to_string(n));
}

void write_node(const BookmarkNode& node, int depth, std::u16string& out) {
    out += decimal(depth);
    out += u'\t';
    out += decimal(node.state);
    out += u'\t';
    out += node.options;
    out += u'\t';
    out += node.label;
    if (!node.target.empty()) {
        out += u'\t';
        out += node.target;
        if (!node.save_folder.empty()) {
            out += u'\t';
            out += node.save_folder;
        }
    }
    out += u"\r\n";
}

int count_items(const BookmarkNode& node) {
    int n = 0;
    for (const auto& child : node.children)
        n += 1 + count_items(*child);
    return n;
}

} // namespace

CBookmarkTree::CBookmarkTree() : root_(std::make_unique<BookmarkNode>()) {}

int CBookmarkTree::item_count() const {
    return count_items(*root_);
}

void CBookmarkTree::clear() {
    root_->children.clear();
}

BookmarkLoadReport CBookmarkTree::parse(std::u16string_view text, std::u16string_view file_label) {
    BookmarkLoadReport report;
    clear();
    had_skipped_lines_ = false;
    BookmarkNode* previous = root_.get();
    int previous_depth = 0;
    int items = 0;
    int line_number = 0;
    auto skip = [&](int reason) {
        ++report.skipped;
        report.log.push_back(std::u16string(file_label) + u" の" + decimal(line_number) +
                             std::u16string(message_text(msg::kBmLineSkipped)) + std::u16string(message_text(reason)));
    };
    while (!text.empty()) {
        size_t end = text.find(u'\n');
        std::u16string_view line = text.substr(0, end);
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        ++line_number;
        // A file ends with a line break; an empty last piece is not a line.
        if (line.empty() && text.empty()) break;
        ++report.lines;
        const std::vector<std::u16string_view> fields = split_view(line, u'\t');
        if (fields.size() < 4) {
            skip(msg::kBmFewFields);
            continue;
        }
        const std::optional<long long> depth = ascii_decimal(fields[0], 9);
        if (!depth || *depth < 1) {
            skip(msg::kBmDepthNotNumber);
            continue;
        }
        const std::optional<long long> state = ascii_decimal(fields[1], 9);
        if (!state) {
            skip(msg::kBmStateNotNumber);
            continue;
        }
        if (*depth > previous_depth + 1) {
            skip(msg::kBmDepthJump);
            continue;
        }
        if (*depth > kMaxDepth) {
            skip(msg::kBmTooDeep);
            continue;
        }
        if (items >= kMaxItems) {
            report.insertion_failed = true;
            report.log.push_back(std::u16string(message_text(msg::kBmInsertFailed)));
            break;
        }
        // A child of the previous item, or a sibling found by climbing from it.
        BookmarkNode* parent = previous;
        for (long long climb = previous_depth - *depth + 1; climb > 0 && parent->parent; --climb)
            parent = parent->parent;
        auto node = std::make_unique<BookmarkNode>();
        node->state = static_cast<int>(*state);
        node->options = std::u16string(fields[2]);
        node->label = std::u16string(fields[3]);
        if (fields.size() > 4) node->target = std::u16string(fields[4]);
        if (fields.size() > 5) node->save_folder = std::u16string(fields[5]);
        node->parent = parent;
        previous = node.get();
        parent->children.push_back(std::move(node));
        previous_depth = static_cast<int>(*depth);
        ++items;
    }
    report.loaded = items;
    had_skipped_lines_ = report.skipped > 0 || report.insertion_failed;
    return report;
}

std::u16string CBookmarkTree::text() const {
    std::u16string out;
    // Depth first without recursion: a deep hand-written file must not exhaust the stack.
    std::vector<std::pair<const BookmarkNode*, size_t>> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next == node->children.size()) {
            stack.pop_back();
            continue;
        }
        const BookmarkNode* child = node->children[next++].get();
        write_node(*child, static_cast<int>(stack.size()), out);
        stack.emplace_back(child, 0);
    }
    return out;
}

int CBookmarkTree::load(std::u16string_view path, BookmarkLoadReport* report) {
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) != 0) return -1;
    BookmarkLoadReport r = parse(text.view(), file_name(path));
    if (report) *report = std::move(r);
    return 0;
}

int CBookmarkTree::save(std::u16string_view path) {
    last_backup_.clear();
    CFileSP file;
    if (had_skipped_lines_) {
        // The lines this load could not read are only in the old file: keep it before it is replaced.
        CCharM old;
        if (file.read(path, old) == 0) {
            std::u16string kept;
            if (file.write(std::u16string(path) + u".bak", old.view(), CFileSP::kNumberedName, &kept) != 0) return -1;
            last_backup_ = kept;
        }
        had_skipped_lines_ = false;
    }
    return file.write_wide_text(path, text(), CFileSP::kOverwrite) == 0 ? 0 : -1;
}

BookmarkNode* CBookmarkTree::insert(BookmarkNode* parent, int index, const BookmarkNode& data) {
    if (!parent) parent = root_.get();
    // Counting the whole tree on every insert would make a rebuild of many subfolders quadratic.
    if (parent->children.size() >= static_cast<size_t>(kMaxItems)) return nullptr;
    auto node = std::make_unique<BookmarkNode>();
    node->label = bookmark_field(data.label);
    node->target = bookmark_field(data.target);
    node->save_folder = bookmark_field(data.save_folder);
    node->options = bookmark_field(data.options);
    node->state = data.state;
    node->parent = parent;
    BookmarkNode* raw = node.get();
    const size_t at =
        index < 0 ? parent->children.size() : std::min(parent->children.size(), static_cast<size_t>(index));
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
    return raw;
}

BookmarkNode* CBookmarkTree::add_near(BookmarkNode* selected, const BookmarkNode& data) {
    if (!selected || selected == root_.get()) return insert(root_.get(), -1, data);
    if (!selected->children.empty()) return insert(selected, -1, data);
    return insert(selected->parent, selected->row() + 1, data);
}

std::unique_ptr<BookmarkNode> CBookmarkTree::take(BookmarkNode* node) {
    if (!node || !node->parent) return nullptr;
    auto& siblings = node->parent->children;
    const int at = node->row();
    if (at < 0) return nullptr;
    std::unique_ptr<BookmarkNode> owned = std::move(siblings[static_cast<size_t>(at)]);
    siblings.erase(siblings.begin() + at);
    owned->parent = nullptr;
    return owned;
}

bool CBookmarkTree::move(BookmarkNode* node, BookmarkNode* new_parent, int index) {
    if (!new_parent) new_parent = root_.get();
    if (!node || !node->parent || node->is_ancestor_of(new_parent)) return false;
    // An index counted before the move shifts when the item leaves a place in front of it.
    if (node->parent == new_parent && index > node->row()) --index;
    std::unique_ptr<BookmarkNode> owned = take(node);
    const size_t at =
        index < 0 ? new_parent->children.size() : std::min(new_parent->children.size(), static_cast<size_t>(index));
    owned->parent = new_parent;
    new_parent->children.insert(new_parent->children.begin() + static_cast<std::ptrdiff_t>(at), std::move(owned));
    return true;
}

const BookmarkNode* CBookmarkTree::find_target(std::u16string_view target) const {
    const BookmarkNode* found = nullptr;
    const_cast<CBookmarkTree*>(this)->for_each([&](BookmarkNode& n) {
        if (!found && !target.empty() && n.target == target) found = &n;
    });
    return found;
}

void CBookmarkTree::for_each(const std::function<void(BookmarkNode&)>& visit) {
    std::vector<std::pair<BookmarkNode*, size_t>> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next == node->children.size()) {
            stack.pop_back();
            continue;
        }
        BookmarkNode* child = node->children[next++].get();
        visit(*child);
        stack.emplace_back(child, 0);
    }
}

} // namespace quippet
