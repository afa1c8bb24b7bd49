#include "reconstruct/CommandVocabulary.h"

#include "resources/DefaultTextsCommands.h"
#include "text/AppHome.h"
#include "text/CharArray.h"
#include "text/CharBuffer.h"

namespace quippet {

void command_fold(std::u16string& text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c + 0x20);
        } else if (c >= 0xFF21 && c <= 0xFF3A) { // Ａ-Ｚ
            c = static_cast<char16_t>(c - 0xFF21 + u'a');
        } else if ((c >= 0xFF41 && c <= 0xFF5A) || (c >= 0xFF10 && c <= 0xFF19)) { // ａ-ｚ, ０-９
            c = static_cast<char16_t>(c - 0xFEE0);
        } else if (c == 0xFF03 || c == 0xFF20) { // ＃, ＠
            c = static_cast<char16_t>(c - 0xFEE0);
        }
    }
}

std::u16string command_folded(std::u16string_view text) {
    std::u16string folded(text);
    command_fold(folded);
    return folded;
}

namespace {

enum class Section { none, size, vertical, horizontal, color, hima_color, replace, needed, unneeded, fixed };

/// The section a header line opens; none for any other line.
Section section_of(std::u16string_view line) {
    static constexpr struct {
        std::u16string_view header;
        Section section;
    } headers[] = {
        {u"[サイズ]", Section::size},
        {u"[位置]", Section::vertical},
        {u"[横位置]", Section::horizontal},
        {u"[色]", Section::color},
        {u"[ひまたんの色]", Section::hima_color},
        {u"[置換して読み込むコマンド]", Section::replace},
        {u"[既知の必要なコマンド]", Section::needed},
        {u"[既知の不要なコマンド]", Section::unneeded},
        // Display times and coordinates have fixed forms; their sections only document them.
        {u"[表示時間]", Section::fixed},
        {u"[座標]", Section::fixed},
    };
    for (const auto& h : headers)
        if (line == h.header) return h.section;
    return Section::none;
}

/// Splits "left TAB right" at the first TAB; false when there is none.
bool split_tab(const std::u16string& line, std::u16string& left, std::u16string& right) {
    const size_t tab = line.find(u'\t');
    if (tab == std::u16string::npos) return false;
    left = line.substr(0, tab);
    right = line.substr(tab + 1);
    return true;
}

} // namespace

CommandVocabulary read_vocabulary(std::u16string_view text) {
    CommandVocabulary v;
    Section section = Section::none;
    CCharArrayW lines;
    lines.split(text, u"\n");
    for (std::u16string_view raw : lines.items()) {
        if (raw.ends_with(u'\r')) raw.remove_suffix(1);
        if (raw.empty() || raw.starts_with(u"//")) continue;
        const Section header = section_of(raw);
        if (header != Section::none) {
            section = header;
            continue;
        }
        std::u16string line = command_folded(raw);
        std::u16string left, right;
        switch (section) {
        case Section::size:
            v.size_list.push_back(std::move(line));
            break;
        case Section::vertical:
            v.vertical_list.push_back(std::move(line));
            break;
        case Section::horizontal:
            v.horizontal_list.push_back(std::move(line));
            break;
        case Section::needed:
            v.needed_list.push_back(std::move(line));
            break;
        case Section::unneeded:
            v.unneeded_list.push_back(std::move(line));
            break;
        case Section::color:
            if (split_tab(line, left, right)) {
                v.color_codes.push_back(std::move(left));
                v.color_names.push_back(std::move(right));
            }
            break;
        case Section::hima_color:
            if (split_tab(line, left, right)) {
                v.hima_color_codes.push_back(std::move(left));
                v.hima_color_names.push_back(std::move(right));
            }
            break;
        case Section::replace:
            if (split_tab(line, left, right)) {
                v.replace_from.push_back(std::move(left));
                v.replace_to.push_back(std::move(right));
            }
            break;
        case Section::none:
        case Section::fixed:
            break;
        }
    }
    return v;
}

CommandVocabulary load_vocabulary(std::u16string_view path) {
    CCharW text;
    if (CFileSP().read_settings_text(resolve_in_home(path), text) != 0) return {};
    return read_vocabulary(text.view());
}

int ensure_vocabulary_file(std::u16string_view path, const CreationFailureHook& on_failure) {
    return ensure_file_exists(path, default_command_vocabulary_text(), on_failure);
}

} // namespace quippet
