#include "download/IdPatterns.h"

#include "net/InfoRules.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/Entities.h"
#include "text/FileSP.h"
#include "text/Regex.h"

namespace quippet {
namespace {

std::vector<std::u16string_view> fields_of(std::u16string_view line) {
    std::vector<std::u16string_view> out;
    size_t at = 0;
    while (true) {
        const size_t tab = line.find(u'\t', at);
        out.push_back(line.substr(at, tab == std::u16string_view::npos ? std::u16string_view::npos : tab - at));
        if (tab == std::u16string_view::npos) break;
        at = tab + 1;
    }
    return out;
}

std::vector<PatternEntry>* slot_of(PatternBlock& b, std::u16string_view key) {
    if (key == u"ＵＲＬ") return &b.url;
    if (key == u"区切") return &b.cut;
    if (key == u"ＩＤ") return &b.id;
    if (key == u"名前") return &b.title;
    if (key == u"日付") return &b.date;
    if (key == u"コメ") return &b.comments;
    if (key == u"再生") return &b.views;
    return nullptr;
}

bool has_method_and_argument(const std::vector<PatternEntry>& entries) {
    for (const auto& e : entries)
        if (!e.method.empty() && !e.args.empty() && !e.args[0].empty()) return true;
    return false;
}

void settle(PatternBlock& b) {
    if (!has_method_and_argument(b.cut))
        b.problem = u"区切";
    else if (!has_method_and_argument(b.id))
        b.problem = u"ＩＤ";
    else if (!has_method_and_argument(b.title))
        b.problem = u"名前";
    for (const auto& e : b.url) {
        auto rx = std::make_shared<Regex>();
        // "一致" must cover the whole address: anchored once here instead of at every page.
        const std::u16string pattern = e.method == u"一致" && !e.args.empty() ? u"^(?:" + e.args[0] + u")$"
                                       : e.args.empty()                       ? std::u16string()
                                                                              : e.args[0];
        if (e.args.empty() || (e.method != u"含む" && e.method != u"一致") || rx->compile(pattern) != 0) {
            b.url_regex.push_back(nullptr);
            continue;
        }
        b.url_regex.push_back(std::move(rx));
    }
}

std::u16string extract(std::u16string_view item, const std::vector<PatternEntry>& entries) {
    for (const auto& e : entries) {
        if (e.args.empty()) continue;
        const auto arg = [&](size_t i) -> std::u16string_view {
            return i < e.args.size() ? std::u16string_view(e.args[i]) : std::u16string_view();
        };
        std::optional<std::u16string_view> v;
        if (e.method == u"抜出")
            v = cut_between(item, arg(0), arg(1));
        else if (e.method == u"属性値")
            v = e.args.size() >= 2 ? attribute_value(item, arg(0), arg(1)) : std::nullopt;
        else if (e.method == u"括弧内")
            v = element_content(item, arg(0), arg(1), arg(2));
        if (v && !v->empty()) return std::u16string(*v);
    }
    return {};
}

std::u16string converted(std::u16string_view item, bool u_escapes) {
    if (!u_escapes) return std::u16string(item);
    CCharW text;
    text.assign(item);
    decode_u_escapes(text);
    std::u16string out(text.view());
    for (size_t at = out.find(u"\\/"); at != std::u16string::npos; at = out.find(u"\\/", at + 1))
        out.replace(at, 2, u"/");
    return out;
}

} // namespace

bool PatternBlock::applies_to(std::u16string_view address) const {
    if (url.empty()) return true;
    for (size_t i = 0; i < url.size(); ++i) {
        const Regex* rx = i < url_regex.size() ? url_regex[i].get() : nullptr;
        if (!rx) continue;
        if (rx->contains(address)) return true;
    }
    return false;
}

IdPatternFile IdPatternFile::parse(std::u16string_view text) {
    IdPatternFile file;
    PatternBlock* block = nullptr;
    int n = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        at = end + 1;
        ++n;
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (n == 1 && line.starts_with(u"\uFEFF")) line.remove_prefix(1);
        if (line.empty() || line.starts_with(u"//")) {
            if (end == text.size()) break;
            continue;
        }
        const std::u16string where = decimal_text(n) + u"行目：";
        if (line.starts_with(u"▼")) {
            if (block) settle(*block);
            file.blocks.emplace_back();
            block = &file.blocks.back();
            block->name = line.substr(1);
            block->line = n;
        } else if (!block) {
            file.problems.push_back(where + u"ブロックの外の行");
        } else {
            const auto fields = fields_of(line);
            std::vector<PatternEntry>* slot = slot_of(*block, fields[0]);
            if (!slot) {
                file.problems.push_back(where + u"知らないキー「" + std::u16string(fields[0]) + u"」");
            } else {
                PatternEntry e;
                if (fields.size() > 1) e.method = fields[1];
                for (size_t i = 2; i < fields.size(); ++i)
                    e.args.emplace_back(fields[i]);
                slot->push_back(std::move(e));
            }
        }
        if (end == text.size()) break;
    }
    if (block) settle(*block);
    for (const auto& b : file.blocks)
        if (!b.usable())
            file.problems.push_back(decimal_text(b.line) + u"行目：ブロック「" + b.name + u"」は「" + b.problem +
                                    u"」の指定が足りないので使いません");
    return file;
}

