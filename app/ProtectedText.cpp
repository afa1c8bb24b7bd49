#include "app/ProtectedText.h"

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include "app/OwnerOnlyFile.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

// The initialisation vector is fixed so that the stored form stays a pure function of text and key;
// the key, not the vector, is what differs between installations.
constexpr unsigned char kIv[16] = {'Q', 'u', 'i', 'p', 'p', 'e', 't', 'V', 'e', 'l', 'l', 'i', 'c', 'h', 'o', 'r'};

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

std::optional<std::string> run_cipher(std::string_view in, const SettingsSecret& secret, bool encrypt) {
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx) return std::nullopt;
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, secret.data(), kIv, encrypt ? 1 : 0) != 1)
        return std::nullopt;
    std::string out(in.size() + 32, '\0');
    int written = 0;
    int tail = 0;
    auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_CipherUpdate(ctx.get(), out_bytes, &written, reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size())) != 1)
        return std::nullopt;
    if (EVP_CipherFinal_ex(ctx.get(), out_bytes + written, &tail) != 1) return std::nullopt;
    out.resize(static_cast<size_t>(written + tail));
    return out;
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

} // namespace

std::optional<SettingsSecret> load_settings_secret(const std::filesystem::path& path, bool create) {
    std::error_code ec;
    if (create && !std::filesystem::exists(path, ec)) {
        SettingsSecret fresh{};
        if (RAND_bytes(fresh.data(), static_cast<int>(fresh.size())) != 1) return std::nullopt;
        int error = 0;
        if (create_owner_only_file(path, std::string_view(reinterpret_cast<const char*>(fresh.data()), fresh.size()),
                                   error) < 0)
            return std::nullopt;
        // Whether this call or a concurrent one created it, the file now holds the secret to use.
    }
    SettingsSecret secret{};
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) != secret.size())
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(secret.data()), static_cast<std::streamsize>(secret.size())))
        return std::nullopt;
    return secret;
}

std::optional<std::u16string> encrypt_protected_text(std::u16string_view text, const SettingsSecret& secret) {
    if (text.empty()) return std::u16string();
    const std::optional<std::string> cipher = run_cipher(to_utf8(text), secret, true);
    if (!cipher) return std::nullopt;
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string hex;
    hex.reserve(cipher->size() * 2);
    for (char c : *cipher) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

std::optional<std::u16string> decrypt_protected_text(std::u16string_view hex, const SettingsSecret& secret) {
    if (hex.empty()) return std::u16string();
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string cipher;
    cipher.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hex_value(hex[i]);
        const int low = hex_value(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        cipher += static_cast<char>(high * 16 + low);
    }
    const std::optional<std::string> plain = run_cipher(cipher, secret, false);
    // Strict UTF-8: a wrong key that happens to leave valid padding still yields bytes that fail here.
    if (!plain || !is_valid_utf8(*plain)) return std::nullopt;
    return from_utf8(*plain);
}

} // namespace quippet
