#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;
class CBookmarkEditor;
struct BookmarkNode;
class NetReport;

/// One programme of the seasonal schedule page.
struct AnimeEntry {
    std::u16string title;
    std::u16string start; ///< the broadcast start as the page shows it
    bool latest_free = true;
    std::u16string channel; ///< the channel's name in its address
};

/// Bounds of the parse: the page is the service's answer, read without trusting its size or shape.
inline constexpr int kAnimeMaxEntries = 1'000;
inline constexpr size_t kAnimeMaxEntryChars = 64 * 1024;
inline constexpr size_t kAnimeMaxFieldChars = 300;

/// The programmes of a schedule page, in page order. Entries without a title or a channel are left out; a
/// channel name holds only letters, digits, "_" and "-", so that it stays a path segment of the address.
std::vector<AnimeEntry> parse_anime_schedule(std::u16string_view page);

/// The schedule page and the channel address of the settings (their defaults on the service's hosts when
/// empty, rebased onto the service root of the run).
std::u16string anime_schedule_address(const CSettings& settings);
std::u16string anime_channel_address(const CSettings& settings);
/// The bookmark target of a programme: the channel address, the channel name, "/video".
std::u16string anime_target(std::u16string_view channel_address, std::u16string_view channel);

/// Fetches and parses the schedule page. 0 with the entries; -1 with "アクセスに失敗しました" or, for a
/// page without entries, the message that the page changed, in `message`.
int fetch_anime_schedule(const CSettings& settings, std::vector<AnimeEntry>& entries, std::u16string& message);

/// Adds a bookmark per programme (only those whose latest episode is free with `free_only`) under
/// `selected`. The line to show: the count added, or the request to select an item first.
std::u16string add_anime_bookmarks(CBookmarkEditor& editor, BookmarkNode* selected,
                                   const std::vector<AnimeEntry>& entries, bool free_only, const CSettings& settings);

} // namespace quippet
