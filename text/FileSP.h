#pragma once

#include <ctime>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "text/CharBuffer.h"

/// A whole file's bytes, read only. Large files are mapped instead of copied: a copy costs a pass over the
/// bytes and, for a fresh buffer, the kernel's zeroing of every page, which is more than a reader spends on
/// them. A mapped file that another program truncates while it is read raises SIGBUS, a risk every mapping
/// reader takes; files we write are never changed in place (they are renamed over), so we never cause it.
class CFileBytes {
public:
    CFileBytes() = default;
    CFileBytes(const CFileBytes&) = delete;
    CFileBytes& operator=(const CFileBytes&) = delete;
    ~CFileBytes() { release(); }

    std::string_view view() const { return mapped_ ? std::string_view(mapped_, size_) : copy_.view(); }
    void release();

private:
    friend class CFileSP;
    const char* mapped_ = nullptr;
    size_t size_ = 0;
    CCharM copy_;
};

/// Whole-file reads and writes. Paths are used as given (relative to the working directory); the
/// helpers below CFileSP take relative names inside the app home instead.
///
/// Every write goes to a temporary file in the destination's folder, is flushed to disk and then
/// renamed over the destination, so a failed write never leaves a truncated file where a good one was.
/// Appends (append_wide_units) are the only writes that change a file in place.
class CFileSP {
public:
    /// What a write does when the destination name is taken.
    enum Policy : int {
        kKeepExisting = 0, ///< write nothing, error 21
        kNumberedName = 1, ///< use "base(N).ext" with the smallest free N
        kOverwrite = 2,
    };
    /// The largest file read: 250 MiB.
    static constexpr long long kMaxReadBytes = 262'144'000;

    CFileSP() = default;
    virtual ~CFileSP() = default;

    /// Result code of the last failure (9 cannot open, 11 too large, 21 name taken, 93–107 write
    /// failures); 0 after a success.
    int error() const { return error_; }

    /// The bytes as they are (a UTF-8 byte order mark stays). 0, or -1 with the code in `out` as well.
    int read(std::u16string_view path, CCharM& out);
    /// The same bytes without a copy for large files. 0, or -1 with the code in error().
    int read(std::u16string_view path, CFileBytes& out);
    /// The bytes as UTF-16LE units, without byte swapping; a first unit U+FEFF or U+FFFE is dropped, an
    /// odd last byte is ignored. 0, or -1 with the code in `out` as well.
    int read_wide_text(std::u16string_view path, CCharW& out);
    /// A settings text file (lists, rules, vocabulary): UTF-16LE as the program writes them, but a file
    /// without a UTF-16 byte order mark that is clean UTF-8 (as editors on this system save it) is read
    /// as UTF-8 instead of turning into garbage. 0, or -1 with the code in `out` as well.
    int read_settings_text(std::u16string_view path, CCharW& out);

    /// A UTF-8 file decoded to UTF-16 as it is read, the same text as read() followed by narrow_to_wide()
    /// with UTF-8 but without holding the bytes: comment files are read this way. 0, or -1 with the code
    /// in `out` as well.
    int read_utf8_text(std::u16string_view path, CCharW& out);

    /// Raw bytes, no byte order mark. `written_as` receives the name actually written (it differs from
    /// `path` under kNumberedName). 0, or -1 with the code in error().
    int write(std::u16string_view path, std::string_view bytes, int policy, std::u16string* written_as = nullptr);
    /// Three consecutive pieces, so that callers need not join a header, a large body and a footer.
    int write(std::u16string_view path, std::string_view prefix, std::string_view body, std::string_view suffix,
              int policy, std::u16string* written_as = nullptr);
    /// FF FE followed by the UTF-16LE units; line breaks are the caller's.
    int write_wide_text(std::u16string_view path, std::u16string_view text, int policy,
                        std::u16string* written_as = nullptr);
    /// Adds UTF-16LE units (no byte order mark) at the end of an existing file, in place.
    int append_wide_units(std::u16string_view path, std::u16string_view text);

private:
    int fail(int code);
    int write_pieces(std::u16string_view path, std::initializer_list<std::string_view> pieces, int policy,
                     std::u16string* written_as);

    int error_ = 0;
};

namespace quippet {

/// Result code (93–107) for a failed system call's errno.
int file_error_code(int errno_value);

/// `name` with `extension` (".txt") added when its last path component has none.
/// The last part of a slash-separated path: "a/b/c.xml" → "c.xml"; a path without a slash is its own name.
std::u16string file_name(std::u16string_view path);

std::u16string with_default_extension(std::u16string_view name, std::u16string_view extension);

/// Receives "<full path>の新規作成に失敗しました"; the job frame shows it as a message box.
using CreationFailureHook = std::function<void(std::u16string_view message)>;
/// Process-wide receiver used when a caller gives none; none by default.
void set_creation_failure_hook(CreationFailureHook hook);

/// Lines joined with CR LF, a line break after the last one too: the form the default texts of the
/// settings text files are stored in.
std::u16string crlf_lines(std::initializer_list<std::u16string_view> lines);

/// Creates the file (and its missing folders, one level at a time) as a wide text file holding
/// `initial_text` when it is not there. A relative path is taken inside the app home. An existing file
/// counts even when it is empty. 1 created, 0 already there, -1 failed (the message went to `on_failure`,
/// or to the installed hook when `on_failure` is empty).
int ensure_file_exists(std::u16string_view path, std::u16string_view initial_text,
                       const CreationFailureHook& on_failure = {});

/// Renames a file without ever replacing a file of the new name (even one that appears meanwhile). 0, or
/// the errno value (EEXIST when the name is taken).
int rename_no_replace(std::u16string_view from, std::u16string_view to);

/// Log name for `now`: ".log" added when there is no extension; with `monthly`, "_YYYY_MM" before it.
std::u16string log_file_name(std::u16string_view name, bool monthly, const std::tm& now);
/// "2026年12月8日17時5分3秒" CR LF, the text, CR LF unless it ends with one, 80 "-", CR LF.
std::u16string log_entry(std::u16string_view text, const std::tm& now);
/// Appends an entry to a log file stamped with the current local time. Failures are silent: always 0.
int append_log(std::u16string_view name, std::u16string_view text, bool monthly = false);
int append_log(std::u16string_view name, std::u16string_view text, bool monthly, const std::tm& now);

} // namespace quippet
