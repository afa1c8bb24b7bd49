#include "livelog/LiveLogConvert.h"

#include "livelog/LiveLogScanner.h"
#include "text/Encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace quippet {
namespace {

int to_int(std::int64_t v) {
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min() + 1LL, std::numeric_limits<int>::max() - 1LL));
}

/// An ID goes into an attribute: the "No." IDs of image boards may hold anything up to a blank.
void append_attribute_text(std::u16string_view text, std::u16string& out) {
    out.clear();
    for (char16_t c : text) {
        if (c == u'"')
            out.append(u"&quot;");
        else
            append_xml_escaped(std::u16string_view(&c, 1), out);
    }
}

enum class PostState { kNone, kCollecting, kDiscarded };

int& discard_counter(CWorkRecordWC& r, WcDiscard reason) {
    switch (reason) {
    case WcDiscard::kNgPrefix:
        return r.ng_prefix;
    case WcDiscard::kNgSuffix:
        return r.ng_suffix;
    case WcDiscard::kNgSubstring:
        return r.ng_substring;
    case WcDiscard::kNgExact:
        return r.ng_exact;
    case WcDiscard::kNgRegex:
        return r.ng_regex;
    case WcDiscard::kTooManyLines:
        return r.too_many_lines;
    default:
        return r.too_many_chars;
    }
}

constexpr int kBurstMemory = 15;

bool similar(std::u16string_view prev, std::u16string_view cur) {
    const size_t head = std::min<size_t>(2, cur.size());
    if (prev.size() >= head && prev.substr(0, head) == cur.substr(0, head)) return true;
    if (prev.size() >= 4 && cur.size() >= 4 && prev.substr(prev.size() - 4) == cur.substr(cur.size() - 4)) return true;
    return prev.find(cur.substr(0, std::min<size_t>(3, cur.size()))) != std::u16string_view::npos;
}

/// The break that ends the file's last line ends that line only: left in, it would read as one more,
/// empty line of the last post.
std::u16string_view without_final_line_break(std::u16string_view text) {
    if (text.ends_with(u'\n')) text.remove_suffix(1);
    if (text.ends_with(u'\r')) text.remove_suffix(1);
    return text;
}

} // namespace

void scan_live_log(std::u16string_view text, const WcTimingTable& timing, const WcBodyTools& tools, CWorkChatdata& set,
                   CWorkRecordWC& record) {
    WcBodyBuilder body(tools);
    PostState state = PostState::kNone;
    WcHeader post;
    std::u16string post_id;
    std::int64_t post_time = 0;
    WcDiscard reason = WcDiscard::kNone;
    std::unordered_set<std::u16string> keys_1000;
    std::u16string escaped_id;

    const auto commit = [&] {
        if (state == PostState::kNone) return;
        const int k = timing.locate(post_time, post.date.seconds < 0);
        if (k == kWcBeforeStart) {
            ++record.before_start;
        } else if (k == kWcInCut) {
            ++record.in_cut;
        } else if (k == kWcAfterEnd) {
            ++record.after_end;
        } else if (state == PostState::kDiscarded) {
            ++discard_counter(record, reason);
        } else {
            if (post.number == 1000 && !keys_1000.emplace(body.body().substr(0, 15)).second) {
                ++record.duplicate_1000;
                return;
            }
            const size_t seg = static_cast<size_t>(k);
            const std::int64_t vpos =
                (post_time - timing.ct[seg] + timing.vs[seg]) * 100 + std::max(post.date.hundredths, 0);
            append_attribute_text(post_id, escaped_id);
            set.add_live(body.body(), escaped_id, to_int(vpos), to_int(post_time), k, post.date.minute,
                         post.date.seconds, post.date.hundredths);
            ++record.accepted;
        }
    };

    WcLines lines(without_final_line_break(text));
    for (std::u16string_view line; lines.next(line);) {
        WcHeader header;
        switch (classify_line(line, header)) {
        case WcLineKind::kHeader:
            commit();
            state = PostState::kCollecting;
            post = header;
            post_id.assign(header.id);
            post.id = {};
            post_time = header.date.time();
            reason = WcDiscard::kNone;
            body.start();
            ++record.dated_lines;
            break;
        case WcLineKind::kMarker:
            commit();
            state = PostState::kNone;
            break;
        case WcLineKind::kOrdinary:
            if (state == PostState::kCollecting) {
                reason = body.add_line(line);
                if (reason != WcDiscard::kNone) state = PostState::kDiscarded;
            }
            break;
        }
    }
    commit();
}

