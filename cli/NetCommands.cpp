#include "cli/NetCommands.h"

#include <filesystem>
#include <ostream>

#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CommandArgs.h"
#include "cli/SettingsCommand.h"
#include "cli/TerminalNetReport.h"
#include "download/VideoInfoSteps.h"
#include "net/Login.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/DateText.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

constexpr const char* kLoginUsage =
    "Usage: quippet login [--set SECTION/KEY=VALUE]... [--entry N] [--cookie VALUE]\n"
    "Logs in with the mail address and password of the settings and prints the login status line; exit 0\n"
    "when logged in. --cookie stores a user_session value copied from a browser instead, and checks it.\n"
    "--entry chooses the entry of the cookie-sharing file (from 0; default 0).\n";

constexpr const char* kInfoUsage =
    "Usage: quippet info [--set SECTION/KEY=VALUE]... [--entry N] [--write DIR] ID...\n"
    "Gathers each video's information as the download job does and prints it as key<TAB>value lines, one\n"
    "block per video; --write also writes the information file under the save name into DIR. Exit 1 when\n"
    "any video failed.\n";

int usage(std::ostream& err, const char* command, const std::string& reason, const char* text) {
    err << "quippet " << command << ": " << reason << '\n' << text;
    return kExitUsage;
}

bool parse_entry(const std::string& text, int& entry) {
    if (text.empty() || text.size() > 4) return false;
    entry = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        entry = entry * 10 + (c - '0');
    }
    return true;
}

/// One line value: tabs and line breaks would break the key<TAB>value form.
std::string line_value(std::u16string_view text) {
    std::string out;
    for (char c : to_utf8(text)) {
        if (c == '\t')
            out += ' ';
        else if (c == '\r')
            continue;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void print_info(std::ostream& out, const CWorkMovieInfo& info, std::u16string_view name) {
    auto field = [&](const char* key, std::u16string_view value) {
        if (!value.empty()) out << key << '\t' << line_value(value) << '\n';
    };
    auto number = [&](const char* key, long long value) {
        if (value >= 0) out << key << '\t' << value << '\n';
    };
    field("id", info.id);
    out << "status\t" << static_cast<int>(info.status);
    if (info.status != InfoStatus::kOk) out << '\t' << to_utf8(status_label(info));
    out << '\n';
    field("source_id", info.source_id);
    field("title", info.title);
    field("save_name", name);
    field("posted", info.posted);
    if (info.length_seconds >= 0) {
        number("length_seconds", info.length_seconds);
        field("length", duration_text(info.length_seconds * 100, 2));
    }
    number("views", info.views);
    number("comments", info.comments);
    number("mylists", info.mylists);
    field("movie_type", info.movie_type);
    number("size_high", info.size_high);
    number("size_low", info.size_low);
    field("thumbnail_url", info.thumbnail_url);
    field("thread_id", info.thread_id);
    field("default_thread_id", info.default_thread_id);
    field("channel_thread_id", info.channel_thread_id);
    field("owner_id", info.owner_id);
    field("owner_nickname", info.owner_nickname);
    for (const auto& tag : info.tags)
        field("tag", tag);
    field("description", info.description.empty() ? info.description_short : info.description);
    field("old_server_url", info.old_server_url);
    for (const auto& q : info.video_qualities)
        field("video_quality", q);
    for (const auto& q : info.audio_qualities)
        field("audio_quality", q);
    field("session_url", info.session_url);
    if (info.not_logged_in >= 0) number("not_logged_in", info.not_logged_in);
}

} // namespace

int run_login_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kLoginUsage;
        return kExitOk;
    }
    CSettings settings;
    std::string error;
    if (load_command_settings(args, settings, error) != kExitOk) return usage(err, "login", error, kLoginUsage);
    int entry = 0;
    std::string cookie;
    bool have_cookie = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--entry" && i + 1 < args.size()) {
            if (!parse_entry(args[++i], entry)) return usage(err, "login", "--entry needs a number", kLoginUsage);
        } else if (args[i] == "--cookie" && i + 1 < args.size()) {
            cookie = args[++i];
            have_cookie = true;
        } else {
            return usage(err, "login", "unknown argument " + args[i], kLoginUsage);
        }
    }
    const LoginSettings login = login_settings_from(settings, entry);
    TerminalNetReport report(err, settings.on(OptSwitch::kDebugMode));
    CookieStore store;
    if (have_cookie) {
        if (store_pasted_cookie(from_utf8(cookie), login.skip_char_check) != 0) {
            err << "quippet login: " << to_utf8(message_text(msg::kCookieNotSession)) << '\n';
            return kExitFailures;
        }
        report.log(message_text(msg::kCookieStored));
        // The pasted cookie is checked the way a browser's shared login is: from the jar, through getflv.
        LoginSettings shared = login;
        shared.entry.keywords = u"IE login=OFF hogo=OFF";
        store.prepare(shared, report);
        CWorkMovieInfo info;
        info.id = login.test_video_id.empty() ? std::u16string(u"sm9") : login.test_video_id;
        int code = 0;
        const int result = get_flv(info, !login.getflv_url.starts_with(u"http:"), login.getflv_url,
                                   login.request_headers, false, login.net, &store, report, code);
        if (result != 0) {
            out << to_utf8(message_text(code != 0 ? code : msg::kLoginSeemsFailed)) << '\n';
            return kExitFailures;
        }
        out << to_utf8(login_status_text(info, login, LoginKind::kShared)) << '\n';
        return kExitOk;
    }
    const LoginOutcome outcome = login_command(store, login, report);
    out << to_utf8(outcome.line) << '\n';
    if (!outcome.logged_in && outcome.code != 0)
        err << "quippet login: " << outcome.code << ' ' << to_utf8(message_text(outcome.code)) << '\n';
    return outcome.logged_in ? kExitOk : kExitFailures;
}

