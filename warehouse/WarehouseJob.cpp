#include "warehouse/WarehouseJob.h"

#include "app/Settings.h"
#include "app/WorkThread.h"
#include "livelog/LiveLogSettingKeys.h"
#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/Encoding.h"
#include "warehouse/BrowserLaunch.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace quippet {
namespace {

// A board page is a few hundred kilobytes; anything far larger is not a board page.
constexpr long long kMaxPageBytes = 8LL << 20;
// Index pages that refer to further index pages could send the search round in circles.
constexpr size_t kMaxIndexPages = 8;

std::u16string text(int id) {
    return std::u16string(message_text(id));
}

/// Waits `ms`, showing the seconds left. False when a stop was asked for.
bool wait_stoppable(CWorkThread& worker, int ms) {
    int left = std::max(0, ms);
    int shown = -1;
    while (left > 0) {
        if (worker.stop_requested()) return false;
        const int seconds = (left + 999) / 1000;
        if (seconds != shown) {
            worker.log(text(msg::kWaitingLeft) + decimal_text(seconds) + u"秒）", LogMode::replace_last_line);
            shown = seconds;
        }
        const int piece = std::min(left, 100);
        worker.frame().pause(std::chrono::milliseconds(piece));
        left -= piece;
    }
    return !worker.stop_requested();
}

enum class Fetch { kOk, kFailed, kStopped };

class Search {
public:
    Search(CWorkThread& worker, const CSettings& settings) : worker_(worker) {
        options_ = net_options_from_settings(settings);
        options_.max_body_bytes = kMaxPageBytes;
        wait_ms_ = settings.number(OptNumber::kWarehouseWait);
    }

    Fetch fetch(const std::u16string& label, std::u16string url, std::u16string& out) {
        worker_.log(label + text(msg::kWhWaiting));
        if (!wait_stoppable(worker_, wait_ms_)) return Fetch::kStopped;
        worker_.log(label + text(msg::kWhAccessing), LogMode::replace_last_line);
        if (const std::u16string& root = service_root(); !root.empty()) url = rebase_url(url, root);
        CNet net(options_);
        out.clear();
        if (net.get_text(3, out, url, {}, {}) != 0) {
            worker_.log(label + text(msg::kWhAccessFailed) + u"（" + std::u16string(message_text(net.code())) + u"）");
            return Fetch::kFailed;
        }
        if (options_.debug) {
            // Labels carry addresses; the dump is one file of the debug folder, never a path below it.
            std::u16string name = label;
            std::ranges::replace_if(
                name, [](char16_t c) { return c == u'/' || c == u'\\' || c == u':'; }, u'_');
            net_debug_dump(options_, name + u".txt", to_utf8(out));
        }
        worker_.log(label + text(msg::kWhScanning));
        return Fetch::kOk;
    }

    void report_threads(const std::u16string& label, const WhThreadScan& scan, int kept) {
        if (scan.links == 0)
            worker_.log(label + text(msg::kWhNoInfo));
        else if (kept == 0)
            worker_.log(label + u"：" + decimal_text(scan.links) + text(msg::kWhNoneInLinks));
        else
            worker_.log(label + u"：" + decimal_text(kept) + text(msg::kWhThreadsFound));
    }

private:
    CWorkThread& worker_;
    CNetOptions options_;
    int wait_ms_ = 0;
};

int launch(const WarehouseJobOptions& options, const BrowserCommand& command) {
    return options.launch ? options.launch(command) : launch_browser(command);
}

const WhBoard* tab_board(const std::vector<WhBoard>& boards, const CSettings& settings) {
    const int i = settings.number(kWcBoard);
    if (i < 0 || i >= static_cast<int>(boards.size())) return nullptr;
    return boards[static_cast<size_t>(i)].folder.empty() ? nullptr : &boards[static_cast<size_t>(i)];
}

WhBrowserEntry tab_browser_entry(const CSettings& settings) {
    const std::vector<WhBrowserEntry> entries = load_browser_table(settings);
    const int i = settings.number(kWcBrowserForm);
    if (i < 0 || i >= static_cast<int>(entries.size())) return {};
    return entries[static_cast<size_t>(i)];
}

} // namespace

int send_threads_to_browser(CWorkThread& worker, const CSettings& settings, const WhBrowserEntry& entry,
                            std::u16string_view server, std::u16string_view folder,
                            const std::vector<std::u16string>& keys, const WarehouseJobOptions& options) {
    worker.log(text(msg::kWhSending) + text(msg::kWhWaiting));
    const std::u16string form = entry.form.empty() ? board_read_form(settings.text(OptText::kBoardDomain)) : entry.form;
    const int interval = settings.number(OptNumber::kBrowserSendInterval);
    int sent = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && !wait_stoppable(worker, interval)) return -1;
        if (worker.stop_requested()) return -1;
        const std::u16string address = expand_address_form(form, server, folder, keys[i]);
        if (launch(options, browser_command(settings, entry.browser, address)) != 0) {
            worker.log(text(msg::kWhLaunchFailed) + address);
            continue;
        }
        worker.log(address);
        ++sent;
    }
    worker.log(decimal_text(sent) + text(msg::kWhSent));
    return sent;
}

