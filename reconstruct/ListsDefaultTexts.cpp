#include <string>
#include <string_view>

#include "reconstruct/Lists.h"

namespace quippet {
namespace {

const std::u16string& ng_ids_text() {
    static const std::u16string text = crlf_lines({
        u"// 再構成の「NGID」「個」のリストです。",
        u"// 1行にひとつずつ、削除したいコメントの user_id を書きます（完全一致）。",
        u"// 「0,」で始まる行もIDとして扱います（NGword.ini 形式）。NGワードの行は無視されます。",
        u"// 先頭が「//」の行と空行は無視されます。",
    });
    return text;
}

const std::u16string& ng_words_text() {
    static const std::u16string text = crlf_lines({
        u"// 再構成の「NG語」「個」のリストです。1行にひとつずつNGワードを書きます。",
        u"// 大文字・小文字、全角・半角、ひらがな・カタカナの違いは区別しません。",
        u"// 「/」で始まり「/」で終わる行は正規表現になります（こちらは元の本文に対して検索します）。",
        u"// 行頭に「【連鎖】」を付けると、そのワードを書いた人の同じIDのコメントもすべて削除します。",
        u"// 行頭に「【単独】」を付けると連鎖しません。何も付けない行と「【    】」の行は「連」のチェックに従います。",
        u"// NGword.ini 形式の行（「0,」ID、「1,」ワード、「2,」正規表現）もそのまま使えます。",
        u"// 先頭が「//」の行と空行は無視されます。",
        u"",
        u"時報",
        u"/hidden",
        u"/[1-9１-９][0-9０-９]クール/",
        u"/(.)\\1{19,}/",
        u"/(つま|ツマ|ﾂﾏ|詰ま?)(らん|ラン|ﾗﾝ|[らラﾗんンﾝ][なナﾅねネﾈ])/",
        u"【連鎖】/(おも|面)(し?ろ|白|ん)い[かのん？\\?]/",
        u"【連鎖】死にます",
    });
    return text;
}

const std::u16string& common_ng_text() {
    static const std::u16string text = crlf_lines({
        u"// 再構成の「共NG」「共」のリストです。プリセットには保存されず、すべての設定で共通に使われます。",
        u"// 書き方は「NG語」のリストと同じです。「0,」で始まる行はNGIDになります。",
        u"// 「【連鎖】」「【単独】」「【    】」の付け方も同じです。",
        u"// 先頭が「//」の行と空行は無視されます。",
        u"",
        u"【単独】/^[\\s　]*$/",
        u"【単独】/^(.)\\1{29,}$/",
        u"【    】ネタバレ",
        u"【連鎖】/(死ね|氏ね|しね)/",
        u"【連鎖】荒らし",
    });
    return text;
}

const std::u16string& priority_ids_text() {
    static const std::u16string text = crlf_lines({
        u"// 再構成の「優先」「ID」「個」のリストです。1行にひとつずつ user_id を書きます（完全一致）。",
        u"// ここに書いたIDのコメントは優先コメントになり、NGや重複削除、コメント数制限などの対象から外れます。",
        u"// 先頭が「//」の行と空行は無視されます。",
        u"",
        u"SAMPLE_ID_AAAAAAAAAAAAAAAAA",
        u"SAMPLE_ID_BBBBBBBBBBBBBBBBB",
        u"SAMPLE_ID_CCCCCCCCCCCCCCCCC",
    });
    return text;
}

const std::u16string& replace_text() {
    static const std::u16string text = crlf_lines({
        u"// 再構成の「置換」のリストです。1行にひとつずつ、置換前と置換後をタブで区切って書きます。",
        u"// 置換前と置換後の両方を「/」で囲むと正規表現になります（置換後では $1 などが使えます）。",
        u"// 置換後を「//」にすると、一致した部分を削除します。",
        u"// 先頭が「//」の行と空行は無視されます。",
        u"",
        u"ダンボール戦記\tダンボール戦機",
        u"ピンクドラム\tピングドラム",
        u"/([wWｗＷ])\\1{16,}/\t/$1$1$1$1$1$1$1$1$1$1$1$1$1$1$1$1/",
        u"/([wWｗＷ])\\1+$/\t//",
    });
    return text;
}

const std::u16string& fuzzy_rules_text() {
    static const std::u16string text = crlf_lines({
        u"// 「重複コメ削除」の「曖昧」で本文を比べる前に行う置換のリストです。",
        u"// 1行にひとつずつ、置換前と置換後を「[→]」で区切って書きます。置換後が空なら削除になります。",
        u"// 本文は大文字・小文字、全角・半角、ひらがな・カタカナの違いをなくしてから比べます。",
        u"// ここに書いた文字も同じように揃えてから使われます。上の行から順に置換します。",
        u"// 先頭が「//」の行と空行は無視されます（行頭の空白は置換前の文字として扱います）。",
        u"",
        u" [→]",
        u"､[→]",
        u"･[→]",
        u"…[→]",
        u"聴[→]キ",
        u"聞[→]キ",
    });
    return text;
}

} // namespace

const std::u16string& list_file_default_text(ListFile file) {
    switch (file) {
    case ListFile::kNgIds:
        return ng_ids_text();
    case ListFile::kNgWords:
        return ng_words_text();
    case ListFile::kCommonNg:
        return common_ng_text();
    case ListFile::kPriorityIds:
        return priority_ids_text();
    case ListFile::kFuzzyRules:
        return fuzzy_rules_text();
    case ListFile::kReplace1:
    case ListFile::kReplace2:
        break;
    }
    return replace_text();
}

} // namespace quippet
