#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quippet {

/// Name under which the running window of `user` with the app home `home` answers later starts.
/// Two app homes of one user, and two users with one home, get different names; the name is short
/// and plain ASCII whatever the user and the home are, because it becomes a socket file's name.
std::string instance_name(std::u16string_view user, std::u16string_view home);

/// Message types between a later start and the running window, numbered as the window's own
/// messages are.
inline constexpr std::uint32_t kHandOverText = 0;

/// The largest text a later start may hand over, in UTF-16 units; a longer message is dropped
/// rather than allowed to eat the window's memory.
inline constexpr std::size_t kMaxHandOverUnits = 64u * 1024u * 1024u;

/// One message as it travels: a four-byte tag, the type and the length in units (both little-endian
/// 32-bit), then the text as UTF-16LE.
std::string encode_instance_message(std::uint32_t type, std::u16string_view text);

struct InstanceMessage {
    std::uint32_t type = 0;
    std::u16string text;
};

/// Reads messages from a stream of bytes that arrives in pieces of any size.
class CInstanceMessageReader {
public:
    enum class State { incomplete, complete, invalid };

    /// Takes the next bytes. `complete` as soon as a whole message is there (the bytes after it are
    /// kept for the next one); `invalid` for a wrong tag or a text over the limit, after which the
    /// reader takes nothing more.
    State feed(std::string_view bytes);
    /// The message completed by the last feed; the reader then waits for the next.
    std::optional<InstanceMessage> take();

private:
    State parse();

    std::string buffer_;
    std::optional<InstanceMessage> ready_;
    bool invalid_ = false;
};

/// The byte the window sends back once it has taken a message: a later start that never sees it
/// keeps the text itself.
inline constexpr char kInstanceAck = '\x06';

} // namespace quippet
