// Feeds arbitrary bytes to the header and footer parsers of a comment file. Files from other tools put
// anything around the comments (XML comments, unknown elements, several threads), and whatever they hold
// is merged into records that are written out again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comments/ChatFileParts.h"
#include "comments/ChatWriter.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view doc(reinterpret_cast<const char*>(data), size);
    const std::u16string_view separator = size > 0 && (data[0] & 1) != 0 ? u"," : u" ";

    ChatHeaderRecord header;
    parse_header(doc, header, separator);
    // A second file with the same header merges into the same record without new entries.
    const int ids = header.thread_ids.count();
    parse_header(doc, header, separator);
    if (header.thread_ids.count() != ids) __builtin_trap();
    header.add_thread(u"1234", 5);
    header.add_player_data(u"-->");

    ChatFooterRecord footer;
    parse_footer(doc, footer);
    const size_t start = footer_start(doc);
    const size_t end = comments_end(doc);
    if (start > doc.size() || (end != std::string_view::npos && (end > doc.size() || end < start))) __builtin_trap();

    std::string text(doc), head, foot;
    if (split_comment_file(text, head, foot) == 0) {
        if (head.size() + text.size() + foot.size() != doc.size()) __builtin_trap();
        parse_header(head, header, separator);
        parse_footer(foot, footer);
    }
    std::string h, b, f;
    ChatWriterOptions options;
    static const CWorkChatdata none;
    write_reconstructed(none, header, footer, options, {}, {h, b, f});
    return 0;
}
