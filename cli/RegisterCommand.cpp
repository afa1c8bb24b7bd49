#include "cli/RegisterCommand.h"

#include "cli/TerminalRegisterReport.h"
#include <filesystem>
#include <ostream>

#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/TerminalRegisterReport.h"
#include "download/DownloadHistory.h"
#include "download/DownloadPacing.h"
#include "download/DownloadTabKeys.h"
#include "download/DownloadTextFiles.h"
#include "download/ListFile.h"
#include "download/PageRegistration.h"
#include "lists/PlayHistory.h"
#include "net/MovieInfo.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet::cli {
namespace {

constexpr const char* kRegisterUsage =
    "Usage: quippet register [--set SECTION/KEY=VALUE]... [--folder DIR] [--save FILE]\n"
    "                        [--form 完全＋状態|パス＋情報|パスのみ|IDのみ] INPUT...\n"
    "Registers each INPUT into a download list as the download tab does: video IDs and texts holding them,\n"
    "addresses (their pages walked), list files, folders of comment files, history selections such as\n"
    "\"<最近動画をDLした一覧>\", and search words. Prints the rows added as\n"
    "ID<TAB>save name<TAB>folder<TAB>comments<TAB>posted<TAB>views; --save writes the list in the form\n"
    "(default 完全＋状態). Exit 1 when an input could not be registered.\n";

constexpr const char* kSearchUsage =
    "Usage: quippet search [--set SECTION/KEY=VALUE]... [--method LABEL] [--start-page N] [--pages N]\n"
    "                      [--folder DIR] [--save FILE] [--form FORM] WORDS...\n"
    "Walks the search pages of the words (joined by blanks) with the search order LABEL of\n"
    "\"設定：検索の並び順.txt\" (default: the tab's choice) and registers their videos. Prints the rows added\n"
    "as the register command does; exit 1 when the search failed.\n";

constexpr const char* kSerialUsage =
    "Usage: quippet serial --from N --to M [--set SECTION/KEY=VALUE]... [--folder DIR] [--save FILE]\n"
    "                      [--form FORM]\n"
    "Registers sm<N> … sm<M> (at most 10000 rows) into a download list, each as DIR/sm<n>.xml, and prints\n"
    "the rows added.\n";

struct Common {
    CSettings settings;
    std::u16string folder;
    std::u16string save;
    ListSaveForm form = ListSaveForm::kFullWithState;
    std::vector<std::string> rest;
};

int usage(std::ostream& err, const char* command, const std::string& reason, const char* text) {
    err << "quippet " << command << ": " << reason << '\n' << text;
    return kExitUsage;
}

std::optional<long long> number_arg(const std::string& s) {
    if (s.empty() || s.size() > 12) return std::nullopt;
    return ascii_decimal(from_utf8(s), 12);
}

/// Settings, --set, the service root, and the options every registration command takes.
int parse_common(const std::vector<std::string>& given, Common& c, std::string& error) {
    std::vector<std::string> args = given;
    if (load_command_settings(args, c.settings, error) != kExitOk) return kExitUsage;
    c.folder = c.settings.text(DlText::kFolder);
    if (!CommandArgs()
             .text("--folder", c.folder)
             .text("--save", c.save)
             .value("--form",
                    [&c](const std::string& label, std::string& problem) {
                        const int form = list_save_form_of(from_utf8(label));
                        if (form < 0) {
                            problem = "--form takes 完全＋状態, パス＋情報, パスのみ or IDのみ";
                            return false;
                        }
                        c.form = static_cast<ListSaveForm>(form);
                        return true;
                    })
             .pass_unknown()
             .parse(args, c.rest, error))
        return kExitUsage;
    c.folder = folder_with_slash(resolve_in_home(c.folder.empty() ? std::u16string(u"download") : c.folder));
    return kExitOk;
}

/// The registration's context over the command's list, with the information of new rows fetched from the
/// thumbnail-info API after the API's pause.
struct Job {
    CListDownload list;
    TerminalRegisterReport report;
    InfoOptions info;
    DownloadPacer pacer;
    RegisterContext ctx;
    std::optional<IdPatternFile> patterns;
    PageCounter pages;

