// Fetched pages and pasted files arrive in any shape: detection and every decoder must survive them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/CharBuffer.h"
#include "text/Encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CCharW wide;
    quippet::decode_document(bytes, -1, wide);
    CCharM narrow(bytes);
    quippet::narrow_to_wide(narrow, 0, wide);
    CCharM back;
    quippet::wide_to_narrow(wide, 0, back);
    quippet::narrow_to_wide(narrow, 65001, wide);
    quippet::wide_to_utf8(wide, back);
    return 0;
}
