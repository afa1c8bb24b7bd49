#include "lists/Playlist.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "lists/PlayerTable.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/Trash.h"

namespace quippet {
namespace {

bool plain_name(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." && name.find_first_of(u"/\\") == std::u16string_view::npos &&
           name.find(u'\0') == std::u16string_view::npos;
}

bool exists(std::u16string_view path) {
    std::error_code ec;
    return std::filesystem::exists(to_fs_path(path), ec);
}

std::u16string decode(std::string_view bytes, Playlist& list) {
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        const bool big = bytes[0] == '\xFE';
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<char16_t>(big ? ((a << 8) | b) : ((b << 8) | a)));
        }
        list.encoding = Playlist::Encoding::kWide;
        return text;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        list.encoding = Playlist::Encoding::kUtf8Bom;
        return from_utf8(bytes.substr(3));
    }
    list.encoding = Playlist::Encoding::kUtf8;
    return is_valid_utf8(bytes) ? from_utf8(bytes) : from_cp932(bytes);
}

} // namespace

std::vector<std::u16string> Playlist::paths() const {
    std::vector<std::u16string> out;
    out.reserve(entries.size());
    for (const auto& e : entries)
        out.push_back(e.path);
    return out;
}

void Playlist::set_paths(const std::vector<std::u16string>& paths) {
    std::vector<Entry> old = std::move(entries);
    entries.clear();
    for (const auto& p : paths) {
        Entry e{p, {}};
        const auto it = std::find_if(old.begin(), old.end(), [&](const Entry& o) { return o.path == p; });
        if (it != old.end()) {
            e.before = std::move(it->before);
            old.erase(it);
        }
        entries.push_back(std::move(e));
    }
}

int read_playlist(std::u16string_view path, Playlist& out, int& error) {
    CFileSP file;
    CCharM bytes;
    if (file.read(path, bytes) != 0) {
        error = file.error();
        return -1;
    }
    out = parse_playlist(std::string_view(bytes.view().data(), bytes.view().size()));
    return 0;
}

Playlist parse_playlist(std::string_view bytes) {
    Playlist list;
    const std::u16string text = decode(bytes, list);
    list.crlf = text.find(u"\r\n") != std::u16string::npos || text.find(u'\n') == std::u16string::npos;
    std::vector<std::u16string> pending;
    bool first = true;
    for (std::u16string_view line : text_lines(text)) {
        if (first && line.starts_with(u"#EXTM3U")) {
            list.extended = true;
            first = false;
            continue;
        }
        first = false;
        if (line.empty()) continue;
        if (line.starts_with(u'#')) {
            pending.emplace_back(line);
            continue;
        }
        list.entries.push_back({std::u16string(line), std::move(pending)});
        pending.clear();
    }
    list.trailer = std::move(pending);
    return list;
}

std::u16string playlist_text(const Playlist& playlist) {
    const std::u16string_view eol = playlist.crlf ? u"\r\n" : u"\n";
    std::u16string text;
    if (playlist.extended) text.append(u"#EXTM3U").append(eol);
    for (const auto& e : playlist.entries) {
        for (const auto& b : e.before)
            text.append(b).append(eol);
        text.append(e.path).append(eol);
    }
    for (const auto& t : playlist.trailer)
        text.append(t).append(eol);
    return text;
}

int write_playlist(std::u16string_view path, const Playlist& playlist, int policy, int& error) {
    CFileSP file;
    const std::u16string text = playlist_text(playlist);
    int result = 0;
    if (playlist.encoding == Playlist::Encoding::kWide) {
        result = file.write_wide_text(path, text, policy);
    } else {
        const std::string bom = playlist.encoding == Playlist::Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "";
        result = file.write(path, bom, to_utf8(text), {}, policy);
    }
    if (result != 0) error = file.error();
    return result == 0 ? 0 : -1;
}

int list_playlists(std::u16string_view folder, std::vector<std::u16string>& names) {
    names.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(to_fs_path(folder), ec);
    if (ec) return -1;
    for (std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const std::u16string name = from_fs_path(it->path().filename());
        if (name.size() > 4 && ascii_equal_nocase(std::u16string_view(name).substr(name.size() - 4), u".m3u"))
            names.push_back(name.substr(0, name.size() - 4));
    }
    std::sort(names.begin(), names.end());
    return 0;
}

