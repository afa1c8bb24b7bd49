#include "lists/BookmarkMenu.h"

#include <string>

#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

struct Word {
    BmCommand command;
    std::u16string_view word;
};
constexpr Word kWords[] = {
    {BmCommand::kRegister, u"register"},
    {BmCommand::kEdit, u"edit"},
    {BmCommand::kNewFolder, u"new-folder"},
    {BmCommand::kRename, u"rename"},
    {BmCommand::kDelete, u"delete"},
    {BmCommand::kCheckAll, u"check-all"},
    {BmCommand::kUncheckAll, u"uncheck-all"},
    {BmCommand::kUpdateCheck, u"update-check"},
    {BmCommand::kAnime, u"anime"},
    {BmCommand::kReload, u"reload"},
    {BmCommand::kExpandAll, u"expand-all"},
    {BmCommand::kCollapseAll, u"collapse-all"},
    {BmCommand::kOpenFolder, u"open-folder"},
    {BmCommand::kCopyTarget, u"copy-target"},
};

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\u3000'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\u3000' || s.back() == u'\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::u16string_view bm_command_word(BmCommand command) {
    for (const Word& w : kWords)
        if (w.command == command) return w.word;
    return u"-";
}

bool bm_command_of(std::u16string_view word, BmCommand& out) {
    for (const Word& w : kWords)
        if (ascii_equal_nocase(w.word, word)) {
            out = w.command;
            return true;
        }
    return false;
}

BmMenu parse_bookmark_menu(std::u16string_view text, std::u16string_view file_label) {
    BmMenu menu;
    int line_number = 0;
    // A menu longer than this is no menu; the rest of such a file is not read.
    constexpr size_t kMaxEntries = 200;
    for (std::u16string_view raw : split_view(text, u'\n')) {
        ++line_number;
        const std::u16string_view line = trim(raw);
        if (line.empty() || line.starts_with(u"//")) continue;
        if (menu.entries.size() >= kMaxEntries) break;
        if (line == u"-") {
            if (!menu.entries.empty() && menu.entries.back().command != BmCommand::kSeparator)
                menu.entries.push_back({});
            continue;
        }
        const size_t tab = line.find(u'\t');
        BmCommand command{};
        if (tab == std::u16string_view::npos || !bm_command_of(trim(line.substr(tab + 1)), command)) {
            menu.log.push_back(std::u16string(file_label) + u" の" + from_utf8(std::to_string(line_number)) +
                               std::u16string(message_text(msg::kBmMenuUnknown)) + std::u16string(line));
            continue;
        }
        const std::u16string_view label = trim(line.substr(0, tab));
        menu.entries.push_back({std::u16string(label.substr(0, 200)), command});
    }
    while (!menu.entries.empty() && menu.entries.back().command == BmCommand::kSeparator)
        menu.entries.pop_back();
    return menu;
}

const std::u16string& default_bookmark_menu_text() {
    static const std::u16string text = crlf_lines({
        u"// ブックマークツリーの右クリックメニュー：表示する名前、タブ、コマンド。「-」の行は区切り線。",
        u"// コマンド：register edit new-folder rename delete check-all uncheck-all update-check anime reload",
        u"//           expand-all collapse-all open-folder copy-target",
        u"リストに登録\tregister",
        u"ブックマークの追加／編集...\tedit",
        u"-",
        u"新しいフォルダ\tnew-folder",
        u"名前の変更\trename",
        u"削除\tdelete",
        u"-",
        u"すべてチェック\tcheck-all",
        u"すべてのチェックを外す\tuncheck-all",
        u"更新チェック\tupdate-check",
        u"-",
        u"今期アニメの追加...\tanime",
        u"-",
        u"すべて展開\texpand-all",
        u"すべて折りたたむ\tcollapse-all",
        u"フォルダを開く\topen-folder",
        u"URL・パスをコピー\tcopy-target",
        u"-",
        u"設定ファイルから再読込\treload",
    });
    return text;
}

} // namespace quippet
