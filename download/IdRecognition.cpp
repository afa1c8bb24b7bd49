#include "download/IdRecognition.h"

#include <filesystem>

#include "app/Settings.h"
#include "download/DownloadHistory.h"
#include "text/Ascii.h"
#include "text/AppHome.h"
#include "text/NameTemplate.h"

namespace quippet {
namespace {

/// Digits an ID number may have; longer runs are no ID of this service.
constexpr size_t kMaxIdDigits = 18;

bool is_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

std::vector<std::u16string> split_prefixes(std::u16string_view text) {
    std::vector<std::u16string> out;
    for (std::u16string_view p : split_view(text, u'|')) {
        while (!p.empty() && p.front() == u' ')
            p.remove_prefix(1);
        while (!p.empty() && p.back() == u' ')
            p.remove_suffix(1);
        if (!p.empty()) out.emplace_back(p);
    }
    return out;
}

/// Length of prefix + positive number at `at`, 0 when none is there.
size_t prefixed_number_at(std::u16string_view text, size_t at, const std::vector<std::u16string>& prefixes) {
    for (const auto& p : prefixes) {
        if (text.substr(at).starts_with(p)) {
            size_t end = at + p.size();
            bool positive = false;
            while (end < text.size() && is_ascii_digit(text[end]) && end - at - p.size() < kMaxIdDigits) {
                if (text[end] != u'0') positive = true;
                ++end;
            }
            if (positive && !(end < text.size() && is_ascii_digit(text[end]))) return end - at;
        }
    }
    return 0;
}

/// The first prefix + positive number in `text` that does not continue a word.
std::u16string find_prefixed(std::u16string_view text, const std::vector<std::u16string>& prefixes) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!is_letter(text[i]) || (i > 0 && is_letter(text[i - 1]))) continue;
        if (const size_t n = prefixed_number_at(text, i, prefixes)) return std::u16string(text.substr(i, n));
    }
    return {};
}

bool whole_prefixed(std::u16string_view text, const std::vector<std::u16string>& prefixes) {
    return !text.empty() && prefixed_number_at(text, 0, prefixes) == text.size();
}

bool all_digits(std::u16string_view text) {
    if (text.empty()) return false;
    for (char16_t c : text)
        if (!is_ascii_digit(c)) return false;
    return true;
}

std::u16string by_template(std::u16string_view text, const IdSettings& s, const std::vector<std::u16string>& prefixes) {
    const IdDelimiters d = id_delimiters(s.name_template.empty() ? kDefaultTemplate : s.name_template);
    if (d.before.empty() && d.after.empty()) return {};
    size_t from = 0;
    while (from <= text.size()) {
        const size_t at = d.before.empty() ? from : text.find(d.before, from);
        if (at == std::u16string_view::npos) break;
        const size_t id_at = at + d.before.size();
        if (id_at > text.size()) break;
        if (const size_t n = prefixed_number_at(text, id_at, prefixes)) {
            if (d.after.empty() || text.substr(id_at + n).starts_with(d.after))
                return std::u16string(text.substr(id_at, n));
        }
        from = at + 1;
        if (d.before.empty()) {
            // Without a left marker every position is a candidate; go on at the next letter.
            while (from < text.size() && !is_letter(text[from]))
                ++from;
            if (from >= text.size()) break;
        }
    }
    return {};
}

bool contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

/// Characters at which plain extraction cuts a text: blanks, line breaks and whatever cannot stand in an
/// address (quotes, angle brackets, anything outside ASCII).
bool cuts(char16_t c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    switch (c) {
    case u'"':
    case u'<':
    case u'>':
    case u'\\':
    case u'^':
    case u'`':
    case u'{':
    case u'|':
    case u'}':
    case u'\'':
        return true;
    default:
        return false;
    }
}

} // namespace

IdSettings id_settings_from(const CSettings& settings) {
    IdSettings s;
    s.video_prefixes = split_prefixes(settings.text(OptText::kVideoIdPrefixes));
    s.other_prefixes = split_prefixes(settings.text(OptText::kOtherIdPrefixes));
    s.min_digits = settings.number(OptNumber::kIdMinDigits);
    s.max_digits = settings.number(OptNumber::kIdMaxDigits);
    s.name_template = settings.text(OptText::kNameTemplate);
    return s;
}

