// Fetched pages and pasted files arrive in any shape: detection and every decoder must survive them.
// Comment files are decoded in pieces as they are read; the pieces must give the text the whole would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/CharBuffer.h"
#include "text/Encoding.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int declared = detect_document_encoding(bytes);
    if (declared < kDocumentUtf8 || declared > kDocumentUnknown) __builtin_trap();
    CCharW wide;
    const int used = decode_document(bytes, kDocumentAuto, wide);
    if (used < kDocumentUtf8 || used > kDocumentEucJp) __builtin_trap();
    decode_document(bytes, size > 0 && (data[0] & 1) ? kDocumentShiftJis : kDocumentUtf8, wide);

    CCharM narrow(bytes);
    narrow_to_wide(narrow, kCodePageSystem, wide);
    CCharM back;
    wide_to_narrow(wide, kCodePageSystem, back);
    narrow_to_wide(narrow, kCodePageEucJp, wide);
    to_cp932(from_cp932(bytes));

    narrow_to_wide(narrow, kCodePageUtf8, wide);
    wide_to_utf8(wide, back);
    const std::u16string whole(wide.view());
    // Cut the bytes at a point the input chooses, carrying an unfinished sequence to the next piece.
    const size_t cut = size > 0 ? data[size - 1] % (size + 1) : 0;
    const size_t ready = utf8_stream_prefix(bytes.substr(0, cut));
    if (ready > cut || cut - ready > 3) __builtin_trap();
    std::u16string pieces(size, u'\0');
    size_t units = decode_utf8_into(bytes.substr(0, ready), pieces.data());
    units += decode_utf8_into(bytes.substr(ready), pieces.data() + units);
    pieces.resize(units);
    if (pieces != whole) __builtin_trap();
    // Malformed bytes decode to U+FFFD, never to a lone surrogate, so the text survives being written back.
    if (from_utf8(to_utf8(whole)) != whole) __builtin_trap();
    // The validating decoder accepts exactly what the validator does, and then gives the same text.
    const auto strict = from_valid_utf8(bytes);
    if (strict.has_value() != is_valid_utf8(bytes) || (strict && *strict != whole)) __builtin_trap();
    if (is_valid_utf8(bytes) != (to_utf8(whole) == bytes)) __builtin_trap();
    return 0;
}
