#pragma once

#include "app/SettingsTextFiles.h"
#include "text/FileSP.h"

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// The converter's NG-word file and replacement table, taken inside the app home when relative.
std::u16string live_ng_file_path(const CSettings& settings);
std::u16string live_replace_table_path(const CSettings& settings);
/// The source text of the conversion and the folder of its presets.
std::u16string live_source_path(const CSettings& settings);
std::u16string live_preset_folder(const CSettings& settings);

/// The text a missing file is created with (UTF-16, CR LF line ends).
const std::u16string& live_ng_default_text();
const std::u16string& live_replace_default_text();

/// Creates the file with its default text when it is missing. 1 created, 0 there, -1 failed.
int ensure_live_ng_file(const CSettings& settings, const CreationFailureHook& on_failure = {});
int ensure_live_replace_table(const CSettings& settings, const CreationFailureHook& on_failure = {});

/// The converter's settings text files (NG words, replacement table) and its source text, for the list of
/// every settings text file.
const std::vector<SettingsTextFile>& live_settings_text_files();

/// How a source text was stored.
enum class SourceEncoding { kUtf16Le, kUtf16Be, kUtf8, kCp932 };

/// Reads a source text: UTF-16 as the program writes it, but also the UTF-8 or CP932 a log copied on this
/// system is usually saved in (known by its byte order mark, or by bytes that are no UTF-16 text).
/// 0, or -1 with the file code (9 cannot open, 11 too large) in `error`.
int read_source_text(std::u16string_view path, std::u16string& text, int& error, SourceEncoding* encoding = nullptr);

/// The same decision for bytes already read.
SourceEncoding decode_source_bytes(std::string_view bytes, std::u16string& text);

} // namespace quippet
