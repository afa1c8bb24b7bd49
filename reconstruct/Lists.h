#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "reconstruct/PassAfterReading.h"
#include "text/FileSP.h"
#include "text/Regex.h"
#include "text/WordSearch.h"

namespace quippet {

class CSettings;

/// The plain-text lists of the reconstruction tab that hold user IDs, NG words, replacements and the
/// fuzzy rules of the duplicate test.
enum class ListFile : int { kNgIds, kNgWords, kCommonNg, kPriorityIds, kReplace1, kReplace2, kFuzzyRules };
inline constexpr ListFile kAllListFiles[] = {ListFile::kNgIds,       ListFile::kNgWords,  ListFile::kCommonNg,
                                             ListFile::kPriorityIds, ListFile::kReplace1, ListFile::kReplace2,
                                             ListFile::kFuzzyRules};

/// The file's path from the settings, taken inside the app home when relative.
std::u16string list_file_path(const CSettings& settings, ListFile file);
/// The text a missing file is created with (UTF-16, CR LF, final line break).
const std::u16string& list_file_default_text(ListFile file);
/// Creates the file with its default text when it is missing. 1 created, 0 there, -1 failed.
int ensure_list_file(const CSettings& settings, ListFile file, const CreationFailureHook& on_failure = {});

/// A line that was not taken, with its number (from 1) and the reason, for the job's report.
struct ListProblem {
    int line = 0;
    std::u16string text;
    std::u16string reason;
};

struct NgPattern {
    Regex regex;
    int line = 0;
};

/// One group of NG words: plain words (fuzzy-folded) and regular expressions.
struct NgGroup {
    std::vector<std::u16string> words;
    std::vector<NgPattern> patterns;
    /// `words` made searchable at once (built by the parser).
    WordSearch word_search;
    bool empty() const { return words.empty() && patterns.empty(); }
};

enum class NgMatch { none, single, chained };

/// An NG or ID list as read from its file.
struct NgList {
    std::unordered_set<std::u16string> ids;
    NgGroup chained;
    NgGroup single;
    std::vector<ListProblem> problems;

    bool has_id(std::u16string_view id) const { return ids.contains(std::u16string(id)); }
    /// The chained group first: a plain word is looked for in `folded_text`, an expression in `raw_text`.
    NgMatch match(std::u16string_view folded_text, std::u16string_view raw_text) const;
};

/// What a line without a kind marker holds: an ID (the ID lists) or a word (the NG-word lists).
enum class NgListKind { kIds, kWords };

/// Parses the lines of an NG or ID list. `chain_by_default` ("連") places the lines without a group prefix.
NgList parse_ng_list(std::u16string_view text, NgListKind kind, bool chain_by_default);
/// Reads the list file; an unreadable or missing file gives an empty list with one problem (line 0).
NgList load_ng_list(std::u16string_view path, NgListKind kind, bool chain_by_default);

/// One line of a replacement file.
struct ReplaceRule {
    std::u16string from;
    std::u16string to;
    bool is_regex = false;
    Regex regex;
    int line = 0;
};

/// What a replacement file did over a job: comments changed by any plain rule, and per expression rule
/// (in file order) the comments it changed.
struct ReplaceCounts {
    int plain_comments = 0;
    std::vector<int> regex_comments;
};

struct ReplaceList {
    std::vector<ReplaceRule> rules;
    std::vector<ListProblem> problems;

    int regex_rule_count() const;
    /// Searches of the expression rules that stopped at the limits, over the list's life.
    long long regex_give_ups() const;
    /// Applies every rule in file order to `text`; true when it changed.
    bool apply(std::u16string& text, ReplaceCounts& counts) const;
};

/// The report label for searches of the lists' expressions (NG lists, replacement files) that stopped at
/// the limits and so counted as no match.
inline constexpr std::u16string_view kListRegexGiveUpsLabel =
    u"NG・置換リストの正規表現の照合が長すぎるため打ち切り（一致なしと判定）：";

ReplaceList parse_replace_list(std::u16string_view text);
ReplaceList load_replace_list(std::u16string_view path);

/// The rules of the fuzzy-rule file ("from[→]to" per line, CR LF or LF). A missing or unreadable file gives
/// no rules and one problem (line 0); a line without "[→]" or with nothing before it is a problem too. The
/// job goes on either way: the duplicate test then compares the folded bodies only.
std::vector<FuzzyRule> load_fuzzy_rule_file(std::u16string_view path, std::vector<ListProblem>* problems);

} // namespace quippet
