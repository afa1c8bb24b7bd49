#include "text/CharBuffer.h"

#include "text/Ascii.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include <sys/mman.h>

namespace {

template <typename Ch> int find_in(std::basic_string_view<Ch> hay, std::basic_string_view<Ch> pattern, bool last) {
    const size_t pos = last ? hay.rfind(pattern) : hay.find(pattern);
    return pos == std::basic_string_view<Ch>::npos ? -1 : static_cast<int>(pos);
}

template <typename Ch> int decimal_into(Ch* out, long long value) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const int n = static_cast<int>(res.ptr - digits);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<Ch>(digits[i]);
    return n;
}

/// Room for `units` plus the terminator. Left uninitialised: every caller writes what it keeps, and
/// zero-filling a 100 MB output buffer first would cost more than filling it.
template <typename Ch> std::unique_ptr<Ch[]> fresh_buffer(int units) {
    const size_t count = static_cast<size_t>(units) + 1;
    auto buffer = std::make_unique_for_overwrite<Ch[]>(count);
    // Whole comment files live in one buffer; with small pages, faulting them in costs more than the
    // decoding that fills them.
    constexpr uintptr_t huge_page = 2u << 20;
    const size_t bytes = count * sizeof(Ch);
    if (bytes >= 4 * huge_page) {
        const auto begin = reinterpret_cast<uintptr_t>(buffer.get());
        const uintptr_t aligned = (begin + huge_page - 1) & ~(huge_page - 1);
        const uintptr_t end = (begin + bytes) & ~(huge_page - 1);
        if (end > aligned) madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
    }
    return buffer;
}

} // namespace

template <typename Ch> CCharBuffer<Ch>::CCharBuffer() : buffer_(std::make_unique<Ch[]>(1)) {}

template <typename Ch>
CCharBuffer<Ch>::CCharBuffer(int capacity)
    : buffer_(fresh_buffer<Ch>(std::max(capacity, 0))), capacity_(std::max(capacity, 0)) {
    buffer_[0] = 0;
}

template <typename Ch> CCharBuffer<Ch>::CCharBuffer(View text) : CCharBuffer(static_cast<int>(text.size())) {
    std::copy(text.begin(), text.end(), buffer_.get());
    length_ = static_cast<int>(text.size());
    buffer_[text.size()] = 0;
}

template <typename Ch> CCharBuffer<Ch>::CCharBuffer(const CCharBuffer& other) : CCharBuffer(other.view()) {
    error_ = other.error_;
}

template <typename Ch>
CCharBuffer<Ch>::CCharBuffer(CCharBuffer&& other) noexcept
    : error_(other.error_), buffer_(std::move(other.buffer_)), cursor_(other.cursor_), capacity_(other.capacity_),
      length_(other.length_), reserve_(other.reserve_) {
    other.buffer_ = std::make_unique<Ch[]>(1);
    other.cursor_ = other.capacity_ = other.length_ = other.reserve_ = 0;
}

template <typename Ch> CCharBuffer<Ch>& CCharBuffer<Ch>::operator=(const CCharBuffer& other) {
    if (this != &other) {
        assign(other.view());
        error_ = other.error_;
    }
    return *this;
}

template <typename Ch> CCharBuffer<Ch>& CCharBuffer<Ch>::operator=(CCharBuffer&& other) noexcept {
    if (this != &other) {
        error_ = other.error_;
        buffer_ = std::move(other.buffer_);
        cursor_ = other.cursor_;
        capacity_ = other.capacity_;
        length_ = other.length_;
        reserve_ = other.reserve_;
        other.buffer_ = std::make_unique<Ch[]>(1);
        other.cursor_ = other.capacity_ = other.length_ = other.reserve_ = 0;
    }
    return *this;
}

template <typename Ch> void CCharBuffer<Ch>::replace_buffer(int capacity, bool keep_text) {
    auto fresh = fresh_buffer<Ch>(capacity);
    if (keep_text) {
        const int n = std::min(length_, capacity);
        std::memcpy(fresh.get(), text(), static_cast<size_t>(n) * sizeof(Ch));
        length_ = n;
    } else {
        length_ = 0;
    }
    fresh[static_cast<size_t>(length_)] = 0;
    buffer_ = std::move(fresh);
    cursor_ = 0;
    capacity_ = capacity;
}

template <typename Ch> void CCharBuffer<Ch>::consume_front(int n) {
    n = std::clamp(n, 0, length_);
    cursor_ += n;
    capacity_ -= n;
    length_ -= n;
}

