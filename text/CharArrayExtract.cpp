#include "text/CharArray.h"

#include <string>

#include "text/Entities.h"

int CCharArrayW::extract_elements(std::u16string_view document, std::u16string_view tag, bool unescape) {
    if (tag.empty()) return 0;
    std::u16string start = u"<";
    start += tag;
    std::u16string end = u"</";
    end += tag;
    end += u'>';

    int added = 0;
    size_t at = document.find(start);
    while (at != std::u16string_view::npos) {
        const size_t after_name = at + start.size();
        const char16_t next = after_name < document.size() ? document[after_name] : u'\0';
        // "<tagline>" is another element; only a blank or ">" ends our tag's name.
        if (next != u' ' && next != u'\t' && next != u'\r' && next != u'\n' && next != u'>') {
            at = document.find(start, after_name);
            continue;
        }
        const size_t close = document.find(u'>', after_name);
        if (close == std::u16string_view::npos) break;
        // A self-closing element has no content; reading on to the next end tag would swallow its neighbour.
        if (document[close - 1] == u'/') {
            at = document.find(start, close + 1);
            continue;
        }
        const size_t content = close + 1;
        const size_t finish = document.find(end, content);
        if (finish == std::u16string_view::npos) break;
        const std::u16string_view value = document.substr(content, finish - content);
        if (unescape) {
            CCharW text(value);
            quippet::unescape_all(text);
            added += add_unique(text.view());
        } else {
            added += add_unique(value);
        }
        at = document.find(start, finish + end.size());
    }
    return added;
}
