#pragma once

#include <mutex>
#include <ostream>
#include <string_view>

#include "net/NetReport.h"
#include "text/Encoding.h"

namespace quippet::cli {

/// Log lines to stderr; debug lines only in debug mode, as the window's log shows them. Progress is not
/// shown: a terminal of many hundred updates a second helps nobody. Downloads running at once each have a
/// report of their own over the one terminal, so every line is written whole under one lock.
class TerminalNetReport : public NetReport {
public:
    TerminalNetReport(std::ostream& err, bool debug) : err_(err), debug_(debug) {}
    void log(std::u16string_view text) override {
        static std::mutex terminal;
        std::lock_guard lock(terminal);
        err_ << to_utf8(text) << '\n';
    }
    void debug(std::u16string_view text) override {
        if (debug_) log(text);
    }

private:
    std::ostream& err_;
    bool debug_;
};

} // namespace quippet::cli
