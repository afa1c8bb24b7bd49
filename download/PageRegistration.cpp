#include "download/PageRegistration.h"

#include <algorithm>

#include "app/Settings.h"
#include "download/DownloadPacing.h"
#include "download/ListFile.h"
#include "net/InfoRules.h"
#include "net/MovieInfo.h"
#include "net/NetTextFiles.h"
#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Ascii.h"
#include "text/Encoding.h"
#include "text/Entities.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"
#include "text/Regex.h"
#include "text/UrlCoding.h"

namespace quippet {
namespace {

/// List pages larger than this are refused: no page of the service comes near it, and the extraction
/// below must not be handed a text of any size.
constexpr long long kMaxPageBytes = 32LL << 20;
constexpr long long kMaxHitCount = 2'000'000;
/// A walk never takes more pages than this, whatever the next-page test says.
constexpr int kMaxWalkPages = 100000;

constexpr std::u16string_view kPrivateMarker = u"<p class=\"att\">非公開です</p>";
constexpr std::u16string_view kRapidAccessMarker = u"<h1>短時間での連続アクセスはご遠慮ください</h1>";

std::u16string msg_text(int id) {
    return std::u16string(message_text(id));
}

void trim(std::u16string& s) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    // JSON values come with their quotes.
    if (e - b >= 2 && s[b] == u'"' && s[e - 1] == u'"') {
        ++b;
        --e;
    }
    s = s.substr(b, e - b);
}

void drop_separators(std::u16string& s) {
    std::erase_if(s, [](char16_t c) { return c == u',' || c == u'，'; });
}

std::u16string decoded_title(std::u16string_view title) {
    CCharW t;
    t.assign(title);
    unescape_all(t);
    return std::u16string(t.view());
}

void short_year(std::u16string& date) {
    if (date.starts_with(u"20")) date.erase(0, 2);
}

/// Whether the item may be added; counts the reason when not.
bool admit(RegisterContext& ctx, const PageItem& item) {
    if (ctx.list->has_id(item.id)) {
        ++ctx.already_listed;
        return false;
    }
    if (ctx.excluded && ctx.excluded->count(item.id)) {
        ++ctx.excluded_count;
        return false;
    }
    if (ctx.update_filter) {
        const int reason = ctx.update_filter(item);
        if (reason > 0) {
            if (reason < 4) ++ctx.skipped[reason];
            return false;
        }
    }
    return true;
}

/// The information of one video, after the pause the thumbnail API asks for. -2 for a stop.
int fetch_info(RegisterContext& ctx, std::u16string_view id, CWorkMovieInfo& info, bool& ok) {
    ok = false;
    if (!ctx.fetch_info) return 0;
    if (ctx.pacer && ctx.pacer->wait_thumb_api(*ctx.report) != 0) return -2;
    ++ctx.info_fetches;
    info = CWorkMovieInfo();
    info.id = std::u16string(id);
    ok = ctx.fetch_info(id, info);
    return 0;
}

int add_item_row(RegisterContext& ctx, PageItem item) {
    DownloadRow row;
    row.cells[dlcol::kMarker] = kRegisteredMarker;
    row.cells[dlcol::kSaveName] = expand_template(ctx.ids.name_template, item.title, item.id);
    row.cells[dlcol::kFolder] = ctx.folder;
    row.cells[dlcol::kComments] = std::move(item.comments);
    row.cells[dlcol::kPosted] = std::move(item.date);
    row.cells[dlcol::kId] = std::move(item.id);
    row.cells[dlcol::kViews] = std::move(item.views);
    row.checked = true;
    const std::u16string id = row.id();
    const int at = ctx.list->add_row(std::move(row));
    if (at >= 0) {
        ++ctx.added;
        ctx.added_ids.push_back(id);
    }
    return at;
}

std::u16string join_ids(const std::vector<std::u16string>& ids) {
    std::u16string s;
    for (const auto& id : ids) {
        if (!s.empty()) s += u'|';
        s += id;
    }
    return s;
}

} // namespace

