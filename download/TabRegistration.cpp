#include "download/TabRegistration.h"

#include <algorithm>
#include <filesystem>

#include "download/DownloadHistory.h"
#include "download/DownloadTabKeys.h"
#include "download/DownloadTextFiles.h"
#include "download/ListFile.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

std::u16string text_of(int id) {
    return std::u16string(message_text(id));
}

IdOfName id_of_names(const IdSettings& ids) {
    return [ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); };
}

SavedPath saved_path_of(const std::filesystem::path& file, std::u16string_view as_given) {
    SavedPath p;
    p.folder = folder_with_slash(from_fs_path(file.parent_path()));
    p.name = from_fs_path(file.stem());
    p.path = std::u16string(as_given);
    return p;
}

std::vector<std::u16string> split_extensions(std::u16string_view text) {
    std::vector<std::u16string> out;
    std::u16string piece;
    for (char16_t c : text) {
        if (c == u'|' || c == u' ' || c == u',' || c == u';') {
            if (!piece.empty()) out.push_back(std::move(piece));
            piece.clear();
        } else if (c != u'.' || !piece.empty()) {
            piece += c;
        }
    }
    if (!piece.empty()) out.push_back(std::move(piece));
    return out;
}

} // namespace

CTabRegistration::CTabRegistration(const CSettings& settings, CListDownload& list, RegisterReport& report,
                                   std::u16string_view folder)
    : settings_(settings), list_(list), report_(report), info_(info_options_from(settings)),
      pacer_(settings.number(OptNumber::kDownloadWait), settings.number(OptNumber::kThumbApiInterval), false,
             settings.on(OptSwitch::kDebugMode)) {
    fill_register_context(ctx_, settings_);
    ctx_.list = &list_;
    ctx_.report = &report_;
    ctx_.folder = folder_with_slash(resolve_in_home(folder.empty() ? std::u16string_view(u"download") : folder));
    ctx_.pacer = &pacer_;
    ctx_.fetch_info = [this](std::u16string_view, CWorkMovieInfo& movie) {
        int code = 0;
        return fetch_api_info(movie, u"", info_, nullptr, report_, code) == 0 && !movie.title.empty();
    };
    patterns_ = load_id_patterns(settings_);
    if (patterns_)
        for (const auto& problem : patterns_->problems)
            report_.log(text_of(msg::kPatternProblem) + problem);
}

WalkOptions CTabRegistration::walk_options() const {
    WalkOptions o;
    o.start_page_on = settings_.on(DlSwitch::kSearchStartPage);
    o.start_page = settings_.number(DlNumber::kStartPage);
    o.page_limit_on = settings_.on(DlSwitch::kPageLimit);
    o.page_limit = settings_.number(DlNumber::kPageLimit);
    if (page_limit_) {
        o.page_limit_on = *page_limit_ > 0;
        o.page_limit = *page_limit_;
    }
    o.base_wait = settings_.number(OptNumber::kDownloadWait);
    o.thumbnails_shown = settings_.on(DlSwitch::kShowThumbnails);
    return o;
}

int CTabRegistration::register_input(std::u16string_view input) {
    const InputClass kind = classify_input(input, ctx_.ids);
    switch (kind.kind) {
    case InputKind::kSpecial: {
        const std::u16string_view first = input.substr(0, input.find(u"\r\n"));
        if (kind.variant == 2) return register_history(history_selection_of(first));
        if (kind.variant == 1) return register_played();
        // The saved lists are the bookmark tree's to show; as input they name nothing to register.
        report_.log(std::u16string(input) + u" : " + text_of(137));
        return -1;
    }
    case InputKind::kFolder:
        return register_folder(input);
    case InputKind::kFile:
        return register_one_file(input);
    case InputKind::kId: {
        std::vector<std::u16string> ids;
        if (looks_like_address(input) || extract_ids(input, ids, kIdModeInput, ctx_.ids) < 0) ids.assign(1, kind.id);
        return register_id_rows(ctx_, ids) == -2 ? -1 : 0;
    }
    case InputKind::kUrl:
        return register_address(input);
    case InputKind::kSearchWords:
        return register_search(input);
    case InputKind::kBlank:
        return 0;
    }
    return 0;
}

