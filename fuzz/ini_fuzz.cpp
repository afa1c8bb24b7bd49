// Feeds arbitrary bytes to the settings-file reader and the protected-text decoder. The settings file is
// edited by hand and copied between machines, so its lines and its protected values may hold anything.
// The reader only reads files: each input goes to one file in /dev/shm that belongs to this process, with
// a fixed key beside it, so that the protected texts in the input decrypt through the real path.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "app/IniFile.h"
#include "app/ProtectedText.h"
#include "text/Encoding.h"

using namespace quippet;

namespace {

constexpr SettingsSecret kSecret = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

// libFuzzer ends a campaign with _Exit, so the folders of earlier processes are swept here instead.
void remove_stale_homes() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("quippet-ini-fuzz-")) continue;
        const pid_t pid = static_cast<pid_t>(std::atoi(name.c_str() + 17));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), ec);
    }
}

const std::filesystem::path& home() {
    static const std::filesystem::path folder = [] {
        remove_stale_homes();
        std::filesystem::path p = "/dev/shm/quippet-ini-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(p);
        std::ofstream(p / std::u16string(CFileINI::kSecretFileName), std::ios::binary)
            .write(reinterpret_cast<const char*>(kSecret.data()), kSecret.size());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(home(), ec);
        });
        return p;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(home() / std::u16string(CFileINI::kFileName), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    const CFileINI ini(home().u16string());
    // The keys the input itself names, so that the fuzzer reaches the lookups without guessing names.
    std::u16string section = u"OptionDialog";
    for (std::string_view rest = bytes; !rest.empty();) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.starts_with('[') && line.find(']') != std::string_view::npos) {
            section = from_utf8(line.substr(1, line.find(']') - 1));
            continue;
        }
        const std::u16string key = from_utf8(line.substr(0, line.find('=')));
        const std::u16string text = unescape_ini_text(ini.read_text(section, key, u""));
        if (ini.has_key(section, key) != ini.has_key(section, key)) __builtin_trap();
        ini.read_number(section, key, -7);
        ini.read_protected(key, u"none");
        parse_ini_number(text);
        const std::u16string escaped = escape_ini_text(text);
        if (escaped.find_first_of(u"\r\n") != std::u16string::npos) __builtin_trap();
    }

    // The decoder straight on the input, and a round trip through the cipher.
    const std::u16string wide = from_utf8(bytes);
    decrypt_protected_text(wide, kSecret);
    const std::optional<std::u16string> cipher = encrypt_protected_text(wide, kSecret);
    if (!cipher) __builtin_trap();
    const std::optional<std::u16string> plain = decrypt_protected_text(*cipher, kSecret);
    if (!plain || *plain != from_utf8(to_utf8(wide))) __builtin_trap();
    return 0;
}