int run_info_command(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    if (!args.empty() && args.front() == "--help") {
        out << kInfoUsage;
        return kExitOk;
    }
    CSettings settings;
    std::string error;
    if (load_command_settings(args, settings, error) != kExitOk) return usage(err, "info", error, kInfoUsage);
    int entry = 0;
    std::u16string write_dir;
    std::vector<std::u16string> ids;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--entry" && i + 1 < args.size()) {
            if (!parse_entry(args[++i], entry)) return usage(err, "info", "--entry needs a number", kInfoUsage);
        } else if (args[i] == "--write" && i + 1 < args.size()) {
            std::error_code ec;
            const auto dir = std::filesystem::absolute(args[++i], ec);
            if (ec || !std::filesystem::is_directory(dir, ec))
                return usage(err, "info", "--write " + args[i] + " is not a folder", kInfoUsage);
            write_dir = from_fs_path(dir);
        } else if (args[i].starts_with("-")) {
            return usage(err, "info", "unknown argument " + args[i], kInfoUsage);
        } else {
            ids.push_back(from_utf8(args[i]));
        }
    }
    if (ids.empty()) return usage(err, "info", "no video ID given", kInfoUsage);

    const LoginSettings login = login_settings_from(settings, entry);
    const InfoOptions options = info_options_from(settings);
    TerminalNetReport report(err, settings.on(OptSwitch::kDebugMode));
    CookieStore store;
    int failed = 0;
    for (size_t n = 0; n < ids.size(); ++n) {
        CWorkMovieInfo info;
        info.id = ids[n];
        const InfoGathered gathered = gather_video_info(info, options, store, login, report);
        const std::u16string name = save_name(info, SaveNameKind::kInfoFile, options, true);
        if (n) out << '\n';
        print_info(out, info, name);
        bool ok = info.status == InfoStatus::kOk && !info.title.empty();
        if (gathered.code != 0)
            out << "code\t" << gathered.code << '\t' << to_utf8(message_text(gathered.code)) << '\n';
        if (ok && !write_dir.empty()) {
            int code = 0;
            if (write_info_file(info, write_dir, name, options, code) < 0) {
                out << "write_error\t" << code << '\t' << to_utf8(message_text(code)) << '\n';
                ok = false;
            } else {
                out << "written\t" << to_utf8(write_dir + u"/" + name + u".txt") << '\n';
            }
        }
        if (!ok) ++failed;
    }
    return failed ? kExitFailures : kExitOk;
}

} // namespace quippet::cli
