#pragma once

#include <array>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "comments/ChatReader.h"
#include "reconstruct/CommandSet.h"
#include "reconstruct/CommandVocabulary.h"
#include "reconstruct/FuzzyFold.h"
#include "reconstruct/Lists.h"
#include "reconstruct/PassAfterReading.h"
#include "reconstruct/RuleProgram.h"

namespace quippet {

inline constexpr int kTimingRowCount = 9;

/// Removals and repairs of one unit (one output file), each reported only when it is above 0.
struct PassCounters {
    // Validation, counted by the reader (take_read_stats).
    int no_vpos = 0;
    int bad_vpos = 0;
    int bad_date = 0;
    /// Non-numeric score, thread, premium, anonymity, fork, leaf, deleted (ChatNumberAttribute order).
    std::array<int, 7> non_numeric{};

    int invalid_char_removed = 0;
    int hangul_removed = 0;
    int invalid_char_replaced = 0;
    /// Character references decoded (for the line ending "件の文字参照を置換").
    int references_decoded = 0;

    int priority_stage = 0;
    int over_read_limit = 0;
    /// "不自然な投稿日", per input row that had a threshold.
    struct NaturalDateRow {
        int row = 0;
        int threshold = 0;
        int removed = 0;
    };
    std::vector<NaturalDateRow> natural_date;
    int too_old = 0;
    std::array<int, 2> date_rule{};
    int pre_stage = 0;
    int too_short = 0;
    int too_long = 0;
    int deleted_attribute = 0;
    int low_score = 0;
    int zero_time = 0;
    int ngid = 0;
    int common_ngid = 0;
    int common_ng_word = 0;
    int ng_word = 0;
    int post_stage = 0;
    int individual_stage = 0;
    /// Per timing row: comments removed and comments shifted.
    std::array<int, kTimingRowCount> timing_removed{};
    std::array<int, kTimingRowCount> timing_shifted{};
    /// Per input row (index row - 1): comments moved by the part-merge shift.
    std::vector<int> merge_shifted;
    /// What the two replacement files changed.
    ReplaceCounts replace1;
    ReplaceCounts replace2;

    /// Copies the reader's validation counts (they span every file the context read).
    void take_read_stats(const ChatReadStats& stats);
    int natural_date_total() const;
};

enum class InvalidCharMode { keep, remove, replace };
enum class DateBase { first_file_earliest, first_file_latest, file_earliest, file_latest, given };
enum class TimingScope { after, before, always, row_only, rows_from, rows_up_to };
enum class TimingAction { delay, advance, cut, remove_span, remove_all };

struct DateRuleRow {
    bool enabled = false;
    DateBase base = DateBase::first_file_earliest;
    /// Used with DateBase::given (UNIX time).
    int given = 0;
    int hours = 0;
    /// true "より前なら": date < T removes; false "より後なら": date > T removes.
    bool before = true;
};

struct TimingRow {
    bool enabled = false;
    TimingScope scope = TimingScope::always;
    /// The time x (hundredths of a second) of "より後のみ"/"より前のみ", or the row n of the row scopes.
    int at = 0;
    TimingAction action = TimingAction::delay;
    /// The amount d in hundredths of a second.
    int amount = 0;
};

/// The settings the per-comment chain reads.
struct PassOptions {
    /// false for "文字参照に関連する配慮を何も行わない".
    bool handle_references = true;
    InvalidCharMode invalid_chars = InvalidCharMode::keep;
    std::u16string invalid_replacement;
    bool remove_hangul = false;
    bool remove_negative_vpos = false;
    bool save_lists = false;

    bool priority_ids = false;
    bool priority_uploader = false;    // "投": fork 1
    bool priority_system = false;      // "シ": system comments
    bool priority_broadcaster = false; // "放": premium 3
    bool priority_staff = false;       // "運": premium 6 or 7

    bool read_limit_on = false;
    int read_limit = 0;
    bool natural_date = false;
    bool old_posts = false;
    int old_months = 0;
    /// The clock for "古投稿"; 0 takes the current time when the chain is built.
    std::time_t now = 0;
    std::array<DateRuleRow, 2> date_rules{};

    bool replace1 = false;
    bool length_on = false;
    int min_length = 0;
    int max_length = 0;
    bool remove_deleted = false;
    bool low_score_on = false;
    int low_score = 0;
    bool zero_time = false;
    bool ngid = false;
    bool ngid_reversed = false;
    bool common_ng = false;
    bool common_ng_reversed = false;
    bool ng_words = false;
    bool ng_words_reversed = false;
    bool replace2 = false;

