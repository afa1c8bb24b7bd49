#include "text/Encoding.h"

#include "text/Ascii.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace quippet {
namespace {

// --- UTF-8 -------------------------------------------------------------------------------------------
// Comment files reach tens of megabytes and are decoded on every read, so UTF-8 has its own codec. It
// substitutes exactly like ICU's u_strFromUTF8WithSub / u_strToUTF8WithSub (one U+FFFD per maximal
// subpart of an ill-formed sequence, one per unpaired surrogate); the tests hold it to that.

constexpr char16_t kReplacement = 0xFFFD;

bool is_trail(unsigned b) {
    return (b & 0xC0) == 0x80;
}

/// Bytes covered by one U+FFFD at an ill-formed position: the longest prefix of a well-formed sequence
/// that is there, at least one byte.
size_t ill_formed_length(const unsigned char* p, size_t avail) {
    const unsigned c = p[0];
    unsigned lo = 0x80, hi = 0xBF;
    size_t need;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F; // surrogates are not characters
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F; // nothing beyond U+10FFFF
    } else {
        return 1;
    }
    if (avail < 2 || p[1] < lo || p[1] > hi) return 1;
    size_t k = 2;
    while (k <= need && k < avail && is_trail(p[k]))
        ++k;
    return k;
}

size_t encode_utf8_into(std::u16string_view text, char* out) {
    auto* o = reinterpret_cast<unsigned char*>(out);
    const char16_t* s = text.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char32_t c = s[i];
        if (c < 0x80) {
            *o++ = static_cast<unsigned char>(c);
            ++i;
        } else if (c < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            *o++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            i += 2;
        } else {
            const char32_t cp = (c >= 0xD800 && c <= 0xDFFF) ? char32_t{kReplacement} : c;
            *o++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            ++i;
        }
    }
    return static_cast<size_t>(o - reinterpret_cast<unsigned char*>(out));
}

// --- ICU converters (CP932, EUC-JP, anything else by number) --------------------------------------

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU writes U+001A for a lone unmapped byte; every ill-formed input becomes U+FFFD here, as with UTF-8.
void U_CALLCONV substitute_replacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                                       UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) return;
    *err = U_ZERO_ERROR;
    const UChar sub = kReplacement;
    ucnv_cbToUWriteUChars(args, &sub, 1, 0, err);
}

const char* icu_name_of(int code_page) {
    switch (code_page) {
    case kCodePageSystem:
    case kCodePageCp932:
        // ICU's Windows form of Shift_JIS: ① ～ ＼ ￢ and the NEC/IBM rows map as on Windows.
        return "windows-31j";
    case kCodePageEucJp:
    case 20932:
        return "EUC-JP";
    default:
        return nullptr;
    }
}

ConverterPtr open_converter(int code_page) {
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr conv;
    if (const char* name = icu_name_of(code_page)) {
        conv.reset(ucnv_open(name, &err));
    } else {
        for (const char* prefix : {"windows-", "cp"}) {
            const std::string alias = prefix + std::to_string(code_page);
            err = U_ZERO_ERROR;
            conv.reset(ucnv_open(alias.c_str(), &err));
            if (U_SUCCESS(err) && err != U_USING_DEFAULT_WARNING) break;
            conv.reset();
        }
    }
    if (!conv || U_FAILURE(err)) return nullptr;
    err = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), substitute_replacement, nullptr, nullptr, nullptr, &err);
    err = U_ZERO_ERROR;
    ucnv_setSubstChars(conv.get(), "?", 1, &err);
    return conv;
}

/// Opening a converter loads tables; each thread keeps the ones it used.
UConverter* converter_for(int code_page) {
    thread_local std::array<std::pair<int, ConverterPtr>, 4> cache;
    thread_local size_t next_slot = 0;
    if (code_page == kCodePageCp932) code_page = kCodePageSystem;
    for (auto& [cp, conv] : cache)
        if (conv && cp == code_page) {
            ucnv_reset(conv.get());
            return conv.get();
        }
    ConverterPtr conv = open_converter(code_page);
    if (!conv) return nullptr;
    auto& slot = cache[next_slot++ % cache.size()];
    slot = {code_page, std::move(conv)};
    return slot.second.get();
}

