// Feeds arbitrary bytes, read as UTF-8, to the three board-page scans: the warehouse index (both of its
// forms), the current thread list and a warehouse table page, then filters and lists what they found.
// Every page address must stay under the index's folder, every key within the digits a key may have and
// every title free of markup and line breaks.
#include "livelog/Warehouse.h"
#include "text/Encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string html = from_utf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const WhWindow window{0, 1'293'811'200 - static_cast<std::int64_t>(size % 3) * 400'000'000, 1'293'840'000};
    const std::u16string index = u"https://s.example/livex/kako/";

    const WhIndexScan pages = scan_warehouse_index(html, index, u"livex", window);
    for (const std::u16string& page : pages.pages) {
        if (!page.starts_with(u"https://s.example/livex/")) std::abort();
        if (page.find(u"//", 8) != std::u16string::npos) std::abort();
    }
    if (pages.pages.size() > static_cast<size_t>(pages.links) + 1) std::abort();

    WhResult result;
    for (const WhThreadScan& scan : {scan_thread_links(html), scan_thread_table(html)}) {
        if (scan.threads.size() > static_cast<size_t>(scan.links)) std::abort();
        for (const WhThread& t : scan.threads) {
            if (t.key < 0 || t.key > 999'999'999'999LL || t.posts < 0) std::abort();
            if (t.title.find_first_of(u"<>\n\r") != std::u16string::npos) std::abort();
        }
        filter_threads(scan, window, 1 + static_cast<int>(size % 200), split_title_words(u"実況|a"), result);
    }
    order_result(result);
    (void)compose_result_list(result);
    (void)keys_in_copied_text(html);
    return 0;
}