int register_id_rows(RegisterContext& ctx, const std::vector<std::u16string>& ids) {
    std::vector<int> rows;
    for (const auto& id : ids) {
        PageItem item;
        item.id = id;
        if (!admit(ctx, item)) continue;
        DownloadRow row;
        row.cells[dlcol::kMarker] = kRegisteredMarker;
        row.cells[dlcol::kSaveName] = kPendingName;
        row.cells[dlcol::kFolder] = ctx.folder;
        row.cells[dlcol::kId] = id;
        row.checked = true;
        const int at = ctx.list->add_row(std::move(row));
        if (at < 0) continue;
        ++ctx.added;
        ctx.added_ids.push_back(id);
        rows.push_back(at);
    }
    for (int at : rows) {
        if (ctx.stopped()) return -2;
        const std::u16string id = ctx.list->row(at).id();
        CWorkMovieInfo info;
        bool ok = false;
        if (fetch_info(ctx, id, info, ok) != 0) return -2;
        if (!ok) continue;
        ctx.list->set_cell(at, dlcol::kSaveName, expand_template(ctx.ids.name_template, info.title, id));
        if (info.comments >= 0) ctx.list->set_cell(at, dlcol::kComments, decimal_text(info.comments));
        if (info.views >= 0) ctx.list->set_cell(at, dlcol::kViews, decimal_text(info.views));
        std::u16string date = info.posted;
        short_year(date);
        ctx.list->set_cell(at, dlcol::kPosted, date);
    }
    return rows.empty() ? 0 : 1;
}

namespace {

/// The page numbers of a walk as the summary shows them.
std::u16string page_range(const WalkResult& w, bool start_page_on) {
    if (!start_page_on) return decimal_text(w.pages) + msg_text(msg::kPagesFrom);
    if (w.pages <= 1) return decimal_text(w.first_page) + msg_text(msg::kPageOnwards);
    return decimal_text(w.first_page) + u"～" + decimal_text(w.first_page + w.pages - 1) + msg_text(msg::kPagesFrom);
}

void summarise(RegisterContext& ctx, WalkResult& w, bool start_page_on, int added_before, int nothing_message) {
    const int added = ctx.added - added_before;
    if (w.stopped) {
        w.lines.push_back(
            (start_page_on ? decimal_text(w.first_page) + u"～" + decimal_text(w.last_page) + msg_text(msg::kPageWord)
                           : decimal_text(w.last_page) + msg_text(msg::kPagesUpTo)) +
            msg_text(msg::kProcessed));
    }
    if (added > 0) {
        std::u16string how;
        if (!ctx.used_blocks.empty()) {
            how = msg_text(msg::kByPattern);
            for (const auto& b : ctx.used_blocks)
                how += u"「" + b + u"」";
            how += msg_text(msg::kExtracted);
        } else {
            how = msg_text(msg::kNoPatternMatched);
        }
        w.lines.push_back(how + u"\r\n" + page_range(w, start_page_on) + decimal_text(added) +
                          msg_text(msg::kRowsAddedToList));
    } else if (!w.stopped) {
        w.lines.push_back(msg_text(nothing_message));
    }
}

struct WalkPlan {
    std::function<std::u16string(long long n)> url_of;
    std::u16string pattern_address; ///< empty: each page's own address
    std::u16string page_param;
    long long first = 1;
    long long step = 1;
    bool search = true;
};

WalkResult walk(RegisterContext& ctx, const IdPatternFile* patterns, const WalkPlan& plan, const WalkOptions& options,
                PageCounter& counter) {
    WalkResult w;
    const int added_before = ctx.added;
    const long long step = plan.step == 0 ? 1 : plan.step;
    long long page_no = options.start_page_on && options.start_page > 1 ? options.start_page : 1;
    long long n = plan.first + (page_no - 1) * step;
    w.first_page = page_no;
    PageWalkState state;
    for (int taken = 0; taken < kMaxWalkPages; ++taken) {
        ++counter.k;
        const int wait = page_wait_seconds(counter.k, ctx.info_fetches, options.base_wait, options.thumbnails_shown);
        const std::u16string number = decimal_text(page_no);
        if (count_down(*ctx.report, wait, [&](int left) {
                ctx.report->log_replace(number + msg_text(msg::kPageWaiting) + decimal_text(left) +
                                        msg_text(msg::kSecondsClose));
            }) != 0) {
            w.stopped = true;
            break;
        }
        if (taken == 0 && !plan.search)
            ctx.report->log_replace(msg_text(msg::kDownloadingInfo));
        else
            ctx.report->log_replace(number + msg_text(msg::kPageFetching));
        PageRequest req;
        req.url = plan.url_of(n);
        req.pattern_address = plan.pattern_address;
        req.next_check = true;
        req.page_param = plan.page_param;
        req.next_number = n + step;
        req.want_hits = taken == 0;
        const int result = fetch_and_register_page(ctx, patterns, req, state);
        w.result = result;
        if (result == kPageStopped) {
            w.stopped = true;
            break;
        }
        ++w.pages;
        w.last_page = page_no;
        if (taken == 0 && state.hits >= 0)
            ctx.report->log((plan.search ? msg_text(msg::kHitCount) : msg_text(msg::kHitCountLike)) +
                            decimal_text(state.hits));
        if (result == kPageFetchFailed) {
            ctx.report->log(plan.search ? msg_text(msg::kSearchFetchFailed) : msg_text(msg::kAddressFetchFailed));
            break;
        }
        if (result == kPageRefused) {
            ctx.report->log(msg_text(msg::kNoValidResults));
            break;
        }
        if (result == kPageError) {
            ctx.report->log(msg_text(msg::kJobEndedWithFailures));
            break;
        }
        if (state.unchanged) break;
        if (!state.has_next) break;
        if (options.page_limit_on && options.page_limit > 0 && w.pages >= options.page_limit) break;
        if (ctx.stopped()) {
            w.stopped = true;
            break;
        }
        n += step;
        ++page_no;
    }
    if (w.result == kPageNothing && ctx.added == added_before && !w.stopped)
        ctx.report->log(msg_text(msg::kJobEndedWithFailures));
    summarise(ctx, w, options.start_page_on, added_before,
              plan.search ? msg::kNothingToRegister : msg::kNothingNewToAdd);
    for (const auto& line : w.lines)
        ctx.report->log(line);
    return w;
}

} // namespace

