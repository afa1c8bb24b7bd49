#pragma once

#include <span>
#include <string_view>

namespace quippet {

/// One entry of the message table. Result codes and log messages across the program are ids of this table.
struct MessageEntry {
    int id;
    std::u16string_view text;
};

/// Text of a message-table entry; empty when the id has no text.
std::u16string_view message_text(int id);

/// Every entry, in ascending id order with each id once.
std::span<const MessageEntry> message_table();

} // namespace quippet
