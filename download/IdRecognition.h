#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quippet {

class CSettings;

/// What ID recognition takes from the settings.
struct IdSettings {
    std::vector<std::u16string> video_prefixes{u"sm", u"so", u"nm", u"am", u"fz", u"ut", u"ca"};
    std::vector<std::u16string> other_prefixes{u"lv", u"ch", u"co", u"nb", u"nc", u"sg", u"im", u"mg", u"az",
                                               u"dw", u"ga", u"gg", u"ip", u"nd", u"ys", u"it", u"pk"};
    int min_digits = 8;
    int max_digits = 12;
    std::u16string name_template = u"%TITLE%(%ID%)";
};
IdSettings id_settings_from(const CSettings& settings);

/// Modes of recognise_id: 0 for the pieces of a page cut apart by plain extraction, 1 for the input box,
/// 2 for items cut from pages and single list rows (the other kinds of content count too).
inline constexpr int kIdModePlain = 0;
inline constexpr int kIdModeInput = 1;
inline constexpr int kIdModeItem = 2;

/// The video ID in `text`, or empty. A prefix must be followed by a positive decimal number.
std::u16string recognise_id(std::u16string_view text, int mode, const IdSettings& settings);

/// Every ID in `text` (each wrapped in `prefix` and `suffix`), added to `out` in the order found unless
/// `out` holds it already. Returns how many were found, -1 when none was. `pieces` (debug mode) receives the
/// pieces the text was cut into, one a line.
int extract_ids(std::u16string_view text, std::vector<std::u16string>& out, int mode, const IdSettings& settings,
                std::u16string_view prefix = {}, std::u16string_view suffix = {}, std::u16string* pieces = nullptr);

/// The kinds of input-box text, in the order they are tested.
enum class InputKind : int {
    kSpecial = 1,
    kFolder,
    kFile,
    kId,
    kUrl,
    kSearchWords,
    kBlank,
};

struct InputClass {
    InputKind kind = InputKind::kBlank;
    std::u16string label;
    /// For kSpecial: 0 the saved lists, 1 the recently played videos, 2 a download-history selection.
    int variant = -1;
    /// For kId: the recognised ID.
    std::u16string id;
};

inline constexpr std::u16string_view kSavedListsName = u"<保存したリストの一覧>";
inline constexpr std::u16string_view kRecentlyPlayedName = u"<最近再生した動画の一覧>";

InputClass classify_input(std::u16string_view text, const IdSettings& settings);

/// Whether a text reads as a web address.
bool looks_like_address(std::u16string_view text);

} // namespace quippet