void fill_register_context(RegisterContext& ctx, const CSettings& settings) {
    ctx.ids = id_settings_from(settings);
    ctx.error_pattern = settings.text(OptText::kPageErrorPattern);
    ctx.request_headers = settings.text(OptText::kRequestHeaders);
    ctx.debug = settings.on(OptSwitch::kDebugMode);
    ctx.net = net_options_from_settings(settings);
    ctx.rules = load_info_rules(settings);
}

int register_by_patterns(RegisterContext& ctx, const IdPatternFile* file, std::u16string_view address,
                         std::u16string_view page, std::vector<std::u16string>* yielded) {
    if (!file) return 3;
    std::vector<PageItem> items;
    const int block = cut_page_items(*file, address, page, items);
    if (block < 0) return 2;
    const int added_before = ctx.added;
    bool any = false;
    for (PageItem& item : items) {
        if (ctx.stopped()) break;
        trim(item.id);
        item.id = recognise_id(item.id, kIdModeItem, ctx.ids);
        if (item.id.empty()) continue;
        any = true;
        if (yielded) yielded->push_back(item.id);
        trim(item.title);
        item.title = decoded_title(item.title);
        trim(item.date);
        short_year(item.date);
        trim(item.comments);
        drop_separators(item.comments);
        trim(item.views);
        drop_separators(item.views);
        if (!admit(ctx, item)) continue;
        if (item.title.ends_with(u"...")) {
            // The list page shortened the title: the video's own information has it whole.
            CWorkMovieInfo info;
            bool ok = false;
            if (fetch_info(ctx, item.id, info, ok) != 0) break;
            if (ok && !info.title.empty())
                item.title = info.title;
            else
                item.title = std::u16string(kShortTitleFailure) + item.title;
        }
        add_item_row(ctx, std::move(item));
    }
    if (!any) return 2;
    const std::u16string& name = file->blocks[static_cast<size_t>(block)].name;
    if (std::find(ctx.used_blocks.begin(), ctx.used_blocks.end(), name) == ctx.used_blocks.end())
        ctx.used_blocks.push_back(name);
    if (ctx.added > added_before) {
        ctx.list->auto_fit_columns();
        return 0;
    }
    return 1;
}

