#pragma once

#include <ostream>
#include <string_view>

#include "download/PageRegistration.h"
#include "text/Encoding.h"

namespace quippet::cli {

/// Log lines to stderr (a replaced line is simply a new line on a terminal); debug lines in debug mode.
class TerminalRegisterReport : public RegisterReport {
public:
    TerminalRegisterReport(std::ostream& err, bool debug) : err_(err), debug_(debug) {}
    void log(std::u16string_view text) override { err_ << to_utf8(text) << '\n'; }
    void debug(std::u16string_view text) override {
        if (debug_) err_ << to_utf8(text) << '\n';
    }

private:
    std::ostream& err_;
    bool debug_;
};

} // namespace quippet::cli
