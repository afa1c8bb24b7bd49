#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet video [--set K=V]... [--entry N] [--out-dir DIR] ID...`: gathers each video's information and
/// saves its video file as the download job does, one "ID<TAB>code<TAB>text[<TAB>path]" line per video.
/// Exit 1 when any video was not saved or skipped.
int run_video_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
