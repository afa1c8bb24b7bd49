#include "app/IniFile.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "app/OwnerOnlyFile.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr std::u16string_view kLineBreakToken = u"【改行】";
constexpr std::u16string_view kBlankToken = u"【半角】";

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

/// Values keep their tabs: texts are stored with only their blanks escaped.
std::string_view trim_spaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

void replace_all(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    size_t at = 0;
    while ((at = text.find(from, at)) != std::u16string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

std::u16string home_file(const std::u16string& home, std::u16string_view name) {
    std::u16string path = home;
    if (!path.empty() && !path.ends_with(u'/')) path += u'/';
    path.append(name);
    return path;
}

} // namespace

std::u16string escape_ini_text(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            // A bare line end would split the value and start a new key in the file.
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += kLineBreakToken;
        } else if (c == u' ') {
            out += kBlankToken;
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string unescape_ini_text(std::u16string_view text) {
    std::u16string out(text);
    replace_all(out, kLineBreakToken, u"\r\n");
    replace_all(out, kBlankToken, u" ");
    return out;
}

int parse_ini_number(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(value * 10 + (text[i] - u'0'), kLimit);
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

CFileINI::CFileINI() : CFileINI(app_home()) {}

CFileINI::CFileINI(std::u16string home) : home_(std::move(home)) {
    path_ = home_file(home_, kFileName);
    reload();
}

CFileINI::~CFileINI() {
    if (dirty_) flush();
}

std::u16string CFileINI::key_name(std::u16string_view prefix, int index) {
    return std::u16string(prefix) + from_utf8(std::to_string(index));
}

void CFileINI::reload() {
    preamble_.clear();
    sections_.clear();
    dirty_ = false;
    // Reading never fails: whatever stands in the file's place reads as an empty file.
    std::string bytes;
    try {
        const std::filesystem::path path = to_fs_path(path_);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) return;
        std::ifstream in(path, std::ios::binary);
        if (!in) return;
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return;
    }
    std::string_view rest(bytes);
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string_view trimmed = trim_blanks(line);
        if (trimmed.starts_with('[') && trimmed.find(']') != std::string_view::npos) {
            sections_.push_back({std::string(trim_blanks(trimmed.substr(1, trimmed.find(']') - 1))), {}});
            continue;
        }
        const size_t eq = line.find('=');
        Entry entry;
        if (eq != std::string_view::npos && !trim_blanks(line.substr(0, eq)).empty() && !trimmed.starts_with(';')) {
            entry.key = std::string(trim_blanks(line.substr(0, eq)));
            entry.value = std::string(trim_spaces(line.substr(eq + 1)));
        } else {
            entry.value = std::string(line);
        }
        if (sections_.empty())
            preamble_.push_back(entry.key.empty() ? entry.value : std::string(line));
        else
            sections_.back().entries.push_back(std::move(entry));
    }
}

const std::string* CFileINI::find(std::u16string_view section, std::u16string_view key) const {
    const std::string s = to_utf8(section);
    const std::string k = to_utf8(key);
    for (const Section& sec : sections_) {
        if (!same_name(sec.name, s)) continue;
        for (const Entry& e : sec.entries)
            if (!e.key.empty() && same_name(e.key, k)) return &e.value;
    }
    return nullptr;
}

int CFileINI::store(std::u16string_view section, std::u16string_view key, std::string value) {
    const std::string s = to_utf8(section);
    const std::string k = to_utf8(key);
    Section* target = nullptr;
    for (Section& sec : sections_) {
        if (!same_name(sec.name, s)) continue;
        if (!target) target = &sec;
        for (Entry& e : sec.entries)
            if (!e.key.empty() && same_name(e.key, k)) {
                e.value = std::move(value);
                dirty_ = true;
                return batch_depth_ > 0 ? 0 : flush();
            }
    }
    if (!target) {
        sections_.push_back({s, {}});
        target = &sections_.back();
    }
    target->entries.push_back({k, std::move(value)});
    dirty_ = true;
    return batch_depth_ > 0 ? 0 : flush();
}

std::string CFileINI::serialise() const {
    std::string out;
    for (const std::string& line : preamble_)
        out += line + "\n";
    for (const Section& sec : sections_) {
        out += "[" + sec.name + "]\n";
        for (const Entry& e : sec.entries)
            out += e.key.empty() ? e.value + "\n" : e.key + "=" + e.value + "\n";
    }
    return out;
}

int CFileINI::flush() {
    if (!dirty_) return 0;
    if (write_owner_only_file(to_fs_path(path_), serialise(), error_) != 0) return -1;
    dirty_ = false;
    return 0;
}

int CFileINI::write_number(std::u16string_view section, std::u16string_view key, int value) {
    return store(section, key, std::to_string(value));
}

int CFileINI::read_number(std::u16string_view section, std::u16string_view key, int fallback) const {
    const std::string* value = find(section, key);
    return value ? parse_ini_number(from_utf8(*value)) : fallback;
}

int CFileINI::write_text(std::u16string_view section, std::u16string_view key, std::u16string_view text) {
    return store(section, key, to_utf8(escape_ini_text(text)));
}

std::u16string CFileINI::read_text(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view fallback) const {
    const std::string* value = find(section, key);
    return value ? unescape_ini_text(from_utf8(*value)) : std::u16string(fallback);
}

bool CFileINI::has_key(std::u16string_view section, std::u16string_view key) const {
    return find(section, key) != nullptr;
}

const SettingsSecret* CFileINI::secret(bool create) const {
    if (!secret_) secret_ = load_settings_secret(to_fs_path(home_file(home_, kSecretFileName)), create);
    return secret_ ? &*secret_ : nullptr;
}

int CFileINI::write_protected(std::u16string_view key, std::u16string_view text) {
    std::optional<std::u16string> cipher;
    if (text.empty()) {
        cipher = std::u16string();
    } else if (const SettingsSecret* s = secret(true)) {
        cipher = encrypt_protected_text(text, *s);
    }
    if (!cipher) {
        write_text(kProtectedSection, key, kEncryptFailedText);
        return -1;
    }
    return write_text(kProtectedSection, key, *cipher);
}

std::u16string CFileINI::read_protected(std::u16string_view key, std::u16string_view fallback) const {
    if (!has_key(kProtectedSection, key)) return std::u16string(fallback);
    const std::u16string stored = read_text(kProtectedSection, key, u"");
    if (stored.empty()) return {};
    const SettingsSecret* s = secret(false);
    std::optional<std::u16string> plain = s ? decrypt_protected_text(stored, *s) : std::nullopt;
    return plain ? *plain : std::u16string(kDecryptFailedText);
}

int CFileINI::switch_to(std::u16string_view preset) {
    // Unwritten changes of the current file would be dropped by the switch: stay until they are out.
    if (flush() != 0) return -1;
    std::u16string path(preset);
    const size_t name_start = path.rfind(u'/') == std::u16string::npos ? 0 : path.rfind(u'/') + 1;
    if (path.find(u'.', name_start) == std::u16string::npos) path += u".ini";
    if (!path.starts_with(u'/')) path = home_file(home_, path);
    if (!is_switched()) main_path_ = path_;
    path_ = std::move(path);
    reload();
    return 0;
}

int CFileINI::switch_back() {
    if (!is_switched()) return 0;
    const int flushed = flush();
    path_ = std::move(main_path_);
    main_path_.clear();
    reload();
    return flushed;
}

CFileINI::Batch::Batch(CFileINI& ini) : ini_(&ini) {
    ++ini_->batch_depth_;
}

CFileINI::Batch::~Batch() {
    commit();
}

int CFileINI::Batch::commit() {
    if (!ini_) return 0;
    CFileINI* ini = ini_;
    ini_ = nullptr;
    return --ini->batch_depth_ == 0 ? ini->flush() : 0;
}

} // namespace quippet
