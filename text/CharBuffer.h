#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

/// Growable text with a front-consuming cursor: parsers eat a document from the front without
/// ever copying what is left, and writers reserve the expected size up front (fast-append mode).
/// `Ch` is char16_t for wide text and char for bytes; `CCharW` and `CCharM` name the two.
template <typename Ch> class CCharBuffer {
public:
    using View = std::basic_string_view<Ch>;

    CCharBuffer();
    explicit CCharBuffer(int capacity);
    CCharBuffer(View text);
    CCharBuffer(const Ch* text) : CCharBuffer(View(text)) {}
    CCharBuffer(const CCharBuffer& other);
    CCharBuffer(CCharBuffer&& other) noexcept;
    CCharBuffer& operator=(const CCharBuffer& other);
    CCharBuffer& operator=(CCharBuffer&& other) noexcept;
    virtual ~CCharBuffer() = default;

    // --- state -------------------------------------------------------------------------------
    int error() const { return error_; }
    void set_error(int code) { error_ = code; }
    int length() const { return length_; }
    int capacity() const { return capacity_; }
    bool empty() const { return length_ == 0; }
    const Ch* c_str() const { return text(); }
    View view() const { return View(text(), static_cast<size_t>(length_)); }
    operator View() const { return view(); }
    Ch operator[](int i) const { return text()[i]; }
    /// Writable access for in-place rewrites that keep the length.
    Ch* data() { return text(); }

    // --- assign and append ---------------------------------------------------------------------
    void assign(View text);
    void assign_n(View text, int n);
    void assign_int(int value);
    /// Four digits, zero-padded ("%04d").
    void assign_int4(int value);
    void clear();
    void append(View text);
    void append(Ch c) { append(View(&c, 1)); }
    void append_int(int value);
    /// Sets the length after the caller wrote directly into the buffer (`data()` after `reserve`).
    void reserve(int capacity);
    void set_length(int length);

    // Fast-append mode for building large outputs: the buffer grows by ×4 and appends never
    // rescan the text. `end_fast_append` must be called before other operations rely on capacity.
    void begin_fast_append(int expected);
    void fast_append(View text);
    void fast_append(Ch c) { fast_append(View(&c, 1)); }
    void end_fast_append();

    // --- front and back trimming ---------------------------------------------------------------
    void remove_first(int n);
    void truncate(int n);
    void remove_last(int n);
    /// Removes `suffix` when the text ends with it; true when removed.
    bool remove_suffix(View suffix);

    // --- tests ----------------------------------------------------------------------------------
    bool starts_with(View prefix) const { return view().starts_with(prefix); }
    bool ends_with(View suffix) const { return view().ends_with(suffix); }
    /// ASCII letters compared without case.
    bool ends_with_nocase(View suffix) const;
    bool contains(View pattern) const { return find(pattern) >= 0; }
    /// Index of the first (or, with `last`, the last) occurrence; -1 when absent.
    int find(View pattern, bool last = false) const;

    // --- tokenizing ------------------------------------------------------------------------------
    /// Moves the cursor onto the occurrence (`keep_pattern`) or past it. -1 when absent (unchanged).
    int skip_to(View pattern, bool keep_pattern = false, bool last = false);
    /// Copies the text before the occurrence (with the pattern when `include_pattern`) into `out`,
    /// then moves the cursor past the pattern (onto it when `keep_pattern`). -1 when absent.
    int cut_before(View pattern, CCharBuffer& out, bool keep_pattern = false, bool include_pattern = false,
                   bool last = false);
    /// Copies the text after the occurrence (from it when `include_pattern`) into `out` and truncates
    /// this text at the occurrence (after it when `keep_pattern`). -1 when absent.
    int cut_after(View pattern, CCharBuffer& out, bool keep_pattern = false, bool include_pattern = false,
                  bool last = false);
    /// The units between the first `prefix` and the next `terminator`; -1 (and `out` empty) when either
    /// is missing. Attribute values are read this way: prefix ` name="`, terminator `"`.
    int value_between(View prefix, View terminator, CCharBuffer& out) const;
    /// Replaces every occurrence, left to right, without rescanning replacements.
    /// Returns the count, or -1 when there was none.
    int replace_all(View pattern, View replacement);

    // --- numbers ----------------------------------------------------------------------------------
    /// Empty text: returns `fallback` and leaves `out` alone. Otherwise 0 with `out` set, or -1 when
    /// anything follows the number.
    int read_int(int& out, int fallback) const;
    /// Empty text: `fallback`. A leading "-" or anything after the digits: -1. Else the value.
    int read_uint(int fallback, int base = 10) const;
    /// All decimal digits and between `min_digits` and `max_digits` of them.
    bool is_digits(int min_digits, int max_digits) const;

protected:
    Ch* text() { return buffer_.get() + cursor_; }
    const Ch* text() const { return buffer_.get() + cursor_; }

private:
    void replace_buffer(int capacity, bool keep_text);
    void consume_front(int n);

    int error_ = 0;
    std::unique_ptr<Ch[]> buffer_;
    int cursor_ = 0;
    int capacity_ = 0;
    int length_ = 0;
    int reserve_ = 0;
};

extern template class CCharBuffer<char16_t>;
extern template class CCharBuffer<char>;

/// Wide text (UTF-16).
class CCharW : public CCharBuffer<char16_t> {
public:
    using CCharBuffer::CCharBuffer;
    CCharW() = default;
    CCharW(const CCharBuffer& other) : CCharBuffer(other) {}
    CCharW(CCharBuffer&& other) noexcept : CCharBuffer(std::move(other)) {}

    /// Clipboard transfer through the hook the front end installed; -1 without one.
    int copy_to_clipboard() const;
    int read_from_clipboard();
};

/// Narrow text (bytes: UTF-8 or CP932).
class CCharM : public CCharBuffer<char> {
public:
    using CCharBuffer::CCharBuffer;
    CCharM() = default;
    CCharM(const CCharBuffer& other) : CCharBuffer(other) {}
    CCharM(CCharBuffer&& other) noexcept : CCharBuffer(std::move(other)) {}
};