void estimate_seconds(CWorkChatdata& set, const WcTimingTable& timing, CWorkRecordWC& record) {
    set.sort(chat_key::vpos, chat_key::position);
    std::vector<int> taking;
    for (int k = 0; k < set.count(); ++k)
        if (set.get(ChatColumn::aux2, set.at(k)) < 0) taking.push_back(set.at(k));
    if (taking.empty()) return;

    // Totals per segment and clock minute; the minute is the post's own (its time is the minute's start),
    // so a segment longer than an hour keeps its hours apart.
    const auto minute_key = [&](int i) {
        return static_cast<long long>(set.source(i)) * 100'000'000LL + set.date(i) / 60;
    };
    std::vector<int> weight(taking.size(), 100);
    std::unordered_map<long long, long long> total;
    std::array<std::u16string_view, kBurstMemory> recent{};
    size_t recent_next = 0;
    for (size_t j = 0; j < taking.size(); ++j) {
        const std::u16string_view cur = set.text(taking[j]);
        int hits = 0;
        for (const std::u16string_view prev : recent)
            if (similar(prev, cur) && ++hits >= 2) break;
        if (hits >= 2) {
            weight[j] = 1;
            ++record.advanced;
            for (size_t back = 1; back <= 2 && back <= j; ++back) {
                int& w = weight[j - back];
                if (w <= 1) continue;
                const int cut = w / 2;
                w -= cut;
                total[minute_key(taking[j - back])] -= cut;
            }
        }
        total[minute_key(taking[j])] += weight[j];
        recent[recent_next] = cur;
        recent_next = (recent_next + 1) % kBurstMemory;
    }

    std::unordered_map<long long, long long> running;
    int removed = 0;
    for (size_t j = 0; j < taking.size(); ++j) {
        const int i = taking[j];
        const long long key = minute_key(i);
        long long& run = running[key];
        const int g = std::min(
            59, static_cast<int>(std::floor(60.0 * static_cast<double>(run) / static_cast<double>(total[key]))));
        run += weight[j];
        const size_t seg = static_cast<size_t>(set.source(i));
        const std::int64_t minute_start = set.date(i);
        const std::int64_t low = std::max<std::int64_t>(0, timing.ct[seg] - minute_start);
        const std::int64_t high = std::min<std::int64_t>(59, timing.ct[seg] + timing.d[seg] - minute_start);
        if (g < low || g > high) {
            set.set(ChatColumn::vpos, i, CWorkChatdata::kRemovedMark);
            ++removed;
            continue;
        }
        set.set(ChatColumn::vpos, i, set.vpos(i) + g * 100);
        set.set(ChatColumn::aux2, i, g);
        ++record.no_seconds;
    }
    if (removed > 0) {
        set.sort(chat_key::vpos, chat_key::position);
        set.truncate(set.count() - removed);
    }
    record.seconds_guess = removed;
    record.accepted -= removed;
}

void spread_hundredths(CWorkChatdata& set, int& jitter, CWorkRecordWC& record) {
    set.sort(chat_key::vpos, chat_key::position);
    std::vector<int> missing;
    for (int k = 0; k < set.count(); ++k)
        if (set.get(ChatColumn::aux3, set.at(k)) < 0) missing.push_back(set.at(k));
    size_t first = 0;
    while (first < missing.size()) {
        const int vpos = set.vpos(missing[first]);
        size_t last = first + 1;
        while (last < missing.size() && set.vpos(missing[last]) == vpos)
            ++last;
        const int n = static_cast<int>(last - first);
        const double x = 100.0 / (n + 1);
        jitter = jitter >= 0 ? jitter + 1 : jitter - 1;
        if (static_cast<int>(std::floor(x * n)) + jitter >= 100) jitter = -1;
        if (static_cast<int>(std::floor(x)) + jitter < 0) jitter = 0;
        for (int k = 1; k <= n; ++k) {
            const int i = missing[first + static_cast<size_t>(k) - 1];
            set.set(ChatColumn::vpos, i, vpos + static_cast<int>(std::floor(x * k)) + jitter);
        }
        first = last;
    }
    record.no_hundredths = static_cast<int>(missing.size()) - record.no_seconds;
    record.no_id = set.count_empty_user_id();
}

void thin_comments(CWorkChatdata& set, int limit, CWorkRecordWC& record) {
    if (limit < 1 || set.count() <= limit) return;
    const int goal = set.count() - limit;
    set.sort(chat_key::vpos);
    std::vector<int> alive;
    alive.reserve(static_cast<size_t>(set.count()));
    for (int k = 0; k < set.count(); ++k)
        alive.push_back(set.at(k));
    std::vector<int> next;
    next.reserve(alive.size());
    long long gap = 0;
    int removed = 0;
    while (true) {
        next.clear();
        size_t p = 0;
        while (p < alive.size() && removed < goal) {
            const int a = alive[p];
            if (p + 1 < alive.size()) {
                const int b = alive[p + 1];
                if (static_cast<long long>(set.vpos(b)) - set.vpos(a) <= gap) {
                    set.mark_removed(a);
                    ++removed;
                    next.push_back(b);
                    p += 2;
                    continue;
                }
            }
            next.push_back(a);
            ++p;
        }
        if (removed >= goal) break;
        alive.swap(next);
        ++gap;
        if (gap > 500) gap *= 2;
    }
    set.compact();
    record.thinned = true;
    record.thin_limit = limit;
    record.thin_gap = gap;
}

