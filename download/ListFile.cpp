#include "download/ListFile.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "text/AppHome.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"

#include <filesystem>

namespace quippet {
namespace {

constexpr std::u16string_view kFormLabels[kListSaveFormCount] = {u"完全＋状態", u"パス＋情報", u"パスのみ", u"IDのみ"};

void replace_all(std::u16string& s, std::u16string_view from, std::u16string_view to) {
    for (size_t at = s.find(from); at != std::u16string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

/// Text the list cannot hold: control characters besides the tab, the replacement character of a failed
/// decoding, a surrogate without its partner.
bool broken(std::u16string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if ((c < 0x20 && c != u'\t') || c == 0x7F || c == 0xFFFD || c == 0xFFFE || c == 0xFFFF) return true;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= line.size() || line[i + 1] < 0xDC00 || line[i + 1] > 0xDFFF) return true;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

std::vector<std::u16string_view> lines_of(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == text.size()) break;
        at = end + 1;
    }
    return lines;
}

bool is_separator(char16_t c) {
    return c == u'/' || c == u'\\';
}

std::u16string name_out(std::u16string name) {
    replace_all(name, u"\\", kBackslashStandIn);
    replace_all(name, u"/", kSlashStandIn);
    return name;
}

std::u16string name_in(std::u16string_view text) {
    std::u16string name(text);
    replace_all(name, kBackslashStandIn, u"\\");
    replace_all(name, kSlashStandIn, u"/");
    // A name read from a list must not reach another folder: what stood for a separator stays a character.
    return path_safe_value(name);
}

} // namespace

std::u16string_view list_save_form_label(ListSaveForm form) {
    const int i = static_cast<int>(form);
    return i >= 0 && i < kListSaveFormCount ? kFormLabels[i] : std::u16string_view();
}

int list_save_form_of(std::u16string_view label) {
    for (int i = 0; i < kListSaveFormCount; ++i)
        if (kFormLabels[i] == label) return i;
    return -1;
}

std::u16string folder_with_slash(std::u16string_view folder) {
    std::u16string f(folder);
    while (f.size() > 1 && is_separator(f.back()) && is_separator(f[f.size() - 2]))
        f.pop_back();
    if (!f.empty() && !is_separator(f.back())) f += u'/';
    return f;
}

std::u16string list_file_text(const CListDownload& list, ListSaveForm form) {
    std::u16string out;
    if (form == ListSaveForm::kFullWithState || form == ListSaveForm::kFullRows) {
        out += u"*\t";
        out += list_save_form_label(form);
        out += u"\r\n";
    }
    for (const DownloadRow& row : list.rows()) {
        switch (form) {
        case ListSaveForm::kFullWithState:
        case ListSaveForm::kFullRows:
            for (const auto& c : row.cells) {
                out += c;
                out += u'\t';
            }
            if (form == ListSaveForm::kFullWithState && row.checked) out += u'1';
            break;
        case ListSaveForm::kPathOnly:
            out += folder_with_slash(row.cells[dlcol::kFolder]);
            out += u'*';
            out += name_out(row.cells[dlcol::kSaveName]);
            break;
        case ListSaveForm::kIdOnly:
            out += row.cells[dlcol::kId];
            break;
        }
        out += u"\r\n";
    }
    return out;
}

int save_list_file(std::u16string_view path, const CListDownload& list, ListSaveForm form, int& code) {
    CFileSP file;
    if (file.write_wide_text(path, list_file_text(list, form), CFileSP::kOverwrite) != 0) {
        code = file.error();
        return -1;
    }
    code = 0;
    return 0;
}

ListFileContents read_list_text(std::u16string_view text, std::u16string_view default_folder) {
    ListFileContents out;
    const auto lines = lines_of(text);
    out.full_rows =
        !lines.empty() && lines[0].size() >= 2 && lines[0][0] == u'*' && (lines[0][1] == u'\t' || lines[0][1] == u' ');
    const std::u16string fallback = folder_with_slash(default_folder);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::u16string_view line = lines[n];
        if (line.empty()) continue;
        if (out.full_rows && n == 0) continue; // the form's own first line
        if (broken(line)) {
            out.bad_lines.push_back(static_cast<int>(n + 1));
            continue;
        }
        if (out.full_rows) {
            DownloadRow row;
            std::u16string_view rest = line;
            int c = 0;
            for (; c < dlcol::kCount; ++c) {
                const size_t tab = rest.find(u'\t');
                if (tab == std::u16string_view::npos) break;
                row.cells[static_cast<size_t>(c)] = rest.substr(0, tab);
                rest = rest.substr(tab + 1);
            }
            if (c < dlcol::kCount) {
                out.bad_lines.push_back(static_cast<int>(n + 1));
                continue;
            }
            row.checked = rest == u"1";
            out.rows.push_back(std::move(row));
            continue;
        }
        SavedPath p;
        std::u16string_view path = line;
        if (const size_t tab = line.find(u'\t'); tab != std::u16string_view::npos) {
            path = line.substr(0, tab);
            p.rest = line.substr(tab + 1);
        }
        if (const size_t star = path.find(u'*'); star != std::u16string_view::npos) {
            const std::u16string_view before = path.substr(0, star);
            p.folder = before.empty() ? fallback : folder_with_slash(before);
            p.name = name_in(path.substr(star + 1));
        } else {
            const size_t sep = path.find_last_of(u"/\\");
            if (sep == std::u16string_view::npos) {
                p.folder = fallback;
                p.name = name_in(path);
            } else {
                p.folder = folder_with_slash(path.substr(0, sep + 1));
                p.name = name_in(path.substr(sep + 1));
            }
        }
        if (p.name.ends_with(u".xml")) p.name.resize(p.name.size() - 4);
        if (p.name.empty()) {
            out.bad_lines.push_back(static_cast<int>(n + 1));
            continue;
        }
        p.path = p.folder + p.name + u".xml";
        out.paths.push_back(std::move(p));
    }
    return out;
}

