// Feeds arbitrary UTF-16 text to the NG-list and replacement-file readers, then matches and replaces with
// what they built: a list is pasted in from other players' files and edited by hand, so any line may come.
// The first byte picks the list kind and the default group; U+0001 separates the list from a comment body.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reconstruct/FuzzyFold.h"
#include "reconstruct/Lists.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    std::u16string input((size - 1) / 2, u'\0');
    for (size_t i = 1; i + 1 < size; i += 2)
        input[(i - 1) / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const std::u16string_view all = input;
    const size_t cut = all.find(u'\u0001');
    const std::u16string_view list_text = all.substr(0, cut);
    const std::u16string_view body = cut == std::u16string_view::npos ? u"" : all.substr(cut + 1);

    const NgListKind kind = (flags & 1) != 0 ? NgListKind::kIds : NgListKind::kWords;
    const NgList ng = parse_ng_list(list_text, kind, (flags & 2) != 0);
    const std::u16string folded = fuzzy_folded(body);
    ng.match(folded, body);
    ng.has_id(body);
    // The one-pass word search must answer as looking for each word in turn does.
    for (const NgGroup* group : {&ng.chained, &ng.single}) {
        bool any = false;
        for (const std::u16string& word : group->words)
            any = any || folded.find(word) != std::u16string::npos;
        if (group->word_search.found_in(folded) != any) __builtin_trap();
    }
    for (const ListProblem& problem : ng.problems)
        if (problem.line < 0) __builtin_trap();

    const ReplaceList replace = parse_replace_list(list_text);
    std::u16string text(body);
    ReplaceCounts counts;
    replace.apply(text, counts);
    // A second comment through the same counts must not grow them past one entry per expression rule.
    replace.apply(text, counts);
    if (counts.regex_comments.size() != static_cast<size_t>(replace.regex_rule_count())) __builtin_trap();
    return 0;
}
