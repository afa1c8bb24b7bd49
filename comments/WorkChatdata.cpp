#include "comments/WorkChatdata.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "comments/ChatScan.h"

namespace {

constexpr int kIntStep = 1000;
constexpr int kExtraStep = 10;

bool is_extra(int column) {
    return column >= static_cast<int>(ChatColumn::extra0) && column <= static_cast<int>(ChatColumn::extra4);
}

/// One resolved sort key: an integer column or a text column, and its direction.
struct SortKey {
    const int32_t* ints = nullptr;
    const ChatTextColumn* texts = nullptr;
    bool descending = false;
};

/// Column and direction of keys 0–12 in their plain form.
struct KeyDef {
    int column; ///< ChatColumn, or -1..-3 for user_id, text, mail
    bool descending;
};
constexpr int kUserIdKey = -1, kTextKey = -2, kMailKey = -3;
constexpr KeyDef kPlainKeys[13] = {
    {static_cast<int>(ChatColumn::position), false},
    {static_cast<int>(ChatColumn::source), false},
    {static_cast<int>(ChatColumn::filterable), false},
    {kUserIdKey, false},
    {static_cast<int>(ChatColumn::vpos), false},
    {static_cast<int>(ChatColumn::date), false},
    {static_cast<int>(ChatColumn::no), false},
    {static_cast<int>(ChatColumn::score), false},
    {static_cast<int>(ChatColumn::fork), true},
    {static_cast<int>(ChatColumn::premium), true},
    {kTextKey, false},
    {kMailKey, false},
    {static_cast<int>(ChatColumn::thread), false},
};

} // namespace

CWorkChatdata::CWorkChatdata() : order_(kIntStep), ids_a_(200), ids_b_(200) {
    ints_.reserve(kChatIntColumnCount);
    for (int c = 0; c < kChatIntColumnCount; ++c)
        ints_.emplace_back(is_extra(c) ? kExtraStep : kIntStep);
}

int CWorkChatdata::append_ints(const int32_t (&values)[kChatIntColumnCount]) {
    // Insertion numbers start at 0, so that column is stored from the start.
    ints_[0].add(values[0]);
    for (int c = 1; c < kChatIntColumnCount; ++c) {
        CIntArray& col = ints_[static_cast<size_t>(c)];
        if (col.count() > 0) {
            col.add(values[c]);
        } else if (count_ == 0) {
            uniform_[static_cast<size_t>(c)] = values[c];
        } else if (values[c] != uniform_[static_cast<size_t>(c)]) {
            materialize(c);
            col.add(values[c]);
        }
    }
    order_.add(count_);
    ++next_position_;
    return count_++;
}

int CWorkChatdata::add(const ChatEntry& e, int source) {
    mail_.add(e.mail.view());
    user_id_.add(e.user_id.view());
    text_.add(e.text.view());
    locale_.add(e.locale.view());
    // Same order as ChatColumn.
    const int32_t values[kChatIntColumnCount] = {next_position_,
                                                 e.vpos,
                                                 e.date,
                                                 e.no,
                                                 e.filterable,
                                                 e.score,
                                                 e.thread,
                                                 e.premium,
                                                 e.anonymity,
                                                 e.fork,
                                                 e.leaf,
                                                 e.deleted,
                                                 source,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0};
    return append_ints(values);
}

int CWorkChatdata::add_live(std::u16string_view text, std::u16string_view user_id, int vpos, int date, int source,
                            int aux1, int aux2, int aux3) {
    // The attributes a post does not have are stored as the 0 or empty text they would read as anyway,
    // so that every column stays aligned when other comments are added after these.
    mail_.add(u"");
    user_id_.add(user_id);
    text_.add(text);
    locale_.add(u"");
    const int32_t values[kChatIntColumnCount] = {next_position_, vpos, date, 0, 1, 0, 0,    0,    0,   0, 0, 0,
                                                 source,         0,    0,    0, 0, 0, aux1, aux2, aux3};
    return append_ints(values);
}

int CWorkChatdata::copy_to(int i, CWorkChatdata& other) const {
    if (i < 0 || i >= count_) return -1;
    other.mail_.add(mail_.get(i));
    other.user_id_.add(user_id_.get(i));
    other.text_.add(text_.get(i));
    other.locale_.add(locale_.get(i));
    int32_t values[kChatIntColumnCount];
    for (int c = 0; c < kChatIntColumnCount; ++c)
        values[c] = ints_[static_cast<size_t>(c)].get(i);
    values[static_cast<int>(ChatColumn::position)] = other.next_position_;
    return other.append_ints(values);
}

void CWorkChatdata::set(ChatColumn column, int i, int32_t value) {
    if (i < 0 || i >= count_) return;
    CIntArray& col = ints_[static_cast<size_t>(column)];
    if (col.count() == 0) {
        if (value == uniform_[static_cast<size_t>(column)]) return;
        materialize(static_cast<int>(column));
    }
    col.set(i, value);
}

