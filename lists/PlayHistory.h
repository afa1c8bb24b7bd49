#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// The playback history keeps this many videos; a video played again moves to the newest end.
inline constexpr size_t kPlayHistoryLimit = 1000;

/// The history file's full path (the "再生の履歴" setting, inside the app home).
std::u16string play_history_path(const CSettings& settings);

/// Adds `video` as the newest entry of the history file (one full path per CR LF line, oldest first, wide
/// text), keeping the newest `limit`. 0, or -1 when the file could not be written (the history is a convenience:
/// callers go on).
int record_play(std::u16string_view history_file, std::u16string_view video, size_t limit = kPlayHistoryLimit);

/// The recently played videos, newest first, each once: what "<最近再生した動画の一覧>" lists. A missing
/// or unreadable file is an empty history.
std::vector<std::u16string> recently_played(std::u16string_view history_file);

} // namespace quippet
