#include "app/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/OwnerOnlyFile.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::home_of;
using test::TempFolder;
using test::u8;

unsigned mode_of(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0xFFFF;
    return st.st_mode & 0777;
}

// A fixed key makes the wrong-key case deterministic: with random keys a wrong key leaves valid
// padding now and then.
void write_secret(const TempFolder& folder, unsigned char fill) {
    test::write_bytes(folder / CFileINI::kSecretFileName, std::string(32, static_cast<char>(fill)));
}

TEST(IniText, EscapesRoundTripAndStayOnOneLine) {
    struct Case {
        std::u16string text;
        std::u16string stored;
        std::u16string read_back;
    };
    const Case cases[] = {
        {u"  two blanks\r\nnext line ", u"【半角】【半角】two【半角】blanks【改行】next【半角】line【半角】",
         u"  two blanks\r\nnext line "},
        {u"", u"", u""},
        {u"a=b;c[d]", u"a=b;c[d]", u"a=b;c[d]"},
        // Bare line ends would split the value into a new key; they come back as CR LF.
        {u"a\nEN5=7\rb", u"a【改行】EN5=7【改行】b", u"a\r\nEN5=7\r\nb"},
        {u"\t tab", u"\t【半角】tab", u"\t tab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escape_ini_text(c.text), c.stored) << u8(c.text);
        EXPECT_EQ(unescape_ini_text(c.stored), c.read_back) << u8(c.text);

        TempFolder folder;
        {
            CFileINI ini(home_of(folder));
            ASSERT_EQ(ini.write_text(u"S", u"T", c.text), 0);
        }
        CFileINI again(home_of(folder));
        EXPECT_EQ(again.read_text(u"S", u"T", u"default"), c.read_back) << u8(c.text);
        EXPECT_FALSE(again.has_key(u"S", u"EN5"));
    }
}

TEST(IniNumber, ReadsLikeTheProfileFunctions) {
    struct Case {
        std::u16string stored;
        int value;
    };
    const Case cases[] = {
        {u"42", 42},
        {u"-17", -17},
        {u"  8", 8},
        {u"+3", 3},
        {u"abc", 0},
        {u"", 0},
        {u"12abc", 12},
        {u"-", 0},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_ini_number(c.stored), c.value) << u8(c.stored);
}

TEST(IniFile, MissingKeysTakeTheDefaultAndNonNumbersReadZero) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    EXPECT_EQ(ini.read_number(u"OptionDialog", u"EN5", 77), 77);
    EXPECT_EQ(ini.read_text(u"OptionDialog", u"ES5", u"fallback"), u"fallback");
    ASSERT_EQ(ini.write_text(u"OptionDialog", u"EN5", u"abc"), 0);
    EXPECT_EQ(ini.read_number(u"OptionDialog", u"EN5", 77), 0);
    // An empty stored value is a value: it does not fall back to the default.
    ASSERT_EQ(ini.write_text(u"OptionDialog", u"ES5", u""), 0);
    EXPECT_EQ(ini.read_text(u"OptionDialog", u"ES5", u"fallback"), u"");
}

TEST(IniFile, LongTextsComeBackWhole) {
    TempFolder folder;
    std::u16string text;
    for (int i = 0; i < 1000; ++i)
        text += static_cast<char16_t>(i % 3 == 0 ? u'あ' : u'a' + i % 26);
    {
        CFileINI ini(home_of(folder));
        ASSERT_EQ(ini.write_text(u"OptionDialog", u"ES42", text), 0);
    }
    CFileINI again(home_of(folder));
    EXPECT_EQ(again.read_text(u"OptionDialog", u"ES42", u""), text);
}

TEST(IniFile, KeepsForeignLinesAndMatchesNamesWithoutCase) {
    TempFolder folder;
    test::write_bytes(folder / CFileINI::kFileName,
                      "\xEF\xBB\xBF; hand-written\r\n[optiondialog]\r\nen3 = 12\r\n; keep me\r\n[Other]\r\nX=1\r\n");
    CFileINI ini(home_of(folder));
    EXPECT_EQ(ini.read_number(u"OptionDialog", u"EN3", 0), 12);
    ASSERT_EQ(ini.write_number(u"OptionDialog", u"EN3", 13), 0);
    ASSERT_EQ(ini.write_number(u"OptionDialog", u"EN4", 14), 0);
    ASSERT_EQ(ini.write_number(u"New", u"K", 1), 0);
    EXPECT_EQ(test::read_bytes(folder / CFileINI::kFileName),
              "; hand-written\n[optiondialog]\nen3=13\n; keep me\nEN4=14\n[Other]\nX=1\n[New]\nK=1\n");
}

