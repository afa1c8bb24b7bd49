#include "resources/Messages.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

namespace quippet {
namespace {

std::u16string text_of(int id) {
    return std::u16string(message_text(id));
}

TEST(MessagesTest, TextsMatchWhatCallersReport) {
    struct Case {
        int id;
        std::u16string_view text;
    };
    const Case cases[] = {
        // File layer: read and write failures, including every file-exception cause.
        {6, u"あるべき文字列が見つかりません"},
        {7, u"想定しているファイル形式と異なるようです"},
        {9, u"ファイルがオープンできません"},
        {11, u"ファイルの容量が大きすぎます"},
        {21, u"同名ファイルが存在するため未出力"},
        {93, u"ファイル書込時：未定義エラー（容量不足等）"},
        {94, u"ファイル書込時：ファイル未定義"},
        {95, u"ファイル書込時：不正パス"},
        {96, u"ファイル書込時：オープンファイル数超過"},
        {97, u"ファイル書込時：ファイルアクセス禁止"},
        {98, u"ファイル書込時：不正ファイルハンドル使用"},
        {99, u"ファイル書込時：作業中のカレントディレクトリの削除不可"},
        {100, u"ファイル書込時：ディレクトリ フル"},
        {101, u"ファイル書込時：ファイルポインタ設定エラー"},
        {102, u"ファイル書込時：ハードウェアエラー"},
        {103, u"ファイル書込時：SHARE.EXE 未ロードまたは共有領域ロック済み"},
        {104, u"ファイル書込時：ロック済み領域のロック要求"},
        {105, u"ファイル書込時：ディスク フル"},
        {106, u"ファイル書込時：ファイルの終わりに到達"},
        {107, u"ファイル書込時：正体不明のエラーです"},
        // Job frame: start, stop, summary words and the end-of-job line.
        {1, u"処理を始めるりゅん！"},
        {2, u"－"},
        {14, u"処理を終了します（失敗あり）。"},
        {15, u"個のうち、"},
        {16, u"個のファイルがドラッグされて、"},
        {17, u"個を処理したりゅん！"},
        {18, u"処理を中止しました。"},
        {24, u"個の変換元テキストファイルから、"},
        {37, u"にユーザー操作で中止されました"},
        {92, u"個のIDのDLを試みて、"},
        {191, u"個のツリーアイテムから"},
        // Comment files: reader, number scans and writer.
        {8, u"連続していない番号があります"},
        {23, u"投稿日時の情報を文字列化するのに失敗"},
        {33, u"有効なコメントがありません"},
        {36, u"コメント群を1つの完成文字列にまとめている最中"},
        {158, u"有効な最小・最大値が見つからず"},
        // Live-log conversion and warehouse search.
        {13, u"完了りゅん！"},
        {26, u"「時間　分　秒」に順序の逆転があるからダメりゅん！"},
        {27, u"「何時　何分　何秒」に順序の逆転があるからダメりゅん！"},
        {28, u"エディットボックスから再生時間・放送時間の情報を読み込む際に何らかのエラーが発生したようです"},
        {29, u"ファイルに保存するところで失敗しました"},
        {30, u"※ログファイルの出力に失敗しました"},
        // HTTP layer: platform errors, status classes and transfer checks.
        {52, u"リクエストヘッダの追加に失敗"},
        {53, u"サーバへの要求の送信に失敗"},
        {54, u"サーバ名（またはアドレス）が解決できません"},
        {55, u"サーバへの接続に失敗（HTTPS接続ができない？）"},
        {56, u"タイムアウト"},
        {57, u"URLが無効です"},
        {58, u"サーバーへの接続が異常終了"},
        {59, u"サーバーとの接続がリセットされました"},
        {149, u"ファイルサイズ異常"},
        {154, u"1xx～5xx以外のステータスコード"},
        {157, u"503（高負荷・メンテなどによるサーバエラー）"},
        {161, u"サーバの応答が無効or認識不可（詳細設定で「直接」に変更で直るかも）"},
        {173, u"サーバから取得した情報がカラ？"},
        {174, u"拡張子不明"},
        {215, u"Redirection"},
        {220, u"502（ネットワークエラー）"},
        // Login, video information, comments.
        {160, u"ログイン状態を共有できてないかも"},
        {171, u"クッキーの設定に失敗"},
        {61, u"HTMLからの情報取得に失敗あり：<TITLE>など"},
        {82, u"API からDLしたデータが予期せぬ形式です"},
        {84, u"APIからの情報取得に失敗：TITLEなど"},
        {147, u"getthumbinfoからの動画投稿日の取得に失敗"},
        {166, u"サムネAPIからの情報取得に失敗：長さなど"},
        {72, u"getflvから必要な情報を得られず"},
        {74, u"getwaybackkeyからDLしたデータから必要な情報が抽出できません"},
        {117, u"0コメントの動画"},
        {159, u"<PACKET>タグがありません"},
        {172, u"過去ログ関係の失敗（無料会員だから？？）"},
        {176, u"権利がない、存在しない、手順違い、未ログインetc"},
        {193, u"コメントは微増（DLなし）"},
        {194, u"新しいコメントなし"},
        {212, u"コメントはスルー（保存済が多い）"},
        {234, u"APIからの情報取得に失敗？（たぶんスレッドID）"},
        {253, u"過去ログの取得で異常（時間をあけて再実行してください）"},
        {255, u"DLしたXMLの形式が想定外_C"},
        // Video, thumbnail and nicowari steps, and row results.
        {90, u"動画URLの取得に失敗"},
        {130, u"既存の動画ファイルがあるので、別名で保存"},
        {134, u"想定外のエラー：DLしたはずの動画が存在しません"},
        {169, u"DLした動画のサイズが小さすぎかも（たぶん失敗）"},
        {198, u"NotFound"},
        {229, u"空き容量不足"},
        {236, u"非エコノミーの動画を保存済み"},
        {244, u"未完了なのにDLが終了されました。再実行してください"},
        {248, u"最高画質を選択していないのでスルー（同名動画が既存）"},
        {86, u"サムネイル画像のDL完了"},
        {88, u"サムネ画像はDL不可能（削除動画）"},
        {125, u"同名別サイズの画像ファイルがDLされたので、別名で保存します"},
        {180, u"getbgmで想定外にID不取得"},
        {184, u"ニコ割のない動画（たぶん）"},
        {187, u"ニコ割の存在情報が安定せず（想定外のエラー）"},
        {206, u"サムネ画像はキャッシュから取得"},
        {228, u"キャッシュの削除に失敗"},
        {60, u"コメントのDL完了"},
        {71, u"ダウンロードするものを設定してください"},
        {91, u"動画のDL完了"},
        {231, u"完了しました。りゅんりゅん♪"},
        {239, u"既存の同名別サイズのファイルをリネーム"},
        {246, u"が低画質モードでDL不可"},
        {252, u"情報の残っていない削除動画"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(text_of(c.id), std::u16string(c.text));
    }
}

// Several log lines are built by gluing fragments around numbers; a fragment that lost its bracket or gained a
// blank would only show up in the joined sentence.
TEST(MessagesTest, FragmentsJoinIntoSentences) {
    EXPECT_EQ(text_of(31) + u"12" + text_of(32) + u"150" + text_of(209),
              u"成功数が「12」だけで上書出力の最低条件「150」に達しないので、出力しません");
    EXPECT_EQ(text_of(131) + u"2" + text_of(132), u"（2回目で成功）");
    EXPECT_EQ(u"5" + text_of(15) + u"4" + text_of(17), u"5個のうち、4個を処理したりゅん！");
    EXPECT_EQ(u"再構成" + text_of(37), u"再構成にユーザー操作で中止されました");
}

// Write failures are reported as 92 + the platform's cause number (1-14) and 107 for anything else, so the
// range must be complete and every entry must read as a write failure.
TEST(MessagesTest, FileWriteFailuresCoverEveryCause) {
    const std::u16string_view prefix = u"ファイル書込時：";
    for (int id = 93; id <= 107; ++id) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(message_text(id).starts_with(prefix));
    }
    EXPECT_FALSE(message_text(92).starts_with(prefix));
    EXPECT_FALSE(message_text(108).starts_with(prefix));
}

TEST(MessagesTest, TableIsSortedNonEmptyAndFindable) {
    // Workers load texts into a 256-unit buffer (terminator included) and cut anything longer.
    constexpr std::size_t worker_buffer_units = 256;
    const auto table = message_table();
    ASSERT_FALSE(table.empty());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const MessageEntry& e = table[i];
        SCOPED_TRACE(e.id);
        if (i > 0) {
            EXPECT_LT(table[i - 1].id, e.id);
        }
        EXPECT_GT(e.id, 0);
        EXPECT_FALSE(e.text.empty());
        EXPECT_LT(e.text.size(), worker_buffer_units);
        EXPECT_EQ(message_text(e.id).data(), e.text.data());
    }
}

TEST(MessagesTest, UnknownIdsGiveEmptyText) {
    for (int id : {INT_MIN, -1, 0, 3, 10, 51, 256, 300, INT_MAX}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(message_text(id).empty());
    }
}

} // namespace
} // namespace quippet
