#pragma once

#include "livelog/Warehouse.h"

#include <functional>
#include <string>
#include <vector>

namespace quippet {

class CSettings;
class CWorkThread;

struct WarehouseJobOptions {
    /// Starts the browser for one address; empty: launch_browser.
    std::function<int(const BrowserCommand&)> launch;
    /// Sends the results even when the tab's "結果をブラウザに送る" is off.
    bool send = false;
};

struct WarehouseJobResult {
    bool stopped = false;
    bool found = false; ///< at least one matching thread
    WhResult result;
    std::u16string server;
    std::u16string folder;
    int sent = 0;
};

/// The search of the board and window the tab's fields name: the current list, the warehouse index (and
/// its further index pages) and every warehouse page found, each request after the configured wait.
/// Results go to the log; with sending on they go to the browser of the chosen browser-table entry.
WarehouseJobResult run_warehouse_job(CWorkThread& worker, const CSettings& settings,
                                     const WarehouseJobOptions& options = {});

/// Sends threads of a board to the browser of `entry` (its form, or the board's reading form when it
/// has none), waiting the sending interval before every address but the first. Returns the count sent,
/// or -1 when a stop came during a wait.
int send_threads_to_browser(CWorkThread& worker, const CSettings& settings, const WhBrowserEntry& entry,
                            std::u16string_view server, std::u16string_view folder,
                            const std::vector<std::u16string>& keys, const WarehouseJobOptions& options = {});

/// "クリップボード→\nブラウザ": the thread keys among the copied lines, sent for the tab's board.
int send_copied_threads(CWorkThread& worker, const CSettings& settings, std::u16string_view copied,
                        const WarehouseJobOptions& options = {});
/// "手動" + "→": the typed address as it is, with the chosen entry's browser.
int send_manual_address(CWorkThread& worker, const CSettings& settings, std::u16string_view address,
                        const WarehouseJobOptions& options = {});

} // namespace quippet