int CTabRegistration::register_search(std::u16string_view words, int method) {
    std::vector<SearchMethod> methods = load_search_methods(settings_);
    // The fixed addresses of the file (tag and channel searches) follow the run's service root as the
    // settings' addresses do.
    if (!service_root().empty())
        for (auto& m : methods)
            m.front = rebase_url(m.front, service_root());
    if (methods.empty()) return -1;
    if (method < 0) method = settings_.number(DlNumber::kSearchMethod);
    const SearchMethod& m = method >= 0 && static_cast<size_t>(method) < methods.size()
                                ? methods[static_cast<size_t>(method)]
                                : methods.front();
    const WalkResult w = quippet::register_search(ctx_, patterns(), m, words, walk_options(), pages_);
    return w.result == kPageFetchFailed || w.result == kPageRefused ? -1 : 0;
}

int CTabRegistration::register_address(std::u16string_view address) {
    const WalkResult w = register_from_address(ctx_, patterns(), address, walk_options(), pages_);
    return w.result == kPageFetchFailed || w.result == kPageRefused ? -1 : 0;
}

int CTabRegistration::register_paths(const std::vector<std::u16string>& paths) {
    int failures = 0;
    for (const auto& p : paths) {
        if (report_.stop_requested()) break;
        std::error_code ec;
        const auto fs = to_fs_path(p);
        const int r = std::filesystem::is_directory(fs, ec) ? register_folder(p) : register_one_file(p);
        if (r < 0) ++failures;
    }
    return failures == 0 ? 0 : -1;
}

int CTabRegistration::register_one_file(std::u16string_view path) {
    const auto fs = to_fs_path(path);
    const std::u16string ext = from_fs_path(fs.extension());
    if (ext == u".txt" || ext == u".m3u") return register_list_file(path);
    std::vector<std::u16string> no_id;
    const int added = quippet::register_paths(list_, {saved_path_of(fs, path)}, id_of_names(ctx_.ids), &no_id);
    ctx_.added += added;
    if (!no_id.empty()) {
        report_.log(text_of(msg::kNoIdInLine) + std::u16string(path));
        return -1;
    }
    return 0;
}

int CTabRegistration::register_list_file(std::u16string_view path) {
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) != 0) {
        report_.log(text_of(msg::kListUnreadable) + std::u16string(path) + u" : " + text_of(file.error()));
        return -1;
    }
    ListFileContents contents = read_list_text(text.view(), ctx_.folder);
    // A list of a million broken lines gets a count, not a million log lines.
    constexpr size_t kLoggedBadLines = 20;
    for (size_t i = 0; i < contents.bad_lines.size() && i < kLoggedBadLines; ++i)
        report_.log(std::u16string(path) + u" " + decimal_text(contents.bad_lines[i]) + text_of(msg::kListLineSkipped));
    if (contents.bad_lines.size() > kLoggedBadLines)
        report_.log(std::u16string(path) + u" : " + decimal_text(static_cast<long long>(contents.bad_lines.size())) +
                    text_of(msg::kListLineSkipped));
    int added = 0;
    if (contents.full_rows) {
        added = register_rows(list_, std::move(contents.rows), id_of_names(ctx_.ids));
    } else {
        std::vector<std::u16string> no_id;
        added = quippet::register_paths(list_, contents.paths, id_of_names(ctx_.ids), &no_id);
        for (size_t i = 0; i < no_id.size() && i < kLoggedBadLines; ++i)
            report_.log(text_of(msg::kNoIdInLine) + no_id[i]);
    }
    ctx_.added += added;
    return 0;
}

int CTabRegistration::register_folder(std::u16string_view folder) {
    std::vector<SavedPath> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(to_fs_path(folder), ec)) {
        if (!entry.is_regular_file(ec) || entry.path().extension() != ".xml") continue;
        paths.push_back(saved_path_of(entry.path(), from_fs_path(entry.path())));
    }
    if (ec) {
        report_.log(std::u16string(folder) + u" : " + text_of(msg::kListUnreadable));
        return -1;
    }
    std::sort(paths.begin(), paths.end(), [](const SavedPath& a, const SavedPath& b) { return a.path < b.path; });
    const int added = quippet::register_paths(list_, paths, id_of_names(ctx_.ids));
    ctx_.added += added;
    return 0;
}

