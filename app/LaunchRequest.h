#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// What a start of the window program asks for, read from its arguments.
struct LaunchRequest {
    /// "-list FOLDER": write the folder's listing, open it, and end without a window.
    bool list = false;
    /// The folder after "-list"; empty when none was given.
    std::u16string list_folder;
    /// "-multi": a second window is allowed.
    bool multi = false;
    /// The text handed to the running window (or to the next start through the reservation file);
    /// empty when there is nothing to hand over.
    std::u16string handover;
    /// The program's own "--name VALUE" options (without the dashes); see launch_options.
    std::map<std::u16string, std::u16string> options;
    /// A program option without its value; the start is refused with this name.
    std::u16string missing_value;
};

/// The program options that take a value ("--home DIR" and "--home=DIR"). Options of the window
/// program are added here, in one place; everything not named here is an ordinary argument.
const std::vector<std::u16string_view>& launch_options();

/// Reads the arguments (without the program name) left to right. `is_path` tells whether an
/// argument names an existing file or folder.
///
/// Option names are compared without regard to case and may begin with "-" or "/". Of "-search",
/// "-url" and "-add" (and their short forms) only the first counts, and it replaces the paths; an
/// argument that is neither an option nor a path is kept only when nothing else was given.
LaunchRequest parse_launch_arguments(const std::vector<std::u16string>& args,
                                     const std::function<bool(std::u16string_view)>& is_path);

} // namespace quippet
