// The comment server's answers are joined into one thread: the latest answers as they are, the older ones
// of a past-log walk cut before the lowest number held. Whatever the answers hold, the joined thread must
// come out ordered by number with each number once, and the walk's numbers must only go down.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "download/CommentJoin.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int latest_count = 1 + (data[0] & 1);
    const int from = data[0] >> 4;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    // Answers are separated by a 0x01 byte.
    std::vector<std::string> answers;
    while (!rest.empty() && answers.size() < 64) {
        const size_t cut = rest.find('\x01');
        answers.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut == std::string_view::npos ? rest.size() : cut + 1);
    }
    CommentPieces pieces;
    int index = 0;
    for (const std::string& text : answers) {
        const CommentAnswer read = read_comment_answer(text);
        for (const ChatSpan& s : read.chats)
            if (s.no < 1 || s.begin + s.length > text.size()) __builtin_trap();
        if (index++ < latest_count || pieces.empty()) {
            pieces.add(text, read);
            continue;
        }
        const int lowest = pieces.lowest();
        const int kept = pieces.add_older(text, read, lowest);
        if (kept > 0 && (pieces.lowest() >= lowest || pieces.last_added_lowest() >= lowest)) __builtin_trap();
        if (kept <= 0 && pieces.lowest() != lowest) __builtin_trap();
    }
    const long long held = pieces.count();
    std::string body;
    const long long written = pieces.join(from, body);
    if (written > held) __builtin_trap();
    const CommentAnswer joined = read_comment_answer(body);
    if (static_cast<long long>(joined.chats.size()) < written) __builtin_trap();
    // Elements are copied as they were, so reading the body back finds at least what was written, in order.
    int previous = 0;
    for (size_t i = 0; i < static_cast<size_t>(written); ++i) {
        if (joined.chats[i].no <= previous || joined.chats[i].no < from) __builtin_trap();
        previous = joined.chats[i].no;
    }
    return 0;
}
