#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// The search window in seconds since 1970; a thread key is the time its thread was started.
struct WhWindow {
    std::int64_t base = 0;
    std::int64_t from = 0;
    std::int64_t to = 0;
    bool contains(std::int64_t key) const { return from <= key && key <= to; }
};

/// The window around a local date and time, `back` hours before it to `forward` hours after it.
WhWindow warehouse_window(int year, int month, int day, int hour, int minute, int back, int forward);
/// The window of the live-log tab's search fields.
WhWindow warehouse_window(const CSettings& settings);

/// One "▼" section of the board table.
struct WhBoard {
    std::u16string name;
    std::u16string folder;
    std::u16string open_url;
    struct Move {
        std::int64_t since = 0; ///< local midnight of the dated line
        std::u16string server;
    };
    std::vector<Move> servers; ///< in the order of the file
};

std::vector<WhBoard> parse_board_table(std::u16string_view text);
std::u16string default_board_table_text();
/// The board table the settings name, created with its default content when missing.
std::vector<WhBoard> load_board_table(const CSettings& settings);

/// The server of the last dated line before `base`; `current` when that line is the section's last.
struct WhServer {
    std::u16string server;
    bool current = false;
};
std::optional<WhServer> choose_server(const WhBoard& board, std::int64_t base);

/// One line of the browser table: the name in the list, the address form and browser 0 (the desktop's),
/// 1 or 2.
struct WhBrowserEntry {
    std::u16string name;
    std::u16string form;
    int browser = 0;
};
std::vector<WhBrowserEntry> parse_browser_table(std::u16string_view text);
std::u16string default_browser_table_text();
std::vector<WhBrowserEntry> load_browser_table(const CSettings& settings);

/// The board's own reading address, used when the chosen entry has no form.
std::u16string board_read_form(std::u16string_view domain);
/// The form with "%SABA%", "%DIR%" and "%KEY%" replaced.
std::u16string expand_address_form(std::u16string_view form, std::u16string_view server, std::u16string_view folder,
                                   std::u16string_view key);

/// What to start for one address: the program and its arguments, each one argument of its own.
struct BrowserCommand {
    std::u16string program;
    std::vector<std::u16string> args;
};
/// Browser 1 or 2 with a program set: that program, the words of its option text, the address; otherwise
/// the desktop's opener with the address.
BrowserCommand browser_command(const CSettings& settings, int browser, std::u16string_view address);

/// Warehouse pages an index lists for a window.
struct WhIndexScan {
    std::vector<std::u16string> pages; ///< absolute addresses, without repeats
    int links = 0;                     ///< entries (menu form) or "href" pieces (link form) looked at
    bool refers_index3 = false;
    bool refers_index9 = false;
};
WhIndexScan scan_warehouse_index(std::u16string_view html, std::u16string_view index_url, std::u16string_view folder,
                                 const WhWindow& window);

struct WhThread {
    std::int64_t key = 0;
    int posts = 0;
    std::u16string title;
};
struct WhThreadScan {
    std::vector<WhThread> threads; ///< every entry with a readable key, before any filter
    int links = 0;
};
/// The current list ("subback.html"): links to the threads with the post count in parentheses.
WhThreadScan scan_thread_links(std::u16string_view html);
/// A warehouse page: a table of ".dat" file names, titles and post counts.
WhThreadScan scan_thread_table(std::u16string_view html);

struct WhResult {
    std::vector<WhThread> matching;
    std::vector<WhThread> excluded;
};
/// Title words separated by "|"; empty words are dropped.
std::vector<std::u16string> split_title_words(std::u16string_view text);
/// Adds the threads of `scan` inside the window with at least `min_posts` posts to `result`. Returns how
/// many were kept.
int filter_threads(const WhThreadScan& scan, const WhWindow& window, int min_posts,
                   const std::vector<std::u16string>& words, WhResult& result);
/// Both lists by key, each key once.
void order_result(WhResult& result);
/// The "倉庫一覧" list with its groups "▽該当" and "▽除外"; one line a thread, key, tab, title.
std::u16string compose_result_list(const WhResult& result);

/// The thread keys among copied lines: on each line the first run of 9 or 10 digits, each key once.
std::vector<std::u16string> keys_in_copied_text(std::u16string_view text);

} // namespace quippet
