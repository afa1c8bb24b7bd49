#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "comments/ChatEntry.h"
#include "comments/WorkChatdata.h"
#include "reconstruct/CommandSet.h"
#include "reconstruct/CommandVocabulary.h"
#include "text/FileSP.h"
#include "text/Regex.h"

namespace quippet {

/// Instruction codes. Conditions come before `header`, actions after it.
enum class RuleOp : uint8_t {
    // conditions
    contains,
    not_contains,
    text_has_folded,
    text_lacks_folded,
    text_has_exact,
    text_lacks_exact,
    text_equals,
    text_differs,
    text_regex,
    text_not_regex,
    text_length_min,
    text_length_max,
    id_length_min,
    id_length_max,
    id_equals,
    id_differs,
    id_has,
    id_lacks,
    score_min,
    score_max,
    deleted_eq,
    deleted_ne,
    deleted_min,
    deleted_max,
    premium_eq,
    premium_ne,
    premium_min,
    premium_max,
    premium_id,
    not_premium_id,
    system_comment,
    broadcaster_comment,
    staff_comment,
    uploader_comment,
    not_uploader_comment,
    anonymous,
    not_anonymous,
    priority,
    not_priority,
    vpos_before,
    vpos_after,
    date_before,
    date_after,
    id_shape,
    not_id_shape,
    // an operation's "▼" line
    header,
    // actions
    exclude,
    exclude_id,
    stop,
    remove_commands,
    add_commands,
    change_commands,
    replace_text,
    replace_regex,
    score_set,
    score_up,
    score_down,
    duration_set,
    duration_longer,
    duration_shorter,
    vpos_earlier,
    vpos_later,
    vpos_earlier_seconds,
    vpos_later_seconds,
    vpos_earlier_minutes,
    vpos_later_minutes,
    vpos_divide,
    vpos_multiply,
    date_set,
    colors_to_codes,
    colors_to_hima_codes,
    make_priority,
    unmake_priority,
    save_reached,
    save_processed,
};

/// The ID families a condition can recognise by the shape of `user_id`.
enum class IdShape { niconico, himawari, saymove, parasute, jikkyo, futaba };
bool has_id_shape(std::u16string_view id, IdShape shape);

// Parameter readers of the rule files, each with the fallback the language gives a bad value.
/// A decimal integer (optional sign); -1 for anything else.
int rule_number(std::u16string_view text);
/// "○分○秒○" in hundredths of a second; unreadable parts count 0, and the result is at least 0.
int rule_time_position(std::u16string_view text);
/// A UNIX time, or "○年○月○日○時○分○秒" in local time with the tail left out; 0 outside 1970-2037.
int rule_date(std::u16string_view text);
/// A decimal with up to two fraction digits, in hundredths ("1.5" is 150); nullopt when unreadable.
std::optional<int> rule_rate(std::u16string_view text);

/// What a stage is told about the job.
struct RuleRunOptions {
    /// "処理リストを保存": the save lines collect comments.
    bool save_lists = false;
    /// "vposの値がマイナスのコメントを削除する": a time shift that leaves vpos negative excludes the comment.
    bool remove_negative_vpos = false;
};

/// The comments one save line collected, and the operation that last added to them (it names the file).
struct RuleHitList {
    int operation = -1;
    CWorkChatdata comments;
};

/// The "|" alternatives of a text condition. Conditions run on every comment of every stage, so a text is
/// scanned once for all of them: only where a unit could start one of the words are they compared.
struct RuleWords {
    std::vector<std::u16string> words;
    /// Bit (first unit % 256) set for each word.
    uint64_t first_units[4] = {};

    void add(std::u16string word);
    /// Does any word occur inside `text`?
    bool inside(std::u16string_view text) const;
    /// Does any word equal `text`?
    bool equal(std::u16string_view text) const;
};

/// Shows a message box through the job's frame.
using RuleMessageHook = std::function<void(std::u16string_view text)>;

/// One rule file compiled: the stage program the reconstruction pass runs on every comment.
///
/// The comment is a ChatEntry whose `text` is the body and whose `work_text` holds the fuzzy fold of the
/// body (the caller keeps it so; the program refolds it after it rewrites the body). `filterable` 0 marks a
/// priority comment.
class RuleProgram {
public:
    RuleProgram() = default;
    virtual ~RuleProgram() = default;
    RuleProgram(RuleProgram&&) = default;
    RuleProgram& operator=(RuleProgram&&) = default;

    /// Compiles a rule file (".txt" added when missing; a relative name is taken from the app home). A
    /// missing or empty file compiles to a program that does nothing but normalise `mail`: 0 read, -1 not
    /// readable. A regular expression that does not compile is shown through `message_box`.
    int compile_file(std::u16string_view path, const RuleMessageHook& message_box);
    /// The same from the text of a file.
    void compile_text(std::u16string_view text, const RuleMessageHook& message_box);

    /// Runs the program on one comment and writes its normalised command set back into `mail`. True when
    /// the comment is to be excluded. `source` marks the comment in the hit lists. Parsed mails are kept
    /// per vocabulary object: give one program the same vocabulary for its whole life (a unit's).
    bool evaluate(ChatEntry& comment, const CommandVocabulary& vocabulary, const RuleRunOptions& options,
                  int source = 0);

