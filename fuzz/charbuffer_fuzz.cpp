// Drives the tokenizer and number parsers with arbitrary bytes: every parser of the program is built
// from these operations, so they must never read outside their buffer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/CharBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t split = data[0] % size;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view pattern = bytes.substr(0, split % 8);
    CCharM doc(bytes.substr(pattern.size()));
    CCharM piece;
    doc.value_between(" a=\"", "\"", piece);
    int n = 0;
    piece.read_int(n, 0);
    piece.read_uint(0, 16);
    CCharM copy(doc);
    copy.replace_all(pattern.empty() ? std::string_view("<") : pattern, "&lt;");
    while (!pattern.empty() && doc.cut_before(pattern, piece, false, (data[0] & 1) != 0, (data[0] & 2) != 0) == 0) {
    }
    doc.cut_after(">", piece, (data[0] & 4) != 0, (data[0] & 8) != 0, (data[0] & 16) != 0);
    doc.begin_fast_append(1);
    for (size_t i = 0; i < 8; ++i) doc.fast_append(bytes);
    doc.end_fast_append();
    doc.append(doc.view());
    return 0;
}
