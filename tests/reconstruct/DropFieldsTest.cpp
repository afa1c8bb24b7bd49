#include "reconstruct/DropFields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::read_bytes;
using test::TempFolder;
using test::u8;
using test::write_bytes;

std::string comments(int first, int last) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread thread=\"1\"/>\n";
    for (int no = first; no <= last; ++no)
        s += "<chat thread=\"1\" no=\"" + std::to_string(no) + "\" vpos=\"" + std::to_string(no * 1234) +
             "\" date=\"1300000000\">c</chat>\n";
    return s + "</packet>\n";
}

SaveNaming naming() {
    SaveNaming n;
    n.before = u"[";
    n.after = u"]";
    n.number_range = true;
    return n;
}

TEST(DropFieldRename, TailIsPutOnOrTakenOffAndNothingIsReplaced) {
    TempFolder work;
    const std::u16string plain = work / u"第1話.xml";
    write_bytes(plain, comments(3, 7));
    std::u16string result;
    ASSERT_EQ(rename_by_tail(plain, naming(), false, result), 0) << u8(result);
    EXPECT_EQ(result, work / u"第1話[3～7].xml");
    EXPECT_FALSE(std::filesystem::exists(to_fs_path(plain)));
    EXPECT_EQ(read_bytes(result), comments(3, 7));

    // Off again; a second rename of a name that already fits changes nothing.
    ASSERT_EQ(rename_by_tail(work / u"第1話[3～7].xml", naming(), true, result), 0) << u8(result);
    EXPECT_EQ(result, plain);
    ASSERT_EQ(rename_by_tail(plain, naming(), true, result), 0);
    EXPECT_EQ(result, plain);

    // A file already holding the new name stays as it is, and so does the dropped one.
    write_bytes(work / u"第1話[3～7].xml", "other");
    EXPECT_EQ(rename_by_tail(plain, naming(), false, result), -1);
    EXPECT_NE(u8(result).find("同名ファイルが存在する"), std::string::npos) << u8(result);
    EXPECT_EQ(read_bytes(work / u"第1話[3～7].xml"), "other");
    EXPECT_EQ(read_bytes(plain), comments(3, 7));

    EXPECT_EQ(rename_by_tail(work / u"ない.xml", naming(), false, result), -1);
}

TEST(DropFieldSurvey, LatestDisplayTime) {
    TempFolder work;
    write_bytes(work / u"a.xml", comments(1, 5));
    std::u16string text;
    EXPECT_EQ(survey_latest_time(work / u"a.xml", text), 6170);
    EXPECT_EQ(u8(text), "a.xml：最も遅い表示時間は1分01.70秒（vpos=6170）");
    write_bytes(work / u"b.xml", "<packet></packet>");
    EXPECT_EQ(survey_latest_time(work / u"b.xml", text), -1);
    EXPECT_EQ(u8(text), "b.xml：想定しているファイル形式と異なるようです");
}

} // namespace
} // namespace quippet