void CWorkChatdata::materialize(int c) {
    CIntArray& col = ints_[static_cast<size_t>(c)];
    col.append_zeros(count_);
    if (const int32_t u = uniform_[static_cast<size_t>(c)]; u != 0) std::fill(col.data(), col.data() + count_, u);
}

int CWorkChatdata::count_empty_user_id() const {
    int n = 0;
    for (int i = 0; i < count_; ++i)
        n += user_id_.get(i).empty() ? 1 : 0;
    return n;
}

int CWorkChatdata::count_priority() const {
    int n = 0;
    for (int i = 0; i < count_; ++i)
        n += get(ChatColumn::filterable, i) == 0 ? 1 : 0;
    return n;
}

int CWorkChatdata::count_source(int source) const {
    int n = 0;
    for (int i = 0; i < count_; ++i)
        n += get(ChatColumn::source, i) == source ? 1 : 0;
    return n;
}

bool CWorkChatdata::mark_removed(int i) {
    if (i < 0 || i >= count_ || is_marked(i)) return false;
    column(ChatColumn::position).set(i, kRemovedMark);
    ++removed_;
    return true;
}

int CWorkChatdata::mark_source_from(int source) {
    int n = 0;
    for (int i = 0; i < count_; ++i)
        if (get(ChatColumn::source, i) >= source && mark_removed(i)) ++n;
    return n;
}

