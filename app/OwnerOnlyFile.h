#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace quippet {

// Files that hold secrets (the settings file with its protected texts, the key behind them) are
// readable by their owner only, and are never seen half written: they are written to a temporary
// file beside the target and renamed over it. Missing folders are created. Failures return -1 (or
// nullopt) with the errno value in `error`.

/// Writes `bytes` into a new owner-only temporary file in the folder of `target`; returns its path.
std::optional<std::filesystem::path> stage_owner_only_file(const std::filesystem::path& target, std::string_view bytes,
                                                           int& error);
/// Renames a staged file over `target` and makes the rename durable. 0 or -1.
int commit_staged_file(const std::filesystem::path& staged, const std::filesystem::path& target, int& error);
/// stage + commit; a failed commit removes the temporary file. 0 or -1.
int write_owner_only_file(const std::filesystem::path& target, std::string_view bytes, int& error);
/// Creates `target` holding `bytes` unless it exists; concurrent creators never see a partial file.
/// 1 created, 0 it already existed, -1 failed.
int create_owner_only_file(const std::filesystem::path& target, std::string_view bytes, int& error);

} // namespace quippet