TEST(IniFile, FileIsOwnerOnlyAndACrashBeforeTheRenameKeepsTheOldFile) {
    TempFolder folder;
    const std::u16string path = folder / CFileINI::kFileName;
    {
        CFileINI ini(home_of(folder));
        ASSERT_EQ(ini.write_number(u"VovezurBase", u"EndOfWorld", 1), 0);
    }
    EXPECT_EQ(mode_of(to_fs_path(path)), 0600u);
    const std::string before = test::read_bytes(path);

    // The writer stops after the temporary file is complete, as a crash would stop it.
    int error = 0;
    const auto staged = stage_owner_only_file(to_fs_path(path), "[VovezurBase]\nEndOfWorld=2\n", error);
    ASSERT_TRUE(staged.has_value());
    EXPECT_EQ(mode_of(*staged), 0600u);
    EXPECT_EQ(test::read_bytes(path), before);
    CFileINI after_crash(home_of(folder));
    EXPECT_EQ(after_crash.read_number(u"VovezurBase", u"EndOfWorld", -1), 1);

    // A later write still replaces the file whole and tightens a file that was readable by others.
    std::filesystem::permissions(to_fs_path(path), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::others_read);
    ASSERT_EQ(after_crash.write_number(u"VovezurBase", u"EndOfWorld", 3), 0);
    EXPECT_EQ(mode_of(to_fs_path(path)), 0600u);
    EXPECT_EQ(CFileINI(home_of(folder)).read_number(u"VovezurBase", u"EndOfWorld", -1), 3);
}

TEST(IniFile, FailedWriteIsReportedAndNothingIsLost) {
    TempFolder folder;
    const std::filesystem::path path = folder.path() / "QuippetVellichor.ini";
    CFileINI ini(home_of(folder));
    ASSERT_EQ(ini.write_number(u"S", u"A", 1), 0);
    // A folder in the file's place makes the rename fail, even for the superuser.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    test::write_bytes(folder / u"QuippetVellichor.ini/x", "x");
    EXPECT_EQ(ini.write_number(u"S", u"A", 2), -1);
    EXPECT_NE(ini.error(), 0);
    EXPECT_EQ(test::listing(folder.path()), "QuippetVellichor.ini\n") << "no temporary file is left behind";
    EXPECT_EQ(ini.switch_to(u"set/preset"), -1) << "switching would drop the unwritten value";
    EXPECT_EQ(ini.path(), folder / CFileINI::kFileName);
    std::filesystem::remove_all(path);
    EXPECT_EQ(ini.flush(), 0);
    EXPECT_EQ(CFileINI(home_of(folder)).read_number(u"S", u"A", 0), 2);
}

TEST(IniFile, BatchWritesOnceAtItsEnd) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    {
        CFileINI::Batch batch(ini);
        for (int i = 0; i < 5; ++i)
            ini.write_number(u"S", CFileINI::key_name(u"EN", i), i);
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "QuippetVellichor.ini"));
    }
    EXPECT_EQ(CFileINI(home_of(folder)).read_number(u"S", u"EN4", -1), 4);
    EXPECT_EQ(test::listing(folder.path()), "QuippetVellichor.ini\n");
}

TEST(IniFile, SwitchesToAPresetAndBack) {
    TempFolder folder;
    CFileINI ini(home_of(folder));
    ASSERT_EQ(ini.write_number(u"DividingDriver", u"CB52", 0), 0);
    ASSERT_EQ(ini.switch_to(u"set/dup"), 0);
    EXPECT_EQ(ini.path(), folder / u"set/dup.ini");
    EXPECT_EQ(ini.read_number(u"DividingDriver", u"CB52", -1), -1);
    ASSERT_EQ(ini.write_number(u"DividingDriver", u"CB52", 1), 0);
    ASSERT_EQ(ini.switch_back(), 0);
    EXPECT_EQ(ini.read_number(u"DividingDriver", u"CB52", -1), 0);

    // A name with an extension and an absolute path are taken as given.
    const std::u16string absolute = folder / u"elsewhere.preset";
    ini.switch_to(absolute);
    EXPECT_EQ(ini.path(), absolute);
    ini.switch_to(u"set/dup");
    EXPECT_EQ(ini.read_number(u"DividingDriver", u"CB52", -1), 1);
    ini.switch_back();
    EXPECT_EQ(ini.path(), folder / CFileINI::kFileName);
}

