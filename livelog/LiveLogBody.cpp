#include "livelog/LiveLogBody.h"

#include "livelog/LiveLogScanner.h"
#include "reconstruct/Lists.h"

#include <algorithm>
#include <array>

namespace quippet {
namespace {

struct NamedRef {
    std::u16string_view name;
    char16_t value;
};

// The HTML 4 Latin-1 names, in code-point order from U+00A0.
constexpr std::u16string_view kLatin1[] = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",   u"uml",    u"copy",
    u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",   u"deg",    u"plusmn", u"sup2",   u"sup3",
    u"acute",  u"micro",  u"para",   u"middot", u"cedil",  u"sup1",   u"ordm",   u"raquo",  u"frac14", u"frac12",
    u"frac34", u"iquest", u"Agrave", u"Aacute", u"Acirc",  u"Atilde", u"Auml",   u"Aring",  u"AElig",  u"Ccedil",
    u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave", u"Iacute", u"Icirc",  u"Iuml",   u"ETH",    u"Ntilde",
    u"Ograve", u"Oacute", u"Ocirc",  u"Otilde", u"Ouml",   u"times",  u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",
    u"Uuml",   u"Yacute", u"THORN",  u"szlig",  u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",
    u"aelig",  u"ccedil", u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",
    u"eth",    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide", u"oslash", u"ugrave",
    u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml"};

// Greek capitals from U+0391 (U+03A2 is unassigned) and small letters from U+03B1.
constexpr std::u16string_view kGreekUpper[] = {
    u"Alpha", u"Beta",   u"Gamma",   u"Delta", u"Epsilon", u"Zeta",    u"Eta",  u"Theta", u"Iota",
    u"Kappa", u"Lambda", u"Mu",      u"Nu",    u"Xi",      u"Omicron", u"Pi",   u"Rho",   {},
    u"Sigma", u"Tau",    u"Upsilon", u"Phi",   u"Chi",     u"Psi",     u"Omega"};
constexpr std::u16string_view kGreekLower[] = {
    u"alpha", u"beta",   u"gamma",   u"delta", u"epsilon", u"zeta",    u"eta",  u"theta", u"iota",
    u"kappa", u"lambda", u"mu",      u"nu",    u"xi",      u"omicron", u"pi",   u"rho",   u"sigmaf",
    u"sigma", u"tau",    u"upsilon", u"phi",   u"chi",     u"psi",     u"omega"};

constexpr NamedRef kOthers[] = {
    {u"quot", u'"'},        {u"amp", u'&'},           {u"lt", u'<'},         {u"gt", u'>'},
    {u"apos", u'\''},       {u"ensp", u'\u2002'},     {u"emsp", u'\u2003'},  {u"thinsp", u'\u2009'},
    {u"zwnj", u'\u200C'},   {u"zwj", u'\u200D'},      {u"lrm", u'\u200E'},   {u"rlm", u'\u200F'},
    {u"ndash", u'\u2013'},  {u"mdash", u'\u2014'},    {u"lsquo", u'\u2018'}, {u"rsquo", u'\u2019'},
    {u"sbquo", u'\u201A'},  {u"ldquo", u'\u201C'},    {u"rdquo", u'\u201D'}, {u"bdquo", u'\u201E'},
    {u"dagger", u'\u2020'}, {u"Dagger", u'\u2021'},   {u"bull", u'\u2022'},  {u"hellip", u'\u2026'},
    {u"permil", u'\u2030'}, {u"prime", u'\u2032'},    {u"Prime", u'\u2033'}, {u"lsaquo", u'\u2039'},
    {u"rsaquo", u'\u203A'}, {u"oline", u'\u203E'},    {u"frasl", u'\u2044'}, {u"euro", u'\u20AC'},
    {u"trade", u'\u2122'},  {u"larr", u'\u2190'},     {u"uarr", u'\u2191'},  {u"rarr", u'\u2192'},
    {u"darr", u'\u2193'},   {u"harr", u'\u2194'},     {u"crarr", u'\u21B5'}, {u"lArr", u'\u21D0'},
    {u"uArr", u'\u21D1'},   {u"rArr", u'\u21D2'},     {u"dArr", u'\u21D3'},  {u"hArr", u'\u21D4'},
    {u"forall", u'\u2200'}, {u"part", u'\u2202'},     {u"exist", u'\u2203'}, {u"empty", u'\u2205'},
    {u"nabla", u'\u2207'},  {u"isin", u'\u2208'},     {u"notin", u'\u2209'}, {u"ni", u'\u220B'},
    {u"prod", u'\u220F'},   {u"sum", u'\u2211'},      {u"minus", u'\u2212'}, {u"lowast", u'\u2217'},
    {u"radic", u'\u221A'},  {u"prop", u'\u221D'},     {u"infin", u'\u221E'}, {u"ang", u'\u2220'},
    {u"and", u'\u2227'},    {u"or", u'\u2228'},       {u"cap", u'\u2229'},   {u"cup", u'\u222A'},
    {u"int", u'\u222B'},    {u"there4", u'\u2234'},   {u"sim", u'\u223C'},   {u"cong", u'\u2245'},
    {u"asymp", u'\u2248'},  {u"ne", u'\u2260'},       {u"equiv", u'\u2261'}, {u"le", u'\u2264'},
    {u"ge", u'\u2265'},     {u"sub", u'\u2282'},      {u"sup", u'\u2283'},   {u"nsub", u'\u2284'},
    {u"sube", u'\u2286'},   {u"supe", u'\u2287'},     {u"oplus", u'\u2295'}, {u"otimes", u'\u2297'},
    {u"perp", u'\u22A5'},   {u"sdot", u'\u22C5'},     {u"lceil", u'\u2308'}, {u"rceil", u'\u2309'},
    {u"lfloor", u'\u230A'}, {u"rfloor", u'\u230B'},   {u"lang", u'\u2329'},  {u"rang", u'\u232A'},
    {u"loz", u'\u25CA'},    {u"spades", u'\u2660'},   {u"clubs", u'\u2663'}, {u"hearts", u'\u2665'},
    {u"diams", u'\u2666'},  {u"OElig", u'\u0152'},    {u"oelig", u'\u0153'}, {u"Scaron", u'\u0160'},
    {u"scaron", u'\u0161'}, {u"Yuml", u'\u0178'},     {u"fnof", u'\u0192'},  {u"circ", u'\u02C6'},
    {u"tilde", u'\u02DC'},  {u"thetasym", u'\u03D1'}, {u"upsih", u'\u03D2'}, {u"piv", u'\u03D6'},
    {u"weierp", u'\u2118'}, {u"image", u'\u2111'},    {u"real", u'\u211C'},  {u"alefsym", u'\u2135'},
};

/// Every named reference, sorted by name for lookup.
const std::vector<NamedRef>& named_refs() {
    static const std::vector<NamedRef> table = [] {
        std::vector<NamedRef> t(std::begin(kOthers), std::end(kOthers));
        for (size_t i = 0; i < std::size(kLatin1); ++i)
            t.push_back({kLatin1[i], static_cast<char16_t>(0xA0 + i)});
        for (size_t i = 0; i < std::size(kGreekUpper); ++i)
            if (!kGreekUpper[i].empty()) t.push_back({kGreekUpper[i], static_cast<char16_t>(0x391 + i)});
        for (size_t i = 0; i < std::size(kGreekLower); ++i)
            t.push_back({kGreekLower[i], static_cast<char16_t>(0x3B1 + i)});
        std::sort(t.begin(), t.end(), [](const NamedRef& a, const NamedRef& b) { return a.name < b.name; });
        return t;
    }();
    return table;
}

constexpr size_t kLongestName = 8;
/// Long enough for "&#x10FFFF;" written with leading zeros as some pages do.
constexpr size_t kLongestNumeric = 12;

/// The code point of "#123" or "#x1F" (the text between "&" and ";"), or -1.
long numeric_value(std::u16string_view name) {
    if (name.size() < 2 || name[0] != u'#') return -1;
    const bool hex = name[1] == u'x' || name[1] == u'X';
    std::u16string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return -1;
    long value = 0;
    for (char16_t c : digits) {
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        if (d < 0) return -1;
        value = value * (hex ? 16 : 10) + d;
        if (value > 0x10FFFF) return -1;
    }
    // NUL and lone surrogates would only turn into broken text downstream.
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return -1;
    return value;
}

void append_code_point(std::u16string& out, long cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

std::u16string line_label(int number) {
    std::u16string label;
    for (char c : std::to_string(number))
        label.push_back(static_cast<char16_t>(c));
    return label + u"行目";
}

bool is_trim_blank(char16_t c) {
    return c == u' ' || c == u'\u3000' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && is_trim_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_trim_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

void WcRefTally::add(std::u16string_view name) {
    ++count;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.emplace_back(name);
}

void decode_references(std::u16string_view text, std::u16string& out, WcRefTally* tally) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t amp = text.find(u'&', at);
        if (amp == std::u16string_view::npos) break;
        out.append(text.substr(at, amp - at));
        at = amp + 1;
        const size_t semi = text.find(u';', at);
        if (semi == std::u16string_view::npos || semi == at || semi - at > kLongestNumeric) {
            out.push_back(u'&');
            continue;
        }
        const std::u16string_view name = text.substr(at, semi - at);
        long value = -1;
        if (name[0] == u'#') {
            value = numeric_value(name);
        } else if (name.size() <= kLongestName) {
            const auto& table = named_refs();
            const auto it = std::lower_bound(table.begin(), table.end(), name,
                                             [](const NamedRef& r, std::u16string_view n) { return r.name < n; });
            if (it != table.end() && it->name == name) value = it->value;
        }
        if (value < 0) {
            out.push_back(u'&');
            continue;
        }
        append_code_point(out, value);
        if (tally) tally->add(name);
        at = semi + 1;
    }
    out.append(text.substr(at));
}

void append_xml_escaped(std::u16string_view text, std::u16string& out) {
    for (char16_t c : text) {
        switch (c) {
        case u'&':
            out.append(u"&amp;");
            break;
        case u'<':
            out.append(u"&lt;");
            break;
        case u'>':
            out.append(u"&gt;");
            break;
        default:
            out.push_back(c);
        }
    }
}

WcNgLists parse_wc_ng_lists(std::u16string_view text, std::u16string_view file_name) {
    WcNgLists lists;
    enum { kPrefix, kSuffix, kSubstring, kExact, kRegex } target = kPrefix;
    int number = 0;
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        ++number;
        if (line.empty()) continue;
        if (line == u"[前方一致]")
            target = kPrefix;
        else if (line == u"[後方一致]")
            target = kSuffix;
        else if (line == u"[部分一致]")
            target = kSubstring;
        else if (line == u"[完全一致]")
            target = kExact;
        else if (line == u"[正規表現]")
            target = kRegex;
        else if (target == kPrefix)
            lists.prefix.emplace_back(line);
        else if (target == kSuffix)
            lists.suffix.emplace_back(line);
        else if (target == kSubstring)
            lists.substring.emplace_back(line);
        else if (target == kExact)
            lists.exact.emplace_back(line);
        else {
            WcNgLists::Pattern p;
            p.line = number;
            if (p.regex.compile(line) != 0) {
                lists.problems.push_back(std::u16string(file_name) + u"の" + line_label(number) + u"（" +
                                         std::u16string(line) + u"）：正規表現の誤り：" + p.regex.error_text());
                continue;
            }
            lists.regex.push_back(std::move(p));
        }
    }
    lists.substring_search = WordSearch(lists.substring);
    return lists;
}

WcDiscard WcBodyBuilder::ng_test(std::u16string_view line) const {
    const WcNgLists& ng = *tools_.ng;
    for (const auto& w : ng.prefix)
        if (line.starts_with(w)) return WcDiscard::kNgPrefix;
    for (const auto& w : ng.suffix)
        if (line.ends_with(w)) return WcDiscard::kNgSuffix;
    if (ng.substring_search.found_in(line)) return WcDiscard::kNgSubstring;
    for (const auto& w : ng.exact)
        if (line == w) return WcDiscard::kNgExact;
    for (const auto& p : ng.regex)
        if (p.regex.contains(line)) return WcDiscard::kNgRegex;
    return WcDiscard::kNone;
}

WcDiscard WcBodyBuilder::add_line(std::u16string_view raw) {
    decoded_.clear();
    decode_references(raw, decoded_, tools_.refs);
    std::u16string_view line = trimmed(decoded_);
    if (tools_.ng) {
        if (const WcDiscard d = ng_test(line); d != WcDiscard::kNone) return d;
    }
    plain_.assign(line);
    if (tools_.replace && tools_.replace_counts) tools_.replace->apply(plain_, *tools_.replace_counts);
    // The second decoding catches references the board had escaped twice; whatever "&", "<" and ">" remain,
    // decoded or written as such, must be escaped again or the comment element would break.
    decoded_.clear();
    decode_references(plain_, decoded_, nullptr);

    if (tools_.line_breaks == WcLineBreaks::kKeep) {
        if (lines_ > 0) body_.append(u"\r\n");
    } else {
        if (decoded_.empty()) return WcDiscard::kNone;
        if (lines_ > 0) {
            switch (tools_.line_breaks) {
            case WcLineBreaks::kHalfSpace:
                body_.push_back(u' ');
                break;
            case WcLineBreaks::kFullSpace:
                body_.push_back(u'\u3000');
                break;
            case WcLineBreaks::kCustom:
                body_.append(tools_.custom_separator);
                break;
            default:
                break;
            }
        }
    }
    append_xml_escaped(decoded_, body_);
    ++lines_;
    if (lines_ > tools_.max_lines) return WcDiscard::kTooManyLines;
    if (static_cast<int>(body_.size()) > tools_.max_chars) return WcDiscard::kTooManyChars;
    return WcDiscard::kNone;
}

} // namespace quippet
