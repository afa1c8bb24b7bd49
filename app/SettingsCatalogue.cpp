#include "app/SettingsCatalogue.h"

#include "app/PlaylistTabKeys.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>

#include "text/Ascii.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr SettingFamily kFamilies[] = {
    // The detailed settings are saved in this order: numbers, texts, switches, protected texts.
    {section::kOption, u"EN", 0, 146, false},
    // Texts past the 135 of the classic file (145 …) hold the settings this program added.
    {section::kOption, u"ES", 0, 150, true},
    {section::kOption, u"CB", 0, 219, false},
    {section::kOption, u"AN", 0, 2, true},
    {section::kOption, u"Page", -1, 1, false},
    {section::kWindow, u"LeftPos", -1, 1, false},
    {section::kWindow, u"TopPos", -1, 1, false},
    {section::kWindow, u"Width", -1, 1, false},
    {section::kWindow, u"Height", -1, 1, false},
    {section::kWindow, u"Tab", -1, 1, false},
    {section::kMain, u"CB", 0, 4, false},
    {section::kMain, u"ComboSel", -1, 1, false},
    {section::kMain, u"EndOfWorld", -1, 1, false},
    {section::kLiveLog, u"CB", 0, 17, false},
    {section::kLiveLog, u"EN", 0, 72, false},
    {section::kLiveLog, u"ES", 0, 3, true},
    {section::kLiveLog, u"ComboSel", -1, 1, false},
    {section::kLiveLog, u"ComboSel", 2, 1, false},
    {section::kLiveLog, u"ComboStr", 1, 1, true},
    {section::kReconstruct, u"CB", 0, 80, false},
    {section::kReconstruct, u"EN", 0, 79, false},
    {section::kReconstruct, u"ES", 0, 3, true},
    {section::kReconstruct, u"CSST", 0, 4, false},
    {section::kReconstruct, u"CSDL", 0, 2, false},
    {section::kReconstruct, u"CSDR", 0, 2, false},
    {section::kReconstruct, u"CSVJ", 0, 9, false},
    {section::kReconstruct, u"CSVS", 0, 9, false},
    {section::kDownload, u"CB", 0, 29, false},
    {section::kDownload, u"EN", 0, 11, false},
    {section::kDownload, u"ComboStr", 1, 5, true},
    // Seconds since 1970 as decimal text, so that the stored moment outlives 32-bit numbers.
    {section::kDownload, u"EmperorTime", -1, 1, true},
    {section::kDownload, u"RO", 0, 10, false},
    {section::kDownload, u"RU", 0, 10, false},
    {section::kDownload, u"RW", 0, 10, false},
    {section::kPlaylist, u"DRSel", -1, 1, false},
    {section::kPlaylist, u"PLSel", -1, 1, false},
    {section::kPlaylist, u"MVSel", -1, 1, false},
    {section::kAnime, u"CB", 0, 2, false},
    {section::kAnime, u"ES", 0, 2, true},
    {section::kAnime, u"ComboStr", 0, 1, true},
};

