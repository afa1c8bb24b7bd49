#include "text/UrlCoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quippet {
namespace {

TEST(TransformUrlCodingTest, Decode) {
    const struct {
        std::string_view input, expected;
    } cases[] = {
        {"a+b%41%7e", "a bA~"}, {"%e3%81%82%E3%81%84", "\xe3\x81\x82\xe3\x81\x84"},
        {"%zz1", "%zz1"},       {"%%41", "%%41"},
        {"%+1+", "%+1 "},       {"ab%4", "ab%4"},
        {"ab%", "ab%"},         {"%00x", std::string_view("\0x", 2)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(url_decoded(c.input), std::string(c.expected)) << c.input;
        CCharM bytes(c.input);
        url_decode(bytes);
        EXPECT_EQ(std::string(bytes.view()), std::string(c.expected)) << c.input;
    }
}

TEST(TransformUrlCodingTest, EncodeLevels) {
    const struct {
        std::string_view input;
        int level;
        std::string_view expected;
    } cases[] = {
        {"aZ9- \t", 0, "aZ9%2d+%09"},
        {"-._~&", 0, "%2d%2e%5f%7e%26"},
        {"-._~&", 1, "-._~%26"},
        {"&+/:=?-#", 2, "&+/:=?-%23"},
        {"&+/:=?", 1, "%26%2b%2f%3a%3d%3f"},
        {"\xe3\x81\x82", 1, "%e3%81%82"},
        {"a-/", 7, "a-/"},
        {"a-/", -3, "a%2d%2f"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(url_encoded(c.input, c.level), std::string(c.expected)) << c.input << " @" << c.level;
        CCharM bytes(c.input);
        url_encode(bytes, c.level);
        EXPECT_EQ(std::string(bytes.view()), std::string(c.expected));
    }
    // Every byte survives the trip through the strictest level.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(url_decoded(url_encoded(all, 0)), all);
}

TEST(TransformUrlCodingTest, HexByteIsUpperCaseAndAppended) {
    std::string out = "%";
    append_hex_byte(out, 0x0a);
    append_hex_byte(out, 0xff);
    EXPECT_EQ(out, "%0AFF");
    CCharM bytes("x");
    append_hex_byte(bytes, 0x3c);
    EXPECT_EQ(std::string(bytes.view()), "x3C");
}

} // namespace
} // namespace quippet
