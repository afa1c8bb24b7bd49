#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// How much work one search may do before it gives up. A pattern such as "(a+)+$" on a long text
/// backtracks for longer than any job can wait; past these limits the search counts as no match.
struct RegexLimits {
    /// Backtracking steps of one search, over all start positions.
    uint32_t match_limit = 1'000'000;
    /// Nesting of backtracking points (the interpreter only; the JIT is bounded by its stack).
    uint32_t depth_limit = 100'000;
};

/// The groups of one match as offsets into the subject; -1 for a group that took no part.
class RegexMatch {
public:
    /// Group 0 (the whole match) included.
    int group_count() const { return static_cast<int>(offsets_.size() / 2); }
    bool matched(int group) const { return begin(group) >= 0; }
    int begin(int group) const { return at(2 * group); }
    int end(int group) const { return at(2 * group + 1); }
    /// The text of a group; empty for one that took no part.
    std::u16string_view group(std::u16string_view subject, int group) const;

private:
    friend class Regex;
    int at(int i) const {
        return i >= 0 && i < static_cast<int>(offsets_.size()) ? offsets_[static_cast<size_t>(i)] : -1;
    }
    std::vector<int> offsets_;
};

/// A regular expression written in the ECMAScript grammar (as users write them in rule files, NG lists,
/// replacement files and page patterns), run by PCRE2 with its JIT.
///
/// The differences between the two engines that users meet are bridged here: "$" matches only at the very
/// end, "." stops at CR, LF, U+2028 and U+2029, "\s" knows the Unicode spaces (the ideographic space
/// among them), "\v" is the vertical tab, "\uXXXX" escapes (surrogate pairs included) and escaped letters
/// without a meaning are the letters themselves, "[]" matches nothing and "[^]" anything, and a
/// backreference to a group that took no part matches the empty text. "\d", "\w" and "\b" stay ASCII.
/// Texts are searched as UTF-16 with lone surrogates allowed: they simply never match.
///
/// A compiled expression is shared read-only between threads; each thread matches with its own scratch.
class Regex {
public:
    Regex();
    ~Regex();
    Regex(Regex&& other) noexcept;
    Regex& operator=(Regex&& other) noexcept;
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    /// 0 when compiled; -1 with error_text() set. The pattern is kept either way; an expression that did
    /// not compile never matches.
    int compile(std::u16string_view pattern, const RegexLimits& limits = {});
    bool ok() const { return state_ != nullptr; }
    const std::u16string& pattern() const { return pattern_; }
    /// The library's message with the position in the pattern, e.g. "missing closing parenthesis at
    /// offset 3"; empty after a successful compile.
    const std::u16string& error_text() const { return error_; }
    /// Capturing groups, group 0 not counted.
    int capture_count() const;

    /// The first match at or after `start`: 1 found, 0 none, -1 gave up at a limit (counted in give_ups()).
    int search(std::u16string_view subject, RegexMatch* match = nullptr, int start = 0) const;
    /// A search that found something; a give-up counts as no match.
    bool contains(std::u16string_view subject) const { return search(subject) == 1; }
    /// Every match replaced by `format` with the ECMAScript replacement patterns ($&, $1 … $99, $$, $`, $'),
    /// matches taken from left to right as std::regex_replace takes them. Returns the number of matches
    /// with `out` holding the result; 0 (no match) and -1 (gave up, counted) leave `out` untouched. A result
    /// longer than four times the subject and 16 Mi units also gives up.
    int replace_all(std::u16string_view subject, std::u16string_view format, std::u16string& out) const;

    /// Searches of this expression, from any thread, that stopped at a limit.
    int give_ups() const;

private:
    struct State;
    std::u16string pattern_;
    std::u16string error_;
    std::unique_ptr<State> state_;
};

/// The replacement text of one match: `format` with its ECMAScript patterns resolved, appended to `out`.
/// "$n" and "$nn" name a group only when it exists (a two-digit number too large falls back to one digit);
/// otherwise, like any other "$", they stay as written.
void append_regex_replacement(std::u16string& out, std::u16string_view format, std::u16string_view subject,
                              const RegexMatch& match);

} // namespace quippet