void add_file_pages(CatalogueBuilder& b) {
    b.page(u"ファイル名");
    b.group(u"共通");
    b.text(OptText::kCommonFolder, u"設定ファイルの共通フォルダ", u"setting");
    b.text(OptText::kLogFile, u"ログファイル", u"QuippetVellichor.log");
    b.text(OptText::kCacheFolder, u"キャッシュフォルダ", u"cache");
    b.text(OptText::kColoursFonts, u"色とフォント", u"設定：色とフォント.txt");
    b.text(OptText::kCharRefTable, u"文字参照", u"設定：文字参照.txt");

    b.group(u"XMLの再構成");
    b.text(OptText::kReconstructPresetFolder, u"XMLの再構成のプリセット設定の保存場所", u"set");
    b.text(OptText::kNgIdList, u"ID削除リスト", u"設定：ID削除リスト.txt");
    b.text(OptText::kPriorityIdList, u"ID優先リスト", u"設定：ID優先リスト.txt");
    b.text(OptText::kNgWordFile, u"再構成のNGワード", u"設定：再構成のNGワード.txt");
    b.text(OptText::kCommonNgFile, u"再構成の共通NG", u"設定：再構成の共通NG.txt");
    b.text(OptText::kReplace1File, u"再構成の置換1", u"設定：再構成の置換1.txt");
    b.text(OptText::kReplace2File, u"再構成の置換2", u"設定：再構成の置換2.txt");
    b.text(OptText::kCommandVocabulary, u"コマンドの基本", u"設定：コマンドの基本.txt");
    b.text(OptText::kCommandConvert1, u"コマンドの変換1", u"設定：コマンドの変換1.txt");
    b.text(OptText::kCommandConvert2, u"コマンドの変換2", u"設定：コマンドの変換2.txt");
    b.text(OptText::kCommandConvert3, u"コマンドの変換3", u"設定：コマンドの変換3.txt");
    b.text(OptText::kPriorityConditions, u"優先条件", u"設定：優先条件.txt");
    b.text(OptText::kFuzzyRules, u"曖昧一致のルール", u"設定：曖昧一致のルール.txt");

    b.group(u"実況ログ to XML");
    b.text(OptText::kLiveSource, u"変換元テキスト", u"SourceOfConvert.txt");
    b.text(OptText::kLiveNgWords, u"コンバートのNGワード", u"設定：コンバートのNGワード.txt");
    b.text(OptText::kLiveReplaceTable, u"コンバートの置換", u"設定：コンバートの置換.txt");
    b.text(OptText::kLivePresetFolder, u"実況ログ to XMLのプリセット設定の保存場所", u"list");
    b.text(OptText::kLiveBackupFolder, u"バックアップの保存場所", u"backup");
    b.text(OptText::kBoardTable, u"実況板の情報", u"設定：実況板の情報.txt");
    b.text(OptText::kBrowserTable, u"コンバートのブラウザ", u"setting/設定：コンバートのブラウザ.txt");

    b.group(u"ダウンロード");
    b.text(OptText::kDownloadListFolder, u"保存したリストの場所", u"down");
    b.text(OptText::kSearchOrder, u"検索の並び順", u"設定：検索の並び順.txt");
    b.text(OptText::kBookmarks, u"固定URL", u"設定：固定URL.txt");
    b.text(OptText::kIdPatterns, u"動画ID抽出パターン", u"設定：動画ID抽出パターン.txt");
    b.text(OptText::kVideoInfoRules, u"動画情報の取得", u"設定：動画情報の取得.txt");
    b.text(OptText::kCookieSharing, u"ログイン共有の設定", u"設定：クッキー取得.txt");
    b.text(OptText::kUpdateCheckFolder, u"更新チェックのデータの保存場所", u"data");
    b.text(OptText::kDownloadListMenu, u"メニュー（DLリストの右クリ）", u"設定：メニュー（DLリストの右クリ）.txt");
    b.text(OptText::kBookmarkMenu, u"メニュー（BMツリーの右クリ）", u"設定：メニュー（BMツリーの右クリ）.txt");
    b.text(OptText::kTooltipIgnoredTags, u"ツールチップで無視するタグ", u"設定：ツールチップで無視するタグ.txt");
    b.text(OptText::kIdReplaceFolder, u"ID置換のデータの保存場所", u"convert");

    b.group(u"プレイリスト");
    b.text(OptText::kPlaylistPlaces, u"プレイリストの場所", u"設定：プレイリストの場所.txt");
    b.text(OptText::kPlayerTable, u"プレイリストの再生", u"設定：プレイリストの再生.txt");
    b.text(OptText::kMemoFolder, u"メモの保存場所", u"memo");

    b.group(u"履歴");
    b.text(OptText::kPlayHistory, u"再生の履歴", u"cache/log/play.txt");
    b.text(OptText::kDownloadHistory, u"DLの履歴", u"cache/log/down.txt");
    b.text(OptText::kUsedFoldersHistory, u"使用した保存場所", u"setting/履歴：使用した保存場所のパスを1行ずつ羅列.txt");
    b.text(OptText::kRegisteredFolders, u"登録フォルダ", u"setting/履歴：登録フォルダのパスを1行ずつ羅列.txt");
    b.text(OptText::kInputHistory, u"使用した入力欄の文字列", u"setting/履歴：使用した入力欄の文字列を1行ずつ羅列.txt");
    b.text(OptText::kInputAdditions, u"入力欄に追加する文字列",
           u"setting/履歴：入力欄に追加する文字列を1行ずつ羅列.txt");
}

