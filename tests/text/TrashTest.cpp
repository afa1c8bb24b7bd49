#include "text/Trash.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// A private trash: XDG_DATA_HOME points into a scratch folder and is put back afterwards.
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir_template[] = "/tmp/quippet-trash-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        dir_ = dir_template;
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_ = old;
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override {
        if (saved_)
            setenv("XDG_DATA_HOME", saved_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path make(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    fs::path trash() const { return dir_ / "data" / "Trash"; }

    fs::path dir_;
    std::optional<std::string> saved_;
};

TEST_F(TrashTest, FileMovesWithARecordThatLeadsBack) {
    const fs::path file = make("画像 1.jpg", "first");
    std::u16string where;
    ASSERT_EQ(move_to_trash(from_fs_path(file), &where), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(where, from_fs_path(trash() / "files" / "画像 1.jpg"));
    EXPECT_EQ(slurp(trash() / "files" / "画像 1.jpg"), "first");
    const std::string record = slurp(trash() / "info" / "画像 1.jpg.trashinfo");
    EXPECT_TRUE(record.starts_with("[Trash Info]\nPath=" + dir_.string() + "/%E7%94%BB%E5%83%8F%201.jpg\n")) << record;
    EXPECT_NE(record.find("\nDeletionDate=20"), std::string::npos) << record;
    EXPECT_EQ(fs::status(trash()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(TrashTest, SameNameTwiceKeepsBoth) {
    ASSERT_EQ(move_to_trash(from_fs_path(make("a.jpg", "one"))), 0);
    ASSERT_EQ(move_to_trash(from_fs_path(make("a.jpg", "two"))), 0);
    // A file left in files/ without its record still blocks its name.
    std::ofstream(trash() / "files" / "a.3.jpg") << "stray";
    ASSERT_EQ(move_to_trash(from_fs_path(make("a.jpg", "three"))), 0);
    EXPECT_EQ(slurp(trash() / "files" / "a.jpg"), "one");
    EXPECT_EQ(slurp(trash() / "files" / "a.2.jpg"), "two");
    EXPECT_EQ(slurp(trash() / "files" / "a.4.jpg"), "three");
    EXPECT_EQ(slurp(trash() / "files" / "a.3.jpg"), "stray");
    EXPECT_TRUE(fs::exists(trash() / "info" / "a.4.jpg.trashinfo"));
    EXPECT_FALSE(fs::exists(trash() / "info" / "a.3.jpg.trashinfo"));
}

TEST_F(TrashTest, WhatCannotBeTrashedStaysPut) {
    EXPECT_EQ(move_to_trash(from_fs_path(dir_ / "missing.jpg")), -1);
    fs::create_directories(dir_ / "folder");
    EXPECT_EQ(move_to_trash(from_fs_path(dir_ / "folder")), -1);
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    // A trash that is a link to somewhere else is not ours to fill.
    const fs::path file = make("b.jpg", "b");
    fs::create_directories(dir_ / "data");
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "data" / "Trash");
    EXPECT_EQ(move_to_trash(from_fs_path(file)), -1);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
}

} // namespace
} // namespace quippet
