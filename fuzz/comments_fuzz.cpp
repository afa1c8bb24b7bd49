// Feeds arbitrary bytes to the comment-file reader, the split and the quick scans. Whatever the reader
// accepts must survive a write and a second read with the same number of comments, unless a value ends
// in something like ` date=`: attributes are found by plain search, which such a value fools by design.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comments/ChatFileParts.h"
#include "comments/ChatReader.h"
#include "comments/ChatScan.h"
#include "comments/ChatWriter.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view doc(reinterpret_cast<const char*>(data), size);
    const int no = size > 0 ? data[0] % 16 : 0;

    // A set reserves room for tens of thousands of comments; one per process keeps the runs fast.
    static CWorkChatdata set, again, partial;
    set.truncate(0);
    again.truncate(0);
    partial.truncate(0);
    ChatHeaderRecord header;
    ChatFooterRecord footer;
    ChatReadContext context;
    context.header = &header;
    context.footer = &footer;
    context.keep_negative_vpos = (no & 1) != 0;
    const int read = read_comments(doc, set, 0, context);
    if (read > 0) {
        set.sort(chat_key::user_id, chat_key::vpos + chat_key::reversed);
        ChatWriterOptions options;
        options.write_thread = options.write_score = options.write_locale = options.write_deleted = true;
        options.keep_own_numbers = true;
        std::string h, b, f;
        write_reconstructed(set, header, footer, options, {}, {h, b, f});
        bool plain_values = true;
        for (int i = 0; i < set.count() && plain_values; ++i)
            plain_values = set.user_id(i).find(u'=') == std::u16string_view::npos &&
                           set.mail(i).find(u'=') == std::u16string_view::npos &&
                           set.locale(i).find(u'=') == std::u16string_view::npos;
        ChatReadContext second;
        second.keep_negative_vpos = context.keep_negative_vpos;
        const int reread = read_comments(h + b + f, again, 0, second);
        if (plain_values && reread != set.count()) __builtin_trap();
        set.truncate(set.count() / 2);
        set.mark_removed(0);
        set.compact();
    }

    // A job stopped in the middle of a file keeps what it read so far and says so.
    ChatReadContext stopping;
    int asked = 0;
    stopping.stop_requested = [&asked, no] { return ++asked > no; };
    const int stopped = read_comments(doc, partial, 1, stopping);
    if (stopped >= 0 && partial.count() != stopped) __builtin_trap();

    std::string_view value;
    attribute_value(doc, "vpos", value);
    // The one-pass scan must find what the three scans of their own find.
    const BodyFacts facts = scan_body_facts(doc);
    const AttributeRange vpos = attribute_range(doc, "vpos"), dates = attribute_range(doc, "date");
    const NumberScan numbers = scan_numbers(doc);
    if (count_vpos(doc) != facts.vpos.count || vpos.count != facts.vpos.count || vpos.min != facts.vpos.min ||
        vpos.max != facts.vpos.max || dates.count != facts.dates.count || dates.min != facts.dates.min ||
        dates.max != facts.dates.max || numbers.first != facts.numbers.first || numbers.last != facts.numbers.last ||
        numbers.min != facts.numbers.min || numbers.max != facts.numbers.max || numbers.count != facts.numbers.count ||
        numbers.error != facts.numbers.error)
        __builtin_trap();
    AttributeRange range;
    attribute_range_within(doc, "vpos", 0, 6000, range);
    const int at = locate_comment(doc, no);
    if (at >= 0) comment_end(doc, at);
    thread_attribute(doc, "last_res");

    std::string text(doc), head, foot;
    cut_before_comment(text, no);
    text.assign(doc);
    cut_from_comment(text, no);
    text.assign(doc);
    set_thread_attribute(text, "last_res", no);
    remove_thread_attribute(text, "num_clicks");
    text.assign(doc);
    if (split_comment_file(text, head, foot) == 0) {
        ensure_header({head, text, foot}, {});
        ensure_footer({head, text, foot}, {});
    }
    return 0;
}
