#include "text/FolderMacros.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quippet {
namespace {

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

/// Each test sets HOME and the XDG folders itself; the machine's own are put back afterwards.
class TransformFolderMacrosTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& v : saved_)
            if (const char* value = std::getenv(v.name)) v.value = value;
    }
    void TearDown() override {
        for (const auto& v : saved_)
            set(v.name, v.value ? v.value->c_str() : nullptr);
    }
    static void set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    static void folders(const char* home, const char* config, const char* data) {
        set("HOME", home);
        set("XDG_CONFIG_HOME", config);
        set("XDG_DATA_HOME", data);
    }

private:
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    } saved_[3] = {{"HOME", {}}, {"XDG_CONFIG_HOME", {}}, {"XDG_DATA_HOME", {}}};
};

TEST_F(TransformFolderMacrosTest, Expand) {
    const struct {
        const char *home, *config, *data;
        std::u16string_view input, expected;
    } cases[] = {
        {"/h", "/cfg", "/data", u"%appdata%/x", u"/cfg/x"},
        {"/h", "/cfg", "/data", u"%APPDATA%/x|%Local_AppData%/y", u"/cfg/x|/data/y"},
        {"/h", "/cfg/", "/data//", u"%AppData%/x %local_appdata%", u"/cfg/x /data"},
        {"/home/u/", nullptr, nullptr, u"%APPDATA%|%LOCAL_APPDATA%", u"/home/u/.config|/home/u/.local/share"},
        // Relative XDG folders are not to be used.
        {"/home/u", "rel", "", u"%APPDATA%|%LOCAL_APPDATA%", u"/home/u/.config|/home/u/.local/share"},
        {nullptr, nullptr, nullptr, u"no macro %APPDATA", u"no macro %APPDATA"},
    };
    for (const auto& c : cases) {
        folders(c.home, c.config, c.data);
        CCharW path(c.input);
        EXPECT_EQ(expand_folder_macros(path), 0) << narrow(c.input);
        EXPECT_EQ(std::u16string(path.view()), std::u16string(c.expected));
    }

    folders(nullptr, nullptr, "/data");
    CCharW path(u"%LOCAL_APPDATA%/x|%APPDATA%/y");
    EXPECT_EQ(expand_folder_macros(path), -1);
    EXPECT_EQ(std::u16string(path.view()), u"%LOCAL_APPDATA%/x|%APPDATA%/y");
    EXPECT_EQ(collapse_folder_macros(path), -1);
}

TEST_F(TransformFolderMacrosTest, CollapseIsTheInverseEvenWhenOneFolderHoldsTheOther) {
    const struct {
        const char *config, *data;
        std::u16string_view path, collapsed;
    } cases[] = {
        {"/h/.config", "/h/.local/share", u"/h/.config/a\t/h/.local/share/b", u"%APPDATA%/a\t%LOCAL_APPDATA%/b"},
        {"/h/x", "/h/x/data", u"/h/x/data/f", u"%LOCAL_APPDATA%/f"},
        {"/h/x", "/h/x/data", u"/h/x/f|/h/x", u"%APPDATA%/f|%APPDATA%"},
        {"/h/x/cfg", "/h/x", u"/h/x/cfg/f|\"/h/x/g\"", u"%APPDATA%/f|\"%LOCAL_APPDATA%/g\""},
        {"/h/same", "/h/same", u"/h/same/f", u"%APPDATA%/f"},
        // Only whole folders at the start of a path.
        {"/h/x", "/h/d", u"/h/xy/f", u"/h/xy/f"},
        {"/h/x", "/h/d", u"/mnt/h/x/f", u"/mnt/h/x/f"},
    };
    for (const auto& c : cases) {
        folders("/h", c.config, c.data);
        CCharW path(c.path);
        EXPECT_EQ(collapse_folder_macros(path), 0);
        EXPECT_EQ(std::u16string(path.view()), std::u16string(c.collapsed)) << narrow(c.path);
        EXPECT_EQ(expand_folder_macros(path), 0);
        EXPECT_EQ(std::u16string(path.view()), std::u16string(c.path));
    }
}

} // namespace
} // namespace quippet
