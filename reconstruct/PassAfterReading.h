#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "comments/WorkChatdata.h"
#include "reconstruct/CommandVocabulary.h"

namespace quippet {

/// One line of the fuzzy-rule file: every occurrence of `from` becomes `to` (an empty `to` deletes).
struct FuzzyRule {
    std::u16string from;
    std::u16string to;
};

/// Rules from the lines of the fuzzy-rule file ("from[→]to"), both sides fuzzy-folded; blank lines, "//"
/// lines, lines without the separator and lines with an empty `from` are skipped.
std::vector<FuzzyRule> parse_fuzzy_rules(std::span<const std::u16string> lines);

/// The body as the fuzzy duplicate test compares it: references decoded, folded, then the rules in order.
std::u16string fuzzy_duplicate_text(std::u16string_view body, std::span<const FuzzyRule> rules);

struct DedupeOptions {
    bool enabled = false;
    bool no = false;
    bool date = false;
    /// |vpos difference| ≤ window, the window in hundredths of a second.
    bool vpos = false;
    int window = 0;
    bool user_id = false;
    bool mail = false;
    bool text = false;
    /// Compare bodies through fuzzy_duplicate_text.
    bool fuzzy = false;
    std::vector<FuzzyRule> fuzzy_rules;
};

enum class LimitMethod {
    /// "間引": thin the closest neighbours in time.
    thin,
    /// "D": the newest posts go first.
    newest_out,
    /// "R": the last read go first.
    last_read_out,
    /// "毎分": a quota per minute of the video.
    per_minute,
};

struct LimitOptions {
    bool enabled = false;
    int limit = 0;
    LimitMethod method = LimitMethod::thin;
    /// "半": the last, partial minute gets a share of the quota by its seconds ("丁" when false).
    bool partial_last_minute = false;
    /// "新": newest posts are taken first ("古" when false).
    bool newest_first = false;
    /// "免": priority comments over the quota are kept ("制" when false).
    bool exempt_priority = false;
    /// "加": comments over the quota are taken back until 1000 are kept.
    bool fill_to_1000 = false;
    /// "行順優先": earlier input rows keep their comments first.
    bool row_order_first = false;
};

struct AfterReadingOptions {
    DedupeOptions dedupe;
    LimitOptions limit;
    /// Four chat_key values (chat_key::none for an unchecked row); see sort_key_from_name.
    int sort_keys[4] = {chat_key::none, chat_key::none, chat_key::none, chat_key::none};
    /// false for "noを振り直さない".
    bool renumber = true;
};

/// The user ids whose comments go in the chained removal, in the order they are applied.
struct ChainIds {
    std::span<const std::u16string> ng_word;
    std::span<const std::u16string> common_ng;
    std::span<const std::u16string> command;
};

struct AfterReadingCounters {
    int ng_word_chain = 0;
    int common_ng_chain = 0;
    int command_chain = 0;
    int duplicates = 0;
    /// Priority comments among `duplicates`.
    int priority_duplicates = 0;
    /// Comments the count limit removed, and the priority comments among them.
    int limit_removed = 0;
    int limit_priority_removed = 0;
    /// "間引": the final threshold in hundredths of a second (-1 when thinning did not run), and with
    /// "行順優先" the 1-based row where thinning stopped (0 otherwise).
    int thin_threshold = -1;
    int thin_row = 0;
    /// "毎分": the quota, the minutes, the minutes that reached and that missed their quota, and the
    /// priority comments kept over the quota.
    int minute_limit = 0;
    int minutes = 0;
    int minutes_saturated = 0;
    int minutes_short = 0;
    int exempted = 0;
};

/// Where removed comments are copied for the side files; a null target keeps nothing.
struct AfterReadingRemoved {
    CWorkChatdata* ng_word_chain = nullptr;
    CWorkChatdata* common_ng_chain = nullptr;
    CWorkChatdata* command_chain = nullptr;
    CWorkChatdata* duplicates = nullptr;
    CWorkChatdata* thinned = nullptr;
};

/// chat_key for one of the 36 sort names ("読込順" … "座標", each also with a leading "*"), -1 when unknown.
/// The five command-derived keys live in the extra columns 0–4.
int sort_key_from_name(std::u16string_view name);
/// Whether the key is one of the five command-derived ones (which need the vocabulary).
bool sort_key_is_derived(int key);

/// Fills extra0–extra4 with the command-derived sort numbers (size, vertical position, colour, duration,
/// coordinates) of every comment; 0 where the comment has no such command.
void compute_command_keys(CWorkChatdata& data, const CommandVocabulary& vocabulary);

// Each step on its own leaves the set compacted (comments in reading order); run_after_reading compacts once.
void remove_chained_ids(CWorkChatdata& data, const ChainIds& chains, AfterReadingCounters& counters,
                        const AfterReadingRemoved& removed = {});
void remove_duplicates(CWorkChatdata& data, const DedupeOptions& options, AfterReadingCounters& counters,
                       CWorkChatdata* removed_out = nullptr);
void apply_count_limit(CWorkChatdata& data, const LimitOptions& options, AfterReadingCounters& counters,
                       CWorkChatdata* thinned_out = nullptr);
/// Sorts by the options' keys (the set keeps reading order when none is given) and renumbers `no` 1, 2, …
/// in the resulting order when asked. Derived keys need `vocabulary`; without it they sort as 0.
void sort_and_renumber(CWorkChatdata& data, const AfterReadingOptions& options,
                       const CommandVocabulary* vocabulary = nullptr);

/// Every step above, in order.
void run_after_reading(CWorkChatdata& data, const AfterReadingOptions& options, const ChainIds& chains,
                       AfterReadingCounters& counters, const AfterReadingRemoved& removed = {},
                       const CommandVocabulary* vocabulary = nullptr);

} // namespace quippet
