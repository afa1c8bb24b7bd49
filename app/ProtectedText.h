#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quippet {

/// Stored in place of a protected text that could not be encrypted, and shown in place of one that
/// cannot be decrypted, so that a broken password is visible as such instead of as garbage.
inline constexpr std::u16string_view kEncryptFailedText = u"暗号化に失敗";
inline constexpr std::u16string_view kDecryptFailedText = u"復号に失敗";

/// The key of the protected texts: 32 random bytes created once per app home.
using SettingsSecret = std::array<unsigned char, 32>;

/// Reads the secret file; when it is missing and `create` is set, creates it owner-only first.
/// nullopt when it cannot be read or created, or does not hold exactly 32 bytes.
std::optional<SettingsSecret> load_settings_secret(const std::filesystem::path& path, bool create);

/// AES-256-CBC of the text's UTF-8 bytes (PKCS#5 padding), as upper-case hexadecimal. Empty stays
/// empty. nullopt on failure.
std::optional<std::u16string> encrypt_protected_text(std::u16string_view text, const SettingsSecret& secret);
/// The reverse; nullopt for text that is not hexadecimal, does not decrypt with this secret, or does
/// not decrypt to UTF-8.
std::optional<std::u16string> decrypt_protected_text(std::u16string_view hex, const SettingsSecret& secret);

} // namespace quippet