void add_general_pages(CatalogueBuilder& b) {
    b.page(u"起動と終了");
    b.group(u"起動");
    b.choice(OptNumber::kFirstTab, u"最初に選ぶタブ",
             {u"XMLの再構成", u"実況ログ to XML", u"ダウンロード", u"プレイリスト", u"前回終了時のタブ"}, 4);
    b.sw(OptSwitch::kShowPlaylistTab, u"プレイリストのタブを表示する", 1);
    b.sw(OptSwitch::kFastStartup, u"起動処理を見た目だけ高速化する（最初のタブがダウンロードの場合のみ有効）");
    b.sw(OptSwitch::kWarnUncleanShutdown, u"前回起動時の終了処理が行われていない場合に警告する", 1);
    b.sw(OptSwitch::kDebugMode, u"デバッグモード");
    b.sw(OptSwitch::kWriteLogFile, u"ログファイルに出力する", 1, "job reports are appended to the log file");

    b.group(u"ウインドウ");
    b.choice(OptNumber::kMinimizeMode, u"最小化したときの挙動",
             {u"通常の最小化", u"タスクトレイに格納する", u"非表示にする",
              u"非表示にする。ただし、処理が進行中の場合はトレイに格納する"});
    b.sw(OptSwitch::kResizeForTabs, u"「ダウンロード」以外のタブでは、ウインドウサイズを変更する（暫定）");
    b.num(OptNumber::kReconstructTabHeight, u"XMLの再構成：高さ", -1, 100000, 0,
          "1 shortest, 0 unchanged, -1 to the screen edge");
    b.num(OptNumber::kReconstructTabWidth, u"XMLの再構成：幅", -1, 100000, 0);
    b.num(OptNumber::kLiveTabHeight, u"実況ログ to XML：高さ", -1, 100000, 0);
    b.num(OptNumber::kLiveTabWidth, u"実況ログ to XML：幅", -1, 100000, 0);
    b.sw(OptSwitch::kResizeToLeft,
         u"幅の変更時に、右側に伸縮するのではなく、左側に伸縮する （画面の右端に置く場合用）");
    b.choice(OptNumber::kDropInsertPosition, u"リストにドラッグ＆ドロップしたときにアイテムを挿入する位置",
             {u"ドロップした位置に挿入する", u"リストの一番下に挿入する"});

    b.page(u"プレイヤー");
    b.group(u"再生");
    b.choice(OptNumber::kPlayerMode, u"プレイヤー",
             {u"常に同じプレイヤーを使う：", u"複数のプレイヤーを使い分ける（少し複雑な設定）："}, 1);
    b.text(OptText::kSinglePlayerPath, u"常に同じプレイヤーを使う：（プログラム）", {},
           "empty: the system's default program");
    b.group(u"プレイリストの表示名");
    b.text(OptText::kSeriesSeparators, u"シリーズの区切り", u" 第| #| Ver.|其の|～その");
    b.text(OptText::kTailMarkers, u"末尾の目印", u" (| [|(<ID>");

    b.page(u"メインウインドウ");
    b.group(u"状態");
    b.num(kWindowLeft, u"LeftPos", -32768, 32767, -255, "-255: never stored");
    b.num(kWindowTop, u"TopPos", -32768, 32767, -255, "-255: never stored");
    b.num(kWindowWidth, u"Width", 0, 100000, 0, "missing: the window's initial width");
    b.num(kWindowHeight, u"Height", 0, 100000, 0, "missing: the window's initial height");
    b.num(kWindowTab, u"Tab", 0, 3, 2, "tab selected at shutdown");
    b.num(kMainPlayer, u"ComboSel", 0, 9999, 0, "selected entry of the player list");
    b.num(kShutdownMarker, u"EndOfWorld", -1, 4, -1, "shutdown stage of the last run");
    b.num(kOptionPage, u"Page", -1, 99, -1, "page shown last in the detailed settings");

    b.group(u"プレイリストのタブ");
    b.num(kPlaylistFolderSel, u"DRSel", -1, 9999, 0, "selected folder of the playlist locations");
    b.num(kPlaylistSel, u"PLSel", -1, 99999, 0, "selected playlist of that folder");
    b.num(kPlaylistRowSel, u"MVSel", -1, 999999, -1, "selected row of the loaded playlist");
}

} // namespace

namespace {

std::vector<SettingDef> build_catalogue() {
    CatalogueBuilder b;
    for (const AddSettingPages add : setting_page_contributions())
        add(b);
    return std::move(b.rows);
}

std::optional<int> parse_int(std::u16string_view text) {
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F) return std::nullopt;
        narrow += static_cast<char>(c);
    }
    int value = 0;
    const char* begin = narrow.data();
    const char* end = begin + narrow.size();
    if (begin != end && *begin == '+') ++begin;
    auto [at, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || at != end || begin == end) return std::nullopt;
    return value;
}

/// Markdown cells cannot hold line breaks or bars; "\n" is shown the way captions are written.
std::string markdown_cell(std::u16string_view text) {
    std::string out;
    for (char c : to_utf8(text)) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '|')
            out += "\\|";
        else
            out += c;
    }
    return out;
}

} // namespace

void add_app_setting_pages(CatalogueBuilder& b) {
    add_file_pages(b);
    add_general_pages(b);
}

void CatalogueBuilder::row(int number) {
    // Formatted in one piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "[" + text + "] ".
    char text[24];
    const int n = std::snprintf(text, sizeof text, "[%d] ", number);
    row_.assign(text, text + std::max(0, n));
}

