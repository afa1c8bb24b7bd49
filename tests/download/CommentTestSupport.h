#pragma once

#include <string>
#include <vector>

#include "download/CommentJoin.h"

namespace quippet::test {

/// The comment numbers of a comment file or answer, in order.
inline std::vector<int> comment_numbers(const std::string& text) {
    std::vector<int> out;
    for (const ChatSpan& s : read_comment_answer(text).chats)
        out.push_back(s.no);
    return out;
}

/// from, from + 1, … to.
inline std::vector<int> number_range(int from, int to) {
    std::vector<int> out;
    for (int n = from; n <= to; ++n)
        out.push_back(n);
    return out;
}

} // namespace quippet::test
