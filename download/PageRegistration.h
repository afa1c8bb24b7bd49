#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "download/DownloadList.h"
#include "download/IdPatterns.h"
#include "download/IdRecognition.h"
#include "net/InfoRules.h"
#include "net/NetOptions.h"
#include "net/NetReport.h"

namespace quippet {

class CSettings;
class DownloadPacer;
class CWorkMovieInfo;

/// The registration's report: a NetReport whose log can also replace its last line (the countdowns).
class RegisterReport : public NetReport {
public:
    virtual void log_replace(std::u16string_view text) { log(text); }
};

/// Fetches what the registration needs to know of one video (title, counts, posted date). False when the
/// video's information could not be had.
using InfoFetcher = std::function<bool(std::u16string_view id, CWorkMovieInfo& info)>;

/// Reasons an update check passes over an item (0 keeps it).
enum UpdateSkip : int { kKeep = 0, kSkipThumbExists = 1, kSkipOld = 2, kSkipBeforeLastCheck = 3 };

/// Everything one registration job works with and counts.
struct RegisterContext {
    CListDownload* list = nullptr;
    RegisterReport* report = nullptr;
    IdSettings ids;
    std::u16string folder; ///< the folder of new rows, with its trailing "/"
    CNetOptions net;
    std::u16string request_headers;
    InfoFetcher fetch_info;         ///< may be empty: shortened titles then stay marked, plain rows pending
    DownloadPacer* pacer = nullptr; ///< the pause before each information fetch (may be null)
    const std::unordered_set<std::u16string>* excluded = nullptr;
    std::function<int(const PageItem& item)> update_filter; ///< update checks; empty for other jobs
    std::u16string error_pattern;                           ///< a page matching it is an error page
    InfoRules rules = InfoRules::defaults();                ///< their "hit数" keys read the hit count of a page
    bool debug = false;

    int added = 0;
    int already_listed = 0;
    int excluded_count = 0;
    int skipped[4] = {0, 0, 0, 0}; ///< by UpdateSkip
    int info_fetches = 0;
    std::vector<std::u16string> used_blocks;
    bool plain_found = false;
    std::vector<std::u16string> added_ids; ///< in order, for the update check's state file

    bool stopped() const { return report && report->stop_requested(); }
};

/// The context's settings part from a settings snapshot (IDs, error pattern, request headers, debug, the
/// information rules).
void fill_register_context(RegisterContext& ctx, const CSettings& settings);

/// The shortened-title marker.
inline constexpr std::u16string_view kShortTitleFailure = u"【抽出失敗：末尾が省略記号で動画情報が取得できない動画】";

/// Cuts the page by the first pattern block that applies and yields items, and adds their rows. 0 rows
/// were added, 1 a block matched but every item was there already, 2 no block matched, 3 no pattern file
/// (`file` null). `yielded` receives the IDs the items carried.
int register_by_patterns(RegisterContext& ctx, const IdPatternFile* file, std::u16string_view address,
                         std::u16string_view page, std::vector<std::u16string>* yielded = nullptr);

/// Adds a row for each ID not listed yet (marked as pending), then fetches the information of each new row
/// to fill its name, counts and date. 1 when rows were added, 0 when not, -2 for a stop.
int register_id_rows(RegisterContext& ctx, const std::vector<std::u16string>& ids);

/// Results of fetch_and_register_page.
enum PageResult : int {
    kPageFetchFailed = 0,
    kPageStopped = 1,
    kPageError = 2,
    kPageNothing = 3,
    kPageAllListed = 4,
    kPageAdded = 5,
    kPageRefused = 6, ///< a private list, or the service refused rapid access
};

/// What one page walk remembers between its pages.
struct PageWalkState {
    std::u16string previous_ids = u"\x01(no page yet)";
    bool unchanged = false; ///< the last page yielded what the page before it did: the walk ends
    bool has_next = false;
    long long hits = -1; ///< the hit count, -1 when the page gave none
};

struct PageRequest {
    std::u16string url;
    std::u16string pattern_address; ///< the address the pattern blocks are tested with (the url when empty)
    bool next_check = false;
    std::u16string page_param = u"page";
    long long next_number = 0; ///< the number of the next page, for the next-page test
    bool want_hits = false;
};

/// Fetches a page and registers its videos (patterns first, plain extraction when none applies).
int fetch_and_register_page(RegisterContext& ctx, const IdPatternFile* patterns, const PageRequest& request,
                            PageWalkState& state);

/// The hit count of a page: the "hit数" rules of the information rules, else the "searchTotal" span; -1 for
/// none or a value outside 0 … 2,000,000.
long long page_hit_count(std::u16string_view page, const InfoRules* rules);

/// One line of the search-order file.
struct SearchMethod {
    std::u16string label, rear, front, page_param;
    long long first = 1;
    long long step = 1;
};
/// The methods of the file, defaults filled in (`search_url` for an empty front address).
std::vector<SearchMethod> parse_search_methods(std::u16string_view text, std::u16string_view search_url);
const std::u16string& default_search_order_text();
/// The address of the page numbered `n` for `words`.
std::u16string search_page_url(const SearchMethod& method, std::u16string_view words, long long n);

struct WalkOptions {
    bool start_page_on = false;
    long long start_page = 1;
    bool page_limit_on = false;
    long long page_limit = 0;
    int base_wait = 0;
    bool thumbnails_shown = false;
};

struct WalkResult {
    int result = kPageNothing; ///< of the last page
    int pages = 0;
    long long first_page = 1;
    long long last_page = 0; ///< the page number reached (store it as the next start page)
    bool stopped = false;
    std::vector<std::u16string> lines; ///< what the walk logged at its end
};

/// The page counter of a job, shared by its walks: the pause before each page.
struct PageCounter {
    int k = 0;
};

/// The search job: pages of `method` for `words`, each fetched and registered.
WalkResult register_search(RegisterContext& ctx, const IdPatternFile* patterns, const SearchMethod& method,
                           std::u16string_view words, const WalkOptions& options, PageCounter& counter);
/// The same over a plain address, "page=" appended for the pages after the first.
WalkResult register_from_address(RegisterContext& ctx, const IdPatternFile* patterns, std::u16string_view address,
                                 const WalkOptions& options, PageCounter& counter);

/// "連番登録": why a range is refused, or what it added.
struct SerialResult {
    int added = 0;
    std::u16string refusal; ///< the message box text when nothing was registered for the range
};
inline constexpr long long kSerialMaxRows = 10000;
SerialResult register_serial(CListDownload& list, long long first, long long last, std::u16string_view folder,
                             const IdSettings& ids);
/// "プラス" and "マイナス": the other end of the range from a count; 1 when it would leave 1 … 999,999,999.
long long serial_plus(long long first, long long count);
long long serial_minus(long long last, long long count);

/// The chain download's step for one row: runs the download of the row and gives the description it found.
/// -2 when the user stopped, else 0.
using ChainVisit = std::function<int(CListDownload& list, int row, std::u16string& description)>;
/// Visits `start` and, depth first, every ID the descriptions name that the list did not hold, each with
/// its descendants before the next; kept on an explicit stack, so a chain of any length is walked without
/// recursion. The number of IDs visited, -2 when the user stopped, -1 when `start` is no ID.
int chain_walk(CListDownload& list, std::u16string_view start, const IdSettings& ids, std::u16string_view folder,
               const ChainVisit& visit, RegisterReport& report, bool follow_rows = false);

} // namespace quippet
