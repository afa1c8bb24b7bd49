#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "comments/WorkChatdata.h"
#include "tests/support/TestText.h"
#include "text/Encoding.h"

namespace quippet::test {

inline std::u16string fixture(std::u16string_view name) {
    return from_utf8(QUIPPET_TEST_DATA_DIR "/comments/") + std::u16string(name);
}

inline std::u16string sample(std::u16string_view name) {
    return from_utf8(QUIPPET_SAMPLES_DIR "/") + std::u16string(name);
}

struct ChatFields {
    std::u16string_view user_id = {};
    int vpos = 0;
    int date = 0;
    int no = -1;
    std::u16string_view text = {};
    std::u16string_view mail = {};
    int fork = 0;
    int premium = 0;
    int filterable = 1;
};

inline ChatEntry entry_of(const ChatFields& s) {
    ChatEntry e;
    e.user_id.assign(s.user_id);
    e.vpos = s.vpos;
    e.date = s.date;
    e.no = s.no;
    e.text.assign(s.text);
    e.mail.assign(s.mail);
    e.fork = s.fork;
    e.premium = s.premium;
    e.filterable = s.filterable;
    return e;
}

/// The user ids in the set's current order, joined by ",": a compact picture of an order.
inline std::string order_of(const CWorkChatdata& set) {
    std::string out;
    for (int k = 0; k < set.count(); ++k) {
        if (k > 0) out += ',';
        out += u8(set.user_id(set.at(k)));
    }
    return out;
}

/// Every column of the comments at the same positions of two sets.
inline void expect_same_comments(const CWorkChatdata& a, const CWorkChatdata& b) {
    ASSERT_EQ(a.count(), b.count());
    for (int k = 0; k < a.count(); ++k) {
        const int i = a.at(k), j = b.at(k);
        EXPECT_EQ(u8(a.user_id(i)), u8(b.user_id(j))) << "position " << k;
        EXPECT_EQ(u8(a.mail(i)), u8(b.mail(j))) << "position " << k;
        EXPECT_EQ(u8(a.text(i)), u8(b.text(j))) << "position " << k;
        EXPECT_EQ(u8(a.locale(i)), u8(b.locale(j))) << "position " << k;
        for (int c = 0; c < kChatIntColumnCount; ++c)
            EXPECT_EQ(a.get(static_cast<ChatColumn>(c), i), b.get(static_cast<ChatColumn>(c), j))
                << "position " << k << ", column " << c;
    }
}

} // namespace quippet::test
