#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "download/VideoDownload.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "tests/net/FakeServiceFixture.h"
#include "resources/Messages.h"
#include "text/AppHome.h"

namespace quippet::test {

/// Log and progress of a download step in memory; a stop after a number of progress updates of a copy.
class MemoryReport : public NetReport {
public:
    void log(std::u16string_view text) override { lines.emplace_back(text); }
    void debug(std::u16string_view text) override { lines.emplace_back(text); }
    void progress(std::u16string_view text) override {
        if (text.find(u"MB") != std::u16string_view::npos) ++copy_updates;
    }
    bool stop_requested() const override { return stop_after >= 0 && copy_updates >= stop_after; }
    void sleep_ms(int) override {}
    bool logged(int id) const {
        const std::u16string_view text = message_text(id);
        for (const auto& l : lines)
            if (l.find(text) != std::u16string::npos) return true;
        return false;
    }
    std::vector<std::u16string> lines;
    int copy_updates = 0;
    int stop_after = -1;
};

/// The video step's options against the replacement service: its addresses, no waits, no free-space margin.
inline VideoOptions fake_video_options(const FakeService& service) {
    CSettings settings;
    apply_service_root(settings, service.root(false));
    VideoOptions o = video_options_from(settings);
    o.net = service.options();
    o.info.net = o.net;
    o.retry_wait_s = 0;
    o.free_space_mb = 0;
    return o;
}

inline std::string read_bytes(const std::u16string& path) {
    std::ifstream in(to_fs_path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream out(to_fs_path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace quippet::test
