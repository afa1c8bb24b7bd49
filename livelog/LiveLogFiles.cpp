#include "livelog/LiveLogFiles.h"
#include "livelog/Warehouse.h"

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

std::u16string utf16_units(std::string_view bytes, bool big_endian) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
    }
    return text;
}

} // namespace

std::u16string live_ng_file_path(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kLiveNgWords));
}

std::u16string live_replace_table_path(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kLiveReplaceTable));
}

std::u16string live_source_path(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kLiveSource));
}

std::u16string live_preset_folder(const CSettings& settings) {
    return resolve_in_home(settings.text(OptText::kLivePresetFolder));
}

const std::u16string& live_ng_default_text() {
    static const std::u16string text =
        crlf_lines({u"[前方一致]", u">", u"＞", u"↑", u"↓", u"", u"[後方一致]", u"↑", u"↓", u"", u"[部分一致]", u">>",
                    u"＞＞", u"ttp", u".jpg", u"", u"[完全一致]", u"", u"[正規表現]"});
    return text;
}

const std::u16string& live_replace_default_text() {
    static const std::u16string text = crlf_lines({
        u"// 設定ひとつごとに改行して、置換前の文字列と置換後の文字列を、タブ区切りで羅列します。",
        u"// 置換前と置換後の両方をそれぞれ「/」で囲んでいる場合は、正規表現としてあつかいます。",
        u"// 先頭が「//」の行はコメントになります。",
        u"",
        u"// 「ｷﾀ━━━━━━(ﾟ∀ﾟ)━━━━━━ !!!!!」「ｷﾀ━━━━━━（ﾟ∀ﾟ）━━━━━━!!!」の「━」の連続数を4つに制限",
        u"/━{4,}(.)ﾟ∀ﾟ(.)━{4,}/\t/━━━━$1ﾟ∀ﾟ$2━━━━/",
        u"",
        u"// 同じ文字が連続する最大数を16個までに制限",
        u"/(.)\\1{16,}/\t/$1$1$1$1$1$1$1$1$1$1$1$1$1$1$1$1/",
        u"",
    });
    return text;
}

int ensure_live_ng_file(const CSettings& settings, const CreationFailureHook& on_failure) {
    return ensure_file_exists(live_ng_file_path(settings), live_ng_default_text(), on_failure);
}

int ensure_live_replace_table(const CSettings& settings, const CreationFailureHook& on_failure) {
    return ensure_file_exists(live_replace_table_path(settings), live_replace_default_text(), on_failure);
}

const std::vector<SettingsTextFile>& live_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        {"live-ng-words", key(OptText::kLiveNgWords), live_ng_file_path, ensure_live_ng_file},
        {"live-replace", key(OptText::kLiveReplaceTable), live_replace_table_path, ensure_live_replace_table},
        // The source text is the user's paste board: created empty, as "変換元テキストを開く" does.
        {"board-table", key(OptText::kBoardTable),
         [](const CSettings& s) { return resolve_in_home(s.text(OptText::kBoardTable)); },
         [](const CSettings& s, const CreationFailureHook& hook) {
             return ensure_file_exists(resolve_in_home(s.text(OptText::kBoardTable)), default_board_table_text(), hook);
         }},
        {"browser-table", key(OptText::kBrowserTable),
         [](const CSettings& s) { return resolve_in_home(s.text(OptText::kBrowserTable)); },
         [](const CSettings& s, const CreationFailureHook& hook) {
             return ensure_file_exists(resolve_in_home(s.text(OptText::kBrowserTable)), default_browser_table_text(),
                                       hook);
         }},
        {"live-source", key(OptText::kLiveSource), live_source_path,
         [](const CSettings& s, const CreationFailureHook& hook) {
             return ensure_file_exists(live_source_path(s), u"", hook);
         }},
    };
    return files;
}

SourceEncoding decode_source_bytes(std::string_view bytes, std::u16string& text) {
    if (bytes.starts_with("\xFF\xFE")) {
        text = utf16_units(bytes.substr(2), false);
        return SourceEncoding::kUtf16Le;
    }
    if (bytes.starts_with("\xFE\xFF")) {
        text = utf16_units(bytes.substr(2), true);
        return SourceEncoding::kUtf16Be;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        text = from_utf8(bytes.substr(3));
        return SourceEncoding::kUtf8;
    }
    // Without a mark: 8-bit text never holds NUL bytes, while UTF-16 of anything with ASCII in it does.
    if (bytes.find('\0') != std::string_view::npos) {
        text = utf16_units(bytes, false);
        return SourceEncoding::kUtf16Le;
    }
    if (auto decoded = from_valid_utf8(bytes)) {
        text = std::move(*decoded);
        return SourceEncoding::kUtf8;
    }
    text = from_cp932(bytes);
    return SourceEncoding::kCp932;
}

int read_source_text(std::u16string_view path, std::u16string& text, int& error, SourceEncoding* encoding) {
    CFileBytes bytes;
    CFileSP file;
    if (file.read(path, bytes) != 0) {
        error = file.error();
        return -1;
    }
    error = 0;
    const SourceEncoding e = decode_source_bytes(bytes.view(), text);
    if (encoding) *encoding = e;
    return 0;
}

} // namespace quippet
