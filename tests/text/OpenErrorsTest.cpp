#include "text/OpenErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace quippet {
namespace {

TEST(TransformOpenErrorsTest, TextsByCode) {
    // The table's edges and the codes this system produces; every code up to 32 is a failure with a text.
    const struct {
        int code;
        std::u16string_view text;
    } cases[] = {
        {0, u"メモリまたはリソースが不足しています"},
        {31, u"指定されたファイル拡張子に関連付けられたアプリケーションがありません"},
        {32, u"指定されたダイナミックリンクライブラリ（DLL）が見つかりませんでした"},
        {1, u"謎のエラーです"},
        {-7, u"謎のエラーです"},
        {33, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(open_error_text(c.code), c.text) << c.code;
    for (int code = 0; code <= 32; ++code)
        EXPECT_FALSE(open_error_text(code).empty()) << code;
}

TEST(TransformOpenErrorsTest, FailuresOfThisSystemMapToTheirCodes) {
    EXPECT_EQ(open_error_code(OpenFailure::FileMissing), 2);
    EXPECT_EQ(open_error_code(OpenFailure::NoHandler), 31);
    EXPECT_EQ(open_error_code(OpenFailure::PermissionDenied), 5);
    EXPECT_EQ(open_error_code(OpenFailure::PathMissing), 3);
    EXPECT_EQ(open_error_code(OpenFailure::OutOfMemory), 8);

    const auto folder = std::filesystem::temp_directory_path().u16string();
    const struct {
        int error;
        std::u16string file;
        int code;
    } cases[] = {
        {0, u"x", kOpenSucceeded},
        {ENOENT, folder + u"/quippet-no-such-file.mp4", 2},
        {ENOENT, folder + u"/quippet-no-such-folder/x.mp4", 3},
        {ENOENT, u"bare-name.mp4", 2},
        {ENOTDIR, u"/x", 3},
        {EACCES, u"/x", 5},
        {EPERM, u"/x", 5},
        {ENOMEM, u"/x", 8},
        {EIO, u"/x", kOpenUnknownFailure},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(open_error_code_from_errno(c.error, c.file), c.code) << c.error;
        EXPECT_EQ(open_error_text(c.code).empty(), c.code > 32);
    }
}

} // namespace
} // namespace quippet
