#include "text/WordSearch.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/TestText.h"

namespace quippet {
namespace {

bool found_one_by_one(const std::vector<std::u16string>& words, std::u16string_view text) {
    for (const auto& w : words)
        if (text.find(w) != std::u16string_view::npos) return true;
    return false;
}

TEST(WordSearch, FindsWordsThatOnlyAFallbackReaches) {
    struct Case {
        std::vector<std::u16string> words;
        std::u16string_view text;
        bool expected;
    };
    const Case cases[] = {
        {{}, u"anything", false},
        {{u"abc"}, u"", false},
        {{u""}, u"", true},
        {{u"x", u""}, u"abc", true},
        // The search is deep in "abx…" when "bcd" begins.
        {{u"abxy", u"bcd"}, u"abcd", true},
        {{u"abxy", u"bcd"}, u"abcx", false},
        // A short word that ends inside a longer one's path.
        {{u"hers", u"e"}, u"he", true},
        {{u"she", u"hers", u"his"}, u"ushers", true},
        {{u"she", u"hers", u"his"}, u"ushe", true},
        {{u"she", u"hers", u"his"}, u"uher", false},
        // Repeated prefixes that must not reset the search too far.
        {{u"aab"}, u"aaab", true},
        {{u"aab"}, u"aaaa", false},
        {{u"ab", u"ab", u"ab"}, u"xab", true},
        // Japanese and a character outside the basic plane matched unit by unit.
        {{u"荒らし", u"🍣うま"}, u"今日は🍣うまい", true},
        {{u"荒らし", u"🍣うま"}, u"今日は荒らされた", false},
        {{u"\uFFFF"}, u"a\uFFFFb", true},
    };
    for (const Case& c : cases) {
        const WordSearch search(c.words);
        EXPECT_EQ(search.found_in(c.text), c.expected) << test::u8(c.text);
    }
}

// Small alphabets make overlaps, shared prefixes and fallbacks common; the answer must be the one a
// word-by-word search gives.
TEST(WordSearch, AgreesWithWordByWordSearch) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        const int letters = 2 + round % 4;
        auto some_text = [&](int longest) {
            std::u16string s;
            for (auto n = random() % (longest + 1); n > 0; --n)
                s.push_back(static_cast<char16_t>(u'a' + random() % letters));
            return s;
        };
        std::vector<std::u16string> words(1 + random() % 12);
        for (auto& w : words) {
            w = some_text(5) + u"a";
        }
        const WordSearch search(words);
        for (int t = 0; t < 20; ++t) {
            const std::u16string text = some_text(30);
            ASSERT_EQ(search.found_in(text), found_one_by_one(words, text)) << "round " << round;
        }
    }
}

} // namespace
} // namespace quippet