std::u16string compose_report(const CWorkRecordWC& r, const WcRefTally& refs,
                              const std::vector<std::u16string>& replace_lines, std::u16string_view reconstruction) {
    std::u16string out;
    const auto line = [&](std::u16string_view label, long long n) {
        out.append(label).append(decimal_text(n)).append(u"\r\n");
    };
    const auto line_if = [&](std::u16string_view label, long long n) {
        if (n > 0) line(label, n);
    };
    line(u"投稿日時のある行と見なした数：", r.dated_lines);
    line(u"成功レス合計：", r.accepted);
    line_if(u"※成功レスのうち、IDが取得できなかった数：", r.no_id);
    line_if(u"※成功レスのうち、コンマが取得できなかった数：", r.no_hundredths);
    line_if(u"※成功レスのうち、秒とコンマが取得できなかった数：", r.no_seconds);
    line_if(u"※そのうち、表示タイミングを早めに処理した数：", r.advanced);

    const int discarded = r.discarded();
    const int total = r.total();
    const int out_of_time = r.out_of_time();
    const int p = total > 0 ? static_cast<int>(static_cast<long long>(discarded) * 100 / total) : 0;
    const int divisor = total - out_of_time;
    const int q = divisor > 0 ? static_cast<int>(static_cast<long long>(discarded - out_of_time) * 100 / divisor) : 0;
    out.append(u"廃棄レス合計：").append(decimal_text(discarded)).append(u"（廃棄率：").append(decimal_text(p));
    out.append(u"％／対象時間を無視した廃棄率：").append(decimal_text(q)).append(u"％）\r\n");

    std::vector<std::u16string> items;
    const auto item = [&](std::u16string_view label, int n) {
        if (n > 0) items.push_back(std::u16string(label) + decimal_text(n));
    };
    item(u"前方一致のNGワード：", r.ng_prefix);
    item(u"後方一致のNGワード：", r.ng_suffix);
    item(u"部分一致のNGワード：", r.ng_substring);
    item(u"正規表現のNGワード：", r.ng_regex);
    item(u"完全一致のNGワード：", r.ng_exact);
    item(u"行数が許容範囲以上：", r.too_many_lines);
    item(u"字数が許容範囲以上：", r.too_many_chars);
    item(u"レス番1000重複排除：", r.duplicate_1000);
    if (out_of_time > 0) {
        std::u16string detail =
            u"対象時間外の発言：" + decimal_text(out_of_time) + u"（開始前：" + decimal_text(r.before_start) + u"／";
        if (r.in_cut > 0) detail += u"CM：" + decimal_text(r.in_cut) + u"／";
        if (r.seconds_guess > 0) detail += u"秒数推測：" + decimal_text(r.seconds_guess) + u"／";
        detail += u"終了後：" + decimal_text(r.after_end) + u"）";
        items.push_back(std::move(detail));
    }
    for (size_t i = 0; i < items.size(); ++i)
        out.append(i + 1 < items.size() ? u"├" : u"└").append(items[i]).append(u"\r\n");

    if (refs.count > 0) {
        out.append(u"※文字参照を置換して処理（");
        for (size_t i = 0; i < refs.names.size(); ++i) {
            if (i > 0) out.push_back(u' ');
            out.append(u"&").append(refs.names[i]).append(u";");
        }
        out.append(u"）：").append(decimal_text(refs.count)).append(u"件\r\n");
    }
    if (r.thinned) {
        out.append(u"※成功レス").append(decimal_text(r.accepted)).append(u"から、").append(decimal_text(r.thin_limit));
        out.append(u"に間引いて出力（").append(decimal_text(r.thin_gap)).append(u"0ミリ秒以内の2連続まで削除）\r\n");
    }
    for (const std::u16string& l : replace_lines)
        out.append(u"※").append(l).append(u"\r\n");
    out.append(reconstruction);
    return out;
}

std::u16string diagnosis_text(const CWorkRecordWC& r) {
    constexpr std::u16string_view kTimeHint = u"起点の日付や、何時・何分・何秒の設定に問題があるかもしれません\r\n";
    if (r.dated_lines == 0)
        return u"変換元テキストを、実況のログとして解釈できませんでした\r\n"
               u"変換元テキストがカラッポか、当ツールの想定していない形式かもしれません\r\n";
    if (r.dated_lines == r.before_start)
        return u"指定された時間よりも前の投稿しか見つかりませんでした\r\n" + std::u16string(kTimeHint);
    if (r.dated_lines == r.after_end)
        return u"指定された時間よりも後の投稿しか見つかりませんでした\r\n" + std::u16string(kTimeHint);
    if (r.dated_lines == r.before_start + r.after_end)
        return u"指定された時間の範囲内の投稿が見つかりませんでした\r\n"
               u"時間・分・秒の設定（「終了」の数値など）に問題があるかもしれません\r\n";
    return {};
}

} // namespace quippet