    Job(const Common& c, std::ostream& err)
        : report(err, c.settings.on(OptSwitch::kDebugMode)), info(info_options_from(c.settings)),
          pacer(c.settings.number(OptNumber::kDownloadWait), c.settings.number(OptNumber::kThumbApiInterval), false,
                c.settings.on(OptSwitch::kDebugMode)) {
        fill_register_context(ctx, c.settings);
        ctx.list = &list;
        ctx.report = &report;
        ctx.folder = c.folder;
        ctx.pacer = &pacer;
        ctx.fetch_info = [this](std::u16string_view, CWorkMovieInfo& movie) {
            int code = 0;
            return fetch_api_info(movie, u"", info, nullptr, report, code) == 0 && !movie.title.empty();
        };
        patterns = load_id_patterns(c.settings);
        for (const auto& problem : patterns ? patterns->problems : std::vector<std::u16string>{})
            report.log(std::u16string(message_text(msg::kPatternProblem)) + problem);
    }
    const IdPatternFile* pattern_file() const { return patterns ? &*patterns : nullptr; }

    WalkOptions walk_options(const CSettings& s) const {
        WalkOptions o;
        o.start_page_on = s.on(DlSwitch::kSearchStartPage);
        o.start_page = s.number(DlNumber::kStartPage);
        o.page_limit_on = s.on(DlSwitch::kPageLimit);
        o.page_limit = s.number(DlNumber::kPageLimit);
        o.base_wait = s.number(OptNumber::kDownloadWait);
        o.thumbnails_shown = s.on(DlSwitch::kShowThumbnails);
        return o;
    }
};

int register_list_file(Job& job, const std::u16string& path) {
    CFileSP file;
    CCharW text;
    if (file.read_settings_text(path, text) != 0) {
        job.report.log(std::u16string(message_text(msg::kListUnreadable)) + path + u" : " +
                       std::u16string(message_text(file.error())));
        return -1;
    }
    ListFileContents contents = read_list_text(text.view(), job.ctx.folder);
    for (int line : contents.bad_lines)
        job.report.log(path + u" " + decimal_text(line) + std::u16string(message_text(msg::kListLineSkipped)));
    const IdSettings ids = job.ctx.ids;
    const IdOfName id_of = [ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); };
    if (contents.full_rows) return register_rows(job.list, std::move(contents.rows), id_of);
    std::vector<std::u16string> no_id;
    const int added = register_paths(job.list, contents.paths, id_of, &no_id);
    for (const auto& p : no_id)
        job.report.log(std::u16string(message_text(msg::kNoIdInLine)) + p);
    return no_id.empty() && contents.bad_lines.empty() ? added : -1;
}

int register_folder(Job& job, const std::u16string& folder) {
    std::vector<SavedPath> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(to_fs_path(folder), ec)) {
        if (!entry.is_regular_file(ec) || entry.path().extension() != ".xml") continue;
        SavedPath p;
        p.folder = folder_with_slash(from_fs_path(entry.path().parent_path()));
        p.name = from_fs_path(entry.path().stem());
        p.path = from_fs_path(entry.path());
        paths.push_back(std::move(p));
    }
    std::sort(paths.begin(), paths.end(), [](const SavedPath& a, const SavedPath& b) { return a.path < b.path; });
    const IdSettings ids = job.ctx.ids;
    return register_paths(job.list, paths,
                          [ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); });
}

int register_history(Job& job, const CSettings& settings, std::u16string_view name) {
    bool known = false;
    std::vector<DownloadRow> rows = download_selection_rows(settings, name, known);
    return known ? register_rows(job.list, std::move(rows), {}) : -1;
}

/// "<最近再生した動画の一覧>": the played videos, newest first, that are still there.
int register_played(Job& job, const CSettings& settings) {
    std::vector<SavedPath> paths;
    for (const auto& video : recently_played(play_history_path(settings))) {
        const auto path = to_fs_path(video);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        SavedPath p;
        p.folder = folder_with_slash(from_fs_path(path.parent_path()));
        p.name = from_fs_path(path.stem());
        p.path = video;
        paths.push_back(std::move(p));
    }
    const IdSettings ids = job.ctx.ids;
    return register_paths(job.list, paths,
                          [ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); });
}