    /// When the files are parts of one video: the shift of each input row (index row - 1), in hundredths of
    /// a second, the total length of the parts before it. Empty when not joining parts.
    std::vector<int> merge_offsets;
    std::array<TimingRow, kTimingRowCount> timing{};
};

/// The lists and stage programs the chain consults; null where a list or stage is not used.
struct PassInputs {
    const NgList* ngid = nullptr;
    const NgList* common_ng = nullptr;
    const NgList* ng_words = nullptr;
    const NgList* priority_ids = nullptr;
    const ReplaceList* replace1 = nullptr;
    const ReplaceList* replace2 = nullptr;
    RuleProgram* priority_stage = nullptr;
    RuleProgram* pre_stage = nullptr;
    RuleProgram* post_stage = nullptr;
    RuleProgram* individual_stage = nullptr;
    const CommandVocabulary* vocabulary = nullptr;
};

/// Where removed comments are copied for the processing-list side files; null keeps nothing.
struct PassRemovedLists {
    CWorkChatdata* invalid_or_hangul = nullptr;
    /// Each replaced comment twice: before and after the replacement.
    CWorkChatdata* invalid_replaced = nullptr;
    CWorkChatdata* too_short = nullptr;
    CWorkChatdata* too_long = nullptr;
    CWorkChatdata* low_score = nullptr;
    CWorkChatdata* ngid = nullptr;
    CWorkChatdata* common_ngid = nullptr;
    CWorkChatdata* common_ng_word = nullptr;
    CWorkChatdata* ng_word = nullptr;
};

/// The per-comment chain of a reconstruction unit, run by the reader on every valid comment. One object
/// per unit: counters and chain sets accumulate over the unit's files. `source` is the 0-based index of
/// the file inside the unit, so its row is source + 1.
class PassChain : public ChatFilter {
public:
    PassChain(PassOptions options, const PassInputs& inputs, const PassRemovedLists& removed = {});

    void begin_file(std::string_view comments, int source) override;
    bool keep(ChatEntry& entry, CWorkChatdata& set, int source) override;

    const PassCounters& counters() const { return counters_; }
    PassCounters& counters() { return counters_; }
    /// The chain sets for the after-reading step; the command set gathers the stages' excluded IDs, so
    /// call this after the unit is read (the spans live as long as this object and the programs).
    ChainIds chain_ids();
    /// The natural-date threshold of the file read last; -1 when it has none.
    int natural_threshold() const { return natural_threshold_; }

private:
    // The steps of keep, in its order; each "removed_…" step counts what it removes and returns true.
    // Inline and defined beside keep, their only caller, so that they fold back into it on the hot path.
    inline void decode_references(ChatEntry& e);
    inline bool removed_for_characters(ChatEntry& e, int source);
    /// The text with its control characters replaced, and its flags folded again.
    FuzzyFlags replace_invalid_chars(ChatEntry& e, int source);
    inline bool removed_by_read_limits(const ChatEntry& e, int row);
    inline bool removed_by_date_rules(const ChatEntry& e);
    /// The date a date rule counts from; -1 when the file has none.
    inline int date_rule_base(DateBase base, int given) const;
    /// The pre-stage, the filters, the post-stage, the second replacement and the individual stage.
    inline bool removed_by_stages_and_filters(ChatEntry& e, int source);
    inline void shift_for_part_merge(ChatEntry& e, int row);

    bool is_priority(const ChatEntry& e) const;
    bool stage_excludes(RuleProgram* stage, ChatEntry& e, int source);
    bool apply_replacements(const ReplaceList& list, ReplaceCounts& counts, ChatEntry& e);
    bool date_kept_by_early_steps(int date) const;
    /// True when the comment is removed; counts it.
    bool run_non_priority_filters(ChatEntry& e, int source);
    bool run_timing(ChatEntry& e, int row);
    void collect(CWorkChatdata* list, const ChatEntry& e, int source);
    void refold(ChatEntry& e);
    void count_natural_date(int row);

    PassOptions options_;
    PassInputs inputs_;
    PassRemovedLists removed_;
    PassCounters counters_;
    RuleRunOptions run_options_;
    UniqueTexts ngids_;
    UniqueTexts common_ngids_;
    UniqueTexts priority_ids_;
    UniqueTexts ng_word_chain_;
    UniqueTexts common_ng_chain_;
    std::vector<std::u16string> command_chain_;
    std::time_t old_limit_ = 0;
    int natural_threshold_ = -1;
    int file_earliest_ = -1;
    int file_latest_ = -1;
    int first_earliest_ = -1;
    int first_latest_ = -1;
    bool first_file_seen_ = false;
    int kept_ = 0;
    // Scratch kept across comments to spare allocations.
    std::vector<int> dates_;
    std::u16string scratch_;
};

} // namespace quippet