WarehouseJobResult run_warehouse_job(CWorkThread& worker, const CSettings& settings,
                                     const WarehouseJobOptions& options) {
    WarehouseJobResult r;
    const auto stopped = [&] {
        worker.log(text(msg::kWhStopped));
        r.stopped = true;
        return r;
    };
    const std::vector<WhBoard> boards = load_board_table(settings);
    const WhBoard* board = tab_board(boards, settings);
    if (!board) {
        worker.log(text(msg::kWhNoBoard) + decimal_text(settings.number(kWcBoard)));
        worker.log(text(msg::kWhNoMatch));
        return r;
    }
    const WhWindow window = warehouse_window(settings);
    const std::optional<WhServer> server = choose_server(*board, window.base);
    if (!server) {
        worker.log(text(msg::kWhNoServer) + board->name);
        worker.log(text(msg::kWhNoMatch));
        return r;
    }
    r.server = server->server;
    r.folder = board->folder;
    const std::u16string domain = settings.text(OptText::kBoardDomain);
    const int min_posts = settings.number(key(WcNumber::kMinPosts));
    const std::vector<std::u16string> words = split_title_words(settings.text(key(WcText::kTitleWords)));
    const std::u16string root = u"https://" + server->server + u"." + domain + u"/" + board->folder + u"/";
    Search search(worker, settings);
    std::u16string page;

    if (server->current) {
        const std::u16string label = text(msg::kWhCurrentList);
        if (server->server.empty() || domain.empty()) {
            worker.log(label + text(msg::kWhUrlFailed));
        } else {
            const Fetch f = search.fetch(label, root + u"subback.html", page);
            if (f == Fetch::kStopped) return stopped();
            if (f == Fetch::kOk) {
                const WhThreadScan scan = scan_thread_links(page);
                search.report_threads(label, scan, filter_threads(scan, window, min_posts, words, r.result));
            }
        }
    }

    // The index, and the further index pages it refers to, each looked at once.
    std::vector<std::u16string> pages;
    std::set<std::u16string> seen_pages;
    std::vector<std::u16string> indexes{root + u"kako/"};
    std::set<std::u16string> seen_indexes{indexes.front()};
    int links = 0;
    for (size_t i = 0; i < indexes.size() && i < kMaxIndexPages; ++i) {
        const std::u16string label = text(msg::kWhIndex) + u"(" + indexes[i] + u")";
        const Fetch f = search.fetch(label, indexes[i], page);
        if (f == Fetch::kStopped) return stopped();
        if (f == Fetch::kFailed) continue;
        const WhIndexScan scan = scan_warehouse_index(page, indexes[i], board->folder, window);
        links += scan.links;
        for (const std::u16string& p : scan.pages)
            if (seen_pages.insert(p).second) pages.push_back(p);
        const auto refer = [&](std::u16string_view name) {
            std::u16string address = root + u"kako/" + std::u16string(name);
            if (seen_indexes.insert(address).second) indexes.push_back(std::move(address));
        };
        if (scan.refers_index3) refer(u"index3.html");
        if (scan.refers_index9 && window.from <= 999'999'999) refer(u"index9.html");
    }
    if (pages.empty()) {
        worker.log(decimal_text(links) + text(msg::kWhNoneInLinks));
    } else {
        worker.log(decimal_text(static_cast<long long>(pages.size())) + text(msg::kWhPagesFound));
        worker.log(text(msg::kWhPageList));
        for (const std::u16string& p : pages)
            worker.log(p);
    }

    for (const std::u16string& address : pages) {
        // An index page that lists itself is a table of threads as well.
        const std::u16string label = text(msg::kWhPageLabel) + address.substr(address.rfind(u'/') + 1) + u")";
        const Fetch f = search.fetch(label, address, page);
        if (f == Fetch::kStopped) return stopped();
        if (f == Fetch::kFailed) continue;
        const WhThreadScan scan = scan_thread_table(page);
        search.report_threads(label, scan, filter_threads(scan, window, min_posts, words, r.result));
    }

    order_result(r.result);
    worker.log(compose_result_list(r.result), LogMode::blank_line);
    r.found = !r.result.matching.empty();
    if (!r.found) {
        worker.log(text(msg::kWhNoMatch));
        return r;
    }
    if (options.send || settings.on(WcSwitch::kSendToBrowser)) {
        std::vector<std::u16string> keys;
        for (const WhThread& t : r.result.matching)
            keys.push_back(decimal_text(t.key));
        r.sent =
            send_threads_to_browser(worker, settings, tab_browser_entry(settings), r.server, r.folder, keys, options);
        if (r.sent < 0) return stopped();
    }
    worker.log_message(msg::kJobDone);
    return r;
}

int send_copied_threads(CWorkThread& worker, const CSettings& settings, std::u16string_view copied,
                        const WarehouseJobOptions& options) {
    const std::vector<WhBoard> boards = load_board_table(settings);
    const WhBoard* board = tab_board(boards, settings);
    if (!board) {
        worker.log(text(msg::kWhNoBoard) + decimal_text(settings.number(kWcBoard)));
        return 0;
    }
    const std::optional<WhServer> server = choose_server(*board, warehouse_window(settings).base);
    if (!server) {
        worker.log(text(msg::kWhNoServer) + board->name);
        return 0;
    }
    return send_threads_to_browser(worker, settings, tab_browser_entry(settings), server->server, board->folder,
                                   keys_in_copied_text(copied), options);
}

int send_manual_address(CWorkThread& worker, const CSettings& settings, std::u16string_view address,
                        const WarehouseJobOptions& options) {
    if (address.empty()) return 0;
    const std::u16string a(address);
    if (launch(options, browser_command(settings, tab_browser_entry(settings).browser, a)) != 0) {
        worker.log(text(msg::kWhLaunchFailed) + a);
        return 0;
    }
    worker.log(a);
    return 1;
}

} // namespace quippet
