#include "text/FolderMacros.h"

#include "text/Ascii.h"

#include <cstdlib>
#include <string_view>

#include "text/Encoding.h"

namespace quippet {
namespace {

/// An XDG folder variable when it holds an absolute path (the XDG rules ignore relative ones), else the
/// home folder + `fallback`.
std::optional<std::u16string> xdg_folder(const char* variable, std::u16string_view fallback) {
    std::u16string folder;
    if (const char* value = std::getenv(variable); value && value[0] == '/') {
        folder = from_utf8(value);
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        folder = from_utf8(home);
        while (!folder.empty() && folder.back() == u'/')
            folder.pop_back();
        folder += fallback;
    } else {
        return std::nullopt;
    }
    // "%APPDATA%/x" must not come out as ".config//x"; the root itself stays "" here and expands to "/x".
    while (!folder.empty() && folder.back() == u'/')
        folder.pop_back();
    return folder;
}

/// Characters that end one path and begin the next in the texts we store: field and alternative separators,
/// line breaks and the quotes around a path in a command line.
bool is_path_delimiter(char16_t c) {
    return c == u'\t' || c == u'|' || c == u'\r' || c == u'\n' || c == u'"';
}

} // namespace

std::optional<std::u16string> roaming_app_data_folder() {
    return xdg_folder("XDG_CONFIG_HOME", u"/.config");
}

std::optional<std::u16string> local_app_data_folder() {
    return xdg_folder("XDG_DATA_HOME", u"/.local/share");
}

int expand_folder_macros(CCharW& path) {
    const std::u16string_view in = path.view();
    if (in.find(u'%') == std::u16string_view::npos) return 0;
    std::optional<std::u16string> roaming, local;
    std::u16string out;
    bool changed = false;
    for (size_t i = 0; i < in.size();) {
        const std::u16string_view rest = in.substr(i);
        const bool is_roaming = ascii_starts_with_nocase(rest, kRoamingMacro);
        if (is_roaming || ascii_starts_with_nocase(rest, kLocalMacro)) {
            auto& folder = is_roaming ? roaming : local;
            if (!folder) folder = is_roaming ? roaming_app_data_folder() : local_app_data_folder();
            if (!folder) return -1;
            out += *folder;
            i += (is_roaming ? kRoamingMacro : kLocalMacro).size();
            changed = true;
        } else {
            out += rest[0];
            ++i;
        }
    }
    if (changed) path.assign(out);
    return 0;
}

int collapse_folder_macros(CCharW& path) {
    const auto roaming = roaming_app_data_folder();
    const auto local = local_app_data_folder();
    if (!roaming || !local) return -1;
    struct Folder {
        std::u16string_view path;
        std::u16string_view macro;
    };
    // Longer first: when the data folder lies inside the config folder (or the other way round), a path in the
    // inner one belongs to that one's macro. Equal folders collapse to the roaming macro.
    Folder folders[] = {{*roaming, kRoamingMacro}, {*local, kLocalMacro}};
    if (folders[1].path.size() > folders[0].path.size()) std::swap(folders[0], folders[1]);

    const std::u16string_view in = path.view();
    std::u16string out;
    bool changed = false;
    for (size_t i = 0; i < in.size();) {
        const std::u16string_view rest = in.substr(i);
        const Folder* hit = nullptr;
        if (i == 0 || is_path_delimiter(in[i - 1])) {
            for (const auto& f : folders) {
                // A folder of "" (the root) would match everywhere; such a setup is left uncollapsed.
                if (f.path.empty() || !rest.starts_with(f.path)) continue;
                const size_t end = f.path.size();
                if (end == rest.size() || rest[end] == u'/' || is_path_delimiter(rest[end])) {
                    hit = &f;
                    break;
                }
            }
        }
        if (hit) {
            out += hit->macro;
            i += hit->path.size();
            changed = true;
        } else {
            out += rest[0];
            ++i;
        }
    }
    if (changed) path.assign(out);
    return 0;
}

} // namespace quippet