long long page_hit_count(std::u16string_view page, const InfoRules* rules) {
    std::optional<std::u16string_view> v;
    if (rules) {
        for (const char16_t* key : {u"hit数", u"hit数1", u"hit数2"}) {
            v = rules->apply(key, page);
            if (v && !v->empty()) break;
        }
    }
    if (!v || v->empty()) v = element_content(page, u"span", u"class", u"searchTotal");
    if (!v) return -1;
    std::u16string digits(*v);
    trim(digits);
    drop_separators(digits);
    const auto n = ascii_decimal(digits, 12);
    if (!n || *n < 0 || *n > kMaxHitCount) return -1;
    return *n;
}

int fetch_and_register_page(RegisterContext& ctx, const IdPatternFile* patterns, const PageRequest& request,
                            PageWalkState& state) {
    state.has_next = false;
    state.unchanged = false;
    if (ctx.stopped()) return kPageStopped;
    CNetOptions options = ctx.net;
    options.max_body_bytes = std::min(options.max_body_bytes, kMaxPageBytes);
    CNet net(options);
    std::u16string page;
    if (net.get_text(3, page, request.url, u"", ctx.request_headers) != 0) {
        ctx.report->log(request.url + u" : " + msg_text(net.code()));
        return kPageFetchFailed;
    }
    net_debug_dump(options, u"動画IDを抽出するデータ（URLから得たまま）.txt", to_utf8(page));
    if (ctx.stopped()) return kPageStopped;
    if (request.next_check) {
        const std::u16string next = (request.page_param.empty() ? std::u16string(u"page") : request.page_param) + u"=" +
                                    decimal_text(request.next_number);
        state.has_next = page.find(next) != std::u16string::npos;
    }
    if (request.want_hits) state.hits = page_hit_count(page, &ctx.rules);

    std::vector<std::u16string> yielded;
    const std::u16string& address = request.pattern_address.empty() ? request.url : request.pattern_address;
    int result = kPageNothing;
    const int by_patterns = register_by_patterns(ctx, patterns, address, page, &yielded);
    if (ctx.stopped()) return kPageStopped;
    if (by_patterns == 0) {
        result = kPageAdded;
    } else if (by_patterns == 1) {
        result = kPageAllListed;
    } else {
        std::vector<std::u16string> ids;
        std::u16string pieces;
        extract_ids(page, ids, kIdModePlain, ctx.ids, {}, {}, ctx.debug ? &pieces : nullptr);
        if (ctx.debug) net_debug_dump(options, u"抽出時の分割後.txt", to_utf8(pieces));
        yielded = ids;
        if (ctx.debug && !ids.empty()) {
            std::string dump;
            for (const auto& id : ids)
                dump += to_utf8(id) + "\r\n";
            net_debug_dump(options, u"パターン以外からの抽出IDの一覧.txt", dump);
        }
        const int plain = register_id_rows(ctx, ids);
        if (plain == -2) return kPageStopped;
        if (plain == 1) {
            ctx.plain_found = true;
            result = kPageAdded;
        }
    }
    if (result == kPageAdded) {
        state.previous_ids = join_ids(yielded);
        return result;
    }
    const std::u16string joined = join_ids(yielded);
    state.unchanged = joined == state.previous_ids;
    state.previous_ids = joined;
    if (result == kPageAllListed) return result;
    if (!ctx.error_pattern.empty()) {
        Regex rx;
        if (rx.compile(ctx.error_pattern) == 0 && rx.contains(page)) return kPageError;
    }
    if (page.find(kPrivateMarker) != std::u16string::npos || page.find(kRapidAccessMarker) != std::u16string::npos)
        return kPageRefused;
    return kPageNothing;
}