void print_rows(const CListDownload& list, int from, std::ostream& out) {
    for (int r = from; r < list.row_count(); ++r) {
        const DownloadRow& row = list.row(r);
        out << to_utf8(row.id()) << '\t' << to_utf8(row.cells[dlcol::kSaveName]) << '\t'
            << to_utf8(row.cells[dlcol::kFolder]) << '\t' << to_utf8(row.cells[dlcol::kComments]) << '\t'
            << to_utf8(row.cells[dlcol::kPosted]) << '\t' << to_utf8(row.cells[dlcol::kViews]) << '\n';
    }
}

int finish(Job& job, const Common& c, std::ostream& out, int failures) {
    print_rows(job.list, 0, out);
    job.report.log(decimal_text(job.list.row_count()) + std::u16string(message_text(msg::kRowsRegistered)));
    if (!c.save.empty()) {
        int code = 0;
        if (save_list_file(resolve_in_home(c.save), job.list, c.form, code) != 0) {
            job.report.log(c.save + u" : " + std::u16string(message_text(code)));
            return kExitFailures;
        }
    }
    return failures ? kExitFailures : kExitOk;
}

std::vector<SearchMethod> methods_of(const CSettings& settings) {
    std::vector<SearchMethod> methods = load_search_methods(settings);
    // The fixed addresses of the file (tag and channel searches) follow the run's service root as the
    // settings' addresses do.
    if (!service_root().empty())
        for (auto& m : methods)
            m.front = rebase_url(m.front, service_root());
    return methods;
}

int search_words_of(Job& job, const CSettings& settings, std::u16string_view words, const std::u16string& label,
                    const WalkOptions& options) {
    const std::vector<SearchMethod> methods = methods_of(settings);
    const SearchMethod* method = nullptr;
    if (label.empty()) {
        const int index = settings.number(DlNumber::kSearchMethod);
        method = index >= 0 && static_cast<size_t>(index) < methods.size() ? &methods[static_cast<size_t>(index)]
                                                                           : &methods.front();
    } else {
        for (const auto& m : methods)
            if (m.label == label) method = &m;
        if (!method) {
            job.report.log(std::u16string(message_text(msg::kSearchMethodMissing)) + label);
            return -1;
        }
    }
    const WalkResult w = register_search(job.ctx, job.pattern_file(), *method, words, options, job.pages);
    return w.result == kPageFetchFailed || w.result == kPageRefused ? -1 : 0;
}

/// Every input registered as the input box would; the number of inputs that failed.
int register_each(Job& job, const Common& c, const std::vector<std::string>& inputs) {
    int failures = 0;
    for (const auto& arg : inputs) {
        const std::u16string input = from_utf8(arg);
        const InputClass kind = classify_input(input, job.ctx.ids);
        job.report.log(kind.label + u"：" + input);
        int result = 0;
        switch (kind.kind) {
        case InputKind::kSpecial:
            if (kind.variant == 2) {
                result = register_history(job, c.settings, input.substr(0, input.find(u"\r\n")));
            } else if (kind.variant == 1) {
                result = register_played(job, c.settings);
            } else {
                job.report.log(input + u" : " + std::u16string(message_text(137)));
                result = -1;
            }
            break;
        case InputKind::kFolder:
            result = register_folder(job, input);
            break;
        case InputKind::kFile:
            if (kind.label == u"ファイル") {
                const auto path = to_fs_path(input);
                SavedPath p;
                p.folder = folder_with_slash(from_fs_path(path.parent_path()));
                p.name = from_fs_path(path.stem());
                p.path = input;
                const IdSettings ids = job.ctx.ids;
                std::vector<std::u16string> no_id;
                result = register_paths(
                    job.list, {p}, [ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); },
                    &no_id);
                if (!no_id.empty()) {
                    job.report.log(std::u16string(message_text(msg::kNoIdInLine)) + input);
                    result = -1;
                }
            } else {
                result = register_list_file(job, input);
            }
            break;
        case InputKind::kId: {
            std::vector<std::u16string> ids;
            if (looks_like_address(input)) {
                ids.push_back(kind.id);
            } else if (extract_ids(input, ids, kIdModeInput, job.ctx.ids) < 0) {
                ids.push_back(kind.id);
            }
            if (register_id_rows(job.ctx, ids) == -2) result = -1;
            break;
        }
        case InputKind::kUrl: {
            const WalkResult w =
                register_from_address(job.ctx, job.pattern_file(), input, job.walk_options(c.settings), job.pages);
            if (w.result == kPageFetchFailed || w.result == kPageRefused) result = -1;
            break;
        }
        case InputKind::kSearchWords:
            result = search_words_of(job, c.settings, input, {}, job.walk_options(c.settings));
            break;
        case InputKind::kBlank:
            break;
        }
        if (result < 0) ++failures;
    }
    return failures;
}

} // namespace