template <typename Ch> void CCharBuffer<Ch>::assign(View src) {
    const int n = static_cast<int>(src.size());
    if (n > capacity_) {
        // The source may live inside our own buffer (a view of this text): copy before dropping it.
        auto fresh = fresh_buffer<Ch>(n);
        std::copy(src.begin(), src.end(), fresh.get());
        buffer_ = std::move(fresh);
        cursor_ = 0;
        capacity_ = n;
    } else {
        if (n > 0) std::memmove(text(), src.data(), static_cast<size_t>(n) * sizeof(Ch));
    }
    length_ = n;
    text()[n] = 0;
}

template <typename Ch> void CCharBuffer<Ch>::assign_n(View src, int n) {
    assign(src.substr(0, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(src.size())))));
}

template <typename Ch> void CCharBuffer<Ch>::assign_int(int value) {
    Ch digits[24];
    assign(View(digits, static_cast<size_t>(decimal_into(digits, value))));
}

template <typename Ch> void CCharBuffer<Ch>::assign_int4(int value) {
    Ch digits[24];
    int n = decimal_into(digits, value < 0 ? -static_cast<long long>(value) : value);
    Ch padded[32];
    int at = 0;
    if (value < 0) padded[at++] = '-';
    for (int pad = (value < 0 ? 3 : 4) - n; pad > 0; --pad)
        padded[at++] = '0';
    std::copy(digits, digits + n, padded + at);
    assign(View(padded, static_cast<size_t>(at + n)));
}

template <typename Ch> void CCharBuffer<Ch>::clear() {
    length_ = 0;
    text()[0] = 0;
}

template <typename Ch> void CCharBuffer<Ch>::append(View src) {
    const int n = static_cast<int>(src.size());
    if (length_ + n > capacity_) {
        // Keep the source alive across the reallocation: it may point into this buffer.
        auto fresh = fresh_buffer<Ch>(length_ + n);
        std::memcpy(fresh.get(), text(), static_cast<size_t>(length_) * sizeof(Ch));
        std::copy(src.begin(), src.end(), fresh.get() + length_);
        buffer_ = std::move(fresh);
        cursor_ = 0;
        capacity_ = length_ + n;
    } else {
        if (n > 0) std::memmove(text() + length_, src.data(), static_cast<size_t>(n) * sizeof(Ch));
    }
    length_ += n;
    text()[length_] = 0;
}

template <typename Ch> void CCharBuffer<Ch>::append_int(int value) {
    Ch digits[24];
    append(View(digits, static_cast<size_t>(decimal_into(digits, value))));
}

template <typename Ch> void CCharBuffer<Ch>::reserve(int capacity) {
    if (capacity > capacity_) replace_buffer(capacity, true);
}

template <typename Ch> void CCharBuffer<Ch>::set_length(int length) {
    length_ = std::clamp(length, 0, capacity_);
    text()[length_] = 0;
}

template <typename Ch> void CCharBuffer<Ch>::begin_fast_append(int expected) {
    expected = std::max(expected, 1);
    replace_buffer(expected, false);
    reserve_ = expected;
}

template <typename Ch> void CCharBuffer<Ch>::fast_append(View src) {
    const int n = static_cast<int>(src.size());
    if (reserve_ - n <= 0) {
        const long long wanted = 4LL * (length_ + n);
        const int grown = static_cast<int>(std::min<long long>(wanted, std::numeric_limits<int>::max() - 1));
        if (grown < length_ + n) throw std::bad_alloc();
        auto fresh = fresh_buffer<Ch>(grown);
        std::memcpy(fresh.get(), text(), static_cast<size_t>(length_) * sizeof(Ch));
        buffer_ = std::move(fresh);
        cursor_ = 0;
        capacity_ = grown;
        reserve_ = capacity_ - length_ - n;
    } else {
        reserve_ -= n;
    }
    if (n > 0) std::memcpy(text() + length_, src.data(), static_cast<size_t>(n) * sizeof(Ch));
    length_ += n;
    text()[length_] = 0;
}

template <typename Ch> void CCharBuffer<Ch>::end_fast_append() {
    // The cursor only moves by front consumption, which fast-append mode does not use.
    capacity_ = length_;
    reserve_ = 0;
}

template <typename Ch> void CCharBuffer<Ch>::remove_first(int n) {
    consume_front(n);
}

template <typename Ch> void CCharBuffer<Ch>::truncate(int n) {
    n = std::clamp(n, 0, capacity_);
    if (n < length_) {
        length_ = n;
        text()[n] = 0;
    }
}

template <typename Ch> void CCharBuffer<Ch>::remove_last(int n) {
    truncate(length_ - std::max(n, 0));
}

template <typename Ch> bool CCharBuffer<Ch>::remove_suffix(View suffix) {
    if (!ends_with(suffix)) return false;
    truncate(length_ - static_cast<int>(suffix.size()));
    return true;
}

