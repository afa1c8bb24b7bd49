#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The options text a bookmark carries into a registration: tokens separated by blanks, each present only
// when its switch is on ("s=-6 p=3 a=1 t=2 w=-16").

namespace quippet {

/// Thumbnail sizes of the list's size buttons, in the order of the "t=" token: "無" … "特".
enum class ThumbSize : int { kNone = 0, kSmall = 1, kMedium = 2, kLarge = 3, kHuge = 4 };
inline constexpr int kThumbSizeCount = 5;

struct RegisterOptions {
    std::optional<int> depth;        ///< "d=": depth limit for subfolders and update checks
    bool no_subfolders = false;      ///< "e=0"
    std::optional<int> sort;         ///< "s=": a sort code of the list (0: none chosen)
    std::optional<long long> pages;  ///< "p=": page limit, 0 for the limit switched off
    std::optional<bool> append;      ///< "a=1" append, "a=0" clear the list first
    std::optional<ThumbSize> thumbs; ///< "t="
    /// "w=": -4 for 4:3, -16 for 16:9, else the width per 100 of height.
    std::optional<int> ratio;
    std::optional<int> no_skip; ///< "c=" 0 … 3
    /// Tokens not understood, in their order (kept for the log).
    std::vector<std::u16string> unknown;

    /// A registration with a thumbnail size or ratio always starts from an empty list.
    bool clears_list() const { return (append && !*append) || thumbs || ratio; }
};

RegisterOptions parse_register_options(std::u16string_view text);

/// Pixel size of a thumbnail cell: the height of the size and the width of the ratio (0 × 0 for "無").
struct ThumbPixels {
    int width = 0;
    int height = 0;
};
ThumbPixels thumb_pixels(ThumbSize size, int ratio);

} // namespace quippet