std::vector<std::u16string> split_bars(std::u16string_view text) {
    std::vector<std::u16string> parts;
    while (true) {
        const size_t bar = text.find(u'|');
        if (bar != 0 && !text.empty()) parts.emplace_back(text.substr(0, bar));
        if (bar == std::u16string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    return parts;
}

std::vector<std::u16string> expand_tail_markers(std::u16string_view markers, std::u16string_view id_prefixes) {
    std::vector<std::u16string> out;
    const std::vector<std::u16string> prefixes = split_bars(id_prefixes);
    for (const auto& m : split_bars(markers)) {
        const size_t at = m.find(u"<ID>");
        if (at == std::u16string::npos) {
            out.push_back(m);
            continue;
        }
        for (const auto& p : prefixes)
            out.push_back(m.substr(0, at) + p + m.substr(at + 4));
    }
    return out;
}

std::vector<std::u16string> display_names(const std::vector<std::u16string>& paths,
                                          const std::vector<std::u16string>& separators,
                                          const std::vector<std::u16string>& tail_markers) {
    std::vector<std::u16string> names;
    names.reserve(paths.size());
    for (const auto& p : paths)
        names.push_back(from_fs_path(to_fs_path(p).stem()));
    std::u16string series;
    if (!names.empty())
        for (const auto& s : separators)
            if (const size_t at = names.front().find(s); at != std::u16string::npos) {
                series = names.front().substr(0, at);
                break;
            }
    for (auto& name : names) {
        if (!series.empty()) {
            if (name.starts_with(series + u" ") && name.size() > series.size() + 1)
                name.erase(0, series.size() + 1);
            else if (name.starts_with(series) && name.size() > series.size())
                name.erase(0, series.size());
        }
        for (const auto& marker : tail_markers) {
            const size_t at = name.rfind(marker);
            if (at == std::u16string::npos) continue;
            if (at > 0) name.erase(at);
            break;
        }
    }
    return names;
}

SaveButton save_button(std::u16string_view name, std::u16string_view loaded, bool rows_changed, bool exists_already) {
    using A = SaveButton::Action;
    if (!plain_name(name)) return {u"空白", A::kNone};
    if (!loaded.empty() && name == loaded)
        return rows_changed ? SaveButton{u"上書保存", A::kOverwrite} : SaveButton{u"変更なし", A::kNone};
    if (exists_already) return {u"名前重複", A::kNone};
    // With nothing loaded there is no file to rename: the rows can only be saved as a new playlist.
    if (!rows_changed && !loaded.empty()) return {u"リネーム", A::kRename};
    return {u"新規保存", A::kSaveNew};
}

std::u16string memo_path(std::u16string_view memo_folder, std::u16string_view name) {
    return resolve_in_home(std::u16string(memo_folder) + u"/" + std::u16string(name) + u".txt");
}

int rename_playlist(std::u16string_view folder, std::u16string_view from, std::u16string_view to,
                    std::u16string_view memo_folder, std::vector<std::u16string>& log) {
    if (!plain_name(from) || !plain_name(to)) return -1;
    const std::u16string base = std::u16string(folder) + u"/";
    if (rename_no_replace(base + std::u16string(from) + u".m3u", base + std::u16string(to) + u".m3u") != 0) return -1;
    const std::u16string old_memo = memo_path(memo_folder, from), new_memo = memo_path(memo_folder, to);
    if (exists(new_memo))
        log.push_back(std::u16string(to) + std::u16string(message_text(msg::kMemoNotRenamed)));
    else if (exists(old_memo))
        rename_no_replace(old_memo, new_memo);
    return 0;
}

int delete_playlist(std::u16string_view path, std::vector<std::u16string>& log) {
    if (!exists(path)) {
        log.push_back(std::u16string(path) + std::u16string(message_text(msg::kPathMissing)));
        return -1;
    }
    if (move_to_trash(path) != 0) {
        log.push_back(std::u16string(path) + std::u16string(message_text(msg::kDeleteFailed)));
        return -1;
    }
    return 0;
}

std::u16string memo_caption(std::u16string_view memo_folder, std::u16string_view loaded) {
    if (loaded.empty()) return u"空白";
    return exists(memo_path(memo_folder, loaded)) ? u"メモ／既存" : u"メモ／新規";
}

} // namespace quippet
