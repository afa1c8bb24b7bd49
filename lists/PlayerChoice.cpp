#include "lists/PlayerChoice.h"

#include <filesystem>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"

namespace quippet {
namespace {

bool is_file(std::u16string_view path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(to_fs_path(path), ec);
}

PlayerChoice from_table(const PlayerTable& table, int index) {
    PlayerChoice choice;
    if (index >= 0 && index < static_cast<int>(table.players.size())) {
        choice.player = index;
        choice.program = table.players[static_cast<size_t>(index)].path;
    }
    return choice;
}

} // namespace

CommentFilesBeside comment_files_beside(std::u16string_view video) {
    CommentFilesBeside found;
    const std::filesystem::path path = to_fs_path(video);
    const std::u16string stem = from_fs_path(path.stem());
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u16string name = from_fs_path(it->path().filename());
        if (name.size() < stem.size() + 4 || !name.starts_with(stem)) continue;
        if (!ascii_equal_nocase(std::u16string_view(name).substr(name.size() - 4), u".xml")) continue;
        std::error_code type_ec;
        if (it->is_directory(type_ec)) continue;
        found.any = true;
        if (name.size() == stem.size() + 4) found.exact = true;
        if (found.exact) break;
    }
    return found;
}

std::u16string player_name_for(const PlayerMode& mode, std::u16string_view video, const CommentFilesBeside& comments) {
    std::u16string name;
    if (const auto* p = mode.find(u"default")) name = *p;
    const std::u16string extension = from_fs_path(to_fs_path(video).extension());
    if (!extension.empty())
        if (const auto* p = mode.find(extension)) name = *p;
    if (!comments.any) {
        if (const auto* p = mode.find(u"nosame")) name = *p;
        if (const auto* p = mode.find(u"nocom")) name = *p;
    } else if (!comments.exact) {
        if (const auto* p = mode.find(u"nosame")) name = *p;
    }
    return name;
}

PlayerChoice choose_player(const CSettings& settings, const PlayerTable& table, std::u16string_view video, int index,
                           const PlayerSelection& selection) {
    if (index == kPlayDefaultProgram) return {};
    if (index >= 0) return from_table(table, index);
    if (settings.number(OptNumber::kPlayerMode) == 0) {
        PlayerChoice choice;
        const std::u16string& single = settings.text(OptText::kSinglePlayerPath);
        if (is_file(single))
            choice.program = single;
        else if (!single.empty())
            choice.log.push_back(single + std::u16string(message_text(msg::kSinglePlayerMissing)));
        return choice;
    }
    if (selection.use_selected) return from_table(table, selection.selected_player);
    if (selection.mode < 0 || selection.mode >= static_cast<int>(table.modes.size())) return {};
    const PlayerMode& mode = table.modes[static_cast<size_t>(selection.mode)];
    return from_table(table, table.find_player(player_name_for(mode, video, comment_files_beside(video))));
}

} // namespace quippet
