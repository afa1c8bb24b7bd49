#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quippet {

/// Calls `at_blank(p)` for every blank in [begin, end), in order, until it returns false. Blanks come every
/// few bytes in markup: finding them sixteen at a time beats a search call for each.
template <typename F> void for_each_blank(const char* begin, const char* end, F at_blank) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i blank = _mm_set1_epi8(' ');
    for (; end - p >= 16; p += 16) {
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), blank)));
        for (; mask != 0; mask &= mask - 1)
            if (!at_blank(p + __builtin_ctz(mask))) return;
    }
#endif
    for (; p < end; ++p)
        if (*p == ' ' && !at_blank(p)) return;
}

} // namespace quippet
