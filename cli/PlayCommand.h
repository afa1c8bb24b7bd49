#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet play [--set K=V]... [--player NAME | --mode N | --default] [--dry-run] VIDEO`: plays a video
/// with the player the table chooses, as the window's play commands do.
int run_play_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// `quippet ass [--out FILE] COMMENTS`: the comment file as ASS subtitles, on standard output or into FILE.
int run_ass_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