    /// Report lines of the stage: operation counts, then the problems; `prefix` is the stage label.
    std::vector<std::u16string> report_lines(std::u16string_view prefix) const;
    /// "[コマンド <operation name> による出力].xml" for a hit list.
    std::u16string hit_list_file_name(int list) const;

    struct Instruction {
        RuleOp op;
        /// Operation index, a number, or an index into the parameter pool of the op.
        int param;
    };
    const std::vector<Instruction>& instructions() const { return instructions_; }
    const std::vector<std::u16string>& operation_names() const { return operation_names_; }
    const std::vector<int>& operation_hits() const { return operation_hits_; }
    const std::vector<Regex>& regexes() const { return regexes_; }
    /// True when a regular expression failed and every one of this program was dropped.
    bool regexes_discarded() const { return regexes_discarded_; }
    /// Searches that stopped at the regex limits (they counted as no match).
    int regex_give_ups() const;
    const UniqueTexts& excluded_ids() const { return excluded_ids_; }
    const std::vector<RuleHitList>& hit_lists() const { return hit_lists_; }
    const UniqueTexts& unknown_commands() const { return unknown_commands_; }
    const RuleProblems& problems() const { return problems_; }

private:
    struct TextReplacement {
        std::u16string from;
        std::u16string to;
    };
    struct RegexReplacement {
        /// -1 when the parameter has no "[→]": it never matches.
        int regex = -1;
        std::u16string format;
    };
    enum class Effect { none, changed, stop };

    void compile_line(std::u16string_view line);
    void finish(const RuleMessageHook& message_box);
    int add_regex(std::u16string_view pattern);
    void compile_regexes(const RuleMessageHook& message_box);
    bool holds(const Instruction& ins, const ChatEntry& c, const CommandVocabulary& v);
    Effect run(const Instruction& ins, ChatEntry& c, const CommandVocabulary& v, const RuleRunOptions& o,
               bool& excluded, int operation, int changes, int source);
    bool search_regex(int index, std::u16string_view text) const;
    void save_hit(int list, ChatEntry& c, int operation, int source);
    void refold(ChatEntry& c);
    /// Parses into `set_`; returns the normalised text of the mail.
    const std::u16string& parse_cached(std::u16string_view mail, const CommandVocabulary& v);

    std::vector<Instruction> instructions_;
    std::vector<std::u16string> operation_names_;
    std::vector<int> operation_hits_;
    /// Alternatives of the text conditions, already folded where the condition folds.
    std::vector<RuleWords> strings_;
    std::vector<CommandParam> command_params_;
    std::vector<TextReplacement> text_replacements_;
    std::vector<RegexReplacement> regex_replacements_;
    /// Patterns in order of appearance; compiled into `regexes_` once the whole file is read.
    std::vector<std::u16string> patterns_;
    std::vector<Regex> regexes_;
    bool regexes_discarded_ = false;
    UniqueTexts excluded_ids_;
    std::vector<RuleHitList> hit_lists_;
    UniqueTexts unknown_commands_;
    RuleProblems problems_;

    /// Parsed command sets by mail text. The stages see the same few dozen mail texts over and over, and
    /// the later stages see the first one's normalised output: most parses are a lookup.
    struct ParsedMail {
        CommandSet set;
        /// The set written back: what `mail` becomes when no action changes the set.
        std::u16string written;
    };
    std::unordered_map<std::u16string, ParsedMail, TextHash, std::equal_to<>> mail_cache_;
    const CommandVocabulary* cached_vocabulary_ = nullptr;
    /// The entry of the last mail looked up: neighbouring comments often share theirs. Entries stay where
    /// they are until the cache is cleared.
    const std::pair<const std::u16string, ParsedMail>* last_mail_ = nullptr;
    /// For each instruction, the index of the next operation header (or the end): a failed condition
    /// skips the rest of its operation in one step.
    std::vector<uint32_t> next_header_;

    /// The added commands of the current comment, hashed across its `<追加>` actions.
    void forget_others_index();
    UniqueTexts others_index_;

    // Per-comment scratch, kept to spare allocations.
    CommandSet set_;
    std::u16string mail_;
    std::u16string replaced_;
};

/// "未知のコマンド：「a」「b」…" over the unknown commands of all the stages; empty when there are none.
std::u16string unknown_commands_line(std::span<const RuleProgram* const> programs);

inline constexpr std::u16string_view kCommandRulesFile1 = u"設定：コマンドの変換1.txt";
inline constexpr std::u16string_view kCommandRulesFile2 = u"設定：コマンドの変換2.txt";
inline constexpr std::u16string_view kCommandRulesFile3 = u"設定：コマンドの変換3.txt";
inline constexpr std::u16string_view kPriorityRulesFile = u"設定：優先条件.txt";

/// Writes a rule file with its built-in text when it is missing (".txt" added when the name has none);
/// `priority` chooses the priority-condition text. 1 created, 0 there already, -1 failed.
int ensure_rule_file(std::u16string_view path, bool priority, const CreationFailureHook& on_failure = {});

} // namespace quippet