std::u16string recognise_id(std::u16string_view text, int mode, const IdSettings& s) {
    if (text.empty()) return {};
    // 1. A bare prefixed number.
    if (whole_prefixed(text, s.video_prefixes)) return std::u16string(text);
    // 2. A numeric thread ID.
    if (all_digits(text) && static_cast<int>(text.size()) >= s.min_digits &&
        static_cast<int>(text.size()) <= s.max_digits)
        return std::u16string(text);
    // 3. A name saved under the template.
    if (std::u16string id = by_template(text, s, s.video_prefixes); !id.empty()) return id;
    // 4. An address, or a JSON value.
    if (!(contains(text, u"video") && contains(text, u"watch"))) {
        const size_t slash = text.rfind(u'/');
        if (slash != std::u16string_view::npos) {
            const std::u16string_view last = text.substr(slash + 1);
            if (const size_t n = prefixed_number_at(last, 0, s.video_prefixes))
                return std::u16string(last.substr(0, n));
        }
        if (std::u16string id = find_prefixed(text, s.video_prefixes); !id.empty()) return id;
        if (!contains(text, u"video")) {
            const size_t at = text.find(u":\"");
            if (at != std::u16string_view::npos) {
                std::u16string_view value = text.substr(at + 2);
                value = value.substr(0, value.find(u'"'));
                if (whole_prefixed(value, s.video_prefixes)) return std::u16string(value);
                if (all_digits(value) && static_cast<int>(value.size()) >= s.min_digits &&
                    static_cast<int>(value.size()) <= s.max_digits)
                    return std::u16string(value);
            }
        }
    }
    // 5. A prefixed number anywhere; items from pages may be other kinds of content as well.
    if (mode == kIdModeInput || mode == kIdModeItem) {
        if (std::u16string id = find_prefixed(text, s.video_prefixes); !id.empty()) return id;
        if (mode == kIdModeItem) return find_prefixed(text, s.other_prefixes);
    }
    return {};
}

int extract_ids(std::u16string_view text, std::vector<std::u16string>& out, int mode, const IdSettings& settings,
                std::u16string_view prefix, std::u16string_view suffix, std::u16string* pieces) {
    std::unordered_set<std::u16string> have(out.begin(), out.end());
    int found = 0;
    std::u16string piece;
    auto take = [&] {
        if (piece.empty()) return;
        if (pieces) *pieces += piece + u"\r\n";
        std::u16string id = recognise_id(piece, mode, settings);
        piece.clear();
        if (id.empty()) return;
        ++found;
        std::u16string wrapped = std::u16string(prefix) + id + std::u16string(suffix);
        if (have.insert(wrapped).second) out.push_back(std::move(wrapped));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\\' && i + 1 < text.size() && text[i + 1] == u'/') {
            piece += u'/';
            ++i;
            continue;
        }
        if (cuts(c)) {
            take();
            continue;
        }
        // A piece longer than any address is no address; it is cut rather than grown without bound.
        if (piece.size() >= 4096) take();
        piece += c;
    }
    take();
    return found ? found : -1;
}

bool looks_like_address(std::u16string_view text) {
    return ascii_starts_with_nocase(text, u"http://") || ascii_starts_with_nocase(text, u"https://") ||
           ascii_starts_with_nocase(text, u"www.") || text.find(u"://") != std::u16string_view::npos;
}

InputClass classify_input(std::u16string_view text, const IdSettings& settings) {
    InputClass c;
    std::u16string_view first = text.substr(0, text.find(u"\r\n"));
    const int variant = first == kSavedListsName                                           ? 0
                        : first == kRecentlyPlayedName                                     ? 1
                        : history_selection_of(first) >= 0 || is_list_snapshot_name(first) ? 2
                                                                                           : -1;
    if (variant >= 0) {
        c.kind = InputKind::kSpecial;
        c.label = u"特殊設定";
        c.variant = variant;
        return c;
    }
    if (!text.empty() && text.find(u'\n') == std::u16string_view::npos && text.size() < 4096) {
        std::error_code ec;
        const auto path = to_fs_path(text);
        if (std::filesystem::is_directory(path, ec)) {
            c.kind = InputKind::kFolder;
            c.label = u"フォルダ";
            return c;
        }
        if (std::filesystem::is_regular_file(path, ec)) {
            c.kind = InputKind::kFile;
            const std::u16string ext = from_fs_path(path.extension());
            c.label = ascii_equal_nocase(ext, u".m3u")   ? u"プレイリスト"
                      : ascii_equal_nocase(ext, u".txt") ? u"リスト"
                                                         : u"ファイル";
            return c;
        }
    }
    const bool address = looks_like_address(text);
    if (std::u16string id = recognise_id(text, kIdModeInput, settings); !id.empty()) {
        c.kind = InputKind::kId;
        c.label = address ? u"URL" : u"文字列（ID含み）";
        c.id = std::move(id);
        return c;
    }
    if (!text.empty() && address) {
        c.kind = InputKind::kUrl;
        c.label = u"URL";
        return c;
    }
    if (!text.empty()) {
        c.kind = InputKind::kSearchWords;
        c.label = u"検索ワード";
        return c;
    }
    c.kind = InputKind::kBlank;
    c.label = u"空欄";
    return c;
}

} // namespace quippet
