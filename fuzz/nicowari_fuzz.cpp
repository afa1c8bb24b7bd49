// getbgm's answers are read by the rules file; whatever the service sends, the entries must be pieces of
// the answer, each ID once, and never an address that is not the web's.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "download/Nicowari.h"
#include "download/Thumbnail.h"
#include "text/Encoding.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)image_type_of(bytes);
    const std::u16string text = from_utf8(bytes);
    NicowariInfo info;
    const int rc = read_getbgm_answer(text, InfoRules::defaults(), info);
    if ((rc == 1) != !info.entries.empty()) __builtin_trap();
    std::set<std::u16string> ids;
    for (const NicowariEntry& e : info.entries) {
        if (!ids.insert(e.id).second || e.id.size() > text.size() || e.url.size() > text.size()) __builtin_trap();
        if (!e.url.starts_with(u"http://") && !e.url.starts_with(u"https://")) __builtin_trap();
    }
    (void)has_large_variant(text);
    return 0;
}
