#include <algorithm>
#include <ctime>

#include "net/MovieInfo.h"
#include "resources/MessageIds.h"
#include "text/Ascii.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/DateText.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/NameTemplate.h"

namespace quippet {
namespace {

constexpr std::u16string_view kKnownHeaders[] = {
    u"[name]",           u"[source_name]",    u"[post]",           u"[title]",        u"[comment]",         u"[tags]",
    u"[view_counter]",   u"[comment_num]",    u"[mylist_counter]", u"[Replace Word]", u"[vellichor_cache]", u"[thread]",
    u"[default_thread]", u"[channel_thread]", u"[length]",         u"[owner_id]",     u"[owner_nickname]",
};

bool is_known(std::u16string_view header) {
    for (std::u16string_view h : kKnownHeaders)
        if (h == header) return true;
    return false;
}

std::vector<std::u16string_view> lines_of(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find_first_of(u"\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::u16string_view::npos) break;
        text.remove_prefix(end + (text.substr(end).starts_with(u"\r\n") ? 2 : 1));
    }
    return lines;
}

std::u16string unprotected(std::u16string_view line) {
    if (line.starts_with(kBlankMarker)) line.remove_prefix(kBlankMarker.size());
    return std::u16string(line);
}

long long number_or_unknown(std::u16string_view text) {
    return ascii_decimal(text).value_or(-1);
}

/// Reads an existing information file into `info`; the old description's lines when it differs from the new
/// one (and is no prefix of it) go to `old_description`.
void merge_existing(CWorkMovieInfo& info, std::u16string_view text, std::vector<std::u16string>& old_description) {
    std::u16string header;
    std::vector<std::u16string> comment;
    bool unknown = false;
    for (std::u16string_view line : lines_of(text)) {
        if (line.starts_with(u"[")) {
            // Blank lines before a header separate sections; they are written anew.
            while (!info.unknown_sections.empty() && info.unknown_sections.back().empty())
                info.unknown_sections.pop_back();
            header = std::u16string(line);
            unknown = !is_known(header);
            if (unknown) info.unknown_sections.push_back(header);
            continue;
        }
        if (header.empty()) continue;
        if (unknown) {
            info.unknown_sections.emplace_back(line);
            continue;
        }
        if (line.empty()) continue;
        const std::u16string value = unprotected(line);
        using F = CWorkMovieInfo;
        if (header == u"[name]")
            F::fill(info.name, value);
        else if (header == u"[source_name]")
            F::fill(info.source_name, value);
        else if (header == u"[post]")
            F::fill(info.posted, value);
        else if (header == u"[view_counter]")
            F::fill(info.views, number_or_unknown(value));
        else if (header == u"[comment_num]")
            F::fill(info.comments, number_or_unknown(value));
        else if (header == u"[mylist_counter]")
            F::fill(info.mylists, number_or_unknown(value));
        else if (header == u"[length]") {
            const int h = duration_to_hundredths(value);
            if (h >= 0) F::fill(info.length_seconds, h / 100);
        } else if (header == u"[owner_id]")
            F::fill(info.owner_id, value);
        else if (header == u"[owner_nickname]")
            F::fill(info.owner_nickname, value);
        else if (header == u"[tags]")
            info.add_tag(value);
        else if (header == u"[Replace Word]") {
            if (std::find(info.replace_words.begin(), info.replace_words.end(), value) == info.replace_words.end())
                info.replace_words.push_back(value);
        } else if (header == u"[comment]")
            comment.push_back(value);
    }
    // Trailing blank lines of the unknown sections are the separators of the next section.
    while (!info.unknown_sections.empty() && info.unknown_sections.back().empty())
        info.unknown_sections.pop_back();
    if (comment.empty()) return;
    std::u16string old_text;
    for (size_t i = 0; i < comment.size(); ++i) {
        if (i) old_text += u"\r\n";
        old_text += comment[i];
    }
    const std::u16string& now = info.description.empty() ? info.description_short : info.description;
    if (now.empty()) {
        CWorkMovieInfo::fill(info.description, old_text);
    } else if (old_text != now && !now.starts_with(old_text)) {
        old_description = std::move(comment);
    }
}

void add_section(std::u16string& out, std::u16string_view header, const std::vector<std::u16string>& values) {
    bool any = false;
    for (const auto& v : values)
        any = any || !v.empty();
    if (!any) return;
    if (!out.empty()) out += u"\r\n";
    out += header;
    out += u"\r\n";
    for (const std::u16string& v : values) {
        CCharW line(v);
        protect_bracket_text(line);
        out += line.view();
        out += u"\r\n";
    }
}

void add_section(std::u16string& out, std::u16string_view header, std::u16string_view value) {
    if (value.empty()) return;
    std::vector<std::u16string> lines;
    for (std::u16string_view l : lines_of(value))
        lines.emplace_back(l);
    add_section(out, header, lines);
}

std::u16string count_text(long long n) {
    return n < 0 ? std::u16string() : decimal_text(n);
}

std::u16string today() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return from_utf8(buf);
}

} // namespace