std::u16string list_snapshot_folder(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kDownloadListFolder));
}

std::u16string list_snapshot_path(std::u16string_view saved_lists_folder, std::u16string_view name) {
    return folder_with_slash(saved_lists_folder) + std::u16string(name) + u".txt";
}

int save_list_snapshot(std::u16string_view saved_lists_folder, std::u16string_view name, const CListDownload& list,
                       int& code) {
    std::error_code ec;
    std::filesystem::create_directories(to_fs_path(saved_lists_folder), ec);
    return save_list_file(list_snapshot_path(saved_lists_folder, name), list, ListSaveForm::kFullWithState, code);
}

std::vector<DownloadRow> load_list_snapshot(std::u16string_view saved_lists_folder, std::u16string_view name) {
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(list_snapshot_path(saved_lists_folder, name), text) != 0) return {};
    ListFileContents contents = read_list_text(text.view(), saved_lists_folder);
    return contents.full_rows ? std::move(contents.rows) : std::vector<DownloadRow>{};
}

int register_rows(CListDownload& list, std::vector<DownloadRow> rows, const IdOfName& id_of) {
    int added = 0;
    for (DownloadRow& row : rows) {
        if (row.cells[dlcol::kId].empty() && id_of) row.cells[dlcol::kId] = id_of(row.cells[dlcol::kSaveName]);
        if (row.cells[dlcol::kId].empty()) continue;
        if (list.add_row(std::move(row)) >= 0) ++added;
    }
    return added;
}

int register_paths(CListDownload& list, const std::vector<SavedPath>& paths, const IdOfName& id_of,
                   std::vector<std::u16string>* no_id) {
    int added = 0;
    for (const SavedPath& p : paths) {
        const std::u16string id = id_of ? id_of(p.name) : std::u16string();
        if (id.empty()) {
            if (no_id) no_id->push_back(p.path);
            continue;
        }
        if (list.has_id(id)) continue;
        DownloadRow row;
        row.cells[dlcol::kMarker] = kRegisteredMarker;
        row.cells[dlcol::kSaveName] = p.name;
        row.cells[dlcol::kFolder] = p.folder;
        row.cells[dlcol::kId] = id;
        row.checked = true;
        if (list.add_row(std::move(row)) >= 0) ++added;
    }
    return added;
}

} // namespace quippet
