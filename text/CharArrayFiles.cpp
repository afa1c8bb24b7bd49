#include "text/CharArray.h"

#include <algorithm>

#include "text/AppHome.h"
#include "text/Collation.h"
#include "text/FileSP.h"

void CCharArrayW::sort() {
    // One collation key per item, then byte comparisons: the comb sort compares each item many times.
    std::vector<std::string> keys;
    keys.reserve(items_.size());
    for (const auto& item : items_)
        keys.push_back(quippet::collation_key(item));
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    quippet::comb_sort(
        count(),
        [&](int a, int b) {
            return keys[static_cast<size_t>(order[static_cast<size_t>(a)])] <
                   keys[static_cast<size_t>(order[static_cast<size_t>(b)])];
        },
        [&](int a, int b) { std::swap(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]); });
    std::vector<std::u16string> sorted;
    sorted.reserve(items_.capacity());
    for (const int i : order)
        sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
    items_ = std::move(sorted);
}

int CCharArrayW::load(std::u16string_view file_name, bool skip_comments, int max_chars) {
    const std::u16string path = quippet::resolve_in_home(quippet::with_default_extension(file_name, u".txt"));
    CCharW text;
    if (CFileSP().read_settings_text(path, text) != 0) return -1;

    const std::u16string_view all = text.view();
    const size_t limit = max_chars < 0 ? all.size() : static_cast<size_t>(max_chars);
    int added = 0;
    size_t from = 0;
    while (from < all.size()) {
        size_t end = all.find(u'\n', from);
        const size_t next = end == std::u16string_view::npos ? all.size() : end + 1;
        if (end == std::u16string_view::npos) end = all.size();
        // The lists are written with CR LF, but one saved by a Linux editor has bare LF: take both.
        if (end > from && all[end - 1] == u'\r') --end;
        // A line cut by the limit is left out whole rather than loaded as a shortened entry.
        if (end > limit) break;
        const std::u16string_view line = all.substr(from, end - from);
        if (!line.empty() && !(skip_comments && line.starts_with(u"//"))) {
            add(line);
            ++added;
        }
        from = next;
    }
    return added > 0 ? 0 : -2;
}

int CCharArrayW::save(std::u16string_view file_name, int policy, int first, int end) const {
    const std::u16string path = quippet::resolve_in_home(file_name);
    if (end < 0 || end > count()) end = count();
    first = std::clamp(first, 0, end);
    size_t size = 0;
    for (int i = first; i < end; ++i)
        size += items_[static_cast<size_t>(i)].size() + 2;
    std::u16string text;
    text.reserve(size);
    for (int i = first; i < end; ++i) {
        text += items_[static_cast<size_t>(i)];
        text += u"\r\n";
    }
    return CFileSP().write_wide_text(path, text, policy) == 0 ? 0 : -1;
}
