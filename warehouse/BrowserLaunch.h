#pragma once

#include "livelog/Warehouse.h"

namespace quippet {

/// Starts the program with its arguments, each passed as it is (no shell), and does not wait for it.
/// 0, or -1 when it could not be started.
int launch_browser(const BrowserCommand& command);

} // namespace quippet
