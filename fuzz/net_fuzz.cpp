// What a server sends back is read for its status line, its headers and the first bytes of its body before
// anything else looks at it; every one of those reads must hold up against any bytes at all.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/NetCodes.h"
#include "net/NetResponse.h"
#include "text/Encoding.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int status = netresp::parse_status_line(bytes);
    if (status < -1 || status > 999) __builtin_trap();
    const int code = netresp::status_class_code(status);
    if (code != 0 && code != 154 && code != 155 && code != 156 && code != 157 && (code < 215 || code > 220))
        __builtin_trap();

    std::string value;
    for (std::string_view name : {"Content-Length", "Content-Type", "Set-Cookie", "Location", ""}) {
        if (netresp::find_header(bytes, name, value)) {
            if (value.size() > size) __builtin_trap();
            const long long length = netresp::parse_content_length(value);
            if (length < -1 || length > (1LL << 53)) __builtin_trap();
        }
    }
    // Lines as the header block of a request would be split.
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (netresp::is_valid_header_line(line) && netresp::header_name(line).empty()) __builtin_trap();
    }
    const std::string_view ext = netresp::sniff_extension(bytes.substr(0, 16));
    if (!ext.empty() && ext != ".flv" && ext != ".mp4" && ext != ".swf") __builtin_trap();

    std::u16string server, object;
    const std::u16string url = from_utf8(bytes);
    netresp::split_url(url, server, object);
    if (server.size() + object.size() > url.size()) __builtin_trap();
    if (!object.empty() && object[0] != u'/') __builtin_trap();
    return 0;
}
