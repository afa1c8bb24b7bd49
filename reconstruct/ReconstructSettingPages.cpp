#include "reconstruct/ReconstructSettingPages.h"

#include "app/SettingsCatalogue.h"
#include "reconstruct/ReconstructSettingKeys.h"

namespace quippet {
namespace {

using Items = CatalogueBuilder::Items;

void add_reconstruction_tab(CatalogueBuilder& b) {
    b.page(u"XMLの再構成");
    b.group(u"D＆D");
    b.sw(RcSwitch::kAppend, u"追加", 1, "dropped files are appended (radio with クリア)");
    b.sw(RcSwitch::kClear, u"クリア", 0, "the list is cleared before a drop");
    b.sw(RcSwitch::kRecurse, u"下層", 0, "dropped folders are searched recursively");
    b.sw(RcSwitch::kDropConditions, u"条件", 0, "drop only files that pass the interface conditions");

    b.group(u"再構成の設定");
    b.sw(RcSwitch::kSaveBesideVideo, u"指定場所に保存");
    b.text(RcText::kVideoPath, u"動画ファイル", {}, "video dropped on the video field; the output goes beside it");
    b.sw(RcSwitch::kNoTailInfo, u"末尾情報なし");
    b.sw(RcSwitch::kOverwrite, u"同名時に上書");
    b.sw(RcSwitch::kSavePresetOnRun, u"実行で設定保存");
    b.sw(RcSwitch::kKeepNumbers, u"noを振り直さない");
    b.sw(RcSwitch::kSaveLists, u"処理リストを保存");

    b.group(u"設定保存");
    b.text(RcText::kPresetName, u"プリセット名", {}, "name used by 新規保存/上書保存 and 実行で設定保存");

    b.group(u"（1）削除");
    b.sw(RcSwitch::kReadLimit, u"読込制限");
    b.num(RcNumber::kReadLimit, u"読込制限（件数）", 0, CatalogueBuilder::kMaxCount, 100000);
    b.sw(RcSwitch::kUnnaturalDates, u"不自然な投稿日");
    b.sw(RcSwitch::kOldPosts, u"古投稿");
    b.num(RcNumber::kOldMonths, u"月前", 0, 9999, 12);

    b.group(u"（2）投稿日時で削除");
    for (int rule = 0; rule < 2; ++rule) {
        b.row(rule + 1);
        b.sw(rule == 0 ? RcSwitch::kDateRule1 : RcSwitch::kDateRule2, u"有効");
        b.choice(rc_date_base(rule), u"基準",
                 {u"合成1行目の最初の投稿", u"合成1行目の最後の投稿", u"ファイル内の最初の投稿",
                  u"ファイル内の最後の投稿", u"指定した日時"});
        b.num(rc_date_rule(rule, DateRuleField::kHours), u"＋ 時間", -999999, 999999, 0);
        b.choice(rc_date_side(rule), u"前後", {u"より前なら", u"より後なら"});
        b.num(rc_date_rule(rule, DateRuleField::kYear), u"年", 1970, 3000, 2011, "date of 指定した日時 (local time)");
        b.num(rc_date_rule(rule, DateRuleField::kMonth), u"月", 1, 12, 1);
        b.num(rc_date_rule(rule, DateRuleField::kDay), u"日", 1, 31, 1);
        b.num(rc_date_rule(rule, DateRuleField::kHour), u"時", 0, 23, 0);
        b.num(rc_date_rule(rule, DateRuleField::kMinute), u"分", 0, 59, 0);
        b.num(rc_date_rule(rule, DateRuleField::kSecond), u"秒", 0, 59, 0);
    }

    b.group(u"（3）調整");
    b.sw(RcSwitch::kPreStage, u"コマンド", 0, "前変換 stage (設定：コマンドの変換1.txt)");
    b.sw(RcSwitch::kReplace1, u"置換", 0, "first replacement file (設定：再構成の置換1.txt)");
    b.sw(RcSwitch::kLength, u"字数");
    b.num(RcNumber::kMinLength, u"字数（最小）", 0, CatalogueBuilder::kMaxCount, 0, "shorter bodies are removed");
    b.num(RcNumber::kMaxLength, u"～（最大）", 0, CatalogueBuilder::kMaxCount, 9999, "longer bodies are removed");
    b.sw(RcSwitch::kDeletedAttribute, u"削除コメ");
    b.sw(RcSwitch::kLowScore, u"低スコア");
    b.num(RcNumber::kScoreThreshold, u"低スコア（しきい値）", -CatalogueBuilder::kMaxCount, CatalogueBuilder::kMaxCount,
          -1000, "a non-zero score at or below this is removed");
    b.sw(RcSwitch::kZeroTime, u"0コメ");
    b.sw(RcSwitch::kNgId, u"NGID");
    b.sw(RcSwitch::kNgIdReverse, u"逆", 0, "reverses NGID");
    b.sw(RcSwitch::kCommonNg, u"共NG");
    b.sw(RcSwitch::kCommonNgReverse, u"逆", 0, "reverses 共NG");
    b.sw(RcSwitch::kNgWord, u"NG語");
    b.sw(RcSwitch::kNgWordReverse, u"逆", 0, "reverses NG語");
    b.sw(RcSwitch::kChainByDefault, u"連", 0, "NG words without a prefix chain their IDs");
    b.sw(RcSwitch::kPostStage, u"コマンド", 0, "後変換 stage (設定：コマンドの変換2.txt)");
    b.sw(RcSwitch::kReplace2, u"置換", 0, "second replacement file (設定：再構成の置換2.txt)");
    b.sw(RcSwitch::kIndividualStage, u"コマンド", 0, "個変換 stage (設定：コマンドの変換3.txt)");

    b.group(u"優先");
    b.sw(RcSwitch::kPriorityIds, u"ID", 0, "IDs of 設定：ID優先リスト.txt are priority comments");
    b.sw(RcSwitch::kPriorityStage, u"個", 0, "優先条件 stage (設定：優先条件.txt)");
    b.sw(RcSwitch::kPriorityUploader, u"投", 0, "fork = 1 is priority");
    b.sw(RcSwitch::kPriorityBroadcaster, u"放", 0, "premium = 3 is priority");
    b.sw(RcSwitch::kPrioritySystem, u"シ", 0, "premium = 2 is priority");
    b.sw(RcSwitch::kPriorityOperator, u"運", 0, "premium 6 or 7 is priority");

    b.group(u"（4）コメント表示タイミングの調整");
    b.sw(RcSwitch::kPartMerge, u"合成時は連結する（パート分割の合成）");
    b.sw(RcSwitch::kLengthFromNet, u"可能ならネットから取得");
    for (int r = 0; r < 9; ++r) {
        b.row(r + 1);
        b.sw(rc_timing_enabled(r), u"有効");
        b.choice(rc_timing_scope(r), u"範囲",
                 {u"より後のみ", u"より前のみ", u"無条件で", u"行目のみ", u"行目以降", u"行目以前"});
        b.num(rc_timing(r, TimingField::kAtMinutes), u"x 分", 0, 99999, 0,
              "time x of the scope; the row number n for the 行目 scopes");
        b.num(rc_timing(r, TimingField::kAtSeconds), u"x 秒", 0, 59, 0);
        b.num(rc_timing(r, TimingField::kAtHundredths), u"x 1/100秒", 0, 99, 0);
        b.choice(rc_timing_action(r), u"処理", {u"遅らせる", u"早める", u"のCMカット", u"だけ削除", u"全削除"});
        b.num(rc_timing(r, TimingField::kByMinutes), u"d 分", 0, 99999, 0, "amount d of the action");
        b.num(rc_timing(r, TimingField::kBySeconds), u"d 秒", 0, 59, 0);
        b.num(rc_timing(r, TimingField::kByHundredths), u"d 1/100秒", 0, 99, 0);
    }

    b.group(u"合成");
    b.sw(RcSwitch::kMerge, u"する");
    b.sw(RcSwitch::kMergeAll, u"全合成", 1, "one unit of all files (radio)");
    b.sw(RcSwitch::kMergeByRows, u"行数ごと", 0, "units of n consecutive rows (radio)");
    b.num(RcNumber::kMergeRows, u"行数ごと（行数）", 1, 99999, 2);
    b.sw(RcSwitch::kMergeBySuffix, u"直後同数", 0, "group by the number after the text (radio)");
    b.text(RcText::kMergeSuffixText, u"直後同数（文字列）");

    b.group(u"（5）重複コメ削除");
    b.sw(RcSwitch::kDuplicates, u"する");
    b.sw(RcSwitch::kDupNo, u"No");
    b.sw(RcSwitch::kDupTime, u"時間");
    b.num(RcNumber::kDupWindow, u"0ms", 0, CatalogueBuilder::kMaxCount, 0,
          "window of 時間 in tens of milliseconds (80 = 0.8 s)");
    b.sw(RcSwitch::kDupDate, u"日時");
    b.sw(RcSwitch::kDupId, u"ID");
    b.sw(RcSwitch::kDupCommand, u"ｺﾏﾝﾄﾞ");
    b.sw(RcSwitch::kDupBody, u"本文");
    b.sw(RcSwitch::kDupFuzzy, u"曖昧", 0, "bodies compared after the fuzzy rules (設定：曖昧一致のルール.txt)");

    b.group(u"（6）コメント数制限");
    b.sw(RcSwitch::kLimit, u"する");
    b.num(RcNumber::kLimitCount, u"制限数", 0, CatalogueBuilder::kMaxCount, 1000);
    b.sw(RcSwitch::kLimitThin, u"間引", 1, "radio");
    b.sw(RcSwitch::kLimitNewest, u"D", 0, "radio");
    b.sw(RcSwitch::kLimitLastRead, u"R", 0, "radio");
    b.sw(RcSwitch::kLimitPerMinute, u"毎分", 0, "radio");
    b.sw(RcSwitch::kPerMinuteHalf, u"丁／半", 0, "0 丁, 1 半");
    b.sw(RcSwitch::kPerMinuteNewest, u"古／新", 0, "0 古, 1 新");
    b.sw(RcSwitch::kPerMinuteNoExempt, u"免／制", 0, "0 免, 1 制");
    b.sw(RcSwitch::kPerMinuteFill, u"加");
    b.sw(RcSwitch::kRowOrderFirst, u"行順優先");

    b.group(u"（7）ソート");
    Items keys = {u"読込順",   u"リスト行順", u"優先コメ",   u"ID",         u"再生時間", u"投稿日時",
                  u"No",       u"スコア",     u"投稿者コメ", u"プレミアム", u"本文",     u"コマンド",
                  u"スレッド", u"サイズ",     u"縦位置",     u"色",         u"継続時間", u"座標"};
    const size_t plain = keys.size();
    for (size_t i = 0; i < plain; ++i)
        keys.push_back(u"*" + keys[i]);
    for (int r = 0; r < 4; ++r) {
        b.row(r + 1);
        b.sw(rc_sort_enabled(r), u"有効");
        b.choice(rc_sort_key(r), u"キー", keys, 0, "a name with * reverses the key");
    }

    b.group(u"分割");
    b.sw(RcSwitch::kSplitTyped, u"指定", 0, "part size typed below (radio)");
    b.num(RcNumber::kSplitSize, u"指定（コメント数）", 1, CatalogueBuilder::kMaxCount, 300);
    b.sw(RcSwitch::kSplit250, u"250", 1, "radio");
    b.sw(RcSwitch::kSplit500, u"500", 0, "radio");
    b.sw(RcSwitch::kSplit1000, u"1000", 0, "radio");
    b.sw(RcSwitch::kSplitAuto, u"自動", 0, "radio; parts of 毎分 n comments (detailed settings)");
    b.sw(RcSwitch::kSplitRemainder, u"端数も出力する");

    b.group(u"切り出し");
    b.num(RcNumber::kCutFirst, u"最初", 0, CatalogueBuilder::kMaxCount, 1, "first comment number");
    b.num(RcNumber::kCutLast, u"～（最後）", 0, CatalogueBuilder::kMaxCount, 1000, "last comment number");
}

void add_reconstruction_details(CatalogueBuilder& b) {
    b.page(u"XMLの再構成の詳細設定");
    b.group(u"削除");
    b.sw(OptSwitch::kDeleteHangul, u"ハングルを含むコメントを削除する");
    b.sw(OptSwitch::kDeleteNegativeVpos, u"vposの値がマイナスのコメントを削除する");

    b.group(u"不正な文字");
    b.choice(OptNumber::kInvalidCharMode, u"不正な文字",
             {u"何もしない", u"発言全体を削除する", u"その文字を置換する→"});
    b.text(OptText::kInvalidCharReplacement, u"その文字を置換する→（置換文字列）");

    b.group(u"「自動」での分割：");
    b.num(OptNumber::kAutoSplitPerMinute, u"毎分", 1, 100000, 100,
          "comments per minute of video (コメントになるように計算)");

    b.group(u"出力する属性");
    const std::u16string_view attributes[] = {u"thread", u"score", u"premium", u"anonymity",
                                              u"fork",   u"leaf",  u"locale",  u"deleted"};
    for (int i = 0; i < 8; ++i)
        b.sw(static_cast<OptSwitch>(static_cast<int>(OptSwitch::kWriteThread) + i), std::u16string(attributes[i]), 1);
    b.sw(OptSwitch::kWriteEmptyMail, u"mail属性は中身がカラでも出力する");

    b.group(u"ヘッダとフッタ");
    b.sw(OptSwitch::kJoinHeaderValues, u"複数のスレッドIDなどを結合して出力する", 1,
         "off: only the first thread id, view_counter id and ticket are written");
    b.text(OptText::kIdSeparator, u"結合の区切り文字", u",");
    b.sw(OptSwitch::kAlwaysWriteTicket, u"ticketはカラでも出力する");
    b.sw(OptSwitch::kDropNumClick, u"num_clickを出力しない");
    b.sw(OptSwitch::kRebuildFooter, u"フッタを常に作り直す");

    b.group(u"保存する処理リスト");
    const std::u16string_view lists[] = {u"NGID",
                                         u"NG語",
                                         u"共通NG",
                                         u"不正な文字",
                                         u"文字数",
                                         u"スコア",
                                         u"重複",
                                         u"間引き",
                                         u"NGからの連鎖",
                                         u"コマンドからの連鎖",
                                         u"コマンドで指定した処理リスト"};
    for (int i = 0; i < 11; ++i)
        b.sw(static_cast<OptSwitch>(static_cast<int>(OptSwitch::kListNgId) + i), std::u16string(lists[i]), 1);

    b.group(u"文字参照の処理：");
    b.choice(OptNumber::kCharRefMode, u"文字参照の処理：",
             {u"文字参照に関連する置換を行う（推奨）", u"文字参照に関連する配慮を何も行わない"});

    b.page(u"XMLの再構成のインターフェース");
    b.group(u"「条件」");
    b.sw(OptSwitch::kSkipUploaderCommentFiles, u"投稿者コメントの末尾情報を持つファイルは追加しない", 1);
    b.sw(OptSwitch::kSkipFilesWithoutTail, u"末尾情報のないファイルは追加しない");
    b.group(u"ダウンロードタブから送られたファイル");
    b.choice(OptNumber::kSentFilesFilter, u"追加するファイル",
             {u"「条件」と同じ", u"1行ごとにコメント数が最も多いファイルのみ"});
    b.choice(OptNumber::kSentFilesMode, u"追加の方法", {u"追加", u"クリア", u"「追加」「クリア」に従う"}, 2);
    b.group(u"プリセット");
    b.sw(OptSwitch::kPresetKeepsDrop, u"復元時にD＆Dの設定を変更しない");
    b.sw(OptSwitch::kPresetKeepsSplitCut, u"復元時に分割・切り出しの設定を変更しない");
    b.group(u"リスト");
    b.num(OptNumber::kReconstructRowHeight, u"1行の高さ", 0, 200, 0, "0: the system's height");
    b.sw(OptSwitch::kReconstructGridLines, u"グリッド線を表示する");

    b.page(u"挿入／タスクトレイ／末尾情報");
    b.group(u"末尾情報");
    b.text(OptText::kNamePrefix, u"ファイル名の先頭");
    b.text(OptText::kNameFrameBefore, u"前", u"[", "text before the tail information");
    b.text(OptText::kNameSeparator, u"区切り", u" ", "between the parts of the tail information");
    b.text(OptText::kNameFrameAfter, u"後", u"]", "text after the tail information");
    b.sw(OptSwitch::kNameNumberRange, u"コメント番号の範囲", 1);
    b.num(OptNumber::kNameNumberWidth, u"桁数", 0, 10, 0, "zero padding of the numbers");
    b.sw(OptSwitch::kNameAlwaysCount, u"コメント数を常に付ける");
    b.sw(OptSwitch::kNameDateRange, u"投稿日時の範囲");
}

} // namespace

void add_reconstruct_setting_pages(CatalogueBuilder& b) {
    add_reconstruction_tab(b);
    add_reconstruction_details(b);
}

} // namespace quippet
