#include "reconstruct/FuzzyFold.h"

#include <memory>

namespace quippet {
namespace {

// Full-width katakana for the half-width forms U+FF66 … U+FF9D. U+FF70 (the long-vowel mark) never gets
// here: it folds to "-" with the other dashes.
constexpr char16_t kHalfKana[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, // ｦ ｧ ｨ ｩ ｪ ｫ ｬ ｭ ｮ ｯ
    u'-',   0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, // ｰ ｱ ｲ ｳ ｴ ｵ ｶ ｷ ｸ ｹ
    0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, // ｺ ｻ ｼ ｽ ｾ ｿ ﾀ ﾁ ﾂ ﾃ
    0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, // ﾄ ﾅ ﾆ ﾇ ﾈ ﾉ ﾊ ﾋ ﾌ ﾍ
    0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, // ﾎ ﾏ ﾐ ﾑ ﾒ ﾓ ﾔ ﾕ ﾖ ﾗ
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3,                                 // ﾘ ﾙ ﾚ ﾛ ﾜ ﾝ
};
static_assert(std::size(kHalfKana) == 0xFF9D - 0xFF66 + 1);

constexpr char16_t kVoicedMark = 0xFF9E;
constexpr char16_t kSemiVoicedMark = 0xFF9F;

/// The one katakana that a half-width kana and the mark after it stand for; 0 when they do not combine.
char16_t combine_mark(char16_t kana, char16_t mark) {
    if (mark == kVoicedMark) {
        if (kana == 0xFF73) return 0x30F4; // ｳﾞ → ヴ
        if ((kana >= 0xFF76 && kana <= 0xFF84) || (kana >= 0xFF8A && kana <= 0xFF8E))
            return kHalfKana[kana - 0xFF66] + 1;
    } else if (mark == kSemiVoicedMark) {
        if (kana >= 0xFF8A && kana <= 0xFF8E) return kHalfKana[kana - 0xFF66] + 2;
    }
    return 0;
}

char16_t fold_unit(char16_t c) {
    if (c < 0x80) {
        if (c >= u'A' && c <= u'Z') return c + 0x20;
        if (c == u'~') return u'-';
        return c;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) return c - 0xFF21 + u'a';
    if ((c >= 0xFF01 && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF5D)) return c - 0xFEE0;
    if (c >= 0x3041 && c <= 0x3094) return c + 0x60;
    if (c >= 0xFF66 && c <= 0xFF9D) return kHalfKana[c - 0xFF66];
    switch (c) {
    case 0xFF5E: // ～
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x30FC: // ー
        return u'-';
    case 0x3000:
        return u' ';
    case 0x3001:
        return 0xFF64; // 、 → ､
    case 0x3002:
        return 0xFF61; // 。 → ｡
    case 0x300C:
        return 0xFF62; // 「 → ｢
    case 0x300D:
        return 0xFF63; // 」 → ｣
    case 0x30FB:
        return 0xFF65; // ・ → ･
    case 0xFFE5:
        return 0x00A5; // ￥ → ¥
    default:
        return c;
    }
}

/// fold_unit of every unit, looked up instead of worked out: the fold runs over every comment's text.
const char16_t* fold_table() {
    static const auto table = [] {
        auto t = std::make_unique<char16_t[]>(0x10000);
        for (unsigned c = 0; c < 0x10000; ++c)
            t[c] = fold_unit(static_cast<char16_t>(c));
        return t;
    }();
    return table.get();
}

} // namespace

int fuzzy_fold(char16_t* text, int length, FuzzyFlags* flags) {
    const char16_t* const fold = fold_table();
    FuzzyFlags seen;
    int out = 0;
    for (int i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c < 0x20) {
            if (c != u'\t' && c != u'\n' && c != u'\r') seen.invalid_char = true;
        } else if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0xAC00 && c <= 0xD7A3)) {
            seen.hangul = true;
        } else if (c >= 0xFF66 && c <= 0xFF9D && i + 1 < length) {
            const char16_t combined = combine_mark(c, text[i + 1]);
            if (combined != 0) {
                text[out++] = combined;
                ++i;
                continue;
            }
        }
        text[out++] = fold[c];
    }
    if (flags) *flags = seen;
    return out;
}

FuzzyFlags fuzzy_fold(CCharW& text) {
    FuzzyFlags flags;
    const int n = fuzzy_fold(text.data(), text.length(), &flags);
    if (n != text.length()) text.truncate(n);
    return flags;
}

FuzzyFlags fuzzy_fold(std::u16string& text) {
    FuzzyFlags flags;
    const int n = fuzzy_fold(text.data(), static_cast<int>(text.size()), &flags);
    text.resize(static_cast<size_t>(n));
    return flags;
}

FuzzyFlags fuzzy_fold_copy(std::u16string_view source, CCharW& out) {
    out.assign(source);
    return fuzzy_fold(out);
}

std::u16string fuzzy_folded(std::u16string_view source) {
    std::u16string text(source);
    fuzzy_fold(text);
    return text;
}

} // namespace quippet
