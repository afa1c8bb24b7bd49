#include "reconstruct/DropList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TestText.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::TempFolder;
using test::write_bytes;

TEST(DropListTail, FrameAtTheEndOfTheStemOnly) {
    EXPECT_EQ(tail_information(u"a[sm9 1-300].xml", u"[", u"]"), u"sm9 1-300");
    EXPECT_EQ(tail_information(u"a[x] b.xml", u"[", u"]"), u"");
    EXPECT_EQ(tail_information(u"plain.xml", u"[", u"]"), u"");
    // An unframed name never has tail information, whatever it ends with.
    EXPECT_EQ(tail_information(u"a].xml", u"", u"]"), u"");
}

TEST(DropListConditions, UploaderCommentsAndMissingTailsAreLeftOut) {
    DropListOptions o;
    o.conditions = true;
    o.skip_uploader_comments = true;
    o.skip_without_tail = true;
    EXPECT_TRUE(passes_drop_conditions(u"/d/v[sm9 1-30].xml", o));
    EXPECT_FALSE(passes_drop_conditions(u"/d/v[sm9 投稿者コメント].xml", o));
    EXPECT_FALSE(passes_drop_conditions(u"/d/v.xml", o));
    o.skip_without_tail = false;
    o.skip_uploader_comments = false;
    EXPECT_TRUE(passes_drop_conditions(u"/d/v.xml", o));
    EXPECT_TRUE(passes_drop_conditions(u"/d/v[sm9 投稿者コメント].xml", o));
}

TEST(DropListCollect, FoldersGiveTheirCommentFilesSortedAndSubFoldersOnlyWhenAsked) {
    TempFolder work;
    std::filesystem::create_directories(work.path() / "f" / "sub");
    write_bytes(work / u"f/b.xml", "x");
    write_bytes(work / u"f/a.XML", "x");
    write_bytes(work / u"f/notes.txt", "x");
    write_bytes(work / u"f/sub/c.xml", "x");
    write_bytes(work / u"single.txt", "x");

    DropListOptions o;
    const std::vector<std::u16string> flat = collect_dropped_files({work / u"single.txt", work / u"f"}, o);
    // A file dropped by itself is listed as it is; the job reports one that is no comment file.
    EXPECT_EQ(flat, (std::vector<std::u16string>{work / u"single.txt", work / u"f/a.XML", work / u"f/b.xml"}));

    o.recurse = true;
    const std::vector<std::u16string> deep = collect_dropped_files({work / u"f", work / u"f/b.xml"}, o);
    EXPECT_EQ(deep, (std::vector<std::u16string>{work / u"f/a.XML", work / u"f/b.xml", work / u"f/sub/c.xml"}));
}

TEST(DropListCollect, ConditionsFilterDroppedFilesAndCountWhatWasLeftOut) {
    TempFolder work;
    write_bytes(work / u"v[sm9 1-2].xml", "x");
    write_bytes(work / u"v[sm9 投稿者コメント].xml", "x");
    DropListOptions o;
    o.conditions = true;
    int skipped = 0;
    const std::vector<std::u16string> got = collect_dropped_files({test::home_of(work)}, o, &skipped);
    EXPECT_EQ(got, (std::vector<std::u16string>{work / u"v[sm9 1-2].xml"}));
    EXPECT_EQ(skipped, 1);
}

TEST(DropListCollect, TenThousandFilesComeBackInOrder) {
    TempFolder work;
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f/%05d.xml", i);
        if (i == 0) std::filesystem::create_directories(work.path() / "f");
        std::ofstream(work.path() / name).put('x');
    }
    const std::vector<std::u16string> got = collect_dropped_files({work / u"f"}, {});
    ASSERT_EQ(got.size(), 10000u);
    EXPECT_EQ(got.front(), work / u"f/00000.xml");
    EXPECT_EQ(got.back(), work / u"f/09999.xml");
}

} // namespace
} // namespace quippet
