#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "comments/ChatEntry.h"
#include "comments/ChatTextColumn.h"
#include "text/CharArray.h"

/// Integer columns of a comment set.
enum class ChatColumn : int {
    /// Insertion number: reading order over everything added. kRemovedMark marks a comment for removal.
    position,
    vpos,
    date,
    no,
    /// 1 ordinary, 0 priority comment.
    filterable,
    score,
    thread,
    premium,
    anonymity,
    fork,
    leaf,
    deleted,
    /// Index of the input file the comment came from (the live-log converter keeps its time segment here).
    source,
    /// Five numbers the reconstruction pass keeps per comment.
    extra0,
    extra1,
    extra2,
    extra3,
    extra4,
    /// Three numbers only the live-log converter uses.
    aux1,
    aux2,
    aux3,
};
inline constexpr int kChatIntColumnCount = 21;

/// Sort keys of CWorkChatdata::sort. Keys 13–25 and 31–35 are the reversed forms; fork and premium sort
/// descending under their plain key so that uploader and premium comments come first.
namespace chat_key {
inline constexpr int position = 0, source = 1, filterable = 2, user_id = 3, vpos = 4, date = 5, no = 6, score = 7,
                     fork = 8, premium = 9, text = 10, mail = 11, thread = 12;
/// Added to a key 0–12 for its reversed form.
inline constexpr int reversed = 13;
/// extra n ascending is `extra + n`, descending `extra + 5 + n`.
inline constexpr int extra = 26;
/// No (further) key.
inline constexpr int none = 99;
} // namespace chat_key

/// The comments of one or more comment files, stored column by column. Comment i (its index) is the i-th
/// comment physically held; the order column says which comment stands at each position of the set, and
/// only it moves when the set is sorted. Removal is mark and compact: marking costs nothing, and compacting
/// drops every marked comment in one step.
///
/// Every column reads as count() values and the order column is a permutation of 0 … count()-1. An integer
/// column whose values have all been the same stores just that value (most files never use half of the
/// columns, and one thread fills another); one that stores anything stores all count() values.
class CWorkChatdata {
public:
    static constexpr int32_t kRemovedMark = 2147483647;

    CWorkChatdata();
    CWorkChatdata(const CWorkChatdata&) = default;
    CWorkChatdata& operator=(const CWorkChatdata&) = default;
    virtual ~CWorkChatdata() = default;

    int count() const { return count_; }
    /// Comments marked and not yet compacted away.
    int removed() const { return removed_; }

    // --- adding -----------------------------------------------------------------------------------------
    /// Appends the comment (its `work_text` is not kept); returns its index.
    int add(const ChatEntry& entry, int source);
    /// A live-thread post: no mail, filterable, and 0 or empty for every attribute it does not have.
    int add_live(std::u16string_view text, std::u16string_view user_id, int vpos, int date, int source, int aux1,
                 int aux2, int aux3);
    /// Appends comment i, every column included, to `other`; returns its index there.
    int copy_to(int i, CWorkChatdata& other) const;

    // --- reading ----------------------------------------------------------------------------------------
    /// Index of the comment at position k of the current order (0 outside the set).
    int at(int k) const { return order_.get(k); }
    int get(ChatColumn column, int i) const {
        const CIntArray& col = ints_[static_cast<size_t>(column)];
        if (col.count() > 0) return col.get(i);
        return i >= 0 && i < count_ ? uniform_[static_cast<size_t>(column)] : 0;
    }
    void set(ChatColumn column, int i, int32_t value);
    std::u16string_view user_id(int i) const { return user_id_.get(i); }
    std::u16string_view mail(int i) const { return mail_.get(i); }
    std::u16string_view text(int i) const { return text_.get(i); }
    std::u16string_view locale(int i) const { return locale_.get(i); }
    void set_user_id(int i, std::u16string_view value) { user_id_.set(i, value); }
    void set_mail(int i, std::u16string_view value) { mail_.set(i, value); }
    void set_text(int i, std::u16string_view value) { text_.set(i, value); }
    void set_locale(int i, std::u16string_view value) { locale_.set(i, value); }
    int vpos(int i) const { return get(ChatColumn::vpos, i); }
    int date(int i) const { return get(ChatColumn::date, i); }
    int no(int i) const { return get(ChatColumn::no, i); }
    int source(int i) const { return get(ChatColumn::source, i); }
    bool filterable(int i) const { return get(ChatColumn::filterable, i) != 0; }
    /// Lengths summed over every comment, for sizing outputs.
    int total_user_id_length() const { return user_id_.total_length(); }
    int total_mail_length() const { return mail_.total_length(); }
    int total_text_length() const { return text_.total_length(); }
    int total_locale_length() const { return locale_.total_length(); }

