#include "livelog/LiveLogPlay.h"

#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"

#include <gtest/gtest.h>

#include "tests/text/TempFolder.h"

namespace quippet {
namespace {

using test::home_of;
using test::TempFolder;
using test::write_bytes;

TEST(LiveLogPlay, FindsTheVideoNamedByTheOutputButNeverTheCommentFile) {
    TempFolder work;
    CSettings s;
    s.set_number(WcSwitch::kPlace, 1);
    s.set_text(WcText::kPlaceFolder, home_of(work));
    s.set_text(WcText::kOutputName, u"番組");
    write_bytes(work / u"番組.xml", "x");
    write_bytes(work / u"番組.TXT", "x");
    EXPECT_EQ(live_video_to_play(s), u"");
    write_bytes(work / u"番組.ts", "x");
    write_bytes(work / u"番組.mp4", "x");
    write_bytes(work / u"番組2.avi", "x");
    EXPECT_EQ(live_video_to_play(s), work / u"番組.mp4");
    EXPECT_EQ(live_output_folder(s), home_of(work) + u"/");

    s.set_text(WcText::kOutputName, u"");
    EXPECT_EQ(live_video_to_play(s), u"");
}

} // namespace
} // namespace quippet
