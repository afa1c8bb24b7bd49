#include "lists/ListsTextFiles.h"

#include "app/Settings.h"
#include "lists/BookmarkMenu.h"
#include "lists/BookmarkTree.h"
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

std::u16string default_bookmark_menu_text_copy() {
    return default_bookmark_menu_text();
}

} // namespace

std::u16string default_bookmark_tree_text() {
    return u"1\t0\t\t保存したリストの一覧\t" + std::u16string(kBmSavedLists) + u"\r\n";
}

std::u16string bookmark_tree_path(const CSettings& settings) {
    return settings_text_path(settings, OptText::kBookmarks);
}

BmMenu load_bookmark_menu(const CSettings& settings) {
    CCharW text;
    const std::u16string path = settings_text_path(settings, OptText::kBookmarkMenu);
    if (read_or_create(settings, OptText::kBookmarkMenu, &default_bookmark_menu_text_copy, text))
        return parse_bookmark_menu(text.view(), file_name(path));
    return parse_bookmark_menu(default_bookmark_menu_text(), file_name(path));
}

const std::vector<SettingsTextFile>& lists_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        settings_text_row("player-table", OptText::kPlayerTable, &PlayerTable::default_text),
        settings_text_row("playlist-places", OptText::kPlaylistPlaces, &default_playlist_places_text),
        settings_text_row("bookmarks", OptText::kBookmarks, &default_bookmark_tree_text),
        settings_text_row("bookmark-menu", OptText::kBookmarkMenu, &default_bookmark_menu_text_copy),
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