void CWorkChatdata::sort(int key1, int key2, int key3, int key4, int limit) {
    SortKey keys[4];
    int nkeys = 0;
    for (const int key : {key1, key2, key3, key4}) {
        KeyDef def{};
        if (key >= 0 && key < 13) {
            def = kPlainKeys[key];
        } else if (key >= 13 && key < 26) {
            def = kPlainKeys[key - 13];
            def.descending = !def.descending;
        } else if (key >= chat_key::extra && key < chat_key::extra + 10) {
            const int n = (key - chat_key::extra) % 5;
            def = {static_cast<int>(ChatColumn::extra0) + n, key >= chat_key::extra + 5};
        } else {
            break; // 99 or anything unknown ends the key list
        }
        // A column of one value orders nothing.
        if (def.column >= 0 && ints_[static_cast<size_t>(def.column)].count() == 0) continue;
        SortKey& k = keys[nkeys++];
        k.descending = def.descending;
        if (def.column == kUserIdKey) {
            k.texts = &user_id_;
        } else if (def.column == kTextKey) {
            k.texts = &text_;
        } else if (def.column == kMailKey) {
            k.texts = &mail_;
        } else {
            k.ints = ints_[static_cast<size_t>(def.column)].data();
        }
    }
    if (nkeys == 0) return;
    const int n = limit >= 0 && limit < count_ ? limit : count_;
    int32_t* order = order_.data();
    // Insertion numbers are unique while nothing is marked, and then every order of the keys is strict:
    // any sort gives what the comb sort gives, so a faster one may stand in for it.
    bool strict = false;
    for (int k = 0; k < nkeys; ++k)
        strict = strict || (keys[k].ints && keys[k].ints == ints_[static_cast<size_t>(ChatColumn::position)].data());
    strict = strict && removed_ == 0;

    bool all_ints = true;
    for (int k = 0; k < nkeys; ++k)
        all_ints = all_ints && keys[k].ints != nullptr;
    if (all_ints) {
        // The keys of each position side by side, biased so that unsigned order is the keys' order, so
        // that the sort compares two words instead of walking the columns through the order.
        struct Packed {
            uint64_t high, low;
            bool operator<(const Packed& o) const { return high != o.high ? high < o.high : low < o.low; }
        };
        auto word = [&](int k, int32_t i) -> uint64_t {
            if (k >= nkeys) return 0;
            const uint32_t u = static_cast<uint32_t>(keys[k].ints[i]) ^ 0x80000000u;
            return keys[k].descending ? ~u : u;
        };
        std::vector<Packed> packed(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
            packed[static_cast<size_t>(k)] = {word(0, order[k]) << 32 | word(1, order[k]),
                                              word(2, order[k]) << 32 | word(3, order[k])};
        bool sorted = true;
        for (int k = 1; k < n && sorted; ++k)
            sorted = !(packed[static_cast<size_t>(k)] < packed[static_cast<size_t>(k - 1)]);
        if (sorted) return; // the comb sort would not swap a thing
        if (strict) {
            std::vector<std::pair<Packed, int32_t>> pairs(static_cast<size_t>(n));
            for (int k = 0; k < n; ++k)
                pairs[static_cast<size_t>(k)] = {packed[static_cast<size_t>(k)], order[k]};
            std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            for (int k = 0; k < n; ++k)
                order[k] = pairs[static_cast<size_t>(k)].second;
            return;
        }
        quippet::comb_sort(
            n, [&](int a, int b) { return packed[static_cast<size_t>(a)] < packed[static_cast<size_t>(b)]; },
            [&](int a, int b) {
                std::swap(packed[static_cast<size_t>(a)], packed[static_cast<size_t>(b)]);
                std::swap(order[a], order[b]);
            });
        return;
    }

    auto compare = [&](int32_t a, int32_t b) {
        for (int k = 0; k < nkeys; ++k) {
            const SortKey& key = keys[k];
            int c;
            if (key.ints) {
                const int32_t va = key.ints[a], vb = key.ints[b];
                c = va < vb ? -1 : (va > vb ? 1 : 0);
            } else {
                c = key.texts->get(a).compare(key.texts->get(b));
            }
            if (c != 0) return key.descending ? -c : c;
        }
        return 0;
    };
    bool sorted = true;
    for (int k = 1; k < n && sorted; ++k)
        sorted = compare(order[k], order[k - 1]) >= 0;
    if (sorted) return;
    if (strict) {
        std::sort(order, order + n, [&](int32_t a, int32_t b) { return compare(a, b) < 0; });
        return;
    }
    quippet::comb_sort(
        n, [&](int a, int b) { return compare(order[a], order[b]) < 0; },
        [&](int a, int b) { std::swap(order[a], order[b]); });
}

void CWorkChatdata::rearrange(int keep) {
    const int n = count_;
    const int32_t* order = order_.data();
    // Integer columns: gather through one scratch column.
    std::vector<int32_t> scratch(static_cast<size_t>(n));
    for (CIntArray& col : ints_) {
        if (col.count() == 0) continue; // one value, wherever the comments go
        int32_t* values = col.data();
        for (int k = 0; k < n; ++k)
            scratch[static_cast<size_t>(k)] = values[order[k]];
        std::copy(scratch.begin(), scratch.begin() + keep, values);
        col.truncate(keep);
    }
    for (ChatTextColumn* col : {&mail_, &user_id_, &text_, &locale_})
        col->gather(order, keep);
    order_.truncate(keep);
    int32_t* identity = order_.data();
    for (int k = 0; k < keep; ++k)
        identity[k] = k;
    count_ = keep;
    removed_ = 0;
    for (int i = 0; i < keep; ++i)
        removed_ += is_marked(i) ? 1 : 0;
}

int CWorkChatdata::compact(CWorkChatdata* removed_out) {
    if (removed_ <= 0) return -1;
    if (removed_out) {
        for (int i = 0; i < count_; ++i)
            if (is_marked(i)) copy_to(i, *removed_out);
    }
    // What a sort by insertion number would give: the kept comments in that order (the numbers are unique),
    // the marked ones after them. Usually the indices already run in that order and no sort is needed.
    const int32_t* position = ints_[static_cast<size_t>(ChatColumn::position)].data();
    int32_t* order = order_.data();
    int kept = 0;
    bool ascending = true;
    int32_t last = -1;
    for (int i = 0; i < count_; ++i) {
        if (position[i] == kRemovedMark) continue;
        ascending = ascending && position[i] > last;
        last = position[i];
        order[kept++] = i;
    }
    if (!ascending)
        std::sort(order, order + kept, [position](int32_t a, int32_t b) { return position[a] < position[b]; });
    for (int i = 0, k = kept; i < count_; ++i)
        if (position[i] == kRemovedMark) order[k++] = i;
    const int dropped = count_ - kept;
    rearrange(kept);
    return dropped;
}

int CWorkChatdata::truncate(int n) {
    if (n < 0 || n >= count_) return -1;
    rearrange(n);
    return 0;
}

int CWorkChatdata::remove_ids(const CCharArrayW& ids, CWorkChatdata* removed_out) {
    if (ids.count() == 0 || count_ == 0) return 0;
    std::unordered_set<std::u16string_view> wanted;
    wanted.reserve(static_cast<size_t>(ids.count()));
    for (const auto& id : ids.items())
        wanted.insert(id);
    int marked = 0;
    for (int i = 0; i < count_; ++i) {
        if (!filterable(i) || is_marked(i) || !wanted.contains(user_id_.get(i))) continue;
        if (removed_out) copy_to(i, *removed_out);
        mark_removed(i);
        ++marked;
    }
    if (marked > 0) compact();
    return marked;
}

void CWorkChatdata::record_date_range(std::string_view utf8_text) {
    const quippet::AttributeRange range = quippet::attribute_range(utf8_text, "date");
    record_date_range(range.min, range.max, range.count);
}

void CWorkChatdata::record_date_range(int min_date, int max_date, int count) {
    last_max_date_ = count > 0 ? max_date : -1;
    last_min_date_ = count > 0 ? min_date : -1;
    if (ranges_recorded_++ == 0) {
        first_max_date_ = last_max_date_;
        first_min_date_ = last_min_date_;
    }
}