TEST(IniProtected, PasswordsAreStoredAsHexCipherText) {
    TempFolder folder;
    write_secret(folder, 0x5A);
    CFileINI ini(home_of(folder));
    ASSERT_EQ(ini.write_protected(u"AN1", u"abcdefghijklmnopqrst"), 0);
    const std::u16string stored = ini.read_text(u"OptionDialog", u"AN1", u"");
    EXPECT_EQ(stored.size(), 64u); // 20 bytes pad to two AES blocks
    EXPECT_EQ(stored.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos) << u8(stored);
    EXPECT_EQ(ini.read_protected(u"AN1", u""), u"abcdefghijklmnopqrst");

    ASSERT_EQ(ini.write_protected(u"AN0", u"名前@example.jp"), 0);
    EXPECT_EQ(CFileINI(home_of(folder)).read_protected(u"AN0", u""), u"名前@example.jp");

    ASSERT_EQ(ini.write_protected(u"AN0", u""), 0);
    EXPECT_EQ(ini.read_text(u"OptionDialog", u"AN0", u"x"), u"");
    EXPECT_EQ(ini.read_protected(u"AN0", u"x"), u"");
    EXPECT_EQ(ini.read_protected(u"AN9", u"missing"), u"missing");
}

TEST(IniProtected, AnotherHomesKeyOrDamagedTextReadsAsDecryptFailure) {
    TempFolder first, second;
    write_secret(first, 0x11);
    write_secret(second, 0x22);
    CFileINI one(home_of(first));
    ASSERT_EQ(one.write_protected(u"AN1", u"hunter2hunter2hunter"), 0);
    const std::u16string stored = one.read_text(u"OptionDialog", u"AN1", u"");

    CFileINI two(home_of(second));
    ASSERT_EQ(two.write_text(u"OptionDialog", u"AN1", stored), 0);
    EXPECT_EQ(two.read_protected(u"AN1", u""), kDecryptFailedText);

    const std::u16string damaged[] = {u"ABC", u"ZZ", stored.substr(0, 32) + u"00", u"暗号化に失敗"};
    for (const std::u16string& text : damaged) {
        ASSERT_EQ(one.write_text(u"OptionDialog", u"AN1", text), 0);
        EXPECT_EQ(one.read_protected(u"AN1", u""), kDecryptFailedText) << u8(text);
    }

    // A home without a key reads protected texts as undecryptable instead of inventing a key.
    TempFolder third;
    CFileINI three(home_of(third));
    ASSERT_EQ(three.write_text(u"OptionDialog", u"AN1", stored), 0);
    EXPECT_EQ(three.read_protected(u"AN1", u""), kDecryptFailedText);
    EXPECT_FALSE(std::filesystem::exists(third.path() / "QuippetVellichor.key"));
}

TEST(IniProtected, KeyIsCreatedOnceOwnerOnly) {
    TempFolder folder;
    const std::filesystem::path key = folder.path() / "QuippetVellichor.key";
    {
        CFileINI ini(home_of(folder));
        ASSERT_EQ(ini.write_protected(u"AN1", u"secret"), 0);
    }
    EXPECT_EQ(mode_of(key), 0600u);
    EXPECT_EQ(std::filesystem::file_size(key), 32u);
    const std::string bytes = test::read_bytes(folder / u"QuippetVellichor.key");
    CFileINI again(home_of(folder));
    ASSERT_EQ(again.write_protected(u"AN0", u"other"), 0);
    EXPECT_EQ(test::read_bytes(folder / u"QuippetVellichor.key"), bytes);
    EXPECT_EQ(again.read_protected(u"AN1", u""), u"secret");
}

TEST(IniProtected, UnusableKeyStoresTheEncryptFailureText) {
    TempFolder folder;
    test::write_bytes(folder / CFileINI::kSecretFileName, "short");
    CFileINI ini(home_of(folder));
    EXPECT_EQ(ini.write_protected(u"AN1", u"password"), -1);
    EXPECT_EQ(ini.read_text(u"OptionDialog", u"AN1", u""), kEncryptFailedText);
    EXPECT_EQ(ini.read_protected(u"AN1", u""), kDecryptFailedText);
}

} // namespace
} // namespace quippet
