#include "livelog/Warehouse.h"

#include "app/Settings.h"
#include "livelog/LiveLogScanner.h"
#include "livelog/LiveLogSettingKeys.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace quippet {
namespace {

// Pages come from the network: a title or a key longer than this is garbage, not data.
constexpr size_t kMaxTitleUnits = 512;
constexpr size_t kMaxKeyDigits = 12;

std::int64_t local_time(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t' || s.front() == u'　'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t' || s.back() == u'　' || s.back() == u'\r'))
        s.remove_suffix(1);
    return s;
}

/// The digits at the start of `s`, at most `max` of them; nullopt when there are none or more follow.
std::optional<std::int64_t> leading_number(std::u16string_view s, size_t max, size_t* used = nullptr) {
    size_t n = 0;
    while (n < s.size() && is_ascii_digit(s[n]))
        ++n;
    if (n == 0 || n > max) return std::nullopt;
    if (used) *used = n;
    return ascii_decimal(s.substr(0, n), max);
}

/// Leading digits cut to `max` characters, as the index ranges are read.
std::optional<std::int64_t> cut_number(std::u16string_view s, size_t max, size_t* used) {
    size_t n = 0;
    while (n < s.size() && n < max && is_ascii_digit(s[n]))
        ++n;
    if (n == 0) return std::nullopt;
    size_t end = n;
    while (end < s.size() && is_ascii_digit(s[end]))
        ++end;
    *used = end;
    return ascii_decimal(s.substr(0, n), max);
}

/// "first-last" somewhere in `s` (blanks allowed around "-").
std::optional<std::pair<std::int64_t, std::int64_t>> find_range(std::u16string_view s) {
    for (size_t at = 0; at < s.size(); ++at) {
        if (!is_ascii_digit(s[at])) continue;
        size_t used = 0;
        const auto first = cut_number(s.substr(at), 10, &used);
        size_t p = at + used;
        while (p < s.size() && s[p] == u' ')
            ++p;
        if (first && p < s.size() && s[p] == u'-') {
            ++p;
            while (p < s.size() && s[p] == u' ')
                ++p;
            size_t used2 = 0;
            if (const auto last = cut_number(s.substr(p), 10, &used2)) return std::pair{*first, *last};
        }
        at += used - 1;
    }
    return std::nullopt;
}

std::u16string folder_of(std::u16string_view url) {
    const size_t slash = url.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? url : url.substr(0, slash + 1));
}

std::vector<std::u16string_view> split_at(std::u16string_view text, std::u16string_view marker) {
    std::vector<std::u16string_view> pieces;
    size_t at = text.find(marker);
    while (at != std::u16string_view::npos) {
        const size_t next = text.find(marker, at + marker.size());
        pieces.push_back(
            text.substr(at + marker.size(), next == std::u16string_view::npos ? next : next - at - marker.size()));
        at = next;
    }
    return pieces;
}

/// Titles are shown in a log: markup a board left in them goes, and so do line breaks.
std::u16string clean_title(std::u16string_view raw) {
    std::u16string out;
    bool in_tag = false;
    for (char16_t c : raw) {
        if (c == u'<')
            in_tag = true;
        else if (c == u'>')
            in_tag = false;
        else if (!in_tag)
            out += (c == u'\n' || c == u'\r' || c == u'\t') ? u' ' : c;
        if (out.size() >= kMaxTitleUnits) break;
    }
    return std::u16string(trim(out));
}

/// A page name an index may point to: within the board's folder, nothing that climbs out of it or
/// reaches another host.
bool safe_page_link(std::u16string_view link) {
    if (link.empty() || link.size() > 256 || link.starts_with(u"/")) return false;
    if (link.find(u"//") != std::u16string_view::npos || link.find(u"..") != std::u16string_view::npos) return false;
    return std::ranges::none_of(link, [](char16_t c) { return c <= u' ' || c == u'<' || c == u'>' || c == u'\\'; });
}

std::u16string path_setting(const CSettings& s, OptText setting) {
    return resolve_in_home(s.text(setting));
}

std::u16string read_table(const CSettings& s, OptText setting, std::u16string_view initial) {
    const std::u16string path = path_setting(s, setting);
    ensure_file_exists(path, initial, [](std::u16string_view) {});
    CCharW text;
    if (CFileSP().read_settings_text(path, text) != 0) return {};
    return std::u16string(text.view());
}

