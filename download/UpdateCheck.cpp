#include "download/UpdateCheck.h"

#include <filesystem>
#include <unordered_set>

#include <sys/stat.h>

#include "download/ListFile.h"
#include "net/MovieInfo.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/Ascii.h"
#include "text/DateText.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"

namespace quippet {
namespace {

constexpr size_t kStateNameUnits = 128;

std::u16string msg_text(int id) {
    return std::u16string(message_text(id));
}

std::time_t utc_time(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return timegm(&tm);
}

/// The decimal numbers of a text in order ("07/03/06 00:33" → 7, 3, 6, 0, 33).
std::vector<int> numbers_in(std::u16string_view text) {
    std::vector<int> out;
    for (size_t i = 0; i < text.size() && out.size() < 8;) {
        if (!is_ascii_digit(text[i])) {
            ++i;
            continue;
        }
        int n = 0;
        size_t digits = 0;
        while (i < text.size() && is_ascii_digit(text[i]) && digits < 9) {
            n = n * 10 + (text[i] - u'0');
            ++i;
            ++digits;
        }
        out.push_back(n);
    }
    return out;
}

int month_of(std::u16string_view text) {
    static constexpr std::u16string_view kMonths[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                      u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    for (int m = 0; m < 12; ++m)
        if (text.find(kMonths[m]) != std::u16string_view::npos) return m + 1;
    return 0;
}

std::u16string time_text(std::time_t t) {
    return format_short_stamp(t);
}

} // namespace

std::u16string update_state_file_name(std::u16string_view url) {
    std::u16string_view rest = url;
    if (const size_t colon = rest.find(u"://"); colon != std::u16string_view::npos) rest = rest.substr(colon + 3);
    while (rest.starts_with(u"/"))
        rest.remove_prefix(1);
    CCharW name;
    name.assign(rest);
    sanitize_file_name(name, false);
    std::u16string out(name.view());
    // "/" is no separator here: an address becomes one file, never a tree of folders.
    out = path_safe_value(out);
    if (out.size() > kStateNameUnits) {
        out.resize(kStateNameUnits);
        // A cut must not leave half of a surrogate pair.
        if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();
    }
    if (out.empty()) out = u"_";
    return out + u".txt";
}

UpdateOptionSwitches parse_update_option(std::u16string_view text) {
    UpdateOptionSwitches s;
    for (size_t at = text.find(u"c="); at != std::u16string_view::npos; at = text.find(u"c=", at + 2)) {
        if (at > 0 && (is_ascii_digit(text[at - 1]) || (text[at - 1] >= u'a' && text[at - 1] <= u'z'))) continue;
        if (at + 2 >= text.size()) break;
        const char16_t d = text[at + 2];
        if (at + 3 < text.size() && is_ascii_digit(text[at + 3])) continue;
        if (d == u'1' || d == u'3') s.thumb_skip_off = true;
        if (d == u'2' || d == u'3') s.date_skips_off = true;
    }
    return s;
}

std::optional<std::time_t> posted_time(std::u16string_view text) {
    if (text.empty()) return std::nullopt;
    const std::u16string normal = normalize_posted_date(text);
    std::vector<int> n = numbers_in(normal.empty() ? text : std::u16string_view(normal));
    if (normal.empty()) {
        if (const int month = month_of(text); month > 0 && n.size() >= 2) {
            // "Tue, 06 Mar 2007 00:33:00 +0900"
            const int h = n.size() > 2 ? n[2] : 0, mi = n.size() > 3 ? n[3] : 0, s = n.size() > 4 ? n[4] : 0;
            return utc_time(n[1], month, n[0], h, mi, s);
        }
    }
    if (n.size() < 3) return std::nullopt;
    int year = n[0];
    if (year < 100) year += 2000; // lists show years with two digits
    if (year < 1970 || year > 9999 || n[1] < 1 || n[1] > 12 || n[2] < 1 || n[2] > 31) return std::nullopt;
    return utc_time(year, n[1], n[2], n.size() > 3 ? n[3] : 0, n.size() > 4 ? n[4] : 0, n.size() > 5 ? n[5] : 0);
}

std::u16string update_check_summary(const UpdateTally& t) {
    std::u16string s;
    if (t.stopped) s += msg_text(msg::kUpdateStopped) + u"\r\n";
    if (t.excluded > 0) s += decimal_text(t.excluded) + msg_text(msg::kUpdateExcluded) + u"\r\n";
    if (t.updates == 0)
        s += decimal_text(t.checked) + msg_text(msg::kUpdateNone);
    else
        s += decimal_text(t.checked) + msg_text(msg::kUpdateItemsWith) + decimal_text(t.updates) +
             msg_text(msg::kUpdateFound);
    const int passed = t.skipped[kSkipThumbExists] + t.skipped[kSkipOld] + t.skipped[kSkipBeforeLastCheck];
    if (passed > 0) {
        s += decimal_text(passed) + msg_text(msg::kUpdatePassedOver);
        s += msg_text(msg::kSkipThumbExists) + decimal_text(t.skipped[kSkipThumbExists]) + u"／";
        s += msg_text(msg::kSkipOld) + decimal_text(t.skipped[kSkipOld]) + u"／";
        s += msg_text(msg::kSkipBeforeLastCheck) + decimal_text(t.skipped[kSkipBeforeLastCheck]) + u"）";
    }
    return s;
}

UpdateTally run_update_checks(RegisterContext& ctx, const IdPatternFile* patterns,
                              const std::vector<UpdateTarget>& targets, const UpdateCheckSettings& settings) {
    UpdateTally tally;
    const int skipped_before[4] = {ctx.skipped[0], ctx.skipped[1], ctx.skipped[2], ctx.skipped[3]};
    const std::time_t now = settings.now ? settings.now : std::time(nullptr);
    std::error_code ec;
    std::filesystem::create_directories(to_fs_path(settings.folder), ec);
    for (const UpdateTarget& target : targets) {
        if (!target.checked) {
            ++tally.excluded;
            continue;
        }
        if (ctx.stopped()) {
            tally.stopped = true;
            break;
        }
        const std::u16string name = update_state_file_name(target.url);
        const std::u16string path = folder_with_slash(settings.folder) + name;
        const auto fs_path = to_fs_path(path);
        std::unordered_set<std::u16string> seen;
        std::vector<std::u16string> lines;
        std::optional<std::time_t> last_check;
        if (std::filesystem::exists(fs_path, ec)) {
            CFileSP file;
            CCharW text;
            if (file.read_settings_text(path, text) == 0) {
                for (std::u16string_view line : split_view(text.view(), u'\n')) {
                    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
                    if (line.empty()) continue;
                    if (seen.emplace(line).second) lines.emplace_back(line);
                }
            }
            struct stat st {};
            if (::stat(fs_path.c_str(), &st) == 0) {
                last_check = st.st_mtime;
                if (ctx.debug) ctx.report->log(name + msg_text(msg::kLastModified) + time_text(*last_check));
            } else if (ctx.debug) {
                ctx.report->log(name + msg_text(msg::kLastModifiedFailed));
            }
        }
        const UpdateOptionSwitches off = parse_update_option(target.options);
        ctx.excluded = &seen;
        ctx.update_filter = [&](const PageItem& item) -> int {
            if (settings.skip_thumb_exists && !off.thumb_skip_off && settings.thumb_exists &&
                settings.thumb_exists(item.id))
                return kSkipThumbExists;
            if (!off.date_skips_off) {
                if (const auto posted = posted_time(item.date)) {
                    if (settings.skip_old && *posted < now - static_cast<std::time_t>(settings.old_days) * 86400)
                        return kSkipOld;
                    if (last_check &&
                        *posted < *last_check - static_cast<std::time_t>(settings.days_before_last_check) * 86400)
                        return kSkipBeforeLastCheck;
                }
            }
            if (settings.min_comments > 0 && !item.comments.empty()) {
                const auto n = ascii_decimal(item.comments, 12);
                if (n && *n < settings.min_comments) return 4; // not one of the reasons the summary names
            }
            return kKeep;
        };
        const size_t added_before = ctx.added_ids.size();
        PageRequest req;
        req.url = target.url;
        PageWalkState state;
        const int result = fetch_and_register_page(ctx, patterns, req, state);
        ctx.excluded = nullptr;
        ctx.update_filter = nullptr;
        if (result == kPageStopped) {
            tally.stopped = true;
            break;
        }
        ++tally.checked;
        if (result == kPageFetchFailed) continue;
        const int found = static_cast<int>(ctx.added_ids.size() - added_before);
        tally.updates += found;
        if (found > 0) {
            for (size_t i = added_before; i < ctx.added_ids.size(); ++i)
                lines.push_back(ctx.added_ids[i]);
            std::u16string text;
            for (const auto& id : lines)
                text += id + u"\r\n";
            CFileSP file;
            if (file.write_wide_text(path, text, CFileSP::kOverwrite) != 0)
                ctx.report->log(target.url + msg_text(msg::kUpdateStateSaveFailed));
        } else if (std::filesystem::exists(fs_path, ec)) {
            std::filesystem::last_write_time(fs_path, std::filesystem::file_time_type::clock::now(), ec);
        }
    }
    for (int i = 1; i < 4; ++i)
        tally.skipped[i] = ctx.skipped[i] - skipped_before[i];
    ctx.report->log(update_check_summary(tally));
    return tally;
}

} // namespace quippet
