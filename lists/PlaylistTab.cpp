#include "lists/PlaylistTab.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

std::u16string with_message(std::u16string_view before, int id) {
    return std::u16string(before) + std::u16string(message_text(id));
}

/// The indexes that name rows, ascending and each once.
std::vector<int> valid_rows(std::vector<int> rows, size_t count) {
    std::erase_if(rows, [count](int r) { return r < 0 || static_cast<size_t>(r) >= count; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool is_inside_home(std::u16string_view folder) {
    const std::filesystem::path home = to_fs_path(app_home()).lexically_normal();
    const std::filesystem::path relative = to_fs_path(folder).lexically_normal().lexically_relative(home);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

void CPlaylistTab::configure(const CSettings& settings) {
    separators_ = split_bars(settings.text(OptText::kSeriesSeparators));
    tail_markers_ = expand_tail_markers(settings.text(OptText::kTailMarkers), settings.text(OptText::kVideoIdPrefixes));
    memo_folder_ = settings.text(OptText::kMemoFolder);
    if (memo_folder_.empty()) memo_folder_ = u"memo";
    rename_rows();
}

void CPlaylistTab::set_places(std::vector<PlaylistPlace> places) {
    places_ = std::move(places);
    folder_ = -1;
    playlists_.clear();
    close();
}

std::u16string CPlaylistTab::folder() const {
    if (folder_ < 0) return {};
    return resolve_in_home(places_[static_cast<size_t>(folder_)].folder);
}

int CPlaylistTab::select_folder(int index, std::vector<std::u16string>& log) {
    close();
    playlists_.clear();
    if (index < 0 || static_cast<size_t>(index) >= places_.size()) {
        folder_ = -1;
        return -1;
    }
    folder_ = index;
    // A folder inside the app home is this program's own (the default one is): it is made rather than
    // reported missing.
    std::error_code ec;
    if (is_inside_home(folder())) std::filesystem::create_directories(to_fs_path(folder()), ec);
    if (list_playlists(folder(), playlists_) != 0) {
        log.push_back(with_message(folder(), msg::kPathMissing));
        return -1;
    }
    return 0;
}

void CPlaylistTab::refresh_playlists(std::vector<std::u16string>& log) {
    if (folder_ < 0) return;
    if (list_playlists(folder(), playlists_) != 0) log.push_back(with_message(folder(), msg::kPathMissing));
}

int CPlaylistTab::playlist_index(std::u16string_view name) const {
    const auto it = std::find(playlists_.begin(), playlists_.end(), name);
    return it == playlists_.end() ? -1 : static_cast<int>(it - playlists_.begin());
}

std::u16string CPlaylistTab::playlist_path(std::u16string_view name) const {
    return folder() + u"/" + std::u16string(name) + u".m3u";
}

int CPlaylistTab::load(int playlist, std::vector<std::u16string>& log) {
    if (folder_ < 0 || playlist < 0 || static_cast<size_t>(playlist) >= playlists_.size()) return -1;
    const std::u16string& name = playlists_[static_cast<size_t>(playlist)];
    Playlist file;
    int error = 0;
    if (read_playlist(playlist_path(name), file, error) != 0) {
        log.emplace_back(message_text(msg::kPlaylistUnreadable));
        return -1;
    }
    file_ = std::move(file);
    loaded_ = name;
    name_ = name;
    rows_.clear();
    for (std::u16string& path : file_.paths())
        rows_.push_back({{}, std::move(path)});
    rename_rows();
    return 0;
}

void CPlaylistTab::close() {
    loaded_.clear();
    file_ = Playlist();
    rows_.clear();
    name_.clear();
}

std::vector<std::u16string> CPlaylistTab::paths() const {
    std::vector<std::u16string> out;
    out.reserve(rows_.size());
    for (const Row& r : rows_)
        out.push_back(r.path);
    return out;
}

bool CPlaylistTab::rows_changed() const {
    if (loaded_.empty()) return !rows_.empty();
    if (rows_.size() != file_.entries.size()) return true;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].path != file_.entries[i].path) return true;
    return false;
}

void CPlaylistTab::rename_rows() {
    // The series comes from the first row, so any change of the rows can change every name.
    const std::vector<std::u16string> names = display_names(paths(), separators_, tail_markers_);
    for (size_t i = 0; i < rows_.size(); ++i)
        rows_[i].name = names[i];
}

int CPlaylistTab::insert(int at, const std::vector<std::u16string>& paths) {
    if (at < 0 || static_cast<size_t>(at) > rows_.size()) at = static_cast<int>(rows_.size());
    std::vector<Row> added;
    added.reserve(paths.size());
    for (const auto& p : paths)
        if (!p.empty()) added.push_back({{}, p});
    rows_.insert(rows_.begin() + at, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    rename_rows();
    return at;
}

int CPlaylistTab::move(std::vector<int> rows, int to) {
    rows = valid_rows(std::move(rows), rows_.size());
    if (rows.empty()) return -1;
    if (to < 0 || static_cast<size_t>(to) > rows_.size()) to = static_cast<int>(rows_.size());
    std::vector<Row> moved, kept;
    int target = 0; // the insertion point among the rows that stay
    size_t next = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (next < rows.size() && rows[next] == static_cast<int>(i)) {
            moved.push_back(std::move(rows_[i]));
            ++next;
        } else {
            if (static_cast<int>(i) < to) ++target;
            kept.push_back(std::move(rows_[i]));
        }
    }
    kept.insert(kept.begin() + target, std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
    rows_ = std::move(kept);
    rename_rows();
    return target;
}

void CPlaylistTab::remove(std::vector<int> rows) {
    rows = valid_rows(std::move(rows), rows_.size());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        rows_.erase(rows_.begin() + *it);
    rename_rows();
}

SaveButton CPlaylistTab::save_button() const {
    if (folder_ < 0) return {u"空白", SaveButton::Action::kNone};
    std::error_code ec;
    const bool taken =
        !name_.empty() && name_ != loaded_ && std::filesystem::exists(to_fs_path(playlist_path(name_)), ec);
    return quippet::save_button(name_, loaded_, rows_changed(), taken);
}

int CPlaylistTab::save(std::vector<std::u16string>& log) {
    const SaveButton button = save_button();
    const std::u16string name = name_;
    const std::u16string path = playlist_path(name);
    switch (button.action) {
    case SaveButton::Action::kNone:
        return -1;
    case SaveButton::Action::kRename:
        if (rename_playlist(folder(), loaded_, name, memo_folder_, log) != 0) {
            log.push_back(with_message(playlist_path(loaded_), msg::kPlaylistRenameFailed));
            return -1;
        }
        log.push_back(with_message(path, msg::kPlaylistRenamed));
        break;
    case SaveButton::Action::kOverwrite:
    case SaveButton::Action::kSaveNew: {
        // A playlist of another player's folder keeps that player's form, also under a new name; a list
        // made from nothing takes this program's own form.
        Playlist out = loaded_.empty() ? Playlist() : file_;
        out.set_paths(paths());
        std::error_code ec;
        std::filesystem::create_directories(to_fs_path(folder()), ec);
        const int policy =
            button.action == SaveButton::Action::kOverwrite ? CFileSP::kOverwrite : CFileSP::kKeepExisting;
        int error = 0;
        if (write_playlist(path, out, policy, error) != 0) {
            log.push_back(with_message(path, msg::kPlaylistSaveFailed) + u" " + std::u16string(message_text(error)));
            return -1;
        }
        log.push_back(with_message(path, msg::kPlaylistSaved));
        break;
    }
    }
    std::vector<std::u16string> quiet;
    refresh_playlists(quiet);
    const int index = playlist_index(name);
    if (index < 0 || load(index, log) != 0) close();
    return 0;
}

int CPlaylistTab::delete_playlist(int playlist, std::vector<std::u16string>& log) {
    if (folder_ < 0 || playlist < 0 || static_cast<size_t>(playlist) >= playlists_.size()) return -1;
    const std::u16string name = playlists_[static_cast<size_t>(playlist)];
    const std::u16string path = playlist_path(name);
    const int result = quippet::delete_playlist(path, log);
    if (result == 0) log.push_back(with_message(path, msg::kPlaylistTrashed));
    std::error_code ec;
    // A file that could not be moved stays loaded, so that its rows are not lost with it.
    if (name == loaded_ && !std::filesystem::exists(to_fs_path(path), ec)) close();
    std::vector<std::u16string> quiet;
    refresh_playlists(quiet);
    return result;
}

std::u16string CPlaylistTab::memo_caption() const {
    return quippet::memo_caption(memo_folder_, loaded_);
}

std::u16string CPlaylistTab::ensure_memo(std::vector<std::u16string>& log) const {
    if (loaded_.empty()) return {};
    const std::u16string path = memo_path(memo_folder_, loaded_);
    if (ensure_file_exists(path, u"", [&log](std::u16string_view message) { log.emplace_back(message); }) < 0)
        return {};
    return path;
}

} // namespace quippet
