#include "text/CharArray.h"

#include "text/Ascii.h"

#include <algorithm>
#include <charconv>

CCharArrayW::CCharArrayW(int step, bool) : capacity_(step), step_(step) {
    items_.reserve(static_cast<size_t>(step));
}

void CCharArrayW::grow_if_full() {
    if (count() < capacity_) return;
    capacity_ = 4 * (capacity_ + step_);
    items_.reserve(static_cast<size_t>(capacity_));
}

std::u16string_view CCharArrayW::get(int i) const {
    return i >= 0 && i < count() ? std::u16string_view(items_[static_cast<size_t>(i)]) : std::u16string_view();
}

int CCharArrayW::length(int i) const {
    return i >= 0 && i < count() ? static_cast<int>(items_[static_cast<size_t>(i)].size()) : -1;
}

void CCharArrayW::add(std::u16string_view text) {
    grow_if_full();
    items_.emplace_back(text);
    total_length_ += static_cast<int>(text.size());
}

void CCharArrayW::add_int(int value) {
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    add(std::u16string(digits, res.ptr));
}

int CCharArrayW::add_unique(std::u16string_view text) {
    if (text.empty() || find(text) >= 0) return 0;
    add(text);
    return 1;
}

void CCharArrayW::add_extension(std::u16string_view ext) {
    std::u16string dotted = u".";
    dotted.append(ext);
    add(dotted);
}

void CCharArrayW::set(int i, std::u16string_view text) {
    if (i < 0 || i >= count()) return;
    auto& item = items_[static_cast<size_t>(i)];
    total_length_ += static_cast<int>(text.size()) - static_cast<int>(item.size());
    item.assign(text);
}

void CCharArrayW::remove(int i) {
    if (i < 0 || i >= count()) return;
    total_length_ -= static_cast<int>(items_[static_cast<size_t>(i)].size());
    items_.erase(items_.begin() + i);
}

void CCharArrayW::clear() {
    items_.clear();
    items_.shrink_to_fit();
    capacity_ = step_;
    items_.reserve(static_cast<size_t>(step_));
    total_length_ = 0;
}

int CCharArrayW::split(std::u16string_view text, std::u16string_view separator, bool keep_empty) {
    if (separator.empty()) {
        if (!text.empty()) add(text);
    } else {
        size_t from = 0;
        while (true) {
            const size_t at = text.find(separator, from);
            const auto piece =
                text.substr(from, at == std::u16string_view::npos ? std::u16string_view::npos : at - from);
            if (keep_empty || !piece.empty()) add(piece);
            if (at == std::u16string_view::npos) break;
            from = at + separator.size();
        }
    }
    return count() == 0 ? -1 : 0;
}

int CCharArrayW::split_unique(std::u16string_view text, std::u16string_view separator) {
    CCharArrayW pieces;
    pieces.split(text, separator, false);
    for (const auto& piece : pieces.items())
        add_unique(piece);
    return count() == 0 ? -1 : 0;
}

void CCharArrayW::join_into(CCharW& out, std::u16string_view separator, bool trailing) const {
    out.assign(join(separator, trailing));
}

std::u16string CCharArrayW::join(std::u16string_view separator, bool trailing) const {
    std::u16string out;
    out.reserve(static_cast<size_t>(total_length_) + separator.size() * items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
        out += items_[i];
        if (trailing || i + 1 < items_.size()) out += separator;
    }
    return out;
}

int CCharArrayW::find(std::u16string_view text) const {
    const auto it = std::find(items_.begin(), items_.end(), text);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int CCharArrayW::find_nocase(std::u16string_view text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (quippet::ascii_equal_nocase(items_[i], text)) return static_cast<int>(i);
    return -1;
}

int CCharArrayW::find_contained_in(std::u16string_view text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].empty() && text.find(items_[i]) != std::u16string_view::npos) return static_cast<int>(i);
    return -1;
}

bool CCharArrayW::shares_item_with(const CCharArrayW& other) const {
    return std::any_of(items_.begin(), items_.end(), [&](const std::u16string& s) { return other.find(s) >= 0; });
}

void CCharArrayW::append(const CCharArrayW& other, bool unique) {
    for (const auto& item : other.items_) {
        if (unique)
            add_unique(item);
        else
            add(item);
    }
}

void CCharArrayW::replace_with(const CCharArrayW& other) {
    if (this == &other) return;
    clear();
    append(other);
}

CCharArrayM::CCharArrayM() {
    items_.reserve(static_cast<size_t>(capacity_));
}

std::string_view CCharArrayM::get(int i) const {
    return i >= 0 && i < count() ? std::string_view(items_[static_cast<size_t>(i)]) : std::string_view();
}

void CCharArrayM::add(std::string_view text) {
    if (count() == capacity_) {
        capacity_ = 2 * capacity_ + 200;
        items_.reserve(static_cast<size_t>(capacity_));
    }
    items_.emplace_back(text);
    total_length_ += static_cast<int>(text.size());
}

void CCharArrayM::clear() {
    items_.clear();
    capacity_ = 100;
    total_length_ = 0;
}

CIntArray::CIntArray(int step) : capacity_(std::max(step, 1)), step_(std::max(step, 1)) {
    items_.reserve(static_cast<size_t>(capacity_));
}

void CIntArray::reserve_for(int needed) {
    while (needed > capacity_)
        capacity_ = 10 * (capacity_ + step_);
    if (static_cast<size_t>(capacity_) > items_.capacity()) items_.reserve(static_cast<size_t>(capacity_));
}

void CIntArray::set(int i, int32_t value) {
    if (i >= 0 && i < count()) items_[static_cast<size_t>(i)] = value;
}

void CIntArray::swap(int i, int j) {
    if (i >= 0 && j >= 0 && i < count() && j < count())
        std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
}

void CIntArray::append_zeros(int n) {
    if (n <= 0) return;
    reserve_for(count() + n);
    items_.resize(items_.size() + static_cast<size_t>(n), 0);
}

void CIntArray::append_sequence(int start, int n) {
    if (n <= 0) return;
    reserve_for(count() + n);
    for (int i = 0; i < n; ++i)
        items_.push_back(start + i);
}

int CIntArray::index_of_max() const {
    if (items_.empty()) return -1;
    return static_cast<int>(std::max_element(items_.begin(), items_.end()) - items_.begin());
}

void CIntArray::truncate(int n) {
    if (n >= 0 && n < count()) items_.resize(static_cast<size_t>(n));
}

void CIntArray::clear() {
    items_.clear();
    capacity_ = step_;
}

void CIntArray::sort_index(CIntArray& index, bool descending) const {
    int32_t* idx = index.data();
    quippet::comb_sort(
        index.count(),
        [&](int a, int b) {
            const int32_t va = get(idx[a]), vb = get(idx[b]);
            return descending ? va > vb : va < vb;
        },
        [&](int a, int b) { std::swap(idx[a], idx[b]); });
}