bool icu_decode(std::string_view bytes, int code_page, std::u16string& out) {
    UConverter* conv = converter_for(code_page);
    if (!conv) return false;
    out.assign(bytes.size() + 16, u'\0');
    const char* src = bytes.data();
    const char* src_end = src + bytes.size();
    size_t written = 0;
    while (true) {
        UChar* dst = out.data() + written;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(conv, &dst, out.data() + out.size(), &src, src_end, nullptr, true, &err);
        written = static_cast<size_t>(dst - out.data());
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) return false;
        break;
    }
    out.resize(written);
    return true;
}

bool icu_encode(std::u16string_view text, int code_page, std::string& out) {
    UConverter* conv = converter_for(code_page);
    if (!conv) return false;
    out.assign(text.size() * 2 + 16, '\0');
    const UChar* src = text.data();
    const UChar* src_end = src + text.size();
    size_t written = 0;
    while (true) {
        char* dst = out.data() + written;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_fromUnicode(conv, &dst, out.data() + out.size(), &src, src_end, nullptr, true, &err);
        written = static_cast<size_t>(dst - out.data());
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) return false;
        break;
    }
    out.resize(written);
    return true;
}

int decode_into(std::string_view bytes, int code_page, CCharW& out) {
    if (bytes.size() > static_cast<size_t>(INT32_MAX - 1)) {
        out.clear();
        return -1;
    }
    if (code_page == kCodePageUtf8) {
        // The text is replaced, not appended to: drop it first so that growing does not copy it.
        out.clear();
        out.reserve(static_cast<int>(bytes.size()));
        const size_t n = decode_utf8_into(bytes, out.data());
        out.set_length(static_cast<int>(n));
        return static_cast<int>(n);
    }
    std::u16string wide;
    if (!icu_decode(bytes, code_page, wide)) {
        out.clear();
        return -1;
    }
    out.assign(wide);
    return out.length();
}

// --- document encoding detection -------------------------------------------------------------------

