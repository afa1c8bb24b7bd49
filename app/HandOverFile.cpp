#include "app/HandOverFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

enum class Existing { none, reservation, other };

Existing existing_file(std::u16string_view path, std::u16string& text) {
    std::error_code ec;
    if (!std::filesystem::exists(to_fs_path(path), ec)) return Existing::none;
    CCharW content;
    CFileSP file;
    if (file.read_wide_text(path, content) != 0) return Existing::other;
    text.assign(content.view());
    return text.starts_with(kReservationHeader) ? Existing::reservation : Existing::other;
}

/// Moves the file to the first free "QuippetVellichor(N).txt"; 0 or -1.
int move_aside(std::u16string_view home, std::u16string_view path) {
    std::u16string base(home);
    if (!base.empty() && !base.ends_with(u'/')) base += u'/';
    for (int n = 1; n < 1000; ++n) {
        std::u16string numbered = base + u"QuippetVellichor(";
        for (char c : std::to_string(n))
            numbered += static_cast<char16_t>(c);
        numbered += u").txt";
        const int err = rename_no_replace(path, numbered);
        if (err == 0) return 0;
        if (err != EEXIST) return -1;
    }
    return -1;
}

} // namespace

std::u16string hand_over_file_path(std::u16string_view home) {
    std::u16string path(home);
    if (!path.empty() && !path.ends_with(u'/')) path += u'/';
    path += kHandOverFileName;
    return path;
}

int write_reservation(std::u16string_view home, std::u16string_view text, int* error) {
    const std::u16string path = hand_over_file_path(home);
    std::u16string existing;
    std::u16string content(kReservationHeader);
    switch (existing_file(path, existing)) {
    case Existing::reservation:
        content = existing;
        if (!content.ends_with(u"\r\n") && content.size() > kReservationHeader.size()) content += u"\r\n";
        break;
    case Existing::other:
        if (move_aside(home, path) != 0) {
            if (error) *error = 21;
            return -1;
        }
        break;
    case Existing::none:
        break;
    }
    content += text;
    CFileSP file;
    const int result = file.write_wide_text(path, content, CFileSP::kOverwrite);
    if (error) *error = file.error();
    return result == 0 ? 0 : -1;
}

std::optional<std::u16string> take_reservation(std::u16string_view home) {
    const std::u16string path = hand_over_file_path(home);
    std::u16string existing;
    if (existing_file(path, existing) != Existing::reservation) return std::nullopt;
    std::error_code ec;
    // A reservation that cannot be removed would be handed over again at every start.
    if (!std::filesystem::remove(to_fs_path(path), ec)) return std::nullopt;
    return existing.substr(kReservationHeader.size());
}

int write_folder_listing(std::u16string_view home, std::u16string_view folder) {
    std::error_code ec;
    const std::filesystem::path dir = to_fs_path(folder);
    if (folder.empty() || !std::filesystem::is_directory(dir, ec)) return -2;
    std::vector<std::u16string> files;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (it->is_directory(type_ec)) continue;
        files.push_back(from_fs_path(std::filesystem::absolute(it->path(), type_ec)));
    }
    std::sort(files.begin(), files.end());
    std::u16string text;
    for (const std::u16string& file : files)
        text += file + u"\r\n";

    const std::u16string path = hand_over_file_path(home);
    std::u16string existing;
    if (existing_file(path, existing) == Existing::reservation && move_aside(home, path) != 0) return -1;
    CFileSP out;
    return out.write_wide_text(path, text, CFileSP::kOverwrite) == 0 ? 0 : -1;
}

} // namespace quippet
