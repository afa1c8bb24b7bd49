// Feeds arbitrary bytes to the playlist reader, once as they come (UTF-8, CP932 or with a byte order
// mark) and once as UTF-16 text, and the same bytes as UTF-16 to the player-table and locations parsers:
// players write playlists in many forms and users edit the tables by hand. A playlist written back must
// read as the same paths; the rows' reordering must keep every row once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/Settings.h"
#include "lists/PlayerTable.h"
#include "lists/Playlist.h"
#include "lists/PlaylistTab.h"
#include "text/Encoding.h"

using namespace quippet;

namespace {

std::string encoded(const Playlist& playlist) {
    const std::u16string text = playlist_text(playlist);
    if (playlist.encoding != Playlist::Encoding::kWide)
        return (playlist.encoding == Playlist::Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "") + to_utf8(text);
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void check_round_trip(std::string_view bytes) {
    const Playlist first = parse_playlist(bytes);
    const Playlist again = parse_playlist(encoded(first));
    if (again.paths() != first.paths() || again.encoding != first.encoding) __builtin_trap();
    display_names(first.paths(), split_bars(u" 第| #| Ver.|其の|～その"),
                  expand_tail_markers(u" (| [|(<ID>", u"sm|so|nm"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check_round_trip(bytes);
    check_round_trip(std::string("\xFF\xFE") + std::string(bytes));

    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i + 1 < size; i += 2)
        text[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const PlayerTable table = PlayerTable::parse(text);
    if (table.modes.size() > PlayerTable::kModeCount) __builtin_trap();
    for (int mode = -1; mode <= PlayerTable::kModeCount; ++mode)
        table.mode_caption(mode);
    for (const Player& player : table.players) {
        const int index = table.find_player(player.name);
        if (index < 0 || table.players[static_cast<size_t>(index)].name != player.name) __builtin_trap();
    }
    for (const PlaylistPlace& place : parse_playlist_places(text))
        if (place.folder.empty()) __builtin_trap();

    // The bytes drive edits of the rows: each must keep every path exactly once.
    CPlaylistTab tab;
    std::vector<std::u16string> paths;
    for (size_t i = 0; i < std::min<size_t>(size, 64); ++i)
        paths.push_back(u"/v/" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u" 第" +
                        std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u"話.mp4");
    tab.insert(0, paths);
    bool removed = false;
    for (size_t i = 0; i + 2 < size && i < 96; i += 3) {
        const int a = data[i] % 70 - 3, b = data[i + 1] % 70 - 3;
        if ((data[i + 2] & 3) == 0) {
            removed = removed || (a >= 0 && static_cast<size_t>(a) < tab.rows().size());
            tab.remove({a});
        } else {
            tab.move({a, b, a}, data[i + 2] % 70 - 3);
        }
    }
    std::vector<std::u16string> now = tab.paths();
    std::sort(now.begin(), now.end());
    std::sort(paths.begin(), paths.end());
    if (removed ? !std::includes(paths.begin(), paths.end(), now.begin(), now.end()) : now != paths) __builtin_trap();
    return 0;
}
