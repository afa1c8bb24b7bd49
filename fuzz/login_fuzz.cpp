// The login side reads getflv's answer and searches cookie files, both as bytes from elsewhere: a
// browser's file may be anything at all, and getflv's pairs come from the network.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/CookieStore.h"
#include "net/MovieInfo.h"
#include "text/Encoding.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool no_keyring = [] {
        // A "v11" marker in the input must not reach a real keyring.
        set_keyring_lookup([](std::string_view) -> std::optional<std::string> { return std::string("fuzz"); });
        return true;
    }();
    (void)no_keyring;
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        const auto pairs = parse_flv_pairs(bytes);
        if (pairs.size() > 512) __builtin_trap();
        CWorkMovieInfo info;
        int closed = 0;
        std::string error;
        if (parse_getflv(info, bytes, closed, error) && info.thread_id.empty()) __builtin_trap();
        return 0;
    }
    const std::u16string name = (data[0] & 2) ? u".nicovideo.jpuser_sessionuser_session_" : u"user_session_";
    const std::string searchable = searchable_cookie_bytes(bytes, name, "chrome");
    const auto value = find_session_value(from_utf8(searchable), name, (data[0] & 4) ? u";" : u"", data[0] & 8);
    if (value && !value->starts_with(u"user_session_")) __builtin_trap();
    if (!(data[0] & 8) && value) {
        for (char16_t c : value->substr(13))
            if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u'_'))
                __builtin_trap();
    }
    return 0;
}
