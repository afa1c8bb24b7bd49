#pragma once

#include <string>
#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

/// What the fuzzy fold noticed besides folding; the characters themselves are left as they are.
struct FuzzyFlags {
    /// C0 control characters other than TAB, LF and CR.
    bool invalid_char = false;
    /// Hangul jamo or syllables.
    bool hangul = false;
};

/// Folds text so that spellings a viewer would call the same compare equal: case, full and half width,
/// hiragana and katakana, the many long-vowel and dash marks, Japanese punctuation. Rule conditions,
/// NG words and the duplicate test all compare folded texts, so the three must agree on one fold.
///
/// Works in place on `length` units and returns the new length: a half-width kana with its voicing mark
/// becomes one full-width kana, so the text can only shrink.
int fuzzy_fold(char16_t* text, int length, FuzzyFlags* flags = nullptr);
FuzzyFlags fuzzy_fold(CCharW& text);
FuzzyFlags fuzzy_fold(std::u16string& text);
/// `source` folded into `out` (which is replaced), for keeping a folded copy of a text up to date.
FuzzyFlags fuzzy_fold_copy(std::u16string_view source, CCharW& out);
std::u16string fuzzy_folded(std::u16string_view source);

} // namespace quippet
