#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// Where the length of a part came from, as the report names it.
enum class LengthSource { file_name, net_api, net_page, comments };
std::u16string_view length_source_text(LengthSource source);

/// Video lengths that only the service can tell. The download side supplies the real one; without it
/// every answer is "unavailable" and the lengths come from the files themselves.
class VideoLengthProvider {
public:
    virtual ~VideoLengthProvider() = default;
    /// Whether asking is possible at all (a provider that never answers skips the pauses too).
    virtual bool available() const { return false; }
    /// Length in hundredths of a second from the video-information API; nullopt when it cannot tell.
    virtual std::optional<int> from_api(std::u16string_view /*video_id*/) { return std::nullopt; }
    /// The same from the video's watch page.
    virtual std::optional<int> from_watch_page(std::u16string_view /*video_id*/) { return std::nullopt; }
};

/// The video ID a file name carries ("sm9", "so29000000", "nm123", …): two lower-case letters followed by
/// digits, not glued to a preceding letter or digit. Empty when there is none.
std::u16string video_id_in_name(std::u16string_view name);

struct PartLength {
    int hundredths = 0;
    LengthSource source = LengthSource::comments;
};

/// What the part lookup needs besides the files.
struct PartLengthLookup {
    /// "可能ならネットから取得".
    bool from_net = false;
    /// The configured network wait in seconds (the pause before falling back to the watch page).
    int wait_seconds = 0;
    VideoLengthProvider* provider = nullptr;
    /// The brackets of the tail information, where save names carry the duration.
    std::u16string open = u"[";
    std::u16string close = u"]";
    /// Status line of the pause, once per second and once after it; `replace` overwrites the previous one.
    std::function<void(std::u16string_view line, bool replace)> status;
    /// Sleeps one second; false when a stop was requested meanwhile (the pause ends early).
    std::function<bool()> sleep_second;
};

/// The length of one part: its file name, then the network (when asked and possible, with the pause before
/// the watch page in units of more than 3 files), else `largest_vpos`. `unit_files` is the unit's size.
PartLength part_length(std::u16string_view file_name, int largest_vpos, int unit_files, const PartLengthLookup& lookup);

/// The shift of each part: part k moves by the lengths of parts 0 … k-1.
std::vector<int> part_offsets(const std::vector<PartLength>& lengths);

} // namespace quippet
