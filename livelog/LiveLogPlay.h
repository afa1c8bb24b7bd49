#pragma once

#include <string>

namespace quippet {

class CSettings;

/// The folder a conversion writes into: the place folder with "場所", else the output folder of the
/// detailed settings (both inside the app home when relative), with its trailing "/".
std::u16string live_output_folder(const CSettings& settings);

/// "再生": the video beside the output, a file of that folder named by the output name with any extension
/// but the comment file's own ("xml", "txt"); the first by name when there are several. Empty when the
/// output name is empty or no such file exists.
std::u16string live_video_to_play(const CSettings& settings);

} // namespace quippet
