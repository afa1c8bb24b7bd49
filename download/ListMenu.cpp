#include "download/ListMenu.h"

#include "text/Encoding.h"

namespace quippet {
namespace {

std::u16string line_number(size_t n) {
    return u"line " + decimal_text(static_cast<long long>(n)) + u": ";
}

std::u16string_view trim_cr(std::u16string_view line) {
    while (!line.empty() && (line.back() == u'\r' || line.back() == u' '))
        line.remove_suffix(1);
    return line;
}

} // namespace

const std::vector<ListCommandName>& list_commands() {
    static const std::vector<ListCommandName> commands = {
        {ListCommand::kDownload, u"download"},
        {ListCommand::kStop, u"stop"},
        {ListCommand::kRegister, u"register"},
        {ListCommand::kChain, u"chain"},
        {ListCommand::kLogin, u"login"},
        {ListCommand::kPlay, u"play"},
        {ListCommand::kPlayDefault, u"play-default"},
        {ListCommand::kOpenFolder, u"open-folder"},
        {ListCommand::kCopyAddress, u"copy-address"},
        {ListCommand::kCopyId, u"copy-id"},
        {ListCommand::kCopyName, u"copy-name"},
        {ListCommand::kRemoveSelected, u"remove"},
        {ListCommand::kRemoveChecked, u"remove-checked"},
        {ListCommand::kRemoveDone, u"remove-done"},
        {ListCommand::kClear, u"clear"},
        {ListCommand::kCheckSelected, u"check"},
        {ListCommand::kUncheckSelected, u"uncheck"},
        {ListCommand::kCheckAll, u"check-all"},
        {ListCommand::kUncheckAll, u"uncheck-all"},
        {ListCommand::kInvertChecks, u"invert-checks"},
        {ListCommand::kSaveList, u"save-list"},
        {ListCommand::kLoadList, u"load-list"},
        {ListCommand::kOpenMemo, u"memo"},
        {ListCommand::kToReconstruct, u"to-reconstruct"},
        {ListCommand::kRefreshThumbnails, u"thumbnails"},
    };
    return commands;
}

ListMenu parse_list_menu(std::u16string_view text) {
    ListMenu menu;
    int open = 0;
    size_t number = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = trim_cr(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (line.empty() || line.starts_with(u"//")) continue;
        if (line == u"-") {
            menu.entries.push_back({ListMenuEntry::Kind::kSeparator, {}, {}});
            continue;
        }
        if (line.starts_with(u"▼")) {
            menu.entries.push_back({ListMenuEntry::Kind::kSubmenu, std::u16string(line.substr(1)), {}});
            ++open;
            continue;
        }
        if (line == u"▲") {
            if (open == 0) {
                menu.problems.push_back(line_number(number) + u"▲ without ▼");
                continue;
            }
            menu.entries.push_back({ListMenuEntry::Kind::kEnd, {}, {}});
            --open;
            continue;
        }
        const size_t tab = line.find(u'\t');
        const std::u16string_view label = line.substr(0, tab);
        const std::u16string_view name =
            tab == std::u16string_view::npos ? std::u16string_view{} : line.substr(tab + 1);
        bool found = false;
        for (const ListCommandName& c : list_commands())
            if (c.name == name) {
                menu.entries.push_back({ListMenuEntry::Kind::kItem, std::u16string(label), c.command});
                found = true;
                break;
            }
        if (!found) menu.problems.push_back(line_number(number) + std::u16string(line));
    }
    // A submenu left open at the end closes there, so that the entries after it cannot fall into it.
    for (; open > 0; --open)
        menu.entries.push_back({ListMenuEntry::Kind::kEnd, {}, {}});
    return menu;
}

const std::u16string& default_list_menu_text() {
    static const std::u16string text =
        u"// ダウンロードリストの右クリックメニュー\r\n"
        u"// 1行に「表示名<TAB>コマンド」。「-」で区切り線、「▼名前」から「▲」まではサブメニュー。\r\n"
        u"// コマンド: download stop register chain login play play-default open-folder copy-address\r\n"
        u"//   copy-id copy-name remove remove-checked remove-done clear check uncheck check-all\r\n"
        u"//   uncheck-all invert-checks save-list load-list memo to-reconstruct thumbnails\r\n"
        u"再生\tplay\r\n"
        u"既定のプログラムで再生\tplay-default\r\n"
        u"保存場所を開く\topen-folder\r\n"
        u"-\r\n"
        u"動画のURLをコピー\tcopy-address\r\n"
        u"IDをコピー\tcopy-id\r\n"
        u"保存ファイル名をコピー\tcopy-name\r\n"
        u"-\r\n"
        u"選択した行にチェック\tcheck\r\n"
        u"選択した行のチェックを外す\tuncheck\r\n"
        u"▼チェック\r\n"
        u"すべてチェック\tcheck-all\r\n"
        u"すべてのチェックを外す\tuncheck-all\r\n"
        u"チェックを反転\tinvert-checks\r\n"
        u"▲\r\n"
        u"-\r\n"
        u"選択した行を削除\tremove\r\n"
        u"▼削除\r\n"
        u"チェックした行を削除\tremove-checked\r\n"
        u"DL成功した行を削除\tremove-done\r\n"
        u"リストを空に\tclear\r\n"
        u"▲\r\n"
        u"-\r\n"
        u"ダウンロード\tdownload\r\n"
        u"中止\tstop\r\n"
        u"入力欄を登録\tregister\r\n"
        u"連鎖ダウンロード\tchain\r\n"
        u"ログイン\tlogin\r\n"
        u"-\r\n"
        u"この名前でリストを保存\tsave-list\r\n"
        u"この名前で保存したリストを読込\tload-list\r\n"
        u"リストのメモ\tmemo\r\n"
        u"XMLの再構成タブへ送る\tto-reconstruct\r\n"
        u"サムネイルを再読込\tthumbnails\r\n";
    return text;
}

} // namespace quippet