    // --- counting ---------------------------------------------------------------------------------------
    int count_empty_user_id() const;
    /// Comments that are not filterable (priority comments).
    int count_priority() const;
    int count_source(int source) const;

    // --- removal ----------------------------------------------------------------------------------------
    /// Marks comment i for removal; false when it already was (or does not exist).
    bool mark_removed(int i);
    bool is_marked(int i) const { return get(ChatColumn::position, i) == kRemovedMark; }
    /// Marks every comment whose source is `source` or later; returns how many were newly marked.
    int mark_source_from(int source);
    /// Drops the marked comments, first copying them to `removed_out` when given. The others return to
    /// insertion order, undoing any sort. The number dropped, or -1 when nothing was marked.
    int compact(CWorkChatdata* removed_out = nullptr);
    /// Keeps the comments at the first n positions, in their current order. 0 when cut, -1 when n is
    /// outside 0 … count()-1.
    int truncate(int n);
    /// Marks every filterable comment whose user_id is in `ids` (copying it to `removed_out` when given)
    /// and compacts when any was marked. The number marked.
    int remove_ids(const CCharArrayW& ids, CWorkChatdata* removed_out = nullptr);

    // --- sorting ----------------------------------------------------------------------------------------
    /// Comb sort of the order by up to four keys (chat_key); the first key that differs decides. With
    /// `limit` ≥ 0 only the first `limit` positions take part.
    void sort(int key1, int key2 = chat_key::none, int key3 = chat_key::none, int key4 = chat_key::none,
              int limit = -1);

    // --- ids of removed posters -----------------------------------------------------------------------
    /// Unique user ids whose comments the common NG-word filter (A) or the NG-word filter (B) removed.
    int add_id_a(std::u16string_view id) { return ids_a_.add_unique(id); }
    int add_id_b(std::u16string_view id) { return ids_b_.add_unique(id); }
    const CCharArrayW& ids_a() const { return ids_a_; }
    const CCharArrayW& ids_b() const { return ids_b_; }

    // --- date ranges ------------------------------------------------------------------------------------
    /// Takes the range of the `date` attributes of a file's UTF-8 text. The first file recorded sets the
    /// first-file and the last-file range, later ones only the last-file range; no date gives -1/-1.
    void record_date_range(std::string_view utf8_text);
    /// The same for a range already known; `count` 0 means the file had no date.
    void record_date_range(int min_date, int max_date, int count);
    int first_file_max_date() const { return first_max_date_; }
    int first_file_min_date() const { return first_min_date_; }
    int last_file_max_date() const { return last_max_date_; }
    int last_file_min_date() const { return last_min_date_; }

private:
    CIntArray& column(ChatColumn c) { return ints_[static_cast<size_t>(c)]; }
    int append_ints(const int32_t (&values)[kChatIntColumnCount]);
    /// Stores every value of a column that held one value only, before it gets another.
    void materialize(int column);
    /// Moves every comment to the index of its position in the order, then keeps the first `keep`.
    void rearrange(int keep);

    CIntArray order_;
    ChatTextColumn mail_{true};
    ChatTextColumn user_id_{true};
    ChatTextColumn text_;
    ChatTextColumn locale_;
    std::vector<CIntArray> ints_;
    /// The value of every comment in a column that stores none.
    std::array<int32_t, kChatIntColumnCount> uniform_{};
    int count_ = 0;
    int removed_ = 0;
    /// Insertion number of the next comment added; equals count_ until something is removed.
    int next_position_ = 0;
    CCharArrayW ids_a_;
    CCharArrayW ids_b_;
    int ranges_recorded_ = 0;
    int first_max_date_ = -1;
    int first_min_date_ = -1;
    int last_max_date_ = -1;
    int last_min_date_ = -1;
};