int register_inputs(const CSettings& settings, std::u16string_view folder, const std::vector<std::string>& inputs,
                    const std::vector<std::string>& search_words, CListDownload& list, std::ostream& err) {
    Common c;
    c.settings = settings;
    c.folder =
        folder_with_slash(resolve_in_home(folder.empty() ? std::u16string(u"download") : std::u16string(folder)));
    Job job(c, err);
    int failures = register_each(job, c, inputs);
    for (const auto& words : search_words)
        if (search_words_of(job, c.settings, from_utf8(words), {}, job.walk_options(c.settings)) < 0) ++failures;
    list = job.list;
    return failures;
}

int run_register_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kRegisterUsage;
        return kExitOk;
    }
    Common c;
    std::string error;
    if (parse_common(args, c, error) != kExitOk) return usage(err, "register", error, kRegisterUsage);
    if (c.rest.empty()) return usage(err, "register", "nothing to register", kRegisterUsage);
    for (const auto& a : c.rest)
        if (a.starts_with("--")) return usage(err, "register", "unknown argument " + a, kRegisterUsage);
    Job job(c, err);
    const int failures = register_each(job, c, c.rest);
    return finish(job, c, out, failures);
}

int run_search_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kSearchUsage;
        return kExitOk;
    }
    Common c;
    std::string error;
    if (parse_common(args, c, error) != kExitOk) return usage(err, "search", error, kSearchUsage);
    std::u16string label;
    std::optional<long long> start, pages;
    auto page_number = [](std::optional<long long>& target, const char* problem) {
        return [&target, problem](const std::string& v, std::string& why) {
            target = number_arg(v);
            if (target && *target >= 1) return true;
            why = problem;
            return false;
        };
    };
    std::vector<std::string> word_args;
    if (!CommandArgs()
             .text("--method", label)
             .value("--start-page", page_number(start, "--start-page needs a number from 1"))
             .value("--pages", page_number(pages, "--pages needs a number from 1"))
             .parse(c.rest, word_args, error))
        return usage(err, "search", error, kSearchUsage);
    std::u16string words;
    for (const auto& a : word_args) {
        if (!words.empty()) words += u' ';
        words += from_utf8(a);
    }
    if (words.empty()) return usage(err, "search", "no search words", kSearchUsage);
    Job job(c, err);
    WalkOptions options = job.walk_options(c.settings);
    if (start) {
        options.start_page_on = true;
        options.start_page = *start;
    }
    if (pages) {
        options.page_limit_on = true;
        options.page_limit = *pages;
    }
    const int result = search_words_of(job, c.settings, words, label, options);
    return finish(job, c, out, result < 0 ? 1 : 0);
}

int run_serial_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args.front() == "--help") {
        out << kSerialUsage;
        return kExitOk;
    }
    Common c;
    std::string error;
    if (parse_common(args, c, error) != kExitOk) return usage(err, "serial", error, kSerialUsage);
    std::optional<long long> from, to;
    auto serial_number = [](std::optional<long long>& target) {
        return [&target](const std::string& v, std::string&) {
            target = number_arg(v);
            return true;
        };
    };
    std::vector<std::string> none;
    // Anything else, an input included, is refused as it comes.
    if (!CommandArgs("")
             .value("--from", serial_number(from))
             .value("--to", serial_number(to))
             .parse(c.rest, none, error))
        return usage(err, "serial", error, kSerialUsage);
    auto in_range = [](const std::optional<long long>& n) { return n && *n >= 1 && *n <= 999'999'999; };
    if (!in_range(from) || !in_range(to))
        return usage(err, "serial", "--from and --to need numbers from 1 to 999999999", kSerialUsage);
    Job job(c, err);
    const SerialResult r = register_serial(job.list, *from, *to, c.folder, job.ctx.ids);
    if (!r.refusal.empty()) {
        job.report.log(r.refusal);
        return kExitFailures;
    }
    return finish(job, c, out, 0);
}

} // namespace quippet::cli
