#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// Answers "does any of these words occur in the text?" in one pass over the text, however many words
/// there are. NG lists grow to tens of thousands of words over the years; looking for each of them in
/// turn made every comment cost as much as the whole list.
class WordSearch {
public:
    WordSearch() = default;
    explicit WordSearch(const std::vector<std::u16string>& words);

    /// true when some word occurs in `text` (an empty word occurs in every text).
    bool found_in(std::u16string_view text) const;

private:
    /// The child of `node` labelled `c`, or -1.
    int32_t child(int32_t node, char16_t c) const;

    bool matches_everything_ = false;
    // A trie numbered breadth-first, so the children of a node are the contiguous range
    // [child_begin_[n], child_begin_[n + 1]) and sorted by label.
    std::vector<char16_t> label_;
    std::vector<int32_t> child_begin_;
    // Where the search goes on when a node has no child for the next character.
    std::vector<int32_t> fallback_;
    // A word ends at this node or at one of its fallbacks.
    std::vector<uint8_t> ends_word_;
    // The first characters of the words, to skip text quickly while at the root.
    std::vector<uint64_t> starts_;
};

} // namespace quippet
