#include "text/Encoding.h"

#include <unicode/stringpiece.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/TestText.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

using test::u8;

std::u16string icu_from_utf8(std::string_view bytes) {
    std::u16string out(bytes.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, bytes.data(),
                         static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &err);
    EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string icu_to_utf8(std::u16string_view text) {
    std::string out(text.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &err);
    EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

TEST(EncodingTest, Utf8DecodingSubstitutesMaximalSubparts) {
    struct Case {
        std::string_view bytes;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {"", u""},
        {"plain <chat vpos=\"100\">", u"plain <chat vpos=\"100\">"},
        {"\xEF\xBB\xBF\x61", u"\uFEFFa"}, // a byte order mark is text to the decoder
        {"\xE3\x81\x82\xE3\x81\x84", u"あい"},
        {"\xC3\xA9", u"é"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xEF\xBF\xBE", u"\uFFFE"},
        {"\x80", u"\uFFFD"},
        {"\xE3\x81", u"\uFFFD"}, // truncated at the end: one replacement
        {"\xE3\x81\x61", u"\uFFFDa"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"}, // overlong lead bytes never start a sequence
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xF0\x9F\x98\xE3\x81\x82", u"\uFFFDあ"},
        {"\xFF\xFE", u"\uFFFD\uFFFD"},
        {std::string_view("a\0b", 3), std::u16string_view(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(u8(from_utf8(c.bytes)), u8(c.expected)) << hex(c.bytes);
        EXPECT_EQ(u8(from_utf8(c.bytes)), u8(icu_from_utf8(c.bytes))) << hex(c.bytes);
    }
}

// The hand-written codec must agree with ICU's on every input, well-formed or not.
TEST(EncodingTest, Utf8CodecAgreesWithIcuOnRandomInput) {
    std::mt19937 rng(20261208);
    const std::string_view pieces[] = {
        "a",
        "<chat ",
        "\xE3\x81\x82",
        "\xE6\xBC\xA2",
        "\xEF\xBD\xB1",
        "\xC3\xA9",
        "\xF0\x9F\x98\x80",
        "\xF4\x8F\xBF\xBF",
        "\xED\x9F\xBF",
        "\xEE\x80\x80",
        "\xE0\xA0\x80",
    };
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const int parts = static_cast<int>(rng() % 24);
        for (int p = 0; p < parts; ++p) {
            switch (rng() % 4) {
            case 0:
                bytes += static_cast<char>(byte(rng));
                break;
            case 1: { // a well-formed sequence cut short
                const auto piece = pieces[rng() % std::size(pieces)];
                bytes += piece.substr(0, rng() % piece.size() + 1);
                break;
            }
            case 2: // a lead byte followed by arbitrary continuation-range bytes
                bytes += static_cast<char>(0xC0 + rng() % 0x40);
                bytes += static_cast<char>(0x80 + rng() % 0x40);
                if (rng() % 2) bytes += static_cast<char>(0x80 + rng() % 0x40);
                break;
            default:
                bytes += pieces[rng() % std::size(pieces)];
            }
        }
        ASSERT_EQ(u8(from_utf8(bytes)), u8(icu_from_utf8(bytes))) << hex(bytes);
    }
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const int units = static_cast<int>(rng() % 16);
        for (int i = 0; i < units; ++i) {
            switch (rng() % 4) {
            case 0:
                text += static_cast<char16_t>(0xD800 + rng() % 0x800); // surrogates, paired or not
                break;
            case 1:
                text += static_cast<char16_t>(rng() % 0x80);
                break;
            default:
                text += static_cast<char16_t>(rng() % 0x10000);
            }
        }
        CCharM bytes;
        wide_to_utf8(CCharW(std::u16string_view(text)), bytes);
        ASSERT_EQ(hex(bytes.view()), hex(icu_to_utf8(text))) << u8(text);
        ASSERT_EQ(to_utf8(text), bytes.view());
    }
}

TEST(EncodingTest, ValidUtf8IsStrict) {
    const struct {
        std::string_view bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"\xE6\x97\xA5\xE6\x9C\xAC", true},  // 日本
        {"\xF0\x9F\x98\x80", true},          // U+1F600
        {"\xC0\xAF", false},                 // overlong "/"
        {"\xE0\x80\xAF", false},             // overlong, three bytes
        {"\xED\xA0\x80", false},             // a surrogate
        {"\xF4\x90\x80\x80", false},         // above U+10FFFF
        {"\xE6\x97", false},                 // cut at the end
        {"\x82\xA0", false},                 // CP932 "あ"
        {std::string_view("a\0b", 3), true}, // NUL is a character; callers that mind check it
    };
    for (const auto& c : cases)
        EXPECT_EQ(quippet::is_valid_utf8(c.bytes), c.valid) << testing::PrintToString(std::string(c.bytes));

    // Every lead byte with every second byte and the edges of the later ones, each sequence alone, cut short
    // and amid ASCII (so that the sixteen-byte skip runs into it): valid exactly when ICU's strict
    // conversion round-trips it.
    const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        for (unsigned second = 0; second <= 0xFF; ++second) {
            // Only three- and four-byte leads look past the second byte.
            const size_t thirds = lead >= 0xE0 ? std::size(edges) : 1;
            for (size_t t = 0; t < thirds; ++t) {
                for (const unsigned char fourth :
                     {static_cast<unsigned char>(0x80), static_cast<unsigned char>(0x41)}) {
                    if (fourth != 0x80 && lead < 0xF0) continue;
                    const char raw[] = {static_cast<char>(lead), static_cast<char>(second), static_cast<char>(edges[t]),
                                        static_cast<char>(fourth)};
                    const size_t first_len = lead < 0xE0 || t == 0 ? 1 : 3;
                    for (size_t len = first_len; len <= 4; ++len) {
                        const std::string_view seq(raw, len);
                        const icu::UnicodeString decoded = icu::UnicodeString::fromUTF8(
                            icu::StringPiece(seq.data(), static_cast<int32_t>(seq.size())));
                        std::string back;
                        decoded.toUTF8String(back);
                        const bool expected = back == seq;
                        ASSERT_EQ(quippet::is_valid_utf8(seq), expected) << testing::PrintToString(std::string(seq));
                        const auto strict = quippet::from_valid_utf8(seq);
                        ASSERT_EQ(strict.has_value(), expected) << testing::PrintToString(std::string(seq));
                        if (strict) {
                            ASSERT_EQ(*strict, quippet::from_utf8(seq));
                        }
                        const std::string amid = std::string(17, 'a') + std::string(seq) + std::string(20, 'b');
                        ASSERT_EQ(quippet::is_valid_utf8(amid), expected) << testing::PrintToString(std::string(seq));
                    }
                }
            }
        }
    }
}

TEST(EncodingTest, StreamPrefixHoldsBackOnlyOpenSequences) {
    struct Case {
        std::string_view bytes;
        size_t prefix;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"a\xE3\x81\x82", 4},
        {"a\xE3\x81", 1},
        {"a\xE3", 1},
        {"a\xF0\x9F\x98", 1},
        {"a\xF0\x9F\x98\x80", 5},
        {"a\xC3", 1},
        {"a\x80\x80\x80", 4}, // stray continuation bytes decode alone
        {"a\xFF", 2},
        {"a\xE3\x41", 3}, // broken before its end: nothing that follows can change it
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8_stream_prefix(c.bytes), c.prefix) << hex(c.bytes);
}

TEST(EncodingTest, Cp932MapsTheWindowsCharactersBothWays) {
    struct Case {
        std::string_view cp932;
        std::u16string_view text;
    };
    const Case cases[] = {
        {"\x87\x40", u"①"},
        {"\x81\x60", u"～"}, // FF5E, not the JIS wave dash 301C
        {"\x81\x5F", u"＼"},
        {"\x81\xCA", u"￢"},
        {"\x81\x7C", u"－"},
        {"\x5C\x7E", u"\\~"},          // single bytes stay ASCII
        {"\x95\x5C\x83\x5C", u"表ソ"}, // second bytes that look like a backslash
        {"\xB1\xDE", u"ｱﾞ"},
        {"\xFA\x40", u"ⅰ"},
        {"\x88\x9F\x82\xA0", u"亜あ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(u8(from_cp932(c.cp932)), u8(c.text)) << hex(c.cp932);
        EXPECT_EQ(hex(to_cp932(c.text)), hex(c.cp932)) << u8(c.text);
        CCharW wide;
        for (const int code_page : {kCodePageSystem, kCodePageCp932}) {
            EXPECT_EQ(narrow_to_wide(CCharM(c.cp932), code_page, wide), static_cast<int>(c.text.size()));
            EXPECT_EQ(u8(wide.view()), u8(c.text));
        }
        CCharM narrow;
        EXPECT_EQ(wide_to_narrow(CCharW(c.text), kCodePageSystem, narrow), static_cast<int>(c.cp932.size()));
        EXPECT_EQ(hex(narrow.view()), hex(c.cp932));
    }
}

TEST(EncodingTest, Cp932GarbageBecomesReplacementCharacters) {
    struct Case {
        std::string_view bytes;
        std::u16string_view text;
    };
    const Case cases[] = {
        {"\xA0", u"\uFFFD"}, // unassigned single bytes (ICU would give U+001A)
        {"\x80\xFD\xFE\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\x81\x20", u"\uFFFD "}, // a lead byte with an impossible second byte keeps the second
        {"\x85\x40", u"\uFFFD"},  // a well-formed but unassigned pair
        {"a\x82", u"a\uFFFD"},    // cut off after a lead byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(from_cp932(c.bytes)), u8(c.text)) << hex(c.bytes);

    // Characters CP932 lacks are written as "?", one per character.
    EXPECT_EQ(to_cp932(u"é\U0001F600x\xD800"), "??x?");
}

TEST(EncodingTest, UnknownCodePageFailsAndEmptiesTheOutput) {
    CCharW wide(u"old");
    EXPECT_EQ(narrow_to_wide(CCharM("abc"), 123456, wide), -1);
    EXPECT_TRUE(wide.empty());
    CCharM narrow("old");
    EXPECT_EQ(wide_to_narrow(CCharW(u"abc"), 123456, narrow), -1);
    EXPECT_TRUE(narrow.empty());
    // Code pages named by number reach ICU's converters as well.
    EXPECT_EQ(narrow_to_wide(CCharM("\xE9"), 1252, wide), 1);
    EXPECT_EQ(u8(wide.view()), "é");
}

TEST(EncodingTest, ConversionReplacesEarlierContentAndKeepsConsumedBuffersUsable) {
    CCharW wide(u"some earlier text that is longer");
    wide.remove_first(5); // the cursor is no longer at the start of the buffer
    EXPECT_EQ(narrow_to_wide(CCharM("\xE3\x81\x82z"), kCodePageUtf8, wide), 2);
    EXPECT_EQ(u8(wide.view()), "あz");
    EXPECT_EQ(wide.c_str()[2], u'\0');

    CCharM narrow("previous");
    EXPECT_EQ(wide_to_utf8(wide, narrow), 4);
    EXPECT_EQ(narrow.view(), "\xE3\x81\x82z");
    EXPECT_EQ(narrow.c_str()[4], '\0');
}

TEST(EncodingTest, FixturesDecodeToTheSameText) {
    const std::u16string expected = u"ニコニコ①～＼￢表ソ\r\nabc <chat>\r\n";
    const std::u16string dir = from_utf8(QUIPPET_TEST_DATA_DIR "/text/");
    struct Case {
        std::u16string_view file;
        int code_page;
        std::u16string_view leading; // what stays in front of the text
    };
    const Case cases[] = {
        {u"utf8-no-bom.txt", kCodePageUtf8, u""},
        {u"utf8-bom.txt", kCodePageUtf8, u"\uFEFF"},
        {u"cp932-specials.txt", kCodePageSystem, u""},
    };
    for (const auto& c : cases) {
        CCharM bytes;
        ASSERT_EQ(CFileSP().read(dir + std::u16string(c.file), bytes), 0) << u8(c.file);
        CCharW text;
        narrow_to_wide(bytes, c.code_page, text);
        EXPECT_EQ(u8(text.view()), u8(std::u16string(c.leading) + expected)) << u8(c.file);
    }
    CCharW wide;
    ASSERT_EQ(CFileSP().read_wide_text(dir + u"utf16le-bom.txt", wide), 0);
    EXPECT_EQ(u8(wide.view()), u8(expected));

    CCharM garbage;
    ASSERT_EQ(CFileSP().read(dir + u"utf8-invalid-bytes.txt", garbage), 0);
    EXPECT_EQ(u8(from_utf8(garbage.view())), u8(u"ok\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD\uFFFDend"));
}

TEST(EncodingTest, DocumentEncodingDetection) {
    struct Case {
        std::string_view document;
        int expected;
    };
    const Case cases[] = {
        {R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"></head>)", 1},
        {R"(<?xml version="1.0" encoding="UTF-8"?><packet>)", 0},
        {R"(<HTML><META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=EUC-JP">)", 2},
        {R"(<?XML VERSION="1.0" ENCODING="shift_jis"?>)", 1},
        {R"(<html><body>no declaration</body></html>)", 3},
        {"", 3},
        // Only the first meta element is looked at: a later one with the charset is not seen.
        {R"(<meta name="viewport"><meta content="text/html; charset=utf-8">)", 3},
        // The XML declaration wins over a meta element that comes earlier in the text.
        {R"(<meta content="text/html; charset=Shift_JIS"><?xml version="1.0" encoding="utf-8"?>)", 0},
        // Names are compared without case; pieces are trimmed of blanks, the ideographic one too.
        {"<meta content=\"text/html;\x81\x40 charset=SHIFT_JIS \x81\x40\">", 1},
        {R"(<meta content="charset=utf-8; text/html">)", 0},
        {R"(<meta content="text/html; Charset=euc-jp">)", 2},
        {R"(<meta content="text/html; charset=windows-31j">)", 3},
        {R"(<meta content="text/html; charset=Shift-JIS">)", 3},
        {R"(<meta content="">)", 3},
        {R"(<meta content="text/html; charset=utf-8")", 3}, // the element never ends
        {R"(<meta charset="utf-8">)", 3},                   // the HTML5 form is not one of the tries
        {"<meta content=\"\xE3\x81\x82;UTF-8\">", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detect_document_encoding(c.document), c.expected) << c.document;
}

TEST(EncodingTest, DecodeDocumentFollowsDetectionOrTheCallersChoice) {
    const std::string sjis_page = "<meta content=\"text/html; charset=Shift_JIS\">\x82\xA0";
    const std::string utf8_page = "<meta content=\"text/html; charset=utf-8\">\xE3\x81\x82";
    const std::string euc_page = "<meta content=\"text/html; charset=EUC-JP\">\xA4\xA2";
    const std::string bare_utf8 = "\xE3\x81\x82";
    struct Case {
        const std::string* bytes;
        int forced;
        int used;
        std::u16string_view tail;
    };
    const Case cases[] = {
        {&sjis_page, kDocumentAuto, kDocumentShiftJis, u"あ"},
        {&utf8_page, kDocumentAuto, kDocumentUtf8, u"あ"},
        {&euc_page, kDocumentAuto, kDocumentEucJp, u"あ"},
        {&bare_utf8, kDocumentAuto, kDocumentUtf8, u"あ"},
        {&sjis_page, kDocumentUtf8, kDocumentUtf8, u"\uFFFD\uFFFD"},
        {&bare_utf8, kDocumentShiftJis, kDocumentShiftJis, u"縺\uFFFD"},
    };
    for (const auto& c : cases) {
        CCharW out;
        EXPECT_EQ(decode_document(*c.bytes, c.forced, out), c.used) << *c.bytes;
        EXPECT_TRUE(out.ends_with(c.tail)) << u8(out.view());
    }
}

} // namespace
} // namespace quippet