template <typename Ch> bool CCharBuffer<Ch>::ends_with_nocase(View suffix) const {
    const View v = view();
    if (suffix.size() > v.size()) return false;
    const View tail = v.substr(v.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i)
        if (quippet::ascii_lower(tail[i]) != quippet::ascii_lower(suffix[i])) return false;
    return true;
}

template <typename Ch> int CCharBuffer<Ch>::find(View pattern, bool last) const {
    return find_in(view(), pattern, last);
}

template <typename Ch> int CCharBuffer<Ch>::skip_to(View pattern, bool keep_pattern, bool last) {
    const int at = find(pattern, last);
    if (at < 0) return -1;
    consume_front(at + (keep_pattern ? 0 : static_cast<int>(pattern.size())));
    return 0;
}

template <typename Ch>
int CCharBuffer<Ch>::cut_before(View pattern, CCharBuffer& out, bool keep_pattern, bool include_pattern, bool last) {
    const int at = find(pattern, last);
    if (at < 0) return -1;
    const int plen = static_cast<int>(pattern.size());
    out.assign(view().substr(0, static_cast<size_t>(at + (include_pattern ? plen : 0))));
    consume_front(at + (keep_pattern ? 0 : plen));
    return 0;
}

template <typename Ch>
int CCharBuffer<Ch>::cut_after(View pattern, CCharBuffer& out, bool keep_pattern, bool include_pattern, bool last) {
    const int at = find(pattern, last);
    if (at < 0) return -1;
    const int plen = static_cast<int>(pattern.size());
    out.assign(view().substr(static_cast<size_t>(at + (include_pattern ? 0 : plen))));
    truncate(at + (keep_pattern ? plen : 0));
    return 0;
}

template <typename Ch> int CCharBuffer<Ch>::value_between(View prefix, View terminator, CCharBuffer& out) const {
    const View v = view();
    const size_t start = v.find(prefix);
    if (start != View::npos) {
        const size_t from = start + prefix.size();
        const size_t end = v.find(terminator, from);
        if (end != View::npos) {
            out.assign(v.substr(from, end - from));
            return 0;
        }
    }
    out.clear();
    return -1;
}

template <typename Ch> int CCharBuffer<Ch>::replace_all(View pattern, View replacement) {
    if (pattern.empty()) return -1;
    const View v = view();
    size_t pos = v.find(pattern);
    if (pos == View::npos) return -1;
    int count = 0;
    const size_t plen = pattern.size();
    if (replacement.size() == plen) {
        Ch* t = text();
        for (; pos != View::npos; pos = v.find(pattern, pos + plen), ++count)
            std::copy(replacement.begin(), replacement.end(), t + pos);
        return count;
    }
    std::basic_string<Ch> result;
    result.reserve(v.size());
    size_t from = 0;
    for (; pos != View::npos; pos = v.find(pattern, from), ++count) {
        result.append(v.substr(from, pos - from));
        result.append(replacement);
        from = pos + plen;
    }
    result.append(v.substr(from));
    assign(result);
    return count;
}

template <typename Ch> int CCharBuffer<Ch>::read_int(int& out, int fallback) const {
    if (length_ == 0) return fallback;
    char narrow[24];
    if (length_ >= static_cast<int>(sizeof narrow)) return -1;
    for (int i = 0; i < length_; ++i) {
        const Ch c = text()[i];
        if (c > 0x7f) return -1;
        narrow[i] = static_cast<char>(c);
    }
    int value = 0;
    const char* first = narrow;
    if (*first == '+') ++first;
    const auto res = std::from_chars(first, narrow + length_, value);
    if (res.ec != std::errc() || res.ptr != narrow + length_) return -1;
    out = value;
    return 0;
}

template <typename Ch> int CCharBuffer<Ch>::read_uint(int fallback, int base) const {
    if (length_ == 0) return fallback;
    char narrow[40];
    if (length_ >= static_cast<int>(sizeof narrow)) return -1;
    for (int i = 0; i < length_; ++i) {
        const Ch c = text()[i];
        if (c > 0x7f) return -1;
        narrow[i] = static_cast<char>(c);
    }
    if (narrow[0] == '-' || narrow[0] == '+') return -1;
    int value = 0;
    const auto res = std::from_chars(narrow, narrow + length_, value, base);
    if (res.ec != std::errc() || res.ptr != narrow + length_) return -1;
    return value;
}

template <typename Ch> bool CCharBuffer<Ch>::is_digits(int min_digits, int max_digits) const {
    if (length_ < min_digits || length_ > max_digits) return false;
    return std::all_of(text(), text() + length_, [](Ch c) { return c >= '0' && c <= '9'; });
}

template class CCharBuffer<char16_t>;
template class CCharBuffer<char>;
