#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ProtectedText.h"

namespace quippet {

/// The settings file "QuippetVellichor.ini" of an app home: sections of key=value lines in UTF-8.
/// Reads never fail: a missing file or key gives the caller's default. Every write replaces the whole
/// file atomically (temporary file, then rename) with owner-only permissions, because the file holds
/// the protected texts. Writes inside a Batch are kept in memory and written once when it ends.
///
/// The object can be pointed at a preset file for a while (switch_to) and back (switch_back); the
/// protected texts always use the key of the app home.
class CFileINI {
public:
    static constexpr std::u16string_view kFileName = u"QuippetVellichor.ini";
    static constexpr std::u16string_view kSecretFileName = u"QuippetVellichor.key";
    static constexpr std::u16string_view kProtectedSection = u"OptionDialog";

    /// The settings file of quippet::app_home().
    CFileINI();
    explicit CFileINI(std::u16string home);
    CFileINI(const CFileINI&) = delete;
    CFileINI& operator=(const CFileINI&) = delete;
    virtual ~CFileINI();

    const std::u16string& home() const { return home_; }
    /// The file reads and writes go to now (the preset while switched).
    const std::u16string& path() const { return path_; }
    /// errno of the last failed write; 0 after a successful one.
    int error() const { return error_; }

    /// "EN" + 5 → "EN5".
    static std::u16string key_name(std::u16string_view prefix, int index);

    /// 0, or -1 when the file could not be written (the value stays in memory and goes out with the
    /// next successful write).
    int write_number(std::u16string_view section, std::u16string_view key, int value);
    /// The stored value as a decimal number; text that is not a number reads as 0.
    int read_number(std::u16string_view section, std::u16string_view key, int fallback) const;
    int write_text(std::u16string_view section, std::u16string_view key, std::u16string_view text);
    std::u16string read_text(std::u16string_view section, std::u16string_view key, std::u16string_view fallback) const;
    bool has_key(std::u16string_view section, std::u16string_view key) const;

    /// Encrypted with the app home's key into section "OptionDialog". When encryption fails the stored
    /// text is "暗号化に失敗" and the result is -1.
    int write_protected(std::u16string_view key, std::u16string_view text);
    /// "復号に失敗" when the stored text does not decrypt with this home's key.
    std::u16string read_protected(std::u16string_view key, std::u16string_view fallback) const;

    /// Points reads and writes at a preset: ".ini" is added when the name has no extension, and a
    /// relative name is taken inside the app home. Pending writes go to the current file first; when
    /// they cannot be written the object stays where it is and the result is -1.
    int switch_to(std::u16string_view preset);
    /// Back to the settings file of the app home; -1 when the preset's pending writes were lost.
    int switch_back();
    bool is_switched() const { return !main_path_.empty(); }

    /// Writes pending changes now. 0 or -1.
    int flush();
    /// Forgets unwritten changes and reads the file again.
    void reload();

    /// Defers the writes made while it lives to one write of the file.
    class Batch {
    public:
        explicit Batch(CFileINI& ini);
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        ~Batch();
        /// Ends the batch early and reports whether the file was written. 0 or -1.
        int commit();

    private:
        CFileINI* ini_;
    };

private:
    struct Entry {
        std::string key; // empty for a line that is not key=value (kept as it was)
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const std::string* find(std::u16string_view section, std::u16string_view key) const;
    int store(std::u16string_view section, std::u16string_view key, std::string value);
    std::string serialise() const;
    const SettingsSecret* secret(bool create) const;

    std::u16string home_;
    std::u16string path_;
    std::u16string main_path_; // the home's file while a preset is in use
    std::vector<std::string> preamble_;
    std::vector<Section> sections_;
    int batch_depth_ = 0;
    bool dirty_ = false;
    int error_ = 0;
    mutable std::optional<SettingsSecret> secret_;
};

/// "\r\n" (and a lone "\r" or "\n") → "【改行】", then " " → "【半角】", so that a text stays on one
/// line and keeps its outer blanks.
std::u16string escape_ini_text(std::u16string_view text);
/// "【改行】" → "\r\n", then "【半角】" → " ".
std::u16string unescape_ini_text(std::u16string_view text);
/// Leading blanks, a sign and decimal digits, saturating at the int range; anything else is 0.
int parse_ini_number(std::u16string_view text);

} // namespace quippet