std::vector<SearchMethod> parse_search_methods(std::u16string_view text, std::u16string_view search_url) {
    std::vector<SearchMethod> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(u'\n', at);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (line.starts_with(u"\uFEFF")) line.remove_prefix(1);
        if (line.empty() || line.starts_with(u"//")) continue;
        const auto f = split_view(line, u'\t');
        auto field = [&](size_t i) { return i < f.size() ? std::u16string(f[i]) : std::u16string(); };
        SearchMethod m;
        m.label = field(0);
        if (m.label.empty()) continue;
        m.rear = field(1);
        m.front = field(2).empty() ? std::u16string(search_url) : field(2);
        m.page_param = field(3).empty() ? std::u16string(u"page") : field(3);
        const auto first = ascii_decimal(field(4), 12);
        const auto step = ascii_decimal(field(5), 12);
        m.first = first ? *first : 1;
        m.step = step && *step > 0 ? *step : 1;
        out.push_back(std::move(m));
    }
    return out;
}

const std::u16string& default_search_order_text() {
    static const std::u16string text = crlf_lines({
        u"// 表示名\t後部\t前部（空欄：検索のURL）\tページの引数（空欄：page）\t最初の番号（空欄：1）\t増分（空欄：1）",
        u"コメが多い\tsort=r&order=d",
        u"コメが少数\tsort=r&order=a",
        u"投稿が最近\tsort=f&order=d",
        u"投稿が古い\tsort=f&order=a",
        u"再生が多い\tsort=v&order=d",
        u"再生が少数\tsort=v&order=a",
        u"コメが最近\tsort=n&order=d",
        u"コメが古い\tsort=n&order=a",
        u"マイリス多\tsort=m&order=d",
        u"マイリス少\tsort=m&order=a",
        u"時間が長い\tsort=l&order=d",
        u"時間が短い\tsort=l&order=a",
        u" 5分以内\tsort=r&order=d&l_range=1",
        u"20分以上\tsort=r&order=d&l_range=2",
        u"24時間以内\tsort=f&order=d&f_range=1",
        u"1週間以内\tsort=f&order=d&f_range=2",
        u"1ヶ月以内\tsort=f&order=d&f_range=3",
        u"タグ(コメ多)\tsort=r&order=d\thttps://www.nicovideo.jp/tag/",
        u"タグ(再生多)\tsort=v&order=d\thttps://www.nicovideo.jp/tag/",
        u"タグ(最近)\tsort=f&order=d\thttps://www.nicovideo.jp/tag/",
        u"タグ(古い)\tsort=f&order=a\thttps://www.nicovideo.jp/tag/",
        u"ch東映\tmode=s&channel_id=ch498\thttps://ch.nicovideo.jp/search_video/",
        u"chテレ東\tmode=s&channel_id=ch7\thttps://ch.nicovideo.jp/search_video/",
        u"ウェブ検索\t\thttps://www.google.co.jp/search?q=site%3Awww.nicovideo.jp%2Fwatch+\tstart\t0\t30",
    });
    return text;
}

std::u16string search_page_url(const SearchMethod& method, std::u16string_view words, long long n) {
    std::u16string w(words);
    for (size_t at = w.find(u'　'); at != std::u16string::npos; at = w.find(u'　', at + 1))
        w[at] = u'+';
    const std::string encoded = url_encoded(to_utf8(w), kUrlKeepUnreserved);
    std::u16string url = method.front + from_utf8(encoded);
    url += method.front.find(u'?') == std::u16string::npos ? u'?' : u'&';
    url += method.page_param + u"=" + decimal_text(n);
    if (!method.rear.empty()) url += u"&" + method.rear;
    return url;
}

WalkResult register_search(RegisterContext& ctx, const IdPatternFile* patterns, const SearchMethod& method,
                           std::u16string_view words, const WalkOptions& options, PageCounter& counter) {
    WalkPlan plan;
    const std::u16string w(words);
    plan.url_of = [method, w](long long n) { return search_page_url(method, w, n); };
    plan.page_param = method.page_param;
    plan.first = method.first;
    plan.step = method.step;
    plan.search = true;
    if (ctx.debug) {
        // Every address the walk asks for, appended to one file in the debug folder.
        const auto url_of = plan.url_of;
        const CNetOptions net = ctx.net;
        plan.url_of = [url_of, net](long long n) {
            std::u16string url = url_of(n);
            if (!net.debug_folder.empty()) {
                CFileSP file;
                const std::u16string path = net.debug_folder + u"/デバッグモード：検索したURL.txt";
                if (file.append_wide_units(path, url + u"\r\n") != 0) file.write_wide_text(path, url + u"\r\n", 2);
            }
            return url;
        };
    }
    return walk(ctx, patterns, plan, options, counter);
}

