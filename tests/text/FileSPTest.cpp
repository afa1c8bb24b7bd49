#include "text/FileSP.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"
#include "text/AppHome.h"

namespace quippet {
namespace {

using namespace std::string_view_literals;

using test::listing;
using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

std::string utf16le(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

TEST(FileSPTest, SizeLimitIsInclusive) {
    TempFolder dir;
    const std::u16string path = dir / u"sparse.bin";
    struct Case {
        long long size;
        int result;
        int code;
    };
    const Case cases[] = {{CFileSP::kMaxReadBytes, 0, 0}, {CFileSP::kMaxReadBytes + 1, -1, 11}};
    for (const auto& c : cases) {
        // A sparse file costs no disk, and reading its holes is quick.
        const int fd = ::open(to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, c.size), 0);
        ::close(fd);
        {
            CCharM narrow;
            CFileSP file;
            EXPECT_EQ(file.read(path, narrow), c.result) << c.size;
            EXPECT_EQ(narrow.error(), c.code);
            EXPECT_EQ(file.error(), c.code);
            if (c.result == 0) {
                EXPECT_EQ(narrow.length(), c.size);
            }
        }
        {
            CFileBytes bytes;
            CFileSP file;
            EXPECT_EQ(file.read(path, bytes), c.result) << c.size;
            EXPECT_EQ(file.error(), c.code);
            EXPECT_EQ(static_cast<long long>(bytes.view().size()), c.result == 0 ? c.size : 0);
        }
        {
            CCharW decoded;
            EXPECT_EQ(CFileSP().read_utf8_text(path, decoded), c.result) << c.size;
            EXPECT_EQ(decoded.error(), c.code);
        }
        {
            CCharW wide;
            EXPECT_EQ(CFileSP().read_wide_text(path, wide), c.result) << c.size;
            EXPECT_EQ(wide.error(), c.code);
            if (c.result == 0) {
                EXPECT_EQ(wide.length(), c.size / 2);
            }
        }
    }
}

TEST(FileSPTest, WhatCannotBeOpenedFailsWithNine) {
    TempFolder dir;
    const std::u16string fifo = dir / u"pipe";
    ASSERT_EQ(::mkfifo(to_utf8(fifo).c_str(), 0600), 0);
    const std::u16string cases[] = {dir / u"missing.txt", dir / u"", fifo, u"/dev/zero"};
    for (const auto& path : cases) {
        CCharM narrow("left over");
        EXPECT_EQ(CFileSP().read(path, narrow), -1) << u8(path);
        EXPECT_EQ(narrow.error(), 9) << u8(path);
        CCharW wide;
        EXPECT_EQ(CFileSP().read_wide_text(path, wide), -1) << u8(path);
        EXPECT_EQ(wide.error(), 9) << u8(path);
        CCharW decoded;
        EXPECT_EQ(CFileSP().read_utf8_text(path, decoded), -1) << u8(path);
        EXPECT_EQ(decoded.error(), 9) << u8(path);
        CFileBytes bytes;
        CFileSP file;
        EXPECT_EQ(file.read(path, bytes), -1) << u8(path);
        EXPECT_EQ(file.error(), 9) << u8(path);
        EXPECT_TRUE(bytes.view().empty());
    }
}

TEST(FileSPTest, WideTextReadDropsOneByteOrderMarkWithoutSwapping) {
    TempFolder dir;
    struct Case {
        std::string_view bytes;
        std::u16string_view text;
    };
    const Case cases[] = {
        {"\xFF\xFE\x61\x00\x42\x30"sv, u"aあ"},
        {"\xFE\xFF\x61\x00\x42\x30"sv, u"aあ"}, // a big-endian mark goes too, the rest stays as it is
        {"\x61\x00\x42\x30"sv, u"aあ"},
        {"\xFF\xFE\xFF\xFE\x61\x00"sv, u"\uFEFFa"}, // only the first unit
        {"\xFF\xFE"sv, u""},
        {""sv, u""},
        {"\x61\x00\x62"sv, u"a"},                    // an odd last byte is not half a character
        {"\xEF\xBB\xBF\x61\x62"sv, u"\uBBEF\u61BF"}, // no other encoding is tried
    };
    for (const auto& c : cases) {
        const std::u16string path = dir / u"wide.txt";
        write_bytes(path, c.bytes);
        CCharW text(u"previous content");
        EXPECT_EQ(CFileSP().read_wide_text(path, text), 0);
        EXPECT_EQ(u8(text.view()), u8(c.text));
        EXPECT_EQ(text.c_str()[text.length()], u'\0');
    }
}

TEST(FileSPTest, NarrowReadKeepsBytesAsTheyAre) {
    TempFolder dir;
    const std::string bytes("\xEF\xBB\xBF<packet>\0\xFF\r\n", 14);
    write_bytes(dir / u"raw.xml", bytes);
    CCharM text;
    ASSERT_EQ(CFileSP().read(dir / u"raw.xml", text), 0);
    EXPECT_EQ(text.view(), bytes);

    // Small files are copied, large ones mapped; both give the bytes, and one holder serves file after file.
    std::string large(3 << 20, 'x');
    for (size_t k = 0; k < large.size(); k += 4099)
        large[k] = static_cast<char>(k % 251);
    write_bytes(dir / u"large.xml", large);
    CFileBytes held;
    for (const auto& [name, expected] : {std::pair{u"raw.xml", &bytes}, {u"large.xml", &large}, {u"raw.xml", &bytes}}) {
        ASSERT_EQ(CFileSP().read(dir / name, held), 0);
        EXPECT_TRUE(held.view() == *expected) << u8(name);
    }
}

// Comment files are decoded piece by piece as they are read; sequences cut by a piece's end (pieces are
// 1 MiB) must decode as they would in one go, broken ones included.
TEST(FileSPTest, Utf8TextReadMatchesDecodingTheWholeFile) {
    TempFolder dir;
    constexpr size_t kPiece = 1 << 20;
    const std::string_view around_boundary[] = {
        "\xE3\x81\x82"sv, "\xF0\x9F\x98\x80"sv, "\xC3\xA9"sv,     "\xE3\x81"sv, "\xF0\x9F\x98"sv,
        "\xE3\x81\x41"sv, "\x80\x80\x80\x80"sv, "\xED\xA0\x80"sv, "\xF4\x90"sv, "\xFF"sv,
    };
    for (const auto straddle : around_boundary) {
        for (size_t shift = 0; shift <= straddle.size(); ++shift) {
            std::string bytes(kPiece - shift, 'a');
            bytes += straddle;
            bytes += "\xE3\x81\x82 tail";
            const std::u16string path = dir / u"comments.xml";
            write_bytes(path, bytes);
            CCharW text(u"old");
            ASSERT_EQ(CFileSP().read_utf8_text(path, text), 0);
            ASSERT_EQ(u8(text.view()), u8(from_utf8(bytes))) << shift;
        }
    }
    // A byte order mark stays as it does with narrow_to_wide.
    write_bytes(dir / u"bom.xml", "\xEF\xBB\xBF<packet>"sv);
    CCharW text;
    ASSERT_EQ(CFileSP().read_utf8_text(dir / u"bom.xml", text), 0);
    EXPECT_EQ(u8(text.view()), u8(u"\uFEFF<packet>"));
    EXPECT_EQ(CFileSP().read_utf8_text(dir / u"missing.xml", text), -1);
    EXPECT_EQ(text.error(), 9);
}

TEST(FileSPTest, WideTextRoundTripUnderJapaneseNames) {
    TempFolder dir;
    const std::u16string path = dir / u"設定：ＮＧリスト.txt";
    const std::u16string text = u"コメント①\r\n\U0001F600 ～\r\n";
    CFileSP file;
    std::u16string written_as;
    ASSERT_EQ(file.write_wide_text(path, text, CFileSP::kKeepExisting, &written_as), 0);
    EXPECT_EQ(written_as, path);
    EXPECT_EQ(read_bytes(path), "\xFF\xFE" + utf16le(text));
    CCharW back;
    ASSERT_EQ(file.read_wide_text(path, back), 0);
    EXPECT_EQ(u8(back.view()), u8(text));
    EXPECT_EQ(listing(dir.path()), "設定：ＮＧリスト.txt\n");
}

TEST(FileSPTest, CollisionPolicies) {
    struct Case {
        const char* name;
        std::vector<std::u16string_view> existing;
        std::u16string_view target;
        int policy;
        int result;
        int code;
        std::u16string_view written_as; // "" when nothing may be written
    };
    const Case cases[] = {
        {"free name", {}, u"x.txt", CFileSP::kKeepExisting, 0, 0, u"x.txt"},
        {"taken name is kept", {u"x.txt"}, u"x.txt", CFileSP::kKeepExisting, -1, 21, u""},
        {"a folder takes the name too", {u"x.txt/"}, u"x.txt", CFileSP::kKeepExisting, -1, 21, u""},
        {"numbered: free name unchanged", {}, u"x.txt", CFileSP::kNumberedName, 0, 0, u"x.txt"},
        {"numbered: next free number", {u"x.txt", u"x(1).txt"}, u"x.txt", CFileSP::kNumberedName, 0, 0, u"x(2).txt"},
        {"numbered: gaps are used", {u"x.txt", u"x(2).txt"}, u"x.txt", CFileSP::kNumberedName, 0, 0, u"x(1).txt"},
        {"numbered: no extension", {u"x"}, u"x", CFileSP::kNumberedName, 0, 0, u"x(1)"},
        {"numbered: last dot only", {u"a.b.xml"}, u"a.b.xml", CFileSP::kNumberedName, 0, 0, u"a.b(1).xml"},
        {"numbered: hidden file", {u".memo"}, u".memo", CFileSP::kNumberedName, 0, 0, u".memo(1)"},
        {"overwrite", {u"x.txt"}, u"x.txt", CFileSP::kOverwrite, 0, 0, u"x.txt"},
        {"unknown policy keeps the file", {u"x.txt"}, u"x.txt", 7, -1, 21, u""},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        for (const auto existing : c.existing) {
            if (existing.ends_with(u'/'))
                std::filesystem::create_directory(to_fs_path(dir / existing));
            else
                write_bytes(dir / existing, "old");
        }
        CFileSP file;
        std::u16string written_as = u"untouched";
        EXPECT_EQ(file.write(dir / c.target, "new", c.policy, &written_as), c.result) << c.name;
        EXPECT_EQ(file.error(), c.code) << c.name;
        if (c.written_as.empty()) {
            EXPECT_EQ(written_as, u"untouched") << c.name;
            for (const auto existing : c.existing)
                if (!existing.ends_with(u'/')) {
                    EXPECT_EQ(read_bytes(dir / existing), "old") << c.name;
                }
            EXPECT_EQ(listing(dir.path()).find(".tmp"), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(u8(written_as), u8(dir / c.written_as)) << c.name;
            EXPECT_EQ(read_bytes(dir / c.written_as), "new") << c.name;
            EXPECT_EQ(listing(dir.path()).find(".tmp"), std::string::npos) << c.name;
        }
    }
}

TEST(FileSPTest, ThreePiecesAreWrittenInOrder) {
    TempFolder dir;
    CFileSP file;
    ASSERT_EQ(file.write(dir / u"c.xml", "<packet>", std::string_view("\0body", 5), "</packet>", CFileSP::kOverwrite),
              0);
    EXPECT_EQ(read_bytes(dir / u"c.xml"), std::string("<packet>\0body</packet>", 22));
}

TEST(FileSPTest, OverwriteKeepsPermissionsAndSymbolicLinks) {
    TempFolder dir;
    const std::u16string real = dir / u"real.txt";
    const std::u16string link = dir / u"link.txt";
    write_bytes(real, "old");
    ::chmod(to_utf8(real).c_str(), 0640);
    std::filesystem::create_symlink(to_fs_path(real), to_fs_path(link));

    CFileSP file;
    std::u16string written_as;
    ASSERT_EQ(file.write(link, "new", CFileSP::kOverwrite, &written_as), 0);
    EXPECT_EQ(written_as, link);
    EXPECT_TRUE(std::filesystem::is_symlink(to_fs_path(link)));
    EXPECT_EQ(read_bytes(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(to_utf8(real).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A write that fails must leave the previous file whole and no temporary file behind.
TEST(FileSPTest, FailedWritesLeaveTheOldFileAndNoTemporary) {
    TempFolder dir;
    const std::u16string good = dir / u"good.txt";
    write_bytes(good, "previous content");

    struct Case {
        const char* name;
        std::u16string path;
        int code;
    };
    std::filesystem::create_directory(to_fs_path(dir / u"folder"));
    write_bytes(dir / u"folder/inside.txt", "kept");
    const Case cases[] = {
        {"destination is a folder", dir / u"folder", 97},
        {"missing folder", dir / u"missing/x.txt", 94},
        {"a file used as a folder", dir / u"good.txt/x.txt", 95},
        {"no file name", dir / u"", 95},
    };
    for (const auto& c : cases) {
        CFileSP file;
        EXPECT_EQ(file.write(c.path, "replacement", CFileSP::kOverwrite), -1) << c.name;
        EXPECT_EQ(file.error(), c.code) << c.name;
    }
    EXPECT_EQ(read_bytes(dir / u"folder/inside.txt"), "kept");

    // Running out of room in the middle of the data: the file-size limit makes write() fail like a full disk.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    CFileSP file;
    const int result = file.write(good, "much longer replacement text", CFileSP::kOverwrite);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(file.error(), 93);
    EXPECT_EQ(read_bytes(good), "previous content");
    EXPECT_EQ(listing(dir.path()), "folder\ngood.txt\n");

    if (::geteuid() != 0) { // root writes into read-only folders anyway
        ::chmod(dir.path().c_str(), 0500);
        CFileSP denied;
        EXPECT_EQ(denied.write(good, "x", CFileSP::kOverwrite), -1);
        EXPECT_EQ(denied.error(), 97);
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(read_bytes(good), "previous content");
    }
}

TEST(FileSPTest, AppendAddsUnitsInPlace) {
    TempFolder dir;
    const std::u16string path = dir / u"log.log";
    CFileSP file;
    EXPECT_EQ(file.append_wide_units(path, u"x"), -1); // the file must exist
    EXPECT_EQ(file.error(), 94);
    write_bytes(path, "\xFF\xFE\x61\x00"sv);
    ASSERT_EQ(file.append_wide_units(path, u"あ"), 0);
    EXPECT_EQ(read_bytes(path), "\xFF\xFE\x61\x00\x42\x30"sv);
}

class FileSPHomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_home_ = app_home();
        set_app_home(from_utf8(home_.path().string()));
    }
    void TearDown() override { set_app_home(saved_home_); }

    TempFolder home_;
    std::u16string saved_home_;
};

TEST_F(FileSPHomeTest, EnsureFileExists) {
    std::vector<std::u16string> messages;
    const auto collect = [&](std::u16string_view m) { messages.emplace_back(m); };

    // Missing folders are created level by level; relative names are taken inside the home.
    EXPECT_EQ(ensure_file_exists(u"設定/a/b/リスト.txt", u"//既定\r\n", collect), 1);
    EXPECT_EQ(read_bytes(home_ / u"設定/a/b/リスト.txt"), "\xFF\xFE" + utf16le(u"//既定\r\n"));
    EXPECT_EQ(ensure_file_exists(u"設定/a/b/リスト.txt", u"other", collect), 0);
    EXPECT_EQ(read_bytes(home_ / u"設定/a/b/リスト.txt"), "\xFF\xFE" + utf16le(u"//既定\r\n"));

    // An empty file is there already and stays as it is.
    write_bytes(home_ / u"empty.txt", "");
    EXPECT_EQ(ensure_file_exists(home_ / u"empty.txt", u"text", collect), 0);
    EXPECT_EQ(read_bytes(home_ / u"empty.txt"), "");
    EXPECT_TRUE(messages.empty());

    // Failures name the full path, through the caller's receiver or else the installed hook.
    write_bytes(home_ / u"plain", "a file, not a folder");
    EXPECT_EQ(ensure_file_exists(u"plain/x.txt", u"", collect), -1);
    std::filesystem::create_directory(to_fs_path(home_ / u"dir.txt"));
    EXPECT_EQ(ensure_file_exists(u"dir.txt", u"", collect), -1);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(u8(messages[0]), u8(home_ / u"plain/x.txt" + u"の新規作成に失敗しました"));
    EXPECT_EQ(u8(messages[1]), u8(home_ / u"dir.txt" + u"の新規作成に失敗しました"));

    set_creation_failure_hook(collect);
    EXPECT_EQ(ensure_file_exists(u"plain/y.txt", u""), -1);
    set_creation_failure_hook({});
    EXPECT_EQ(ensure_file_exists(u"plain/z.txt", u""), -1);
    EXPECT_EQ(messages.size(), 3u);
}

TEST(FileSPTest, LogNamesAndEntries) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2 - 1;
    t.tm_mday = 8;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 3;
    struct NameCase {
        std::u16string_view name;
        bool monthly;
        std::u16string_view expected;
    };
    const NameCase names[] = {
        {u"error", false, u"error.log"},
        {u"error", true, u"error_2026_02.log"},
        {u"cache/log/down.txt", true, u"cache/log/down_2026_02.txt"},
        {u"ver.1/error", true, u"ver.1/error_2026_02.log"}, // a dot in a folder is no extension
    };
    for (const auto& c : names)
        EXPECT_EQ(u8(log_file_name(c.name, c.monthly, t)), u8(c.expected));

    const std::u16string rule(80, u'-');
    EXPECT_EQ(u8(log_entry(u"失敗", t)), u8(u"2026年2月8日7時5分3秒\r\n失敗\r\n" + rule + u"\r\n"));
    EXPECT_EQ(u8(log_entry(u"行\r\n", t)), u8(u"2026年2月8日7時5分3秒\r\n行\r\n" + rule + u"\r\n"));
    EXPECT_EQ(u8(log_entry(u"", t)), u8(u"2026年2月8日7時5分3秒\r\n\r\n" + rule + u"\r\n"));
}

TEST_F(FileSPHomeTest, LogAppendsAccumulateAfterOneByteOrderMark) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 17;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(append_log(u"logs/down", u"一行目", true, t), 0);
    EXPECT_EQ(append_log(u"logs/down", u"二行目\r\n", true, t), 0);
    const std::u16string rule(80, u'-');
    EXPECT_EQ(read_bytes(home_ / u"logs/down_2026_12.log"),
              "\xFF\xFE" + utf16le(u"2026年12月8日17時5分3秒\r\n一行目\r\n" + rule + u"\r\n" +
                                   u"2026年12月8日17時5分3秒\r\n二行目\r\n" + rule + u"\r\n"));
    // A log that cannot be created is no failure of its caller.
    write_bytes(home_ / u"blocked", "");
    EXPECT_EQ(append_log(u"blocked/x", u"text", false, t), 0);
    // The current time is used when none is given.
    EXPECT_EQ(append_log(u"now.log", u"text"), 0);
    EXPECT_GT(read_bytes(home_ / u"now.log").size(), 2u);
}

TEST(AppHomeTest, RelativePathsResolveInsideTheHome) {
    const std::u16string saved = app_home();
    struct Case {
        std::u16string_view home;
        std::u16string_view path;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"/data/qv", u"設定.txt", u"/data/qv/設定.txt"},
        {u"/data/qv/", u"cache/log/down.txt", u"/data/qv/cache/log/down.txt"},
        {u"/data/qv", u"/abs/x.txt", u"/abs/x.txt"},
    };
    for (const auto& c : cases) {
        set_app_home(std::u16string(c.home));
        EXPECT_EQ(u8(resolve_in_home(c.path)), u8(c.expected));
    }
    set_app_home(saved);
    EXPECT_EQ(u8(from_fs_path(to_fs_path(u"/tmp/ニコ動"))), "/tmp/ニコ動");
}

} // namespace
} // namespace quippet
