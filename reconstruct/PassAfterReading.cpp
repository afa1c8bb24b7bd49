#include "reconstruct/PassAfterReading.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "reconstruct/CommandSet.h"
#include "reconstruct/FuzzyFold.h"
#include "text/Entities.h"

namespace quippet {

namespace {

bool is_priority(const CWorkChatdata& data, int i) {
    return !data.filterable(i);
}
int position(const CWorkChatdata& data, int i) {
    return data.get(ChatColumn::position, i);
}

/// Sorts the indices by `key_of(i)`, worked out once for each and kept beside it, so that the sort reads
/// its keys in order instead of reaching into the columns in every comparison. The key must end with the
/// reading number, which is unique: the order is then strict and any sort gives it.
template <typename KeyOf> void sort_by_key(std::vector<int>& order, KeyOf key_of) {
    using Key = decltype(key_of(0));
    std::vector<std::pair<Key, int>> keyed;
    keyed.reserve(order.size());
    for (const int i : order)
        keyed.emplace_back(key_of(i), i);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = keyed[k].second;
}

void drop_marked(CWorkChatdata& data) {
    if (data.removed() > 0) data.compact();
}

/// The comments no earlier step of this run removed. Steps skip marked comments instead of compacting, so
/// that a whole run compacts the set once.
std::vector<int> unmarked(const CWorkChatdata& data) {
    std::vector<int> list;
    list.reserve(static_cast<size_t>(data.count()));
    for (int i = 0; i < data.count(); ++i)
        if (!data.is_marked(i)) list.push_back(i);
    return list;
}

/// Removed comments are copied when marked, because the compaction that drops them may come steps later.
void remove_to(CWorkChatdata& data, int i, CWorkChatdata* out) {
    if (out) data.copy_to(i, *out);
    data.mark_removed(i);
}

uint64_t mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
}

int compare_ints(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compare_texts(std::u16string_view a, std::u16string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// --- count limit ------------------------------------------------------------------------------------

int next_threshold(int t) {
    if (t <= 500) return t + 1;
    return t > INT_MAX / 2 ? INT_MAX : t * 2;
}

/// Thins `list` (ordered by vpos) in place down to `target` comments and returns the final threshold.
int thin_to(CWorkChatdata& data, std::vector<int>& list, int target, int& removed, CWorkChatdata* out) {
    if (static_cast<int>(list.size()) <= target) return 0;
    if (target <= 0) {
        for (const int i : list)
            remove_to(data, i, out);
        removed += static_cast<int>(list.size());
        list.clear();
        return 0;
    }
    int alive = static_cast<int>(list.size());
    int t = 0;
    std::vector<int> survivors;
    survivors.reserve(list.size());
    while (true) {
        survivors.clear();
        int64_t min_gap = INT64_MAX;
        bool any = false;
        // Pairs do not overlap: the kept member of a close pair is not compared again in the same pass.
        // Letting removals cascade along a dense stretch would empty the start of the video before the
        // count is reached and keep only its end; pairwise passes halve dense stretches evenly instead.
        size_t k = 0;
        while (k < list.size()) {
            if (k + 1 < list.size() && alive > target) {
                const int64_t gap = static_cast<int64_t>(data.vpos(list[k + 1])) - data.vpos(list[k]);
                if (gap <= t) {
                    remove_to(data, list[k], out);
                    survivors.push_back(list[k + 1]);
                    --alive;
                    ++removed;
                    any = true;
                    k += 2;
                    continue;
                }
                min_gap = std::min(min_gap, gap);
            }
            survivors.push_back(list[k]);
            ++k;
        }
        list.swap(survivors);
        if (alive <= target) return t;
        // A pass that removed nothing leaves the neighbours as they were, so the passes up to the
        // smallest gap would remove nothing either: skip them.
        do {
            t = next_threshold(t);
        } while (!any && t < min_gap && t != INT_MAX);
    }
}

void sort_by_vpos(const CWorkChatdata& data, std::vector<int>& list) {
    std::sort(list.begin(), list.end(), [&](int a, int b) {
        const int va = data.vpos(a), vb = data.vpos(b);
        return va != vb ? va < vb : position(data, a) < position(data, b);
    });
}

/// Thins `list` down to `budget`; with row order the earlier rows are kept whole, the row where the budget
/// runs out is thinned and the later rows go completely.
void thin_group(CWorkChatdata& data, std::vector<int> list, int budget, bool row_order_first,
                AfterReadingCounters& counters, CWorkChatdata* out) {
    if (static_cast<int>(list.size()) <= budget) return;
    if (!row_order_first) {
        sort_by_vpos(data, list);
        counters.thin_threshold =
            std::max(counters.thin_threshold, thin_to(data, list, budget, counters.limit_removed, out));
        return;
    }
    std::stable_sort(list.begin(), list.end(), [&](int a, int b) { return data.source(a) < data.source(b); });
    int left = budget;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = start;
        while (end < list.size() && data.source(list[end]) == data.source(list[start]))
            ++end;
        std::vector<int> row(list.begin() + static_cast<std::ptrdiff_t>(start),
                             list.begin() + static_cast<std::ptrdiff_t>(end));
        const int size = static_cast<int>(row.size());
        if (size <= left) {
            left -= size;
        } else if (left > 0 || counters.thin_row == 0) {
            if (counters.thin_row == 0) counters.thin_row = data.source(row.front()) + 1;
            sort_by_vpos(data, row);
            counters.thin_threshold =
                std::max(counters.thin_threshold, thin_to(data, row, left, counters.limit_removed, out));
            left = 0;
        } else {
            thin_to(data, row, 0, counters.limit_removed, out);
        }
        start = end;
    }
}

void thin(CWorkChatdata& data, const LimitOptions& options, AfterReadingCounters& counters, CWorkChatdata* out) {
    const int limit = std::max(0, options.limit);
    std::vector<int> ordinary, priority;
    for (const int i : unmarked(data))
        (is_priority(data, i) ? priority : ordinary).push_back(i);
    if (static_cast<int>(ordinary.size() + priority.size()) <= limit) return;
    counters.thin_threshold = 0;
    const int before = counters.limit_removed;
    if (static_cast<int>(priority.size()) >= limit) {
        thin_to(data, ordinary, 0, counters.limit_removed, out);
        const int ordinary_removed = counters.limit_removed - before;
        thin_group(data, std::move(priority), limit, options.row_order_first, counters, out);
        counters.limit_priority_removed += counters.limit_removed - before - ordinary_removed;
    } else {
        thin_group(data, std::move(ordinary), limit - static_cast<int>(priority.size()), options.row_order_first,
                   counters, out);
    }
}

/// Keeps the first `limit` comments of `less`'s order.
template <typename Less> void keep_first(CWorkChatdata& data, int limit, Less less, AfterReadingCounters& counters) {
    std::vector<int> order = unmarked(data);
    if (static_cast<int>(order.size()) <= limit) return;
    std::sort(order.begin(), order.end(), less);
    for (size_t k = static_cast<size_t>(std::max(0, limit)); k < order.size(); ++k) {
        data.mark_removed(order[k]);
        ++counters.limit_removed;
        if (is_priority(data, order[k])) ++counters.limit_priority_removed;
    }
}

void per_minute(CWorkChatdata& data, const LimitOptions& options, AfterReadingCounters& counters) {
    std::vector<int> order = unmarked(data);
    const int limit = std::max(0, options.limit);
    int max_vpos = 0;
    for (const int i : order)
        max_vpos = std::max(max_vpos, data.vpos(i));
    const int seconds = static_cast<int>((static_cast<int64_t>(max_vpos) + 99) / 100);
    // A file whose comments all sit at 0 still has one minute to fill.
    const int minutes = std::max(1, (seconds + 59) / 60);
    std::vector<int> quota(static_cast<size_t>(minutes), limit);
    if (options.partial_last_minute) {
        const int last_seconds = seconds - (minutes - 1) * 60;
        // Rounded down, with no floor: a second or two of closing credits may get no comment at all.
        quota.back() = static_cast<int>(static_cast<int64_t>(limit) * last_seconds / 60);
    }
    sort_by_key(order, [&](int i) {
        return std::tuple(options.row_order_first ? data.source(i) : 0,
                          options.newest_first ? -static_cast<int64_t>(data.date(i)) : int64_t{data.date(i)},
                          position(data, i));
    });
    std::vector<int> kept(static_cast<size_t>(minutes), 0);
    std::vector<char> keep(static_cast<size_t>(data.count()), 0);
    int total = 0;
    for (const int i : order) {
        // A comment exactly on the last whole minute belongs to that last minute, not to one past the end.
        const int minute = std::clamp(data.vpos(i) / 6000, 0, minutes - 1);
        int& in_minute = kept[static_cast<size_t>(minute)];
        if (in_minute < quota[static_cast<size_t>(minute)]) {
            ++in_minute;
        } else if (options.exempt_priority && is_priority(data, i)) {
            ++counters.exempted;
        } else {
            continue;
        }
        keep[static_cast<size_t>(i)] = 1;
        ++total;
    }
    // The top-up runs after the quotas so that it adds to them instead of crowding them out.
    if (options.fill_to_1000) {
        for (const int i : order) {
            if (total >= 1000) break;
            if (keep[static_cast<size_t>(i)]) continue;
            keep[static_cast<size_t>(i)] = 1;
            ++total;
        }
    }
    for (const int i : order) {
        if (keep[static_cast<size_t>(i)]) continue;
        data.mark_removed(i);
        ++counters.limit_removed;
        if (is_priority(data, i)) ++counters.limit_priority_removed;
    }
    counters.minute_limit = limit;
    counters.minutes = minutes;
    counters.minutes_saturated = 0;
    for (int k = 0; k < minutes; ++k)
        counters.minutes_saturated += kept[static_cast<size_t>(k)] >= quota[static_cast<size_t>(k)] ? 1 : 0;
    counters.minutes_short = minutes - counters.minutes_saturated;
}

// --- command-derived sort numbers --------------------------------------------------------------------

int index_in(const std::vector<std::u16string>& list, std::u16string_view value) {
    const auto it = std::find(list.begin(), list.end(), value);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

int hex_colour(std::u16string_view text) {
    if (text.size() != 7 || text[0] != u'#') return -1;
    int value = 0;
    for (size_t k = 1; k < 7; ++k) {
        const char16_t c = text[k];
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return -1;
        value = value * 16 + d;
    }
    return value;
}

int colour_key(const CommandVocabulary& v, std::u16string_view colour) {
    if (colour.empty()) return 0;
    const int names = static_cast<int>(v.color_names.size());
    int k = index_in(v.color_names, colour);
    if (k < 0) k = index_in(v.color_codes, colour);
    if (k >= 0) return 1 + k;
    k = index_in(v.hima_color_names, colour);
    if (k < 0) k = index_in(v.hima_color_codes, colour);
    if (k >= 0) return 1 + names + k;
    const int hex = hex_colour(colour);
    return hex < 0 ? 0 : 1 + names + static_cast<int>(v.hima_color_names.size()) + hex;
}

/// Whole part of a coordinate as written ("-5.5" gives -5), kept within ±5000.
int coordinate_value(std::u16string_view text) {
    size_t k = 0;
    const bool negative = !text.empty() && text[0] == u'-';
    if (negative) k = 1;
    int value = 0;
    for (; k < text.size() && text[k] >= u'0' && text[k] <= u'9'; ++k)
        value = std::min(5000, value * 10 + (text[k] - u'0'));
    return negative ? -value : value;
}

/// Coordinates order by x, then y; both are shifted so that every written pair gives a positive key.
int coordinate_key(const CommandSet& set) {
    if (set.coord_x.empty() && set.coord_y.empty()) return 0;
    const int x = coordinate_value(set.coord_x) + 5000;
    const int y = coordinate_value(set.coord_y) + 5000;
    return 1 + x * 10001 + y;
}

constexpr std::u16string_view kSortNames[18] = {
    u"読込順",     u"リスト行順", u"優先コメ", u"ID",       u"再生時間", u"投稿日時", u"No", u"スコア",   u"投稿者コメ",
    u"プレミアム", u"本文",       u"コマンド", u"スレッド", u"サイズ",   u"縦位置",   u"色", u"継続時間", u"座標"};

} // namespace

bool sort_key_is_derived(int key) {
    return key >= chat_key::extra && key < chat_key::extra + 10;
}

// --- fuzzy rules ------------------------------------------------------------------------------------

std::vector<FuzzyRule> parse_fuzzy_rules(std::span<const std::u16string> lines) {
    static constexpr std::u16string_view kArrow = u"[→]";
    std::vector<FuzzyRule> rules;
    for (std::u16string_view line : lines) {
        while (!line.empty() && (line.back() == u'\r' || line.back() == u'\n'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with(u"//")) continue;
        const size_t at = line.find(kArrow);
        if (at == std::u16string_view::npos || at == 0) continue;
        // The rules meet folded text, so a rule written in another width or case must be folded too.
        rules.push_back({fuzzy_folded(line.substr(0, at)), fuzzy_folded(line.substr(at + kArrow.size()))});
    }
    return rules;
}

std::u16string fuzzy_duplicate_text(std::u16string_view body, std::span<const FuzzyRule> rules) {
    CCharW decoded;
    decoded.assign(body);
    unescape_all(decoded);
    std::u16string text = fuzzy_folded(decoded.view());
    for (const FuzzyRule& rule : rules) {
        if (rule.from.empty()) continue;
        size_t at = text.find(rule.from);
        while (at != std::u16string::npos) {
            text.replace(at, rule.from.size(), rule.to);
            at = text.find(rule.from, at + rule.to.size());
        }
    }
    return text;
}

// --- chained ids ------------------------------------------------------------------------------------

namespace {

void mark_chained_ids(CWorkChatdata& data, const ChainIds& chains, AfterReadingCounters& counters,
                      const AfterReadingRemoved& removed) {
    int* const counts[3] = {&counters.ng_word_chain, &counters.common_ng_chain, &counters.command_chain};
    CWorkChatdata* const outs[3] = {removed.ng_word_chain, removed.common_ng_chain, removed.command_chain};
    // Each id with the first of the three lists that holds it, so that a comment costs one lookup.
    std::unordered_map<std::u16string_view, int> first_list;
    first_list.reserve(chains.ng_word.size() + chains.common_ng.size() + chains.command.size());
    int s = 0;
    for (const auto ids : {chains.ng_word, chains.common_ng, chains.command}) {
        for (const auto& id : ids)
            if (!id.empty()) first_list.emplace(id, s);
        ++s;
    }
    if (first_list.empty()) return;
    for (int i = 0; i < data.count(); ++i) {
        if (is_priority(data, i) || data.is_marked(i)) continue;
        const auto hit = first_list.find(data.user_id(i));
        if (hit == first_list.end()) continue;
        remove_to(data, i, outs[hit->second]);
        ++*counts[hit->second];
    }
}

// --- duplicates -------------------------------------------------------------------------------------

void mark_duplicates(CWorkChatdata& data, const DedupeOptions& o, AfterReadingCounters& counters,
                     CWorkChatdata* removed_out) {
    if (!o.enabled || !(o.no || o.date || o.vpos || o.user_id || o.mail || o.text)) return;
    std::vector<int> order = unmarked(data);
    // A comment without a number has nothing to share under "No"; -1 must not make them all one group.
    if (o.no) std::erase_if(order, [&](int i) { return data.no(i) < 0; });
    const int n = static_cast<int>(order.size());
    if (n < 2) return;
    std::vector<std::u16string> fuzzy;
    if (o.text && o.fuzzy) {
        fuzzy.resize(static_cast<size_t>(data.count()));
        for (const int i : order)
            fuzzy[static_cast<size_t>(i)] = fuzzy_duplicate_text(data.text(i), o.fuzzy_rules);
    }
    auto body = [&](int i) -> std::u16string_view {
        return fuzzy.empty() ? data.text(i) : std::u16string_view(fuzzy[static_cast<size_t>(i)]);
    };
    // Every criterion but the time window is an equality, so comments that can match at all share one
    // group; hashing finds the groups without comparing every pair.
    const std::hash<std::u16string_view> text_hash;
    std::vector<uint64_t> hash(static_cast<size_t>(data.count()));
    for (const int i : order) {
        uint64_t h = 0;
        if (o.no) h = mix(h, static_cast<uint32_t>(data.no(i)));
        if (o.date) h = mix(h, static_cast<uint32_t>(data.date(i)));
        if (o.user_id) h = mix(h, text_hash(data.user_id(i)));
        if (o.mail) h = mix(h, text_hash(data.mail(i)));
        if (o.text) h = mix(h, text_hash(body(i)));
        hash[static_cast<size_t>(i)] = h;
    }
    auto compare_group = [&](int a, int b) {
        int c = 0;
        if (o.no && (c = compare_ints(data.no(a), data.no(b))) != 0) return c;
        if (o.date && (c = compare_ints(data.date(a), data.date(b))) != 0) return c;
        if (o.user_id && (c = compare_texts(data.user_id(a), data.user_id(b))) != 0) return c;
        if (o.mail && (c = compare_texts(data.mail(a), data.mail(b))) != 0) return c;
        if (o.text && (c = compare_texts(body(a), body(b))) != 0) return c;
        return 0;
    };
    // Integer keys only: the texts are compared once per comment below, not once per comparison.
    sort_by_key(order, [&](int i) {
        return std::tuple(hash[static_cast<size_t>(i)], o.vpos ? data.vpos(i) : 0, position(data, i));
    });
    // Runs of one hash are almost always one group; a run that mixes groups (a collision) is split by
    // its texts, keeping the time and reading order inside each group. A run found to be one group is
    // remembered, so that its texts are not compared a second time below.
    std::vector<int> one_group_end(static_cast<size_t>(n), -1);
    for (int run = 0; run < n;) {
        int run_end = run + 1;
        while (run_end < n && hash[static_cast<size_t>(order[static_cast<size_t>(run_end)])] ==
                                  hash[static_cast<size_t>(order[static_cast<size_t>(run)])])
            ++run_end;
        const auto first = order.begin() + run, last = order.begin() + run_end;
        if (std::any_of(first + 1, last, [&](int i) { return compare_group(*first, i) != 0; }))
            std::stable_sort(first, last, [&](int a, int b) { return compare_group(a, b) < 0; });
        else
            one_group_end[static_cast<size_t>(run)] = run_end;
        run = run_end;
    }
    // Within a group each comment A meets the later ones in time (or reading) order until the window has
    // passed; a removed B is unlinked at once, so every comparison either removes a comment or ends A's turn.
    std::vector<int> next(static_cast<size_t>(n));
    std::iota(next.begin(), next.end(), 1);
    auto remove = [&](int i) {
        remove_to(data, i, removed_out);
        ++counters.duplicates;
        if (is_priority(data, i)) ++counters.priority_duplicates;
    };
    int start = 0;
    while (start < n) {
        int end = one_group_end[static_cast<size_t>(start)];
        if (end < 0) {
            end = start + 1;
            while (end < n &&
                   hash[static_cast<size_t>(order[static_cast<size_t>(end)])] ==
                       hash[static_cast<size_t>(order[static_cast<size_t>(start)])] &&
                   compare_group(order[static_cast<size_t>(start)], order[static_cast<size_t>(end)]) == 0)
                ++end;
        }
        for (int a = start; a < end; a = next[static_cast<size_t>(a)]) {
            const int ia = order[static_cast<size_t>(a)];
            int b = next[static_cast<size_t>(a)];
            while (b < end) {
                const int ib = order[static_cast<size_t>(b)];
                if (o.vpos && static_cast<int64_t>(data.vpos(ib)) - data.vpos(ia) > std::max(0, o.window)) break;
                if (is_priority(data, ib) && !is_priority(data, ia)) {
                    remove(ia);
                    break;
                }
                remove(ib);
                b = next[static_cast<size_t>(a)] = next[static_cast<size_t>(b)];
            }
        }
        start = end;
    }
}

// --- count limit ------------------------------------------------------------------------------------

void mark_count_limit(CWorkChatdata& data, const LimitOptions& options, AfterReadingCounters& counters,
                      CWorkChatdata* thinned_out) {
    if (!options.enabled || data.count() == 0) return;
    const int limit = std::max(0, options.limit);
    switch (options.method) {
    case LimitMethod::thin:
        thin(data, options, counters, thinned_out);
        break;
    case LimitMethod::newest_out:
        keep_first(
            data, limit,
            [&](int a, int b) {
                if (data.filterable(a) != data.filterable(b)) return !data.filterable(a);
                if (options.row_order_first && data.source(a) != data.source(b)) return data.source(a) < data.source(b);
                if (data.date(a) != data.date(b)) return data.date(a) < data.date(b);
                return position(data, a) < position(data, b);
            },
            counters);
        break;
    case LimitMethod::last_read_out:
        keep_first(
            data, limit,
            [&](int a, int b) {
                if (data.filterable(a) != data.filterable(b)) return !data.filterable(a);
                return position(data, a) < position(data, b);
            },
            counters);
        break;
    case LimitMethod::per_minute:
        per_minute(data, options, counters);
        break;
    }
}

} // namespace

void remove_chained_ids(CWorkChatdata& data, const ChainIds& chains, AfterReadingCounters& counters,
                        const AfterReadingRemoved& removed) {
    mark_chained_ids(data, chains, counters, removed);
    drop_marked(data);
}

void remove_duplicates(CWorkChatdata& data, const DedupeOptions& options, AfterReadingCounters& counters,
                       CWorkChatdata* removed_out) {
    mark_duplicates(data, options, counters, removed_out);
    drop_marked(data);
}

void apply_count_limit(CWorkChatdata& data, const LimitOptions& options, AfterReadingCounters& counters,
                       CWorkChatdata* thinned_out) {
    mark_count_limit(data, options, counters, thinned_out);
    drop_marked(data);
}

// --- sorting ----------------------------------------------------------------------------------------

int sort_key_from_name(std::u16string_view name) {
    const bool reversed = name.starts_with(u"*");
    if (reversed) name.remove_prefix(1);
    for (int k = 0; k < 18; ++k) {
        if (kSortNames[k] != name) continue;
        if (k < 13) return reversed ? k + chat_key::reversed : k;
        return chat_key::extra + (k - 13) + (reversed ? 5 : 0);
    }
    return -1;
}

void compute_command_keys(CWorkChatdata& data, const CommandVocabulary& vocabulary) {
    CommandSet set;
    for (int i = 0; i < data.count(); ++i) {
        parse_mail(data.mail(i), vocabulary, set, nullptr);
        const int size = set.size.empty() ? -1 : index_in(vocabulary.size_list, set.size);
        const int vertical = set.vertical.empty() ? -1 : index_in(vocabulary.vertical_list, set.vertical);
        data.set(ChatColumn::extra0, i, size + 1);
        data.set(ChatColumn::extra1, i, vertical + 1);
        data.set(ChatColumn::extra2, i, colour_key(vocabulary, set.color));
        data.set(ChatColumn::extra3, i, set.duration >= 0 ? 1 + set.duration : 0);
        data.set(ChatColumn::extra4, i, coordinate_key(set));
    }
}

void sort_and_renumber(CWorkChatdata& data, const AfterReadingOptions& options, const CommandVocabulary* vocabulary) {
    const int* keys = options.sort_keys;
    if (std::any_of(keys, keys + 4, sort_key_is_derived)) {
        if (vocabulary) {
            compute_command_keys(data, *vocabulary);
        } else {
            for (int i = 0; i < data.count(); ++i)
                for (const ChatColumn c : {ChatColumn::extra0, ChatColumn::extra1, ChatColumn::extra2,
                                           ChatColumn::extra3, ChatColumn::extra4})
                    data.set(c, i, 0);
        }
    }
    // An unchecked row drops out instead of ending the key list, so rows 1 and 3 give a two-key sort.
    int active[4] = {chat_key::none, chat_key::none, chat_key::none, chat_key::none};
    int count = 0;
    for (int k = 0; k < 4; ++k)
        if (keys[k] >= 0 && keys[k] != chat_key::none) active[count++] = keys[k];
    if (count > 0) data.sort(active[0], active[1], active[2], active[3]);
    if (options.renumber)
        for (int k = 0; k < data.count(); ++k)
            data.set(ChatColumn::no, data.at(k), k + 1);
}

void run_after_reading(CWorkChatdata& data, const AfterReadingOptions& options, const ChainIds& chains,
                       AfterReadingCounters& counters, const AfterReadingRemoved& removed,
                       const CommandVocabulary* vocabulary) {
    // Comments marked while reading must not be mistaken for this pass's removals.
    drop_marked(data);
    mark_chained_ids(data, chains, counters, removed);
    mark_duplicates(data, options.dedupe, counters, removed.duplicates);
    mark_count_limit(data, options.limit, counters, removed.thinned);
    drop_marked(data);
    sort_and_renumber(data, options, vocabulary);
}

} // namespace quippet
