#include "lists/PlayHistory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "lists/PlayerTable.h"
#include "text/AppHome.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

std::vector<std::u16string> oldest_first(std::u16string_view history_file) {
    std::vector<std::u16string> lines;
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(history_file, text) != 0) return lines;
    for (std::u16string_view line : text_lines(text.view()))
        if (!line.empty()) lines.emplace_back(line);
    return lines;
}

} // namespace

std::u16string play_history_path(const CSettings& settings) {
    std::u16string name = settings.text(OptText::kPlayHistory);
    if (name.empty()) name = u"cache/log/play.txt";
    return resolve_in_home(name);
}

int record_play(std::u16string_view history_file, std::u16string_view video, size_t limit) {
    if (video.empty() || video.find_first_of(u"\r\n") != std::u16string_view::npos) return -1;
    std::vector<std::u16string> lines = oldest_first(history_file);
    std::erase(lines, video);
    lines.emplace_back(video);
    const size_t skip = lines.size() > limit ? lines.size() - limit : 0;
    std::u16string text;
    for (size_t i = skip; i < lines.size(); ++i)
        text.append(lines[i]).append(u"\r\n");
    std::error_code ec;
    std::filesystem::create_directories(to_fs_path(history_file).parent_path(), ec);
    CFileSP file;
    return file.write_wide_text(history_file, text, CFileSP::kOverwrite) == 0 ? 0 : -1;
}

std::vector<std::u16string> recently_played(std::u16string_view history_file) {
    std::vector<std::u16string> lines = oldest_first(history_file);
    std::reverse(lines.begin(), lines.end());
    std::vector<std::u16string> unique;
    for (auto& line : lines)
        if (std::find(unique.begin(), unique.end(), line) == unique.end()) unique.push_back(std::move(line));
    return unique;
}

} // namespace quippet
