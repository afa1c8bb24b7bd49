// Feeds arbitrary text to the live-log scanner, the header date parser, the body lines and the auto date,
// with the default NG words and a segment cut in two. Every accepted body must come out as element text
// that cannot break its comment file, timed inside the recording, and every header counted once.
#include "livelog/LiveLogAids.h"
#include "livelog/LiveLogFiles.h"
#include "livelog/LiveLogJob.h"
#include "livelog/LiveLogScanner.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    decode_source_bytes(std::string_view(reinterpret_cast<const char*>(data), size), text);

    static const WcNgLists ng = parse_wc_ng_lists(live_ng_default_text());
    WcSettings s;
    s.year = 2012;
    s.clock[0] = {21, 0, 30};
    s.enabled[1] = true;
    s.video[1] = {0, 10, 0};
    s.clock[1] = {21, 12, 0};
    s.video[8] = {1, 0, 0};
    s.thin = size % 2 == 1;
    s.thin_limit = 5;
    s.line_breaks = static_cast<WcLineBreaks>(size % 5);
    s.line_break_text = u"<&>";
    const WcTimingTable timing = build_timing_table(s);
    WcConversion c;
    convert_live_log(text, s, timing, &ng, nullptr, c);
    for (int i = 0; i < c.set.count(); ++i) {
        const std::u16string_view body = c.set.text(i);
        if (body.find(u'<') != std::u16string_view::npos || body.find(u'>') != std::u16string_view::npos)
            __builtin_trap();
        if (c.set.vpos(i) < 0) __builtin_trap();
    }
    // Every header is counted exactly once: as a comment or under one discard counter.
    if (c.record.total() != c.record.dated_lines) __builtin_trap();
    compose_report(c.record, c.refs, {}, {});
    auto_date(text);
    return 0;
}