std::vector<std::u16string> option_words(std::u16string_view text) {
    std::vector<std::u16string> words;
    for (std::u16string_view w : split_view(text, u' '))
        if (!trim(w).empty()) words.emplace_back(trim(w));
    return words;
}

} // namespace

WhWindow warehouse_window(int year, int month, int day, int hour, int minute, int back, int forward) {
    WhWindow w;
    w.base = local_time(year, month, day, hour, minute);
    w.from = w.base - static_cast<std::int64_t>(back) * 3600;
    w.to = w.base + static_cast<std::int64_t>(forward) * 3600;
    return w;
}

WhWindow warehouse_window(const CSettings& s) {
    return warehouse_window(s.number(key(WcNumber::kSearchYear)), s.number(key(WcNumber::kSearchMonth)),
                            s.number(key(WcNumber::kSearchDay)), s.number(key(WcNumber::kSearchHour)),
                            s.number(key(WcNumber::kSearchMinute)), s.number(key(WcNumber::kHoursBack)),
                            s.number(key(WcNumber::kHoursForward)));
}

std::vector<WhBoard> parse_board_table(std::u16string_view text) {
    std::vector<WhBoard> boards;
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        if (line.starts_with(u"▼")) {
            boards.push_back({});
            boards.back().name = std::u16string(line.substr(1));
            continue;
        }
        if (boards.empty()) continue;
        WhBoard& b = boards.back();
        const size_t tab = line.find(u'\t');
        if (tab == std::u16string_view::npos) continue;
        const std::u16string_view label = line.substr(0, tab), value = trim(line.substr(tab + 1));
        if (label == u"フォルダ") {
            b.folder = value;
        } else if (label == u"URLを開く") {
            b.open_url = value;
        } else if (label.size() == 10 && label[4] == u'-' && label[7] == u'-') {
            const auto y = ascii_decimal(label.substr(0, 4)), m = ascii_decimal(label.substr(5, 2)),
                       d = ascii_decimal(label.substr(8, 2));
            if (y && m && d && !value.empty())
                b.servers.push_back({local_time(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d), 0, 0),
                                     std::u16string(value)});
        }
    }
    return boards;
}

std::u16string default_board_table_text() {
    return crlf_lines({
        u"// 「過去ログ倉庫を探す」の板の一覧です。「▼」に続けて板の表示名、その下に",
        u"// 「フォルダ」タブ 板のフォルダ、日付（YYYY-MM-DD）タブ その日からのサーバー（日付の古い順）、",
        u"// 「URLを開く」タブ 「URLを開く」で開くアドレス、を書きます。",
        u"▼テレビ東京",
        u"フォルダ\tlivetx",
        u"2001-06-01\tcocoa",
        u"2004-03-15\tlive14",
        u"2006-09-01\tlive23",
        u"2009-02-10\thayabusa",
        u"2011-03-01\thayabusa2",
        u"URLを開く\thttps://hayabusa2.5ch.net/livetx/",
        u"▼テレビ朝日",
        u"フォルダ\tliveanb",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive24",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/liveanb/",
        u"▼日本テレビ",
        u"フォルダ\tliventv",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive24",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/liventv/",
        u"▼TBS",
        u"フォルダ\tlivetbs",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive24",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/livetbs/",
        u"▼フジテレビ",
        u"フォルダ\tlivecx",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive24",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/livecx/",
        u"▼NHK",
        u"フォルダ\tlivenhk",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive23",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/livenhk/",
        u"▼NHK教育",
        u"フォルダ\tliveetv",
        u"2001-06-01\tcocoa",
        u"2004-05-01\tlive14",
        u"2007-01-20\tlive23",
        u"2010-04-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/liveetv/",
        u"▼番組ch",
        u"フォルダ\tweekly",
        u"2003-02-01\tlive8",
        u"2006-06-01\tlive23",
        u"2011-01-15\thayabusa2",
        u"URLを開く\thttps://hayabusa2.5ch.net/weekly/",
        u"▼西日本",
        u"フォルダ\tlivewkwest",
        u"2005-04-01\tlive14",
        u"2008-08-01\tlive24",
        u"2011-01-15\thayabusa2",
        u"URLを開く\thttps://hayabusa2.5ch.net/livewkwest/",
        u"▼BS実況(無料)",
        u"フォルダ\tlivebs2",
        u"2009-10-01\tlive23",
        u"2011-02-01\thayabusa",
        u"URLを開く\thttps://hayabusa.5ch.net/livebs2/",
        u"▼移転状況の参考",
        u"URLを開く\thttps://info.5ch.net/index.php/%E6%9D%BF%E7%A7%BB%E8%BB%A2",
    });
}