size_t find_nocase(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
        if (ascii_equal_nocase(hay.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

/// The value of `attr="…"` inside the first `<tag …>` of the document; empty when there is none.
std::string_view declared_value(std::string_view doc, std::string_view tag, std::string_view attr) {
    std::string open = "<";
    open.append(tag).append(" ");
    const size_t at = doc.find(open);
    if (at == std::string_view::npos) return {};
    const size_t from = at + open.size();
    const size_t end = doc.find('>', from);
    if (end == std::string_view::npos) return {};
    const std::string_view element = doc.substr(from, end - from);
    std::string key(attr);
    key.append("=\"");
    const size_t k = element.find(key);
    if (k == std::string_view::npos) return {};
    const size_t value_from = k + key.size();
    const size_t value_end = element.find('"', value_from);
    if (value_end == std::string_view::npos) return {};
    return element.substr(value_from, value_end - value_from);
}

/// Blanks around a declared value include the ideographic space, as Shift_JIS pages write it (81 40).
std::string_view trim_blanks(std::string_view s) {
    constexpr std::string_view wide_space = "\x81\x40";
    while (true) {
        if (s.starts_with(' '))
            s.remove_prefix(1);
        else if (s.starts_with(wide_space))
            s.remove_prefix(2);
        else if (s.ends_with(' '))
            s.remove_suffix(1);
        else if (s.ends_with(wide_space))
            s.remove_suffix(2);
        else
            return s;
    }
}

} // namespace

size_t decode_utf8_into(std::string_view bytes, char16_t* out, bool* ill_formed) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    char16_t* o = out;
    size_t i = 0;
    while (i < n) {
        unsigned c = s[i];
        if (c < 0x80) {
            // Markup, digits and attribute names: widen ASCII sixteen bytes at a time. All sixteen units
            // are stored even when the run ends earlier; that is safe because the output never gets ahead
            // of the input (o - out <= i), and the units past the run are overwritten next.
#if defined(__SSE2__)
            const __m128i zero = _mm_setzero_si128();
            while (i + 16 <= n) {
                const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(chunk, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(chunk, zero));
                const int high = _mm_movemask_epi8(chunk);
                if (high != 0) {
                    const int ascii = __builtin_ctz(static_cast<unsigned>(high));
                    o += ascii;
                    i += static_cast<size_t>(ascii);
                    break;
                }
                o += 16;
                i += 16;
            }
#else
            while (i + 8 <= n) {
                uint64_t word;
                std::memcpy(&word, s + i, 8);
                if (word & 0x8080808080808080ULL) break;
                for (int k = 0; k < 8; ++k)
                    o[k] = s[i + k];
                o += 8;
                i += 8;
            }
#endif
            while (i < n && s[i] < 0x80)
                *o++ = s[i++];
            continue;
        }
        // Japanese text is runs of three-byte sequences; stay in this loop while they last.
        while (c >= 0xE0 && c <= 0xEF && i + 2 < n) {
            const unsigned b1 = s[i + 1], b2 = s[i + 2];
            const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
            if (b1 < lo || b1 > hi || !is_trail(b2)) break;
            *o++ = static_cast<char16_t>(((c & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
            i += 3;
            if (i >= n) break;
            c = s[i];
        }
        if (i >= n || c < 0x80) continue;
        if (c >= 0xC2 && c <= 0xDF && i + 1 < n && is_trail(s[i + 1])) {
            *o++ = static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
            i += 2;
            continue;
        }
        if (c >= 0xF0 && c <= 0xF4 && i + 3 < n) {
            const unsigned b1 = s[i + 1], b2 = s[i + 2], b3 = s[i + 3];
            const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
            if (b1 >= lo && b1 <= hi && is_trail(b2) && is_trail(b3)) {
                const char32_t cp = ((c & 0x07) << 18) | ((b1 & 0x3F) << 12) | ((b2 & 0x3F) << 6) | (b3 & 0x3F);
                *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                i += 4;
                continue;
            }
        }
        if (ill_formed) *ill_formed = true;
        *o++ = kReplacement;
        i += ill_formed_length(s + i, n - i);
    }
    return static_cast<size_t>(o - out);
}

std::optional<std::u16string> from_valid_utf8(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    bool ill_formed = false;
    out.resize(decode_utf8_into(bytes, out.data(), &ill_formed));
    if (ill_formed) return std::nullopt;
    return out;
}

size_t utf8_stream_prefix(std::string_view bytes) {
    const size_t n = bytes.size();
    // A byte that is not a continuation byte always starts a new sequence (or stands alone), so the
    // only question is whether the last such byte within reach begins a sequence that is still open.
    for (size_t k = 1; k <= 3 && k <= n; ++k) {
        const auto b = static_cast<unsigned char>(bytes[n - k]);
        if (is_trail(b)) continue;
        const size_t need = (b >= 0xC2 && b <= 0xDF)   ? 2
                            : (b >= 0xE0 && b <= 0xEF) ? 3
                            : (b >= 0xF0 && b <= 0xF4) ? 4
                                                       : 1;
        return need > k ? n - k : n;
    }
    return n;
}

int wide_to_utf8(const CCharW& in, CCharM& out) {
    const long long worst = 3LL * in.length();
    if (worst > INT32_MAX - 1) {
        out.clear();
        return -1;
    }
    out.clear();
    out.reserve(static_cast<int>(worst));
    const size_t n = encode_utf8_into(in.view(), out.data());
    out.set_length(static_cast<int>(n));
    return static_cast<int>(n);
}

int narrow_to_wide(const CCharM& in, int code_page, CCharW& out) {
    return decode_into(in.view(), code_page, out);
}

int wide_to_narrow(const CCharW& in, int code_page, CCharM& out) {
    if (code_page == kCodePageUtf8) return wide_to_utf8(in, out);
    std::string bytes;
    if (!icu_encode(in.view(), code_page, bytes)) {
        out.clear();
        return -1;
    }
    out.assign(bytes);
    return out.length();
}

std::string to_utf8(std::u16string_view text) {
    std::string out(text.size() * 3, '\0');
    out.resize(encode_utf8_into(text, out.data()));
    return out;
}

std::u16string from_utf8(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    out.resize(decode_utf8_into(bytes, out.data()));
    return out;
}

std::string to_cp932(std::u16string_view text) {
    std::string out;
    icu_encode(text, kCodePageSystem, out);
    return out;
}

std::u16string from_cp932(std::string_view bytes) {
    std::u16string out;
    icu_decode(bytes, kCodePageSystem, out);
    return out;
}

int detect_document_encoding(std::string_view bytes) {
    // Tag and attribute names are matched as written, so each spelling in use has its own try.
    static constexpr std::pair<std::string_view, std::string_view> tries[] = {
        {"?xml", "encoding"}, {"?xml", "ENCODING"}, {"?XML", "encoding"}, {"?XML", "ENCODING"},
        {"META", "content"},  {"META", "CONTENT"},  {"meta", "content"},  {"meta", "CONTENT"},
    };
    std::string_view value;
    for (const auto& [tag, attr] : tries) {
        value = declared_value(bytes, tag, attr);
        if (!value.empty()) break;
    }
    if (value.empty()) return kDocumentUnknown;

    constexpr std::string_view charset = "charset=";
    while (true) {
        const size_t semicolon = value.find(';');
        std::string_view piece = trim_blanks(value.substr(0, semicolon));
        // Pages write "Charset=" and "CHARSET=" as well; the name after it is compared without case anyway.
        if (const size_t at = find_nocase(piece, charset); at != std::string_view::npos)
            piece.remove_prefix(at + charset.size());
        if (ascii_equal_nocase(piece, "utf-8")) return kDocumentUtf8;
        if (ascii_equal_nocase(piece, "euc-jp")) return kDocumentEucJp;
        if (ascii_equal_nocase(piece, "shift_jis")) return kDocumentShiftJis;
        if (semicolon == std::string_view::npos) return kDocumentUnknown;
        value.remove_prefix(semicolon + 1);
    }
}

int decode_document(std::string_view bytes, int forced, CCharW& out) {
    int encoding = forced;
    if (encoding != kDocumentUtf8 && encoding != kDocumentShiftJis) encoding = detect_document_encoding(bytes);
    switch (encoding) {
    case kDocumentShiftJis:
        decode_into(bytes, kCodePageSystem, out);
        return kDocumentShiftJis;
    case kDocumentEucJp:
        // A page that declares EUC-JP is read as EUC-JP; reading it as UTF-8 would only yield U+FFFD.
        decode_into(bytes, kCodePageEucJp, out);
        return kDocumentEucJp;
    default:
        decode_into(bytes, kCodePageUtf8, out);
        return kDocumentUtf8;
    }
}

std::u16string decimal_text(long long n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

bool is_valid_utf8(std::string_view bytes) {
    // The well-formed sequences of the standard's table: the second byte's range rules out overlong forms,
    // surrogates and anything past U+10FFFF, so no code point needs to be put together.
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    auto tail = [&](size_t at) { return at < n && (s[at] & 0xC0) == 0x80; };
    size_t i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            // Runs of ASCII (markup, digits, log lines) are passed sixteen bytes at a time.
#if defined(__SSE2__)
            while (i + 16 <= n && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i))) == 0)
                i += 16;
#endif
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            if (!tail(i + 1)) return false;
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (i + 2 >= n) return false;
            const unsigned b = s[i + 1];
            const unsigned low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
            if (b < low || b > high || !tail(i + 2)) return false;
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (i + 3 >= n) return false;
            const unsigned b = s[i + 1];
            const unsigned low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
            if (b < low || b > high || !tail(i + 2) || !tail(i + 3)) return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace quippet
