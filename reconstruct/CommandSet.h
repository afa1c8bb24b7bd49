#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "reconstruct/CommandVocabulary.h"

namespace quippet {

/// Hash of wide texts that also takes views, for lookups without building a string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
};

/// Texts in order of first appearance, each kept once. Lookups are hashed: a file in which every comment
/// carries a different unknown command must not make collecting them quadratic.
class UniqueTexts {
public:
    /// true when the text was new (empty texts are never added).
    bool add(std::u16string_view text);
    bool contains(std::u16string_view text) const { return seen_.find(text) != seen_.end(); }
    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const std::vector<std::u16string>& items() const { return items_; }
    void clear();

private:
    std::vector<std::u16string> items_;
    std::unordered_set<std::u16string, TextHash, std::equal_to<>> seen_;
};

/// Parameters of the command operations that named nothing, as the rule report lists them.
struct RuleProblems {
    /// Instruction labels that are not part of the language.
    UniqueTexts unknown_labels;
    /// `<変更>` parameters that name no change.
    UniqueTexts bad_change;
    /// `<削除>` parameters in brackets that name no category (then read as command words).
    UniqueTexts bad_remove;
    /// `<含む>` / `<含まない>` parameters in brackets that name no category (then read as command words).
    UniqueTexts bad_contains;
};

/// A comment's `mail` attribute taken apart: one slot per command category, the rest in `others`.
struct CommandSet {
    std::u16string size;
    std::u16string vertical;
    std::u16string horizontal;
    /// A colour name or "#rrggbb".
    std::u16string color;
    /// Display time in seconds; -1 when none is given.
    int duration = -1;
    /// Coordinates of "(x,y)" as written ("12", "-5.5").
    std::u16string coord_x;
    std::u16string coord_y;
    /// Every other command, known or not, in reading order and each once.
    std::vector<std::u16string> others;

    /// Empties the set and keeps its buffers.
    void clear();
    bool operator==(const CommandSet&) const = default;
};

/// What a command parameter of a rule names. The bracketed categories are the vocabulary's sections and
/// their values; `words` is a "|" list of plain command words.
enum class CommandCategory {
    words,
    size,
    color,
    vertical,
    horizontal,
    any_position,        // [位置全般]
    horizontal_position, // [水平位置]
    vertical_position,   // [垂直位置]
    default_position,    // [デフォ位置]
    default_any,         // [デフォ指定]
    size_big,
    size_small,
    vertical_top,
    vertical_bottom,
    horizontal_right,
    horizontal_left,
    size_default, // [サイズ]デフォ
    color_default,
    vertical_default,
    horizontal_default,
    color_label, // [色] + a colour label
    duration,
    coordinates,
    unneeded,
    needed,
    unknown,
    all, // [すべてのコマンド]
};

/// The operation a parameter is read for: each knows its own set of categories.
enum class CommandOperation { contains, remove, add, change };

/// A command parameter read once, when a rule file is compiled.
struct CommandParam {
    CommandCategory category = CommandCategory::words;
    /// Index into the colour label table for `color_label`.
    int label = -1;
    /// The parameter names nothing the operation knows: a bracket for contains and remove (which then read
    /// it as words), any text for change (which then does nothing).
    bool problem = false;
    /// The parameter as folded, for the report.
    std::u16string text;
    /// Its non-empty "|" pieces, for `words`.
    std::vector<std::u16string> words;
};

/// `text` must already be command-folded.
CommandParam read_command_param(std::u16string_view text, CommandOperation operation);

/// Takes a `mail` text apart. Tokens the vocabulary cannot place are kept in `others` and, once each, in
/// `unknown_commands` (when given).
void parse_mail(std::u16string_view mail, const CommandVocabulary& vocabulary, CommandSet& out,
                UniqueTexts* unknown_commands);
CommandSet parse_mail(std::u16string_view mail, const CommandVocabulary& vocabulary, UniqueTexts* unknown_commands);
/// The normalised `mail` text of a set (replaces `out`).
void write_mail(const CommandSet& set, std::u16string& out);
std::u16string write_mail(const CommandSet& set);

/// The tests and edits behind `<含む>`, `<削除>`, `<追加>` and `<変更>`. The text forms fold the parameter,
/// read it and note a parameter that names nothing in `problems` (when given); the edits return true only
/// when the set really changed.
bool contains(const CommandSet& set, const CommandVocabulary& vocabulary, std::u16string_view param,
              RuleProblems* problems);
bool remove(CommandSet& set, const CommandVocabulary& vocabulary, std::u16string_view param, RuleProblems* problems);
bool add(CommandSet& set, const CommandVocabulary& vocabulary, std::u16string_view param);
bool change(CommandSet& set, const CommandVocabulary& vocabulary, std::u16string_view param, RuleProblems* problems);
bool contains(const CommandSet& set, const CommandVocabulary& vocabulary, const CommandParam& param);
bool remove(CommandSet& set, const CommandVocabulary& vocabulary, const CommandParam& param);
/// `others_index` lets a caller that adds to the same set again and again keep the duplicate test of
/// `others` hashed between calls. It must be empty or hold exactly the texts of `set.others`: clear it
/// whenever anything else changes them.
bool add(CommandSet& set, const CommandVocabulary& vocabulary, const CommandParam& param,
         UniqueTexts* others_index = nullptr);
bool change(CommandSet& set, const CommandVocabulary& vocabulary, const CommandParam& param);

/// Colour names replaced by their codes; in the himaplayer mode its own codes are tried first.
bool names_to_codes(CommandSet& set, const CommandVocabulary& vocabulary, bool himaplayer);

} // namespace quippet
