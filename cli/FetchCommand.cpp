#include "cli/FetchCommand.h"

#include <ostream>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "cli/Cli.h"
#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "resources/Messages.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kUsage = "Usage: quippet fetch [--out FILE] [--service] URL\n";

int failed(std::ostream& err, const CNet& net) {
    err << "quippet: fetch failed: " << net.code() << " " << to_utf8(message_text(net.code())) << "\n";
    return kExitFailures;
}

} // namespace

int run_fetch_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string out_file, url;
    bool service = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help") {
            out << kUsage;
            return kExitOk;
        }
        if (args[i] == "--out" && i + 1 < args.size()) {
            out_file = args[++i];
        } else if (args[i] == "--service") {
            service = true;
        } else if (url.empty() && !args[i].starts_with("-")) {
            url = args[i];
        } else {
            err << kUsage;
            return kExitUsage;
        }
    }
    if (url.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    CSettings settings;
    CFileINI ini;
    load_settings(ini, settings);
    std::u16string address = from_utf8(url);
    if (service && !service_root().empty()) address = rebase_url(address, service_root());
    const std::u16string& headers = settings.text(OptText::kRequestHeaders);
    CNet net(net_options_from_settings(settings));
    if (out_file.empty()) {
        std::string body;
        if (net.fetch(address, u"", headers, u"GET", {}, nullptr, body) != 0) return failed(err, net);
        out << body;
        return kExitOk;
    }
    const std::u16string path = from_utf8(out_file);
    const size_t slash = path.find_last_of(u'/');
    std::u16string base = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (const size_t dot = base.find_last_of(u'.'); dot != std::u16string::npos && dot > 0) base.resize(dot);
    const int attempts =
        net.download_via_temp(path, base, address, headers, -1, -1, CNet::kRenameReplace, nullptr, nullptr, nullptr);
    if (attempts <= 0) return failed(err, net);
    out << out_file << " (" << attempts << ")\n";
    return kExitOk;
}

} // namespace quippet::cli
