#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quippet {

/// The file in the app home that carries a hand-over text to the next start ("[予約]" + CR LF +
/// the text) and that receives the folder listings of "-list".
inline constexpr std::u16string_view kHandOverFileName = u"QuippetVellichor.txt";
inline constexpr std::u16string_view kReservationHeader = u"[予約]\r\n";

std::u16string hand_over_file_path(std::u16string_view home);

/// Leaves `text` for the next start. A reservation that no start has taken yet keeps its text and
/// gets this one after it; a file of that name that is not a reservation (a listing, or the user's own
/// file) is first renamed to "QuippetVellichor(N).txt", so that nothing is lost. 0, or -1 with the
/// file's result code in `error`.
int write_reservation(std::u16string_view home, std::u16string_view text, int* error = nullptr);

/// The text of a waiting reservation, which is then removed; nullopt when there is none (a file that
/// is not a reservation stays as it is).
std::optional<std::u16string> take_reservation(std::u16string_view home);

/// Every file of `folder` (not its subfolders), one full path per line in name order, into the
/// hand-over file (a waiting reservation is renamed aside first, any other file replaced). 0; -2 when
/// `folder` is no folder (nothing is written); -1 when the file could not be written.
int write_folder_listing(std::u16string_view home, std::u16string_view folder);

} // namespace quippet
