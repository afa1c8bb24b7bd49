#include "text/WordSearch.h"

#include <algorithm>

namespace quippet {

WordSearch::WordSearch(const std::vector<std::u16string>& words) {
    std::vector<std::u16string_view> sorted(words.begin(), words.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    if (sorted.empty()) return;
    if (sorted.front().empty()) {
        matches_everything_ = true;
        return;
    }

    // In sorted order a word shares its path with the one before it up to where they differ, and there it
    // turns off to a label above every label already there: so the child to follow is always the newest
    // one, and siblings come out sorted without ever being searched.
    struct Node {
        int32_t first_child = -1;
        int32_t last_child = -1;
        int32_t next_sibling = -1;
        char16_t label = 0;
        bool end = false;
    };
    std::vector<Node> nodes(1);
    for (const std::u16string_view word : sorted) {
        int32_t n = 0;
        for (const char16_t c : word) {
            const int32_t last = nodes[n].last_child;
            if (last >= 0 && nodes[last].label == c) {
                n = last;
                continue;
            }
            const auto fresh = static_cast<int32_t>(nodes.size());
            nodes.push_back({-1, -1, -1, c, false});
            if (last >= 0)
                nodes[last].next_sibling = fresh;
            else
                nodes[n].first_child = fresh;
            nodes[n].last_child = fresh;
            n = fresh;
        }
        nodes[n].end = true;
    }

    const size_t count = nodes.size();
    std::vector<int32_t> order; // old index by new index
    std::vector<int32_t> parent(count, 0);
    order.reserve(count);
    order.push_back(0);
    label_.resize(count);
    ends_word_.resize(count);
    child_begin_.resize(count + 1);
    for (size_t i = 0; i < order.size(); ++i) {
        const Node& node = nodes[order[i]];
        label_[i] = node.label;
        ends_word_[i] = node.end ? 1 : 0;
        child_begin_[i] = static_cast<int32_t>(order.size());
        for (int32_t c = node.first_child; c >= 0; c = nodes[c].next_sibling) {
            parent[order.size()] = static_cast<int32_t>(i);
            order.push_back(c);
        }
    }
    child_begin_[count] = static_cast<int32_t>(count);

    // Breadth-first, a node's fallback is shallower than the node and so already final.
    fallback_.assign(count, 0);
    for (size_t v = 1; v < count; ++v) {
        if (const int32_t p = parent[v]; p != 0) {
            for (int32_t f = fallback_[p];; f = fallback_[f]) {
                if (const int32_t t = child(f, label_[v]); t >= 0) {
                    fallback_[v] = t;
                    break;
                }
                if (f == 0) break;
            }
        }
        ends_word_[v] |= ends_word_[fallback_[v]];
    }

    starts_.assign(65536 / 64, 0);
    for (int32_t c = child_begin_[0]; c < child_begin_[1]; ++c)
        starts_[label_[c] >> 6] |= uint64_t{1} << (label_[c] & 63);
}

int32_t WordSearch::child(int32_t node, char16_t c) const {
    const auto first = label_.begin() + child_begin_[node];
    const auto last = label_.begin() + child_begin_[node + 1];
    const auto it = std::lower_bound(first, last, c);
    return it != last && *it == c ? static_cast<int32_t>(it - label_.begin()) : -1;
}

bool WordSearch::found_in(std::u16string_view text) const {
    if (matches_everything_) return true;
    if (label_.empty()) return false;
    int32_t s = 0;
    for (const char16_t c : text) {
        if (s == 0 && !((starts_[c >> 6] >> (c & 63)) & 1)) continue;
        for (;;) {
            if (const int32_t t = child(s, c); t >= 0) {
                s = t;
                break;
            }
            if (s == 0) break;
            s = fallback_[s];
        }
        if (ends_word_[s]) return true;
    }
    return false;
}

} // namespace quippet