int cut_page_items(const IdPatternFile& file, std::u16string_view address, std::u16string_view page,
                   std::vector<PageItem>& items, size_t max_items) {
    for (size_t bi = 0; bi < file.blocks.size(); ++bi) {
        const PatternBlock& b = file.blocks[bi];
        if (!b.usable() || !b.applies_to(address)) continue;
        std::vector<PageItem> found;
        for (const auto& cut : b.cut) {
            if (cut.args.empty() || cut.args[0].empty()) continue;
            const bool u_escapes = cut.method == u"\\u変換";
            const std::u16string_view first = cut.args[0];
            const std::u16string_view second =
                cut.args.size() > 1 ? std::u16string_view(cut.args[1]) : std::u16string_view();
            size_t at = page.find(first);
            while (at != std::u16string_view::npos && found.size() < max_items) {
                std::u16string_view piece;
                size_t next;
                if (second.empty()) {
                    next = page.find(first, at + first.size());
                    piece = page.substr(at, next == std::u16string_view::npos ? std::u16string_view::npos : next - at);
                } else {
                    const size_t body = at + first.size();
                    const size_t stop = page.find(second, body);
                    if (stop == std::u16string_view::npos) break;
                    piece = page.substr(body, stop - body);
                    next = page.find(first, stop + second.size());
                }
                const std::u16string item = converted(piece, u_escapes);
                PageItem it;
                it.id = extract(item, b.id);
                it.title = extract(item, b.title);
                if (!it.id.empty() && !it.title.empty()) {
                    it.date = extract(item, b.date);
                    it.comments = extract(item, b.comments);
                    it.views = extract(item, b.views);
                    found.push_back(std::move(it));
                }
                at = next;
            }
            if (!found.empty()) break;
        }
        if (!found.empty()) {
            items = std::move(found);
            return static_cast<int>(bi);
        }
    }
    items.clear();
    return -1;
}