std::vector<WhBoard> load_board_table(const CSettings& settings) {
    return parse_board_table(read_table(settings, OptText::kBoardTable, default_board_table_text()));
}

std::optional<WhServer> choose_server(const WhBoard& board, std::int64_t base) {
    std::optional<WhServer> chosen;
    for (size_t i = 0; i < board.servers.size(); ++i) {
        if (board.servers[i].since >= base) continue;
        chosen = WhServer{board.servers[i].server, i + 1 == board.servers.size()};
    }
    return chosen;
}

std::vector<WhBrowserEntry> parse_browser_table(std::u16string_view text) {
    std::vector<WhBrowserEntry> entries;
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        if (line.starts_with(u"//") || trim(line).empty()) continue;
        const std::vector<std::u16string_view> fields = split_view(line, u'\t');
        WhBrowserEntry e;
        e.name = trim(fields[0]);
        if (fields.size() > 1) e.form = trim(fields[1]);
        if (fields.size() > 2) {
            const auto n = ascii_decimal(trim(fields[2]), 2);
            if (n && (*n == 1 || *n == 2)) e.browser = static_cast<int>(*n);
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

std::u16string default_browser_table_text() {
    return crlf_lines({
        u"// 「過去ログ倉庫を探す」の「結果をブラウザに送る」にチェックしている際に、",
        u"// 見つかったスレをブラウザに送るためのアドレスの書式です。",
        u"// 1行に「リストに表示する名前」タブ「アドレスの書式」（タブ「ブラウザ番号」）を書きます。",
        u"// 書式の %SABA% はサーバー、%DIR% は板のフォルダ、%KEY% はスレのキーに置き換わります。",
        u"// ブラウザ番号が 1 か 2 なら「ブラウザ1」「ブラウザ2」の設定のプログラムに、",
        u"// 番号がなければ既定のブラウザに送ります。書式が空なら板そのものの読み込みアドレスになります。",
        u"（結果を送る設定）",
        u"2ch\thttps://%SABA%.5ch.net/test/read.cgi/%DIR%/%KEY%/\t1",
        u"ログ速\thttps://www.logsoku.com/r/%DIR%/%KEY%/",
        u"みみずん\thttps://mimizun.com/log/2ch/%DIR%/%KEY%/",
        u"unkar\thttps://unkar.org/r/%DIR%/%KEY%",
    });
}

std::vector<WhBrowserEntry> load_browser_table(const CSettings& settings) {
    return parse_browser_table(read_table(settings, OptText::kBrowserTable, default_browser_table_text()));
}

std::u16string board_read_form(std::u16string_view domain) {
    return u"https://%SABA%." + std::u16string(domain) + u"/test/read.cgi/%DIR%/%KEY%/";
}

std::u16string expand_address_form(std::u16string_view form, std::u16string_view server, std::u16string_view folder,
                                   std::u16string_view key) {
    std::u16string out;
    for (size_t at = 0; at < form.size();) {
        const std::u16string_view rest = form.substr(at);
        if (rest.starts_with(u"%SABA%")) {
            out += server;
            at += 6;
        } else if (rest.starts_with(u"%DIR%")) {
            out += folder;
            at += 5;
        } else if (rest.starts_with(u"%KEY%")) {
            out += key;
            at += 5;
        } else {
            out += form[at++];
        }
    }
    return out;
}

BrowserCommand browser_command(const CSettings& settings, int browser, std::u16string_view address) {
    BrowserCommand c;
    if (browser == 1 || browser == 2) {
        const std::u16string program(
            trim(settings.text(browser == 1 ? OptText::kBrowser1Path : OptText::kBrowser2Path)));
        if (!program.empty()) {
            c.program = program;
            c.args = option_words(settings.text(browser == 1 ? OptText::kBrowser1Option : OptText::kBrowser2Option));
            c.args.emplace_back(address);
            return c;
        }
    }
    c.program = u"xdg-open";
    c.args = {std::u16string(address)};
    return c;
}

WhIndexScan scan_warehouse_index(std::u16string_view html, std::u16string_view index_url, std::u16string_view folder,
                                 const WhWindow& window) {
    WhIndexScan scan;
    scan.refers_index3 = html.find(u"index3.html") != std::u16string_view::npos;
    scan.refers_index9 = html.find(u"index9.html") != std::u16string_view::npos;
    const std::u16string dir = folder_of(index_url);
    std::set<std::u16string> seen;
    const auto take = [&](std::u16string url) {
        if (seen.insert(url).second) scan.pages.push_back(std::move(url));
    };
    const auto overlaps = [&](std::int64_t first, std::int64_t last) {
        return (first <= window.from && window.from <= last) || (first <= window.to && window.to <= last);
    };

    if (html.find(u"menu_link") != std::u16string_view::npos || html.find(u"menu_here") != std::u16string_view::npos) {
        for (std::u16string_view entry : split_at(html, u"class=\"menu_link\"")) {
            const size_t end = entry.find(u"</p>");
            if (end != std::u16string_view::npos) entry = entry.substr(0, end);
            ++scan.links;
            const size_t href = entry.find(u"\"./");
            if (href == std::u16string_view::npos) continue;
            const size_t close = entry.find(u'"', href + 1);
            if (close == std::u16string_view::npos) continue;
            const std::u16string_view page = entry.substr(href + 3, close - href - 3);
            if (!safe_page_link(page)) continue;
            const size_t html_end = entry.rfind(u".html");
            if (html_end == std::u16string_view::npos || html_end < href) continue;
            const auto range = find_range(entry.substr(html_end + 5));
            if (range && overlaps(range->first, range->second)) take(dir + std::u16string(page));
        }
        for (std::u16string_view here : split_at(html, u"class=\"menu_here\"")) {
            const size_t gt = here.find(u'>');
            if (gt == std::u16string_view::npos) continue;
            const size_t end = here.find(u"</p>");
            const auto range = find_range(here.substr(gt + 1, end == std::u16string_view::npos ? end : end - gt - 1));
            if (range && overlaps(range->first, range->second)) take(std::u16string(index_url));
        }
        return scan;
    }

    // The link form: "#" + folder + the leading digits of the keys on that page.
    const std::u16string from_digits = decimal_text(window.from), to_digits = decimal_text(window.to);
    const std::u16string anchor = u"#" + std::u16string(folder);
    for (std::u16string_view piece : split_at(html, u"href")) {
        ++scan.links;
        const size_t a = piece.find(anchor);
        if (a == std::u16string_view::npos) continue;
        size_t digits = 0;
        const auto n = leading_number(piece.substr(a + anchor.size()), 10, &digits);
        if (!n) continue;
        const size_t from_len = digits > 0 && to_digits.size() == from_digits.size() + 1 ? digits - 1 : digits;
        const auto lo = ascii_decimal(std::u16string_view(from_digits).substr(0, from_len));
        const auto hi = ascii_decimal(std::u16string_view(to_digits).substr(0, digits));
        if (!hi || (lo && *n < *lo) || *n > *hi) continue;
        const size_t q1 = piece.find(u'"');
        const size_t q2 = q1 == std::u16string_view::npos ? q1 : piece.find(u'"', q1 + 1);
        if (q2 == std::u16string_view::npos) continue;
        std::u16string_view link = piece.substr(q1 + 1, q2 - q1 - 1);
        if (const size_t hash = link.find(u'#'); hash != std::u16string_view::npos) link = link.substr(0, hash);
        if (link.starts_with(u"./")) link.remove_prefix(2);
        // An absolute or scheme-relative link would send the search off the board.
        if (!safe_page_link(link)) continue;
        take(dir + std::u16string(link));
    }
    return scan;
}

WhThreadScan scan_thread_links(std::u16string_view html) {
    WhThreadScan scan;
    for (std::u16string_view piece : split_at(html, u"href")) {
        ++scan.links;
        const size_t q1 = piece.find(u'"');
        const size_t q2 = q1 == std::u16string_view::npos ? q1 : piece.find(u'"', q1 + 1);
        if (q2 == std::u16string_view::npos) continue;
        std::u16string_view link = piece.substr(q1 + 1, q2 - q1 - 1);
        if (link.ends_with(u"/")) link.remove_suffix(1);
        if (link.ends_with(u"/l50")) link.remove_suffix(4);
        const size_t slash = link.rfind(u'/');
        const auto key =
            leading_number(slash == std::u16string_view::npos ? link : link.substr(slash + 1), kMaxKeyDigits);
        if (!key) continue;
        std::u16string_view text = piece.substr(q2 + 1);
        text = text.substr(0, text.find(u'<'));
        if (const size_t gt = text.rfind(u'>'); gt != std::u16string_view::npos) text.remove_prefix(gt + 1);
        const size_t open = text.rfind(u'(');
        if (open == std::u16string_view::npos) continue;
        const size_t close = text.find(u')', open);
        const auto posts =
            leading_number(text.substr(open + 1, close == std::u16string_view::npos ? close : close - open - 1), 9);
        if (!posts) continue;
        scan.threads.push_back({*key, static_cast<int>(*posts), clean_title(text.substr(0, open))});
    }
    return scan;
}

WhThreadScan scan_thread_table(std::u16string_view html) {
    WhThreadScan scan;
    for (std::u16string_view entry : split_at(html, u"<span class=\"filename\">")) {
        ++scan.links;
        const size_t dat = entry.find(u".dat</span>");
        if (dat == std::u16string_view::npos) continue;
        const auto key = leading_number(trim(entry.substr(0, dat)), kMaxKeyDigits);
        if (!key) continue;
        int posts = 0;
        if (const size_t lines = entry.find(u"<span class=\"lines\">"); lines != std::u16string_view::npos) {
            std::u16string_view count = entry.substr(lines + 20);
            count = count.substr(0, count.find(u"</span>"));
            posts = static_cast<int>(leading_number(trim(count), 9).value_or(0));
        }
        std::u16string title;
        const size_t start = entry.find(u"/\">", dat);
        const size_t end = entry.rfind(u"</a>");
        if (start != std::u16string_view::npos && end != std::u16string_view::npos && end > start + 3)
            title = clean_title(entry.substr(start + 3, end - start - 3));
        scan.threads.push_back({*key, posts, std::move(title)});
    }
    return scan;
}

std::vector<std::u16string> split_title_words(std::u16string_view text) {
    std::vector<std::u16string> words;
    for (std::u16string_view w : split_view(text, u'|'))
        if (!w.empty()) words.emplace_back(w);
    return words;
}

int filter_threads(const WhThreadScan& scan, const WhWindow& window, int min_posts,
                   const std::vector<std::u16string>& words, WhResult& result) {
    int kept = 0;
    for (const WhThread& t : scan.threads) {
        if (!window.contains(t.key) || t.posts < min_posts) continue;
        ++kept;
        const bool hit = words.empty() || std::ranges::any_of(words, [&](const std::u16string& w) {
                             return t.title.find(w) != std::u16string::npos;
                         });
        (hit ? result.matching : result.excluded).push_back(t);
    }
    return kept;
}

void order_result(WhResult& result) {
    for (std::vector<WhThread>* list : {&result.matching, &result.excluded}) {
        std::ranges::stable_sort(*list, {}, &WhThread::key);
        // The iterator form: clang cannot take the subrange that the ranges form returns here.
        const auto same_key = [](const WhThread& a, const WhThread& b) { return a.key == b.key; };
        list->erase(std::unique(list->begin(), list->end(), same_key), list->end());
    }
    // A thread the current list and a warehouse page both hold is matched once, never also excluded.
    std::erase_if(result.excluded, [&](const WhThread& t) {
        return std::ranges::binary_search(result.matching, t.key, {}, &WhThread::key);
    });
}

std::u16string compose_result_list(const WhResult& result) {
    const auto text = [](int id) { return std::u16string(message_text(id)); };
    std::u16string out = text(msg::kWhResultList) + u"\n" + text(msg::kWhMatching) + u"\n";
    for (const WhThread& t : result.matching)
        out += decimal_text(t.key) + u"\t" + t.title + u"\n";
    out += text(msg::kWhExcluded) + u"\n";
    for (const WhThread& t : result.excluded)
        out += decimal_text(t.key) + u"\t" + t.title + u"\n";
    return out;
}

std::vector<std::u16string> keys_in_copied_text(std::u16string_view text) {
    std::vector<std::u16string> keys;
    WcLines lines(text);
    for (std::u16string_view line; lines.next(line);) {
        for (size_t at = 0; at < line.size();) {
            if (!is_ascii_digit(line[at])) {
                ++at;
                continue;
            }
            size_t end = at;
            while (end < line.size() && is_ascii_digit(line[end]))
                ++end;
            if (end - at == 9 || end - at == 10) {
                std::u16string k(line.substr(at, end - at));
                if (std::ranges::find(keys, k) == keys.end()) keys.push_back(std::move(k));
                break;
            }
            at = end;
        }
    }
    return keys;
}

} // namespace quippet
