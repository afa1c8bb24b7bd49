#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// One comment as the subtitles show it.
struct SubtitleComment {
    int vpos = 0;        ///< 1/100 s from the video's start
    std::u16string mail; ///< the commands ("ue big red @5")
    std::u16string text; ///< entities already resolved
};

/// The look of a comment, from its commands.
struct CommentLook {
    enum Position { kScroll, kTop, kBottom };
    Position position = kScroll;
    int size = 0; ///< font size in the script's pixels
    unsigned rgb = 0xFFFFFF;
    int duration_cs = 300; ///< display time, 1/100 s
};
CommentLook comment_look(std::u16string_view mail);

/// The subtitles' field: comments move over 640 × 360, scaled by the player to the video.
inline constexpr int kSubtitleWidth = 640;
inline constexpr int kSubtitleHeight = 360;

/// ASS subtitles (UTF-8) for the comments: scrolling comments right to left in lanes that never let two of
/// them touch, "ue" and "shita" fixed at the top and the bottom. When every lane is taken, a comment goes
/// on the next layer, so comments of one layer and lane never overlap. Comments need not be in order.
std::string comments_to_ass(std::vector<SubtitleComment> comments);

/// Reads a comment file into subtitle comments. 0, or -1 with the reader's result code in `error`.
int read_subtitle_comments(std::u16string_view comment_file, std::vector<SubtitleComment>& out, int& error);

/// Converts a comment file into an ASS file (written through a temporary name). 0, or -1 with a result
/// code in `error`.
int write_comment_subtitles(std::u16string_view comment_file, std::u16string_view ass_file, int& error);

} // namespace quippet