const std::u16string& default_id_pattern_text() {
    static const std::u16string text = crlf_lines({
        u"// 動画IDを抽出するパターン。ブロックは「▼名前」で始まり、上から順に試されます。",
        u"// ＵＲＬ（含む／一致・正規表現）に合うページを、区切（無変換／\\u変換・区切文字1[・区切文字2]）で",
        u"// 項目に分け、ＩＤ・名前・日付・コメ・再生を、抜出／属性値／括弧内で取り出します。",
        u"",
        u"▼RSS",
        u"ＵＲＬ\t含む\trss=2\\.0$",
        u"区切\t無変換\t<item>\t</item>",
        u"ＩＤ\t抜出\t<link>\t</link>",
        u"名前\t抜出\t<title>\t</title>",
        u"日付\t抜出\t<pubDate>\t</pubDate>",
        u"",
        u"▼検索・タグ・ホットリスト・新着",
        u"ＵＲＬ\t含む\t/(search|tag|hotlist|newarrival|mylist|ranking|user|series)(/|\\?|$)",
        u"区切\t無変換\t<li class=\"item\"",
        u"ＩＤ\t属性値\tli\tdata-video-id",
        u"ＩＤ\t抜出\thref=\"/watch/\t\"",
        u"名前\t属性値\ta\ttitle",
        u"名前\t括弧内\ta",
        u"日付\t括弧内\tspan\tclass\ttime",
        u"コメ\t括弧内\tspan\tclass\tcount comment",
        u"再生\t括弧内\tspan\tclass\tcount view",
        u"",
        u"▼検索・タグ（旧世代）",
        u"ＵＲＬ\t含む\t/(search|tag|hotlist|newarrival)(/|\\?|$)",
        u"区切\t無変換\t<div class=\"thumb_frm\"",
        u"ＩＤ\t抜出\thref=\"watch/\t\"",
        u"名前\t抜出\tclass=\"watch\" title=\"\t\"",
        u"日付\t括弧内\tstrong",
        u"コメ\t抜出\tコメント：<strong>\t</strong>",
        u"再生\t抜出\t再生：<strong>\t</strong>",
        u"",
        u"▼マイリスト",
        u"ＵＲＬ\t含む\t/mylist/",
        u"区切\t\\u変換\t\"item_type\"",
        u"ＩＤ\t抜出\t\"video_id\":\t,",
        u"名前\t抜出\t\"title\":\t,",
        u"日付\t抜出\t\"first_retrieve\":\t,",
        u"コメ\t抜出\t\"num_res\":\t,",
        u"再生\t抜出\t\"view_counter\":\t,",
        u"",
        u"▼ランキング",
        u"ＵＲＬ\t含む\t/ranking",
        u"区切\t無変換\t<div class=\"ranking-item\"",
        u"ＩＤ\t属性値\tdiv\tdata-video-id",
        u"名前\t属性値\ta\ttitle",
        u"再生\t括弧内\tspan\tclass\tview",
        u"コメ\t括弧内\tspan\tclass\tcomment",
        u"",
        u"▼ランキング（旧世代）",
        u"ＵＲＬ\t含む\t/ranking",
        u"区切\t無変換\t<div class=\"rankingNum\"",
        u"ＩＤ\t抜出\thref=\"watch/\t\"",
        u"名前\t抜出\tclass=\"watch\">\t</a>",
        u"",
        u"▼チャンネルの検索結果",
        u"ＵＲＬ\t含む\t/search_video/",
        u"区切\t無変換\t<li class=\"video\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t属性値\ta\ttitle",
        u"",
        u"▼チャンネルの番組動画",
        u"ＵＲＬ\t含む\t^https?://ch\\.[^/]+/[^/]+/video",
        u"区切\t無変換\t<li class=\"item\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t属性値\ta\ttitle",
        u"",
        u"▼チャンネルのトップ",
        u"ＵＲＬ\t一致\thttps?://ch\\.[^/]+/[^/?]+/?",
        u"区切\t無変換\t<div class=\"g-video\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t属性値\ta\ttitle",
        u"",
        u"▼おすすめ",
        u"ＵＲＬ\t含む\t/recommendations?(/|\\?|$)",
        u"区切\t無変換\t\"item\":{",
        u"ＩＤ\t抜出\t\"id\":\"\t\"",
        u"名前\t抜出\t\"title\":\"\t\"",
        u"",
        u"▼ユーザーの投稿動画",
        u"ＵＲＬ\t含む\t/user/[0-9]+/video",
        u"区切\t無変換\t<div class=\"NC-MediaObject\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t属性値\th2\ttitle",
        u"",
        u"▼ユーザーの投稿動画（旧世代）",
        u"ＵＲＬ\t含む\t/user/[0-9]+/video",
        u"区切\t無変換\t<div class=\"outer\"",
        u"ＩＤ\t抜出\thref=\"watch/\t\"",
        u"名前\t抜出\t<h4><a href=\"watch/\t</a>",
        u"",
        u"▼ユーザーのレポート",
        u"ＵＲＬ\t含む\t/user/[0-9]+/top",
        u"区切\t無変換\t<div class=\"log-content\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t括弧内\ta\tclass\tlog-target-title",
        u"",
        u"▼ユーザーのレポート（旧世代）",
        u"ＵＲＬ\t含む\t/my/top|/user/[0-9]+$",
        u"区切\t無変換\t<div class=\"log-body\"",
        u"ＩＤ\t抜出\twatch/\t\"",
        u"名前\t括弧内\ta",
        u"",
        u"▼コミュニティ動画（動画ID）",
        u"ＵＲＬ\t含む\t/community/co[0-9]+/video",
        u"区切\t無変換\t<div class=\"video\"",
        u"ＩＤ\t抜出\t/watch/sm\t\"",
        u"名前\t属性値\ta\ttitle",
        u"",
        u"▼コミュニティ動画（数字ID）",
        u"ＵＲＬ\t含む\t/community/co[0-9]+/video",
        u"区切\t無変換\t<div class=\"video\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t属性値\ta\ttitle",
        u"",
        u"▼アニメの新着",
        u"ＵＲＬ\t含む\tanime\\.",
        u"区切\t無変換\t<div class=\"video-item\"",
        u"ＩＤ\t抜出\t/watch/\t\"",
        u"名前\t括弧内\tp\tclass\ttitle",
        u"",
        u"▼視聴履歴",
        u"ＵＲＬ\t含む\t/my/history",
        u"区切\t\\u変換\t\"watchId\"",
        u"ＩＤ\t抜出\t:\"\t\"",
        u"名前\t抜出\t\"title\":\"\t\"",
        u"",
        u"▼外部サイト（動画一覧1）",
        u"ＵＲＬ\t含む\tnicolog\\.",
        u"区切\t無変換\t<tr class=\"video\"",
        u"ＩＤ\t抜出\twatch/\t\"",
        u"名前\t括弧内\ta",
        u"",
        u"▼外部サイト（動画一覧2）",
        u"ＵＲＬ\t含む\tnicochart\\.",
        u"区切\t無変換\t<li class=\"video\"",
        u"ＩＤ\t属性値\ta\tdata-id",
        u"名前\t属性値\ta\ttitle",
    });
    return text;
}

} // namespace quippet