WalkResult register_from_address(RegisterContext& ctx, const IdPatternFile* patterns, std::u16string_view address,
                                 const WalkOptions& options, PageCounter& counter) {
    WalkPlan plan;
    const std::u16string base(address);
    plan.url_of = [base](long long n) {
        if (n <= 1) return base;
        return base + (base.find(u'?') == std::u16string::npos ? u"?" : u"&") + u"page=" + decimal_text(n);
    };
    // The blocks are chosen by the address the user gave, not by the page parameter appended to it.
    plan.pattern_address = base;
    plan.page_param = u"page";
    plan.search = false;
    return walk(ctx, patterns, plan, options, counter);
}

SerialResult register_serial(CListDownload& list, long long first, long long last, std::u16string_view folder,
                             const IdSettings& ids) {
    SerialResult r;
    if (last < first) {
        r.refusal = msg_text(msg::kSerialOrder);
        return r;
    }
    if (last - first + 1 > kSerialMaxRows) {
        r.refusal = msg_text(msg::kSerialLimit) + decimal_text(kSerialMaxRows) + msg_text(msg::kSerialLimitEnd);
        return r;
    }
    const std::u16string dir = folder_with_slash(folder);
    std::vector<SavedPath> paths;
    paths.reserve(static_cast<size_t>(last - first + 1));
    for (long long n = first; n <= last; ++n) {
        SavedPath p;
        p.folder = dir;
        p.name = u"sm" + decimal_text(n);
        p.path = dir + p.name + u".xml";
        paths.push_back(std::move(p));
    }
    r.added =
        register_paths(list, paths, [&ids](std::u16string_view name) { return recognise_id(name, kIdModeItem, ids); });
    return r;
}

long long serial_plus(long long first, long long count) {
    const long long last = first + count - 1;
    return last < 1 || last > 999'999'999 ? 1 : last;
}

long long serial_minus(long long last, long long count) {
    const long long first = last - count + 1;
    return first < 1 || first > 999'999'999 ? 1 : first;
}

int chain_walk(CListDownload& list, std::u16string_view start, const IdSettings& ids, std::u16string_view folder,
               const ChainVisit& visit, RegisterReport& report, bool follow_rows) {
    const std::u16string first = recognise_id(start, kIdModeItem, ids);
    if (first.empty()) return -1;
    report.log(first + msg_text(msg::kChainStart));
    std::unordered_set<std::u16string> visited;
    for (const DownloadRow& row : list.rows())
        if (!row.id().empty()) visited.insert(row.id());
    const std::u16string dir = folder_with_slash(folder);
    int count = 0;

    // Each frame holds the IDs one description named and how far they have been taken.
    struct Frame {
        std::vector<std::u16string> ids;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    auto enter = [&](const std::u16string& id) -> int {
        visited.insert(id);
        ++count;
        int at = -1;
        if (list.has_id(id)) {
            at = list.find_row(id, -1, dlcol::kId);
        } else {
            DownloadRow row;
            row.cells[dlcol::kMarker] = kRegisteredMarker;
            row.cells[dlcol::kSaveName] = u"*情報取得中";
            row.cells[dlcol::kFolder] = dir;
            row.cells[dlcol::kId] = id;
            row.checked = true;
            at = list.add_row(std::move(row));
        }
        if (follow_rows && at >= 0) list.scroll_into_view(at);
        std::u16string description;
        if (visit && visit(list, at, description) == -2) return -2;
        Frame f;
        extract_ids(description, f.ids, kIdModeInput, ids);
        stack.push_back(std::move(f));
        return 0;
    };
    if (enter(first) == -2) return -2;
    while (!stack.empty()) {
        if (report.stop_requested()) return -2;
        Frame& top = stack.back();
        if (top.next >= top.ids.size()) {
            stack.pop_back();
            continue;
        }
        const std::u16string id = top.ids[top.next++];
        if (visited.count(id)) continue;
        if (enter(id) == -2) return -2;
    }
    return count;
}

} // namespace quippet
