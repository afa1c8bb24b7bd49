#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// The sort choices of a bookmark, in the order the editing window lists them, with their codes: the
/// column of the download list, negative for descending.
struct BookmarkSortChoice {
    std::u16string_view label;
    int code;
};
inline constexpr BookmarkSortChoice kBookmarkSorts[] = {
    {u"投稿：古", 6},    {u"投稿：新", -6}, {u"ID", 7},      {u"ID逆", -7}, {u"コメント少", 5},
    {u"コメント多", -5}, {u"再生少", 8},    {u"再生多", -8}, {u"名前", 2},  {u"名前逆", -2},
};

/// Thumbnail ratios of "w=": the two fixed ones, else a number n meaning n : 100.
inline constexpr int kBmRatio4x3 = -4;
inline constexpr int kBmRatio16x9 = -16;

/// The switches of a bookmark's option text. A switch that is off writes no token, except "e=0", which is
/// written when the subfolder switch is off. Tokens this program does not know are kept as they were.
struct BookmarkOptions {
    bool depth_on = false; ///< "d=": the depth limit for subfolders and update checks
    int depth = 1;
    bool subfolders = true; ///< off writes "e=0"
    bool sort_on = false;   ///< "s="
    int sort_code = 0;      ///< 0 when no choice is made
    bool page_on = false;   ///< "p="
    bool page_limit_on = false;
    int page_limit = 0; ///< written as "p=0" when the limit box is off
    bool mode_on = false;
    bool append = true; ///< "a=1" append, "a=0" clear the list first
    bool thumb_size_on = false;
    int thumb_size = 0; ///< "t=" 0 "無" … 4 "特"
    bool ratio_on = false;
    int ratio = kBmRatio16x9; ///< "w=": -4, -16 or n (n : 100)
    bool update_on = false;   ///< "c=": conditions the update check does not skip by
    bool update_thumb = false;
    bool update_date = false;
    std::vector<std::u16string> unknown; ///< tokens kept as they were read

    /// A depth limit from the options; `fallback` when there is none.
    int depth_limit(int fallback) const { return depth_on ? depth : fallback; }
    /// A registration with its own thumbnail size or ratio always starts from an empty list ("常にクリア"),
    /// as does one set to "クリア".
    bool clears_list() const { return (mode_on && !append) || thumb_size_on || ratio_on; }
};

BookmarkOptions parse_bookmark_options(std::u16string_view text);
/// Tokens in the order of the editing window, separated by one blank.
std::u16string bookmark_options_text(const BookmarkOptions& options);

/// The code of a sort label, 0 for none; the label of a code, empty for none.
int bookmark_sort_code(std::u16string_view label);
std::u16string_view bookmark_sort_label(int code);

} // namespace quippet
