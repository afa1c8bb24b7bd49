// The information answers (the two APIs, the watch page and its JSON) are cut apart by the rules file and
// by key searches; whatever the service sends, every search must end inside the text and never fill a
// field with more than the answer held.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/InfoRules.h"
#include "net/JsonScan.h"
#include "net/MovieInfo.h"
#include "text/Encoding.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::u16string text = from_utf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    InfoOptions options;
    options.foreign_tags = data[0] & 1;
    switch (data[0] % 4) {
    case 0: { // a rules file of its own over the same text: the part before U+0001 is the rules
        const size_t split = text.find(u'\x01');
        options.rules = InfoRules::parse(std::u16string_view(text).substr(0, split));
        const std::u16string_view answer =
            split == std::u16string::npos ? std::u16string_view(text) : std::u16string_view(text).substr(split + 1);
        for (const InfoRule& rule : options.rules.rules()) {
            // A result is a piece of the answer, or the constant of the rule the key finds first.
            if (const auto v = options.rules.apply(rule.key, answer)) {
                const bool inside =
                    v->data() >= answer.data() && v->data() + v->size() <= answer.data() + answer.size();
                if (!inside && *v != options.rules.constant(rule.key)) __builtin_trap();
            }
            options.rules.apply_all(rule.key, answer);
        }
        CWorkMovieInfo info;
        int code = 0;
        read_api_answer(info, u"", answer, options, code);
        break;
    }
    case 1:
    case 2: { // the built-in rules over an API answer
        options.rules = InfoRules::defaults();
        CWorkMovieInfo info;
        int code = 0;
        read_api_answer(info, data[0] % 4 == 1 ? u"" : u"V", text, options, code);
        if (info.title.size() > text.size()) __builtin_trap();
        break;
    }
    default: { // a watch page, and its text as the JSON of one
        options.rules = InfoRules::defaults();
        CWorkMovieInfo page;
        int code = 0;
        read_watch_page(page, text, options, code);
        CWorkMovieInfo json;
        read_watch_json(json, text);
        if (json.title.size() > text.size() || json.tags.size() > text.size()) __builtin_trap();
        if (const auto raw = json_raw_value(text, u"a"); raw && raw->size() > text.size()) __builtin_trap();
        for (const auto item : json_array_items(text))
            if (item.empty()) __builtin_trap();
        break;
    }
    }
    return 0;
}