int write_info_file(CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name,
                    const InfoOptions& options, int& code) {
    code = 0;
    std::u16string base(folder);
    if (!base.empty() && base.back() != u'/') base += u'/';
    base += save_name;
    const std::u16string path = base + u".txt";

    std::vector<std::u16string> old_description;
    {
        CFileSP reader;
        CCharW existing;
        if (reader.read_settings_text(path, existing) == 0) merge_existing(info, existing.view(), old_description);
    }
    if (!old_description.empty() && options.keep_old_description) {
        std::u16string old;
        for (const auto& l : old_description) {
            CCharW line(l);
            protect_bracket_text(line);
            old += line.view();
            old += u"\r\n";
        }
        std::u16string old_file = base + std::u16string(message_text(msg::kOldDescriptionName)) + today() +
                                  std::u16string(message_text(msg::kOldDescriptionNameTail)) + u".txt";
        CFileSP writer;
        if (writer.write_wide_text(old_file, u"[comment]\r\n" + old, CFileSP::kNumberedName) != 0) {
            code = writer.error();
            return -1;
        }
    }

    std::u16string out;
    const std::u16string& name = info.name.empty() ? info.id : info.name;
    add_section(out, u"[name]", name);
    const std::u16string& source = info.source_name.empty() ? info.source_id : info.source_name;
    if (!source.empty() && source != name) {
        add_section(out, u"[source_name]", source);
        if (options.cache_sections) {
            add_section(out, u"[vellichor_cache]", u"1");
            add_section(out, u"[thread]", info.thread_id);
            add_section(out, u"[default_thread]", info.default_thread_id);
            add_section(out, u"[channel_thread]", info.channel_thread_id);
        }
    }
    add_section(out, u"[post]", info.posted);
    add_section(out, u"[title]", info.title);
    add_section(out, u"[comment]", info.description.empty() ? info.description_short : info.description);
    add_section(out, u"[tags]", info.tags);
    add_section(out, u"[view_counter]", count_text(info.views));
    add_section(out, u"[comment_num]", count_text(info.comments));
    add_section(out, u"[mylist_counter]", count_text(info.mylists));
    add_section(out, u"[Replace Word]", info.replace_words);
    if (info.length_seconds >= 0)
        add_section(out, u"[length]", duration_text(info.length_seconds * 100, options.length_width));
    add_section(out, u"[owner_id]", info.owner_id);
    add_section(out, u"[owner_nickname]", info.owner_nickname);
    if (!info.unknown_sections.empty()) {
        // Kept as they were read: their lines are not ours to protect or reorder.
        for (const std::u16string& line : info.unknown_sections) {
            if (line.starts_with(u"[") && !out.empty()) out += u"\r\n";
            out += line;
            out += u"\r\n";
        }
    }
    if (out.empty()) return 1;
    CFileSP writer;
    if (writer.write_wide_text(path, out, CFileSP::kOverwrite) != 0) {
        code = writer.error();
        return -1;
    }
    return 0;
}

} // namespace quippet
