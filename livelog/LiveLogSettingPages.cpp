#include "livelog/LiveLogSettingPages.h"

#include "app/SettingsCatalogue.h"
#include "livelog/LiveLogSettingKeys.h"

namespace quippet {
namespace {

using Items = CatalogueBuilder::Items;

void add_live_log_tab(CatalogueBuilder& b) {
    b.page(u"実況ログ to XML");
    b.group(u"起点");
    b.num(WcNumber::kYear, u"年", 1970, 3000, 2011);
    b.num(WcNumber::kMonth, u"月", 1, 12, 1);
    b.num(WcNumber::kDay, u"日を起点", 1, 32, 1);
    b.sw(WcSwitch::kAutoDate, u"自動", 0, "radio: the origin date is taken from the source text");
    b.sw(WcSwitch::kManualDate, u"手動", 1, "radio");

    const std::u16string_view rows[] = {u"開始",     u"Aパート",  u"Bパート", u"予告", u"開始2",
                                        u"Aパート2", u"Bパート2", u"予告2",   u"終了"};
    const std::u16string_view video[] = {u"時間", u"分", u"秒"};
    const std::u16string_view clock[] = {u"何時", u"何分", u"何秒"};
    const int video_max[] = {30, 59, 59};
    for (int r = 0; r < 9; ++r) {
        b.group(std::u16string(rows[r]));
        if (r >= 1 && r <= 7) b.sw(wc_row_enabled(r), std::u16string(rows[r]), 0, "the row takes part");
        for (int f = 0; f < 3; ++f)
            b.num(wc_video_time(r, f), std::u16string(video[f]), 0, video_max[f], 0, f == 0 ? "video time" : "");
        if (r == 8) break;
        for (int f = 0; f < 3; ++f)
            b.num(wc_clock_time(r, f), std::u16string(clock[f]), 0, video_max[f], 0, f == 0 ? "clock time" : "");
        if (r >= 1) b.num(wc_aid(r), u"←→", -999, 999, 60, "seconds used by the ← and → aids only");
    }

    b.group(u"変換");
    b.num(WcNumber::kMaxLines, u"行を超えるコメントは無視", 1, 999, 4);
    b.num(WcNumber::kMaxChars, u"文字を超えるコメントは無視", 1, 999, 40);
    b.sw(WcSwitch::kThin, u"コメント数を間引く");
    b.num(WcNumber::kThinLimit, u"まで", 1, 300000, 4000);
    b.sw(WcSwitch::kReplace, u"コメントを置換する");
    b.sw(WcSwitch::kReconstruct, u"再構成");
    b.text(kWcPresetName, u"再構成のプリセット", {}, "name of the reconstruction preset");

    b.group(u"出力");
    b.text(WcText::kOutputName, u"出力ファイル名", {}, "without extension");
    b.sw(WcSwitch::kPlace, u"場所");
    b.text(WcText::kPlaceFolder, u"場所（フォルダ）");
    b.sw(WcSwitch::kOverwrite, u"上書");
    b.sw(WcSwitch::kSavePresetOnConvert, u"変換と同時に設定の保存も行う");

    b.group(u"過去ログ倉庫を探す");
    b.num(kWcBoard, u"板", 0, 9999, 0, "entry of the board table");
    b.num(WcNumber::kSearchYear, u"年", 1970, 3000, 2011);
    b.num(WcNumber::kSearchMonth, u"月", 1, 12, 1);
    b.num(WcNumber::kSearchDay, u"日", 1, 31, 1);
    b.num(WcNumber::kSearchHour, u"時", 0, 23, 0);
    b.num(WcNumber::kSearchMinute, u"分", 0, 59, 0);
    b.num(WcNumber::kHoursBack, u"＋", 0, 720, 8, "hours back from the base");
    b.num(WcNumber::kMinPosts, u"レス", 1, 1001, 100, "minimum number of posts");
    b.num(WcNumber::kHoursForward, u"H", 0, 720, 0, "hours forward from the base");
    b.text(WcText::kTitleWords, u"含む", {}, "title words separated by |");
    b.sw(WcSwitch::kSendToBrowser, u"結果をブラウザに送る");
    b.num(kWcBrowserForm, u"送り先", 0, 9999, 0, "entry of the browser table");
    b.sw(WcSwitch::kManualAddress, u"手動");
}

void add_live_log_details(CatalogueBuilder& b) {
    b.page(u"実況ログ to XMLの詳細設定");
    b.group(u"出力");
    b.text(OptText::kViewCounterId, u"作成したXMLファイルのview_counterのid属性に次の文字列を入れる");
    b.sw(OptSwitch::kLiveKeepCopies, u"変換元テキストファイルと、再構成前のxmlの、複製を保存する");
    b.sw(OptSwitch::kLiveDateAsName, u"出力ファイル名が空欄なら、「chat要素のdate属性値の最小」をファイル名にする");
    b.sw(OptSwitch::kLiveChatOnly, u"chat要素だけを出力する （ヘッダ部分などを出力しない）");
    b.choice(OptNumber::kLiveExtension, u"変換で作成したファイルに付ける拡張子", {u"xml", u"txt"});
    b.text(OptText::kLiveOutputFolder, u"変換で作成したファイルの保存場所", {}, "empty: the app home");
    b.sw(OptSwitch::kLiveNameFromText,
         u"出力ファイル名が空欄なら、「変換元テキスト内で\n次の正規表現から得られる文字列」をファイル名にする");
    b.text(OptText::kLiveNamePattern, u"正規表現", {}, "its first group names the output");

    b.group(u"発言の中の改行は、次のように処理する");
    b.choice(OptNumber::kLiveLineBreaks, u"発言の中の改行は、次のように処理する",
             {u"そのまま", u"削除する", u"半角空白に置換", u"全角空白に置換", u"これに置換→"});
    b.text(OptText::kLineBreakReplacement, u"これに置換→（文字列）");

    b.group(u"「上書」の設定なら出力をしない条件：");
    b.num(OptNumber::kLiveOverwriteMinimum, u"10分あたり … 件未満の成功レス数", 0, CatalogueBuilder::kMaxCount, 0,
          "0 lets any result with one comment through");

    b.group(u"プリセット");
    b.sw(OptSwitch::kLivePresetToBak,
         u"削除したプリセット設定ファイルを、ごみ箱に送らずに .bak ファイルとして残しておく");
    b.sw(OptSwitch::kLivePresetGridLines, u"グリッド線を表示する");
    b.num(OptNumber::kLivePresetRowHeight, u"1行の高さ", 0, 200, 0, "0: the system's height");

    b.page(u"「過去ログ倉庫を探す」の設定");
    b.group(u"待機");
    b.num(OptNumber::kWarehouseWait, u"過去ログ倉庫を辿る際の待機時間", 0, 600000, 3000, "milliseconds");
    b.num(OptNumber::kBrowserSendInterval, u"結果をブラウザに送る際の送信間隔", 0, 600000, 1000, "milliseconds");
    b.group(u"板");
    b.text(OptText::kBoardDomain, u"板のドメイン", u"5ch.net", "completes a server name into a host");
    b.group(u"ブラウザ1");
    b.text(OptText::kBrowser1Path, u"ブラウザ1", {}, "program");
    b.text(OptText::kBrowser1Option, u"オプション（前置）");
    b.group(u"ブラウザ2");
    b.text(OptText::kBrowser2Path, u"ブラウザ2", {}, "program");
    b.text(OptText::kBrowser2Option, u"オプション（前置）");
}

} // namespace

void add_live_log_setting_pages(CatalogueBuilder& b) {
    add_live_log_tab(b);
    add_live_log_details(b);
}

} // namespace quippet