void CatalogueBuilder::add(SettingKey k, SettingType type, int lo, int hi, int def, std::u16string def_text,
                           Items items, std::u16string label, std::string note) {
    SettingDef d;
    d.key = k;
    d.type = type;
    d.minimum = lo;
    d.maximum = hi;
    d.default_number = def;
    d.default_text = std::move(def_text);
    d.items = std::move(items);
    d.page = page_;
    d.group = group_;
    d.label = row_ + label;
    d.note = std::move(note);
    rows.push_back(std::move(d));
}

std::span<const SettingFamily> setting_families() {
    return kFamilies;
}

std::span<const SettingDef> setting_catalogue() {
    static const std::vector<SettingDef> catalogue = build_catalogue();
    return catalogue;
}

const SettingDef* find_setting(const SettingKey& key) {
    for (const SettingDef& def : setting_catalogue())
        if (def.key == key) return &def;
    return nullptr;
}

std::u16string setting_key_name(const SettingKey& key) {
    std::u16string name(key.prefix);
    if (key.index >= 0) name += from_utf8(std::to_string(key.index));
    return name;
}

const SettingDef* find_setting_by_name(std::u16string_view section_slash_key) {
    const size_t slash = section_slash_key.find(u'/');
    if (slash == std::u16string_view::npos) return nullptr;
    const std::u16string_view section = section_slash_key.substr(0, slash);
    const std::u16string_view key = section_slash_key.substr(slash + 1);
    for (const SettingDef& def : setting_catalogue())
        if (ascii_equal_nocase(def.key.section, section) && ascii_equal_nocase(setting_key_name(def.key), key))
            return &def;
    return nullptr;
}

bool parse_setting_value(const SettingDef& def, std::u16string_view input, ParsedSettingValue& out,
                         std::string& error) {
    out = {};
    if (def.is_text()) {
        out.text = std::u16string(input);
        return true;
    }
    std::optional<int> value = parse_int(input);
    if (!value && def.type == SettingType::kSwitch) {
        if (ascii_equal_nocase(input, u"on") || ascii_equal_nocase(input, u"true")) value = 1;
        if (ascii_equal_nocase(input, u"off") || ascii_equal_nocase(input, u"false")) value = 0;
    }
    if (!value && def.type == SettingType::kChoice) {
        for (size_t i = 0; i < def.items.size(); ++i)
            if (def.items[i] == input) value = static_cast<int>(i);
    }
    const std::string name = to_utf8(def.key.section) + "/" + to_utf8(setting_key_name(def.key));
    if (!value) {
        error = name + ": \"" + to_utf8(input) + "\" is not a value of " + setting_type_text(def);
        return false;
    }
    if (*value < def.minimum || *value > def.maximum) {
        error = name + ": " + std::to_string(*value) + " is outside " + std::to_string(def.minimum) + ".." +
                std::to_string(def.maximum);
        return false;
    }
    out.number = *value;
    return true;
}

std::string setting_type_text(const SettingDef& def) {
    switch (def.type) {
    case SettingType::kSwitch:
        return "switch";
    case SettingType::kNumber:
        return "number(" + std::to_string(def.minimum) + ".." + std::to_string(def.maximum) + ")";
    case SettingType::kText:
        return "text";
    case SettingType::kProtected:
        return "protected";
    case SettingType::kChoice: {
        std::string out = "choice(";
        for (size_t i = 0; i < def.items.size(); ++i) {
            if (i > 0) out += "|";
            out += to_utf8(def.items[i]);
        }
        return out + ")";
    }
    }
    return {};
}

std::string render_settings_markdown() {
    std::ostringstream out;
    out << "# Settings\n\n"
           "Every setting of QuippetVellichor, as stored in `QuippetVellichor.ini` in the app home. Keys are\n"
           "`SECTION/KEY` as `quippet settings get|set` and `--set SECTION/KEY=VALUE` take them. Switches hold\n"
           "0 or 1, choices the index of their item (counting from 0). Relative paths resolve in the app home.\n\n"
           "This file is generated: `quippet settings docs > docs/settings.md`.\n";
    std::u16string page;
    for (const SettingDef& def : setting_catalogue()) {
        if (def.page != page) {
            page = def.page;
            out << "\n## " << markdown_cell(page) << "\n\n"
                << "| key | type | default | group | label | note |\n"
                << "|---|---|---|---|---|---|\n";
        }
        std::string def_text = def.is_text() ? markdown_cell(def.default_text) : std::to_string(def.default_number);
        if (def.is_text() && !def_text.empty()) def_text = "`" + def_text + "`";
        out << "| " << to_utf8(def.key.section) << "/" << to_utf8(setting_key_name(def.key)) << " | "
            << markdown_cell(from_utf8(setting_type_text(def))) << " | " << def_text << " | "
            << markdown_cell(def.group) << " | " << markdown_cell(def.label) << " | "
            << markdown_cell(from_utf8(def.note)) << " |\n";
    }
    return out.str();
}

} // namespace quippet
