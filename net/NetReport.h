#pragma once

#include <string_view>

namespace quippet {

/// Where the login and information steps report: the job's log, its debug lines (shown only in debug mode;
/// the implementation decides), the progress cell of the row being processed, and the user's stop request.
/// The download job implements it over its worker, the command line over the terminal, the tests in memory.
class NetReport {
public:
    virtual ~NetReport() = default;
    virtual void log(std::u16string_view /*text*/) {}
    virtual void debug(std::u16string_view /*text*/) {}
    virtual void progress(std::u16string_view /*text*/) {}
    virtual bool stop_requested() const { return false; }
    /// Pauses of the steps go through here, so that a test need not wait and a stop ends them early.
    virtual void sleep_ms(int ms);
};

} // namespace quippet
