#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/CharBuffer.h"

/// List of owned wide strings. Reading outside the list yields the empty string, never a failure.
class CCharArrayW {
public:
    CCharArrayW() : CCharArrayW(200, true) {}
    /// `step` below 16 is raised to 16.
    explicit CCharArrayW(int step) : CCharArrayW(step < 16 ? 16 : step, true) {}
    virtual ~CCharArrayW() = default;

    int count() const { return static_cast<int>(items_.size()); }
    int capacity() const { return capacity_; }
    int total_length() const { return total_length_; }
    std::u16string_view get(int i) const;
    /// -1 outside the list.
    int length(int i) const;
    const std::vector<std::u16string>& items() const { return items_; }

    void add(std::u16string_view text);
    void add_int(int value);
    /// 1 when added; 0 for an empty text or one already present (exact comparison).
    int add_unique(std::u16string_view text);
    /// Extension lists keep the dot: "mp4" is stored as ".mp4".
    void add_extension(std::u16string_view ext);
    void set(int i, std::u16string_view text);
    void remove(int i);
    void clear();

    /// Pieces of `text` between `separator`s; -1 when the list ends up empty.
    int split(std::u16string_view text, std::u16string_view separator, bool keep_empty = false);
    /// Adds only unique, non-empty pieces.
    int split_unique(std::u16string_view text, std::u16string_view separator);
    void join_into(CCharW& out, std::u16string_view separator, bool trailing = false) const;
    std::u16string join(std::u16string_view separator, bool trailing = false) const;

    int find(std::u16string_view text) const;
    /// ASCII letters without case.
    int find_nocase(std::u16string_view text) const;
    /// Index of the first item that occurs inside `text` (empty items never match); -1 when none.
    int find_contained_in(std::u16string_view text) const;
    bool any_contained_in(std::u16string_view text) const { return find_contained_in(text) >= 0; }
    /// Does any item of this list equal an item of `other`?
    bool shares_item_with(const CCharArrayW& other) const;

    void append(const CCharArrayW& other, bool unique = false);
    void replace_with(const CCharArrayW& other);

    /// Comb sort by the Japanese collation that ignores case, kana type and width.
    void sort();

    /// Reads a wide text file line by line ("name" gets ".txt" when it has no extension; a bare name is
    /// taken from the app home). 0 loaded, -1 unreadable, -2 read but empty.
    int load(std::u16string_view file_name, bool skip_comments = false, int max_chars = -1);
    /// Each item + CR LF as a wide text file; `first`/`end` choose a range (end -1 = all).
    int save(std::u16string_view file_name, int policy, int first = 0, int end = -1) const;

    /// Contents of every `<tag ...>` / `<tag>` element up to `</tag>`, unique only.
    int extract_elements(std::u16string_view document, std::u16string_view tag, bool unescape = false);

private:
    CCharArrayW(int step, bool);
    void grow_if_full();

    std::vector<std::u16string> items_;
    int capacity_ = 0;
    int step_ = 200;
    int total_length_ = 0;
};

/// List of owned byte strings.
class CCharArrayM {
public:
    CCharArrayM();
    virtual ~CCharArrayM() = default;

    int count() const { return static_cast<int>(items_.size()); }
    int capacity() const { return capacity_; }
    int total_length() const { return total_length_; }
    std::string_view get(int i) const;
    void add(std::string_view text);
    void clear();

private:
    std::vector<std::string> items_;
    int capacity_ = 100;
    int total_length_ = 0;
};

/// List of 32-bit integers; reading outside the list yields 0.
class CIntArray {
public:
    /// The comment set's columns use the large step (1000) to keep reallocations rare.
    explicit CIntArray(int step = 10);
    virtual ~CIntArray() = default;

    int count() const { return static_cast<int>(items_.size()); }
    int capacity() const { return capacity_; }
    int32_t get(int i) const { return i >= 0 && i < count() ? items_[static_cast<size_t>(i)] : 0; }
    void add(int32_t value) {
        if (count() >= capacity_) reserve_for(count() + 1);
        items_.push_back(value);
    }
    void set(int i, int32_t value);
    void swap(int i, int j);
    void append_zeros(int n);
    /// start, start+1, … start+n-1: an identity index for the sorts.
    void append_sequence(int start, int n);
    /// Index of the largest value (the first one on ties); -1 when empty.
    int index_of_max() const;
    void truncate(int n);
    void clear();
    int32_t* data() { return items_.data(); }
    const int32_t* data() const { return items_.data(); }

    /// Comb-sorts `index` (positions into this list) by the values they point at.
    void sort_index(CIntArray& index, bool descending = false) const;

private:
    void reserve_for(int needed);

    std::vector<int32_t> items_;
    int capacity_;
    int step_;
};

namespace quippet {

/// The program-wide comb sort: shrink factor 10/13, gaps 9 and 10 become 11, passes at gap 1 until
/// one makes no swap. `less(a, b)` orders two positions; `swap(a, b)` exchanges them.
template <typename Less, typename Swap> void comb_sort(int count, Less less, Swap swap) {
    int gap = count;
    bool swapped = true;
    while (gap > 1 || swapped) {
        gap = gap * 10 / 13;
        if (gap == 9 || gap == 10) gap = 11;
        if (gap < 1) gap = 1;
        swapped = false;
        for (int i = 0; i + gap < count; ++i) {
            if (less(i + gap, i)) {
                swap(i, i + gap);
                swapped = true;
            }
        }
    }
}

} // namespace quippet