int CTabRegistration::register_history(int selection) {
    if (selection < 0 || selection >= kHistorySelectionCount) return -1;
    const std::u16string path = resolve_in_home(settings_.text(OptText::kDownloadHistory));
    CFileSP file;
    CCharW text;
    CDownloadHistory history(settings_.number(OptNumber::kHistoryLines));
    if (file.read_settings_text(path, text) == 0) history.load_text(text.view());
    ctx_.added += register_rows(list_, history_selection_rows(history, static_cast<HistorySelection>(selection)), {});
    return 0;
}

int CTabRegistration::register_snapshot(std::u16string_view name) {
    std::vector<DownloadRow> rows = load_list_snapshot(saved_lists_folder(settings_), name);
    ctx_.added += register_rows(list_, std::move(rows), id_of_names(ctx_.ids));
    return 0;
}

int CTabRegistration::register_played() {
    std::vector<SavedPath> paths;
    const std::vector<std::u16string> played = played_ ? played_() : std::vector<std::u16string>{};
    for (const auto& video : played) {
        const auto path = to_fs_path(video);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        paths.push_back(saved_path_of(path, video));
    }
    ctx_.added += quippet::register_paths(list_, paths, id_of_names(ctx_.ids));
    return 0;
}

int CTabRegistration::register_ids_in(std::u16string_view text) {
    std::vector<std::u16string> ids;
    if (extract_ids(text, ids, kIdModeInput, ctx_.ids) < 0) return 0;
    return register_id_rows(ctx_, ids) == -2 ? -1 : 0;
}

std::u16string saved_lists_folder(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kDownloadListFolder));
}

std::u16string saved_list_path(const CSettings& settings, std::u16string_view name) {
    return saved_lists_folder(settings) + u"/" + std::u16string(name) + u".txt";
}

std::vector<std::u16string> saved_list_names(const CSettings& settings) {
    std::vector<std::u16string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(to_fs_path(saved_lists_folder(settings)), ec)) {
        if (!entry.is_regular_file(ec) || entry.path().extension() != ".txt") continue;
        const std::u16string name = from_fs_path(entry.path().stem());
        // The snapshots are offered under their own names.
        if (name.starts_with(u"[")) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::u16string list_memo_path(const CSettings& settings, std::u16string_view name) {
    return resolve_in_home(settings.text(OptText::kMemoFolder)) + u"/" + std::u16string(name) + u".txt";
}

std::u16string saved_video_of(const CSettings& settings, std::u16string_view folder, std::u16string_view name) {
    const std::u16string base = folder_with_slash(folder) + std::u16string(name) + u".";
    for (const auto& ext : split_extensions(settings.text(OptText::kVideoExtensions))) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(to_fs_path(base + ext), ec)) return base + ext;
    }
    return {};
}

std::u16string watch_address_of(const CSettings& settings, std::u16string_view id) {
    std::u16string base = settings.text(OptText::kWatchPage);
    if (base.empty()) base = u"https://www.nicovideo.jp/watch/";
    if (!base.ends_with(u'/')) base += u'/';
    return base + std::u16string(id);
}

HandOver parse_hand_over(std::u16string_view text) {
    HandOver h;
    enum { kNone, kSearch, kUrl, kAddition, kUnknown } block = kNone;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == u'\r' || line.back() == u'\0'))
            line.remove_suffix(1);
        if (line.starts_with(u"▼")) {
            if (line == u"▼検索オプション")
                block = kSearch;
            else if (line == u"▼URLオプション")
                block = kUrl;
            else if (line == u"▼追加オプション")
                block = kAddition;
            else
                block = kUnknown; // a block of a later version: its lines are no paths or words of ours
            continue;
        }
        if (line.empty()) continue;
        switch (block) {
        case kSearch:
            h.searches.emplace_back(line);
            break;
        case kUrl:
            h.addresses.emplace_back(line);
            break;
        case kAddition:
            if (!h.addition.empty()) h.addition += u' ';
            h.addition += line;
            break;
        case kUnknown:
            break;
        case kNone: {
            // A path of a second start may come quoted.
            if (line.size() >= 2 && line.front() == u'"' && line.back() == u'"') line = line.substr(1, line.size() - 2);
            if (line.starts_with(u'/'))
                h.paths.emplace_back(line);
            else
                h.other.emplace_back(line);
            break;
        }
        }
    }
    return h;
}

} // namespace quippet
