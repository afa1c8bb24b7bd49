#include "lists/PlayerTable.h"

#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/FileSP.h"

#include <cstdlib>

namespace quippet {

std::vector<std::u16string_view> text_lines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    while (!text.empty()) {
        const size_t lf = text.find(u'\n');
        std::u16string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::u16string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

const std::u16string* PlayerMode::find(std::u16string_view key) const {
    const bool extension = key.starts_with(u'.');
    for (const auto& [k, player] : rules)
        if (extension ? ascii_equal_nocase(std::u16string_view(k), key) : k == key) return &player;
    return nullptr;
}

PlayerTable PlayerTable::parse(std::u16string_view text) {
    PlayerTable table;
    int section = -1; // -1 before the first "▼", 0 the players, 1.. the modes
    for (std::u16string_view line : text_lines(text)) {
        if (line.starts_with(u"//")) continue;
        if (line.starts_with(u'▼')) {
            ++section;
            const std::u16string title(line.substr(1));
            if (section == 0)
                table.players_title = title;
            else if (section <= kModeCount)
                table.modes.push_back({title, {}});
            continue;
        }
        if (line.empty() || section < 0 || section > kModeCount) continue;
        const size_t tab = line.find(u'\t');
        const std::u16string_view left = line.substr(0, tab);
        const std::u16string_view right =
            tab == std::u16string_view::npos ? std::u16string_view{} : line.substr(tab + 1);
        if (section == 0) {
            table.players.push_back({std::u16string(left), std::u16string(right)});
        } else if (!left.empty() && tab != std::u16string_view::npos) {
            table.modes.back().rules.emplace_back(left, right);
        }
    }
    return table;
}

int PlayerTable::find_player(std::u16string_view name) const {
    for (size_t i = 0; i < players.size(); ++i)
        if (players[i].name == name) return static_cast<int>(i);
    return -1;
}

std::u16string PlayerTable::mode_caption(int mode) const {
    if (mode < 0 || mode >= static_cast<int>(modes.size())) return u"未設定";
    return modes[static_cast<size_t>(mode)].title;
}

std::u16string PlayerTable::default_text() {
    return crlf_lines({
        u"▼プレイヤー設定",
        u"mpv\t/usr/bin/mpv",
        u"VLC\t/usr/bin/vlc",
        u"SMPlayer\t/usr/bin/smplayer",
        u"Celluloid\t/usr/bin/celluloid",
        u"MPC-QT\t/usr/bin/mpc-qt",
        u"//Haruna\t/usr/bin/haruna",
        u"//Totem\t/usr/bin/totem",
        u"//Dragon\t/usr/bin/dragon",
        u"▼mpv",
        u"nocom\t既定",
        u"nosame\tSMPlayer",
        u".swf\tVLC",
        u"default\tmpv",
        u"▼VLC",
        u"nocom\t既定",
        u"nosame\tCelluloid",
        u".mp4\tVLC",
        u".flv\tVLC",
        u".swf\tVLC",
        u"default\tmpv",
        u"▼既定",
        u"default\t既定",
        u"//",
        u"//【１】最初の「▼」の区切りに、プレイヤーの名前とプログラムの場所をタブで区切って並べます。",
        u"//"
        u"【２】次の三つの「▼」の区切りが、メインウインドウの三つのボタンになります（区切りの名前がボタンの名前です）"
        u"。",
        u"//　　　各行は「条件」タブ「プレイヤーの名前」です。条件には拡張子（.mp4 など）か次の言葉を書きます。",
        u"//　　　nosame  … 動画と同じ名前の「.xml」のコメントファイルがないとき",
        u"//　　　nocom   … 動画の名前で始まる「.xml」のコメントファイルが一つもないとき（nosame より優先）",
        u"//　　　default … ほかのどの条件にも当てはまらないとき",
        u"//【３】プレイヤーの名前に「既定」（一覧にない名前）を書くと、デスクトップの既定のプログラムで開きます。",
        u"//　　　行頭が「//」の行は読み飛ばされます。",
    });
}

std::vector<PlaylistPlace> parse_playlist_places(std::u16string_view text) {
    std::vector<PlaylistPlace> places;
    for (std::u16string_view line : text_lines(text)) {
        if (line.starts_with(u"//")) continue;
        const size_t tab = line.find(u'\t');
        if (tab == std::u16string_view::npos || tab + 1 == line.size()) continue;
        places.push_back({std::u16string(line.substr(0, tab)), std::u16string(line.substr(tab + 1))});
    }
    return places;
}

std::u16string default_playlist_places_text() {
    // The players here keep no playlist folder of their own; their save dialogs open in the music folder.
    const char* home = std::getenv("HOME");
    const std::u16string music = (home && *home ? from_fs_path(home) : resolve_in_home(u"")) + u"/Music";
    return crlf_lines({u"QuippetVellichor\t" + resolve_in_home(u"playlist"), u"Music\t" + music});
}

} // namespace quippet
