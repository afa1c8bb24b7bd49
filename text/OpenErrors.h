#pragma once

#include <string_view>

namespace quippet {

/// Result codes of opening a file with its associated program, numbered as the Windows shell numbers them
/// (settings and logs of the program's earlier versions use these numbers). Above 32 means success.
inline constexpr int kOpenSucceeded = 33;
inline constexpr int kOpenOutOfResources = 0;
inline constexpr int kOpenFileMissing = 2;
inline constexpr int kOpenPathMissing = 3;
inline constexpr int kOpenAccessDenied = 5;
inline constexpr int kOpenOutOfMemory = 8;
inline constexpr int kOpenNoHandler = 31;
/// A failure no other code describes; it has no text of its own and reads as "謎のエラーです".
inline constexpr int kOpenUnknownFailure = 1;

/// The text that explains a failed open; empty for a code above 32 (success).
std::u16string_view open_error_text(int code);

/// The ways opening a file fails on this system.
enum class OpenFailure { FileMissing, PathMissing, NoHandler, PermissionDenied, OutOfMemory };
int open_error_code(OpenFailure failure);
/// The code for an errno left by an attempt to open `file`: ENOENT is "file missing" when the file's folder
/// exists and "path missing" when it does not. 0 gives kOpenSucceeded.
int open_error_code_from_errno(int error, std::u16string_view file);

} // namespace quippet
