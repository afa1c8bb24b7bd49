#include "cli/BookmarksCommand.h"

#include <ostream>

#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/TerminalRegisterReport.h"
#include "download/DownloadList.h"
#include "download/DownloadTabKeys.h"
#include "download/ListFile.h"
#include "lists/BookmarkUpdate.h"
#include "lists/ListsTextFiles.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quippet bookmarks [--set SECTION/KEY=VALUE]... list\n"
    "       quippet bookmarks [--set SECTION/KEY=VALUE]... check [--folder DIR] [--save FILE]\n"
    "list prints the bookmark tree as depth<TAB>[x] or [ ]<TAB>label<TAB>target<TAB>options; check runs the\n"
    "update check over the checked bookmarks and prints the rows added\n"
    "(ID<TAB>save name<TAB>folder<TAB>comments<TAB>posted<TAB>views); --save writes them as a list file.\n";

int usage(std::ostream& err, const std::string& reason) {
    err << "quippet bookmarks: " << reason << '\n' << kUsage;
    return kExitUsage;
}

} // namespace

int run_bookmarks_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    CSettings settings;
    std::string error;
    if (load_command_settings(args, settings, error) != kExitOk) return usage(err, error);
    if (args.empty()) return usage(err, "list or check?");
    const std::string what = args[0];
    std::u16string folder = settings.text(DlText::kFolder);
    std::u16string save;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--folder" && i + 1 < args.size())
            folder = from_utf8(args[++i]);
        else if (args[i] == "--save" && i + 1 < args.size())
            save = from_utf8(args[++i]);
        else
            return usage(err, "unknown argument " + args[i]);
    }

    CBookmarkTree tree;
    BookmarkEditorSettings es;
    es.tree_path = bookmark_tree_path(settings);
    es.saved_lists_folder = resolve_in_home(settings.text(OptText::kDownloadListFolder));
    // The command reads the tree; only the window edits it. A new home gets the default tree first, as
    // every settings file is created when missing.
    ensure_file_exists(es.tree_path, default_bookmark_tree_text(), [](std::u16string_view) {});
    CBookmarkEditor editor(tree, es, [&err](std::u16string_view line) { err << to_utf8(line) << '\n'; });
    if (editor.load() < 0) {
        err << "quippet bookmarks: cannot read " << to_utf8(es.tree_path) << '\n';
        return kExitFailures;
    }
    if (what == "list") {
        tree.for_each([&out](BookmarkNode& n) {
            out << n.depth() << '\t' << (n.checked() ? "[x]" : "[ ]") << '\t' << to_utf8(n.label) << '\t'
                << to_utf8(n.target) << '\t' << to_utf8(n.options) << '\n';
        });
        return kExitOk;
    }
    if (what != "check") return usage(err, "list or check?");
    TerminalRegisterReport report(err, settings.on(OptSwitch::kDebugMode));
    CListDownload list;
    const std::u16string rows_folder =
        folder_with_slash(resolve_in_home(folder.empty() ? std::u16string(u"download") : folder));
    const UpdateTally tally = run_bookmark_update_check(settings, editor.update_items(), list, rows_folder, report);
    for (const DownloadRow& row : list.rows())
        out << to_utf8(row.id()) << '\t' << to_utf8(row.cells[dlcol::kSaveName]) << '\t'
            << to_utf8(row.cells[dlcol::kFolder]) << '\t' << to_utf8(row.cells[dlcol::kComments]) << '\t'
            << to_utf8(row.cells[dlcol::kPosted]) << '\t' << to_utf8(row.cells[dlcol::kViews]) << '\n';
    if (!save.empty()) {
        int code = 0;
        if (save_list_file(resolve_in_home(save), list, ListSaveForm::kFullWithState, code) != 0) {
            err << "quippet bookmarks: cannot save " << to_utf8(save) << '\n';
            return kExitFailures;
        }
    }
    return tally.stopped ? kExitStopped : kExitOk;
}

} // namespace quippet::cli
