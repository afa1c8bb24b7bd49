#include "app/SoundPlayer.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace quippet {
namespace {

namespace fs = std::filesystem;

void make_program(const fs::path& path, bool executable) {
    std::ofstream(path) << "#!/bin/sh\n";
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

TEST(SoundPlayer, FirstKnownPlayerOnThePathWins) {
    const fs::path root = fs::temp_directory_path() / ("quippet-sound-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    make_program(root / "a" / "ffplay", true);
    make_program(root / "b" / "aplay", true);
    make_program(root / "a" / "paplay", false); // not executable: passed over
    const std::string path = (root / "a").string() + "::" + (root / "b").string();

    const SoundPlayer player = find_sound_player(path);
    EXPECT_EQ(player.program, (root / "b" / "aplay").string());
    EXPECT_EQ(find_sound_player((root / "a").string()).arguments,
              (std::vector<std::string>{"-nodisp", "-autoexit", "-loglevel", "quiet"}));
    EXPECT_TRUE(find_sound_player("").program.empty());
    EXPECT_TRUE(find_sound_player(":").program.empty());
    // A missing file starts nothing, whatever players there are.
    EXPECT_FALSE(play_sound_detached(u"/nonexistent/quippet-end.wav"));
    EXPECT_FALSE(play_sound_detached(u""));
    fs::remove_all(root);
}

} // namespace
} // namespace quippet
