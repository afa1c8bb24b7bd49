#include "net/InfoRules.h"

#include "text/Ascii.h"
#include "text/Entities.h"

namespace quippet {
namespace {

constexpr std::u16string_view kCut = u"抜出";
constexpr std::u16string_view kAttribute = u"属性値";
constexpr std::u16string_view kContent = u"括弧内";

bool is_name_end(char16_t c) {
    return c == u'>' || c == u'/' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

/// The next opening tag of `element` at or after `from`: the position of "<" and of the ">" that ends the
/// tag; false when there is none.
bool next_open_tag(std::u16string_view text, std::u16string_view element, size_t from, size_t& open, size_t& close) {
    for (size_t at = text.find(u'<', from); at != std::u16string_view::npos; at = text.find(u'<', at + 1)) {
        if (text.substr(at + 1, element.size()) != element) continue;
        const size_t after = at + 1 + element.size();
        if (after >= text.size() || !is_name_end(text[after])) continue;
        const size_t end = text.find(u'>', after);
        if (end == std::u16string_view::npos) return false;
        open = at;
        close = end;
        return true;
    }
    return false;
}

/// The value of an attribute inside one tag's text (between "<" and ">").
std::optional<std::u16string_view> attribute_in_tag(std::u16string_view tag, std::u16string_view attribute) {
    for (size_t at = tag.find(attribute); at != std::u16string_view::npos; at = tag.find(attribute, at + 1)) {
        if (at == 0 || (tag[at - 1] != u' ' && tag[at - 1] != u'\t' && tag[at - 1] != u'\n' && tag[at - 1] != u'\r'))
            continue;
        size_t i = at + attribute.size();
        while (i < tag.size() && tag[i] == u' ')
            ++i;
        if (i >= tag.size() || tag[i] != u'=') continue;
        ++i;
        while (i < tag.size() && tag[i] == u' ')
            ++i;
        if (i >= tag.size()) return std::nullopt;
        const char16_t quote = tag[i];
        if (quote == u'"' || quote == u'\'') {
            const size_t end = tag.find(quote, i + 1);
            if (end == std::u16string_view::npos) return std::nullopt;
            return tag.substr(i + 1, end - i - 1);
        }
        size_t end = i;
        while (end < tag.size() && !is_name_end(tag[end]))
            ++end;
        return tag.substr(i, end - i);
    }
    return std::nullopt;
}

/// Content of the element whose opening tag ends at `close`: up to its closing tag, or nothing for a
/// self-closing tag. nullopt without a closing tag.
std::optional<std::u16string_view> content_after(std::u16string_view text, std::u16string_view element, size_t close) {
    if (close > 0 && text[close - 1] == u'/') return text.substr(close, 0);
    std::u16string end_tag = u"</";
    end_tag += element;
    // "</thumb" is also the start of "</thumbnail_url>": only a tag whose name ends there closes it.
    for (size_t end = text.find(end_tag, close + 1); end != std::u16string_view::npos;
         end = text.find(end_tag, end + 1)) {
        const size_t after = end + end_tag.size();
        if (after < text.size() && (text[after] == u'>' || text[after] == u' ' || text[after] == u'\t' ||
                                    text[after] == u'\r' || text[after] == u'\n'))
            return text.substr(close + 1, end - close - 1);
    }
    return std::nullopt;
}

std::u16string expanded(std::u16string_view arg) {
    CCharW text(arg);
    expand_line_tokens(text);
    return std::u16string(text.view());
}

size_t required_args(std::u16string_view method) {
    if (method == kCut) return 1;
    if (method == kAttribute) return 2;
    if (method == kContent) return 1;
    return 0;
}

} // namespace

std::optional<std::u16string_view> cut_between(std::u16string_view text, std::u16string_view before,
                                               std::u16string_view after) {
    if (before.empty()) return std::nullopt;
    const size_t at = text.find(before);
    if (at == std::u16string_view::npos) return std::nullopt;
    const size_t from = at + before.size();
    if (after.empty()) return text.substr(from);
    const size_t end = text.find(after, from);
    if (end == std::u16string_view::npos) return std::nullopt;
    return text.substr(from, end - from);
}

std::optional<std::u16string_view> attribute_value(std::u16string_view text, std::u16string_view element,
                                                   std::u16string_view attribute) {
    if (element.empty() || attribute.empty()) return std::nullopt;
    size_t open = 0, close = 0;
    for (size_t from = 0; next_open_tag(text, element, from, open, close); from = close + 1) {
        if (auto value = attribute_in_tag(text.substr(open, close - open), attribute)) return value;
    }
    return std::nullopt;
}

std::optional<std::u16string_view> element_content(std::u16string_view text, std::u16string_view element,
                                                   std::u16string_view attribute, std::u16string_view value) {
    if (element.empty()) return std::nullopt;
    size_t open = 0, close = 0;
    for (size_t from = 0; next_open_tag(text, element, from, open, close); from = close + 1) {
        if (!attribute.empty()) {
            const auto found = attribute_in_tag(text.substr(open, close - open), attribute);
            if (!found || (!value.empty() && *found != value)) continue;
        }
        return content_after(text, element, close);
    }
    return std::nullopt;
}

std::vector<std::u16string_view> element_contents(std::u16string_view text, std::u16string_view element) {
    std::vector<std::u16string_view> out;
    if (element.empty()) return out;
    size_t open = 0, close = 0;
    for (size_t from = 0; next_open_tag(text, element, from, open, close);) {
        const auto content = content_after(text, element, close);
        if (!content) break;
        out.push_back(*content);
        from = static_cast<size_t>(content->data() - text.data()) + content->size();
    }
    return out;
}

InfoRules InfoRules::parse(std::u16string_view text) {
    InfoRules rules;
    while (!text.empty()) {
        const size_t end = text.find_first_of(u"\r\n");
        std::u16string_view line = text.substr(0, end);
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        if (line.starts_with(u"//") || line.find(u'\t') == std::u16string_view::npos) continue;
        std::vector<std::u16string_view> fields = split_view(line, u'\t');
        while (!fields.empty() && fields.back().empty())
            fields.pop_back();
        if (fields.size() < 2 || fields[0].empty()) continue;
        InfoRule rule;
        rule.key = fields[0];
        const size_t need = required_args(fields[1]);
        if (need > 0) {
            if (fields.size() - 2 < need) continue;
            rule.method = fields[1];
            for (size_t i = 2; i < fields.size(); ++i)
                rule.args.push_back(rule.method == kCut ? expanded(fields[i]) : std::u16string(fields[i]));
        } else if (fields.size() == 2) {
            rule.constant = fields[1];
        } else {
            continue; // a method this program does not know
        }
        rules.rules_.push_back(std::move(rule));
    }
    return rules;
}

const InfoRule* InfoRules::find(std::u16string_view key) const {
    for (const InfoRule& rule : rules_)
        if (rule.key == key) return &rule;
    return nullptr;
}

std::optional<std::u16string_view> InfoRules::apply(std::u16string_view key, std::u16string_view target) const {
    const InfoRule* rule = find(key);
    if (!rule) return std::nullopt;
    auto arg = [&](size_t i) {
        return i < rule->args.size() ? std::u16string_view(rule->args[i]) : std::u16string_view();
    };
    if (rule->method == kCut) return cut_between(target, arg(0), arg(1));
    if (rule->method == kAttribute) return attribute_value(target, arg(0), arg(1));
    if (rule->method == kContent) return element_content(target, arg(0), arg(1), arg(2));
    return std::u16string_view(rule->constant);
}

std::u16string_view InfoRules::constant(std::u16string_view key) const {
    const InfoRule* rule = find(key);
    return rule && rule->method.empty() ? std::u16string_view(rule->constant) : std::u16string_view();
}

std::vector<std::u16string_view> InfoRules::apply_all(std::u16string_view key, std::u16string_view target) const {
    const InfoRule* rule = find(key);
    if (!rule) return {};
    if (rule->method.empty()) return element_contents(target, rule->constant);
    if (rule->method == kContent) return element_contents(target, rule->args[0]);
    if (auto one = apply(key, target)) return {*one};
    return {};
}

const InfoRules& InfoRules::defaults() {
    static const InfoRules rules = parse(default_text());
    return rules;
}

const std::u16string& InfoRules::default_text() {
    static const std::u16string text = [] {
        std::u16string t;
        auto rule = [&](std::initializer_list<std::u16string_view> fields) {
            bool first = true;
            for (std::u16string_view f : fields) {
                if (!first) t += u'\t';
                t += f;
                first = false;
            }
            t += u"\r\n";
        };
        auto note = [&](std::u16string_view line) {
            t += u"// ";
            t += line;
            t += u"\r\n";
        };
        note(u"動画情報の取得の設定（タブ区切り：キー、方法、引数）");
        note(u"方法：「抜出」前 後／「属性値」要素 属性／「括弧内」要素 [属性 [値]]／方法なし＝比較用の定数");
        note(u"「抜出」の引数では <%改行%> <%CR%> <%LF%> <%タブ%> が使えます。iOS用のAPIのキーは先頭に「V」");
        note(u"getthumbinfo");
        rule({u"ﾚｽﾎﾟﾝｽ", kAttribute, u"nicovideo_thumb_response", u"status"});
        rule({u"成功時", u"ok"});
        rule({u"失敗時", u"fail"});
        rule({u"区切成", kContent, u"thumb"});
        rule({u"m_type", kContent, u"movie_type"});
        rule({u"s_high", kContent, u"size_high"});
        rule({u"s_low", kContent, u"size_low"});
        rule({u"ｿｰｽID", kContent, u"video_id"});
        rule({u"動画名", kContent, u"title"});
        rule({u"ｻﾑﾈURL", kContent, u"thumbnail_url"});
        rule({u"ｺﾒﾝﾄ数", kContent, u"comment_num"});
        rule({u"再生数", kContent, u"view_counter"});
        rule({u"ﾏｲﾘｽ数", kContent, u"mylist_counter"});
        rule({u"投稿日", kContent, u"first_retrieve"});
        rule({u"長さ", kContent, u"length"});
        rule({u"説明文S", kContent, u"description"});
        rule({u"ﾀｸﾞ範囲", kContent, u"tags", u"domain", u"jp"});
        rule({u"ﾀｸﾞ範海", kContent, u"tags"});
        rule({u"ﾀｸﾞ要素", u"tag"});
        rule({u"区切失", kContent, u"error"});
        rule({u"ｴﾗｰｺｰﾄﾞ", kContent, u"code"});
        rule({u"ｴﾗｰ記述", kContent, u"description"});
        rule({u"削除C", u"DELETED"});
        rule({u"存在C", u"NOT_FOUND"});
        rule({u"権限C", u"COMMUNITY"});
        rule({u"削除D", u"deleted"});
        rule({u"存在D", u"not found or invalid"});
        rule({u"権限D", u"community"});
        note(u"iOS用のAPI（video.array）");
        rule({u"Vﾚｽﾎﾟﾝｽ", kAttribute, u"nicovideo_video_response", u"status"});
        rule({u"V成功時", u"ok"});
        rule({u"V区切成", kContent, u"video_info"});
        rule({u"Vm_type", kContent, u"movie_type"});
        rule({u"Vs_low", kContent, u"size_low"});
        rule({u"V動画名", kContent, u"title"});
        rule({u"VｻﾑﾈURL", kContent, u"thumbnail_url"});
        rule({u"V再生数", kContent, u"view_counter"});
        rule({u"Vﾏｲﾘｽ数", kContent, u"mylist_counter"});
        rule({u"V投稿日", kContent, u"first_retrieve"});
        rule({u"V長さ", kContent, u"length_in_seconds"});
        rule({u"V説明文S", kContent, u"description"});
        rule({u"VｿｰｽID", kContent, u"id"});
        rule({u"VﾃﾞﾌｫID", kContent, u"default_thread"});
        rule({u"V要素B", u"Vｺﾒﾝﾄ数|VｽﾚID"});
        rule({u"V区切B", kContent, u"thread"});
        rule({u"Vｺﾒﾝﾄ数", kContent, u"num_res"});
        rule({u"VｽﾚID", kContent, u"id"});
        rule({u"V要素C", u"Vchｺﾒ数|VchID"});
        rule({u"V区切C", kContent, u"channel_thread"});
        rule({u"Vchｺﾒ数", kContent, u"num_res"});
        rule({u"VchID", kContent, u"id"});
        rule({u"Vﾀｸﾞ範囲", kContent, u"tags"});
        rule({u"Vﾀｸﾞ要素範囲", kContent, u"tag_info"});
        rule({u"Vﾀｸﾞ要素", kContent, u"tag"});
        rule({u"Vﾀｸﾞ地域", kContent, u"area"});
        rule({u"Vﾀｸﾞ国内条件", u"jp"});
        rule({u"V旗削除", kContent, u"deleted"});
        rule({u"V旗コミ", kContent, u"option_flag_community"});
        note(u"動画閲覧ページ");
        rule({u"零判定", u"<title>ニコニコ動画:GINZA</title>"});
        rule({u"零下限", u"</title>"});
        rule({u"区切閲X1", kCut, u"<div id=\"watchAPIDataContainer\"", u"</div>"});
        rule({u"区切閲X2", kCut, u"&quot;videoDetail&quot;"});
        rule({u"ｽﾚｯﾄﾞIDX", kCut, u"&quot;thread_id&quot;:", u","});
        rule({u"ｿｰｽIDX", kCut, u"&quot;id&quot;:", u","});
        rule({u"動画名X", kCut, u"&quot;title&quot;:", u","});
        rule({u"ｺﾒﾝﾄ数X", kCut, u"&quot;commentCount&quot;:", u","});
        rule({u"再生数X", kCut, u"&quot;viewCount&quot;:", u","});
        rule({u"ﾏｲﾘｽ数X", kCut, u"&quot;mylistCount&quot;:", u","});
        rule({u"投稿日X", kCut, u"&quot;postedAt&quot;:", u","});
        rule({u"長さX", kCut, u"&quot;length&quot;:", u","});
        rule({u"説明文X", kCut, u"&quot;description&quot;:", u","});
        rule({u"タグX", kCut, u"&quot;tagList&quot;:", u"]"});
        rule({u"タグX前", u"&quot;tag&quot;:&quot;"});
        rule({u"タグX後", u"&quot;,"});
        rule({u"動画名X2", kContent, u"span", u"class", u"videoHeaderTitle"});
        rule({u"区切閲", kCut, u"var VideoForIchibaFromNicovideo = {", u"};"});
        rule({u"ｽﾚｯﾄﾞID", kCut, u"thread_id: '", u"'"});
        rule({u"ｿｰｽID2", kCut, u"v: '", u"'"});
        rule({u"動画名2", kCut, u"title: '", u"'"});
        rule({u"再生数2", kCut, u"view_counter: ", u","});
        rule({u"ｺﾒﾝﾄ数2", kCut, u"comment_num: ", u","});
        rule({u"ﾏｲﾘｽ数2", kCut, u"mylist_counter: ", u","});
        rule({u"投稿日2", kCut, u"first_retrieve: '", u"'"});
        rule({u"長さ2", kCut, u"length: ", u","});
        rule({u"説明文", kCut, u"description: '", u"'"});
        rule({u"動画名3", kCut, u"<title>", u" ‐ ニコニコ動画"});
        rule({u"区切ス1", kCut, u"name=\"thread_id\" value=\"", u"\""});
        rule({u"区切説1", kCut, u"<p class=\"video_description\">", u"</p>"});
        rule({u"区切説2", kCut, u"<div class=\"videoDescription\">", u"</div>"});
        rule({u"残すﾀｸﾞ", u"a|br|b|i|s|u|font|span"});
        rule({u"除改行", u"1"});
        rule({u"除冒頭", u"1"});
        rule({u"除末尾", u"1"});
        rule({u"区切タ", kCut, u"<body ", u"</body>"});
        rule({u"範囲頭", u"<a "});
        rule({u"範囲尾", u"</a>"});
        rule({u"ﾀｸﾞ抽出", kContent, u"a", u"rel", u"tag"});
        note(u"getbgm（ユーザーニコ割）");
        rule({u"BGMﾚｽ", kAttribute, u"bgm_video", u"status"});
        rule({u"BGM成功", u"ok"});
        rule({u"BGM失敗", u"fail"});
        rule({u"BGM失区", kContent, u"error"});
        rule({u"BGMｺｰﾄﾞ", kContent, u"code"});
        rule({u"BGM無C", u"NONEXIST"});
        rule({u"BGM不C", u"PARAMERROR"});
        rule({u"BGM頭", u"<bgm>"});
        rule({u"BGM尾", u"</bgm>"});
        rule({u"BGMid", kContent, u"id"});
        rule({u"BGMurl", kContent, u"url"});
        note(u"検索結果のページ");
        rule({u"hit数1", kContent, u"span", u"class", u"searchTotal"});
        rule({u"hit数2", kCut, u"<strong class=\"search_total\">", u"</strong>"});
        return t;
    }();
    return text;
}

} // namespace quippet
