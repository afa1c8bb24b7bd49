#include "lists/ListsTextFiles.h"

#include "app/Settings.h"
#include "text/AppHome.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

/// The file's text after creating it when missing; false when it could not be read.
bool read_or_create(const CSettings& settings, OptText setting, std::u16string (*text)(), CCharW& out) {
    const std::u16string path = settings_text_path(settings, setting);
    ensure_file_exists(path, text(), [](std::u16string_view) {});
    CFileSP file;
    return file.read_settings_text(path, out) == 0;
}

} // namespace

const std::vector<SettingsTextFile>& lists_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        settings_text_row("player-table", OptText::kPlayerTable, &PlayerTable::default_text),
        settings_text_row("playlist-places", OptText::kPlaylistPlaces, &default_playlist_places_text),
    };
    return files;
}

PlayerTable load_player_table(const CSettings& settings) {
    CCharW text;
    if (read_or_create(settings, OptText::kPlayerTable, &PlayerTable::default_text, text))
        return PlayerTable::parse(text.view());
    return PlayerTable::parse(PlayerTable::default_text());
}

std::vector<PlaylistPlace> load_playlist_places(const CSettings& settings) {
    CCharW text;
    if (read_or_create(settings, OptText::kPlaylistPlaces, &default_playlist_places_text, text))
        return parse_playlist_places(text.view());
    return {};
}

} // namespace quippet
