#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "text/Encoding.h"

namespace quippet::test {

/// A fresh folder under the system temp directory, removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quippet-text-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }

    const std::filesystem::path& path() const { return path_; }
    /// UTF-16 path of `name` inside the folder, as the program passes paths around.
    std::u16string operator/(std::u16string_view name) const {
        return from_utf8(path_.string()) + u"/" + std::u16string(name);
    }

private:
    std::filesystem::path path_;
};

/// The folder as the program names folders (an app home, say).
inline std::u16string home_of(const TempFolder& folder) {
    return from_utf8(folder.path().string());
}

inline std::string read_bytes(const std::u16string& path) {
    std::ifstream in(to_utf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::u16string& path, std::string_view bytes) {
    std::ofstream out(to_utf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// Names in the folder, to check that nothing (such as a temporary file) was left behind.
inline std::string listing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names)
        joined += name + "\n";
    return joined;
}

} // namespace quippet::test
