#include "text/NameTemplate.h"

#include <vector>

#include "text/Entities.h"

namespace quippet {
namespace {

constexpr std::u16string_view kPreviewTitle = u"ダウンロード先から取得";

/// Full-width stand-in for `c`, "" to drop it, or null when `c` may stay.
const char16_t* file_name_replacement(char16_t c, bool keep_separators) {
    switch (c) {
    case u'/':
        return keep_separators ? nullptr : u"／";
    case u'\\':
        return u"＼";
    case u':':
        return u"：";
    case u'*':
        return u"＊";
    case u'?':
        return u"？";
    case u'"':
        return u"\u201D";
    case u'<':
        return u"＜";
    case u'>':
        return u"＞";
    case u'|':
        return u"｜";
    case u'\t':
    case u'\r':
    case u'\n':
        return u"";
    default:
        return nullptr;
    }
}

std::u16string_view last_component(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

/// A value ready to go into a template: the blank marker dropped (protected titles carry it) and path-safe.
std::u16string template_value(std::u16string_view value) {
    CCharW v(value);
    v.replace_all(kBlankMarker, u"");
    return path_safe_value(v.view());
}

/// One folder level of a template with "%ID%" and, unless `title` is null, "%TITLE%" filled in; the blank
/// marker removed, references resolved and the result sanitised. Sets `substituted` when a placeholder
/// was filled.
CCharW expand_component(std::u16string_view component, const std::u16string* title, std::u16string_view id,
                        bool& substituted) {
    CCharW out(static_cast<int>(component.size()));
    substituted = false;
    for (size_t i = 0; i < component.size();) {
        const std::u16string_view rest = component.substr(i);
        if (rest.starts_with(kTemplateId)) {
            out.append(id);
            i += kTemplateId.size();
            substituted = true;
        } else if (title && rest.starts_with(kTemplateTitle)) {
            out.append(*title);
            i += kTemplateTitle.size();
            substituted = true;
        } else if (rest.starts_with(kBlankMarker)) {
            i += kBlankMarker.size();
        } else {
            out.append(rest[0]);
            ++i;
        }
    }
    unescape_all(out);
    sanitize_file_name(out, false);
    return out;
}

/// The template's file-name part in the form saved names have, with the id filled in and "%TITLE%" kept.
CCharW title_shape(std::u16string_view tmpl, std::u16string_view id) {
    bool substituted = false;
    return expand_component(last_component(tmpl), nullptr, template_value(id), substituted);
}

std::vector<std::u16string_view> split_at_title(std::u16string_view shape) {
    std::vector<std::u16string_view> pieces;
    size_t from = 0;
    for (size_t at = shape.find(kTemplateTitle); at != std::u16string_view::npos;
         at = shape.find(kTemplateTitle, from)) {
        pieces.push_back(shape.substr(from, at - from));
        from = at + kTemplateTitle.size();
    }
    pieces.push_back(shape.substr(from));
    return pieces;
}

/// Does `s` consist of pieces[0], anything, pieces[1], anything, … pieces[n-1]?
bool fits_pieces(std::u16string_view s, const std::u16string_view* pieces, size_t n) {
    if (!s.starts_with(pieces[0])) return false;
    s.remove_prefix(pieces[0].size());
    if (n == 1) return s.empty();
    if (!s.ends_with(pieces[n - 1])) return false;
    s.remove_suffix(pieces[n - 1].size());
    for (size_t k = 1; k + 1 < n; ++k) {
        const size_t at = s.find(pieces[k]);
        if (at == std::u16string_view::npos) return false;
        s.remove_prefix(at + pieces[k].size());
    }
    return true;
}

/// Group 1 of the pattern "piece0(.*)piece1(.*)…" taken greedily, as a regex engine would.
bool match_literal_pieces(std::u16string_view subject, const std::vector<std::u16string_view>& pieces,
                          std::u16string& group) {
    if (pieces.size() < 2 || !subject.starts_with(pieces[0])) return false;
    const size_t start = pieces[0].size();
    for (size_t end = subject.size() + 1; end-- > start;) {
        if (fits_pieces(subject.substr(end), pieces.data() + 1, pieces.size() - 1)) {
            group.assign(subject.substr(start, end - start));
            return true;
        }
    }
    return false;
}

} // namespace

std::u16string path_safe_value(std::u16string_view value) {
    std::u16string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == u'/') {
            out += u'／';
        } else if (value[i] == u'\\') {
            out += u'＼';
        } else if (value[i] == u'.' && i + 1 < value.size() && value[i + 1] == u'.') {
            out += u"．．";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

int sanitize_file_name(CCharW& name, bool keep_separators) {
    const std::u16string_view in = name.view();
    size_t first = 0;
    while (first < in.size() && !file_name_replacement(in[first], keep_separators))
        ++first;
    if (first == in.size()) return 0;
    std::u16string out(in.substr(0, first));
    out.reserve(in.size());
    for (size_t i = first; i < in.size(); ++i) {
        if (const char16_t* r = file_name_replacement(in[i], keep_separators))
            out += r;
        else
            out += in[i];
    }
    name.assign(out);
    return -1;
}

std::u16string expand_template(std::u16string_view tmpl, std::u16string_view title, std::u16string_view id) {
    if (tmpl.empty()) return {};
    const std::u16string safe_title = template_value(title);
    const std::u16string safe_id = template_value(id);
    std::u16string out;
    size_t from = 0;
    while (true) {
        const size_t slash = tmpl.find(u'/', from);
        const bool last = slash == std::u16string_view::npos;
        bool substituted = false;
        CCharW part =
            expand_component(tmpl.substr(from, last ? slash : slash - from), &safe_title, safe_id, substituted);
        // Folders the template names itself are the user's choice; one that a value filled must not turn
        // into "this folder", "the folder above" or, when empty, the root.
        if (substituted && (part.view() == u"." || part.view() == u"..")) part.replace_all(u".", u"．");
        if (!(substituted && part.empty() && !last)) {
            out += part.view();
            if (!last) out += u'/';
        }
        if (last) break;
        from = slash + 1;
    }
    return out;
}

void clean_title(CCharW& title) {
    if (title.empty()) return;
    title.assign(expand_template(kTemplateTitle, title.view(), u""));
}

std::u16string path_from_template(std::u16string_view folder, std::u16string_view subfolder, std::u16string_view tmpl,
                                  std::u16string_view id) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'/') path += u'/';
    path += subfolder;
    path += expand_template(tmpl, u"", id);
    return path;
}

std::u16string list_file_path(std::u16string_view folder, std::u16string_view prefix, std::u16string_view tmpl,
                              std::u16string_view id) {
    std::u16string path(folder);
    path += prefix;
    path += expand_template(tmpl, u"", id);
    path += u".txt";
    return path;
}

std::u16string template_preview(std::u16string_view tmpl, std::u16string_view id) {
    CCharW shown(tmpl);
    sanitize_file_name(shown, true);
    if (shown.empty()) shown.assign(kDefaultTemplate);
    shown.replace_all(kTemplateTitle, kPreviewTitle);
    shown.replace_all(kTemplateId, template_value(id));
    std::u16string preview = u"*";
    preview += shown.view();
    return preview;
}

IdDelimiters id_delimiters(std::u16string_view tmpl) {
    // The shape of saved names, so that a ":" written in the template is looked for as the "：" it became.
    CCharW shape(last_component(tmpl));
    shape.replace_all(kBlankMarker, u"");
    unescape_all(shape);
    sanitize_file_name(shape, false);
    const std::u16string_view s = shape.view();
    const size_t at = s.rfind(kTemplateId);
    IdDelimiters result;
    if (at == std::u16string_view::npos) return result;
    if (at > 0) {
        const bool pair =
            at > 1 && s[at - 1] >= 0xDC00 && s[at - 1] <= 0xDFFF && s[at - 2] >= 0xD800 && s[at - 2] <= 0xDBFF;
        result.before = s.substr(at - (pair ? 2 : 1), pair ? 2 : 1);
    }
    const size_t after = at + kTemplateId.size();
    if (after < s.size()) {
        const bool pair = after + 1 < s.size() && s[after] >= 0xD800 && s[after] <= 0xDBFF;
        result.after = s.substr(after, pair ? 2 : 1);
    }
    return result;
}

void protect_bracket_text(CCharW& value) {
    if (!value.starts_with(u"[")) return;
    std::u16string protectedValue(kBlankMarker);
    protectedValue += value.view();
    value.assign(protectedValue);
}

std::u16string title_pattern(std::u16string_view tmpl, std::u16string_view id) {
    CCharW pattern = title_shape(tmpl, id);
    quote_regex(pattern);
    pattern.replace_all(kTemplateTitle, u"(.*)");
    return std::u16string(pattern.view());
}

int title_from_file_name(std::u16string_view file_name, std::u16string_view tmpl, std::u16string_view id, CCharW& title,
                         const RegexCapture& capture) {
    const CCharW shape = title_shape(tmpl, id);
    if (!shape.contains(kTemplateTitle)) return -1;
    const std::u16string pattern = capture ? title_pattern(tmpl, id) : std::u16string();
    const std::vector<std::u16string_view> pieces = split_at_title(shape.view());

    const std::u16string_view name = last_component(file_name);
    const size_t dot = name.rfind(u'.');
    const std::u16string_view candidates[] = {name, dot == std::u16string_view::npos ? std::u16string_view()
                                                                                     : name.substr(0, dot)};
    for (const auto candidate : candidates) {
        if (candidate.empty()) continue;
        std::u16string group;
        const bool matched =
            capture ? capture(pattern, candidate, group) : match_literal_pieces(candidate, pieces, group);
        if (matched) {
            title.assign(group);
            return 0;
        }
    }
    return -1;
}

} // namespace quippet
