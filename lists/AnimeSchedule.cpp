#include "lists/AnimeSchedule.h"

#include "app/Settings.h"
#include "lists/BookmarkActions.h"
#include "lists/BookmarkKeys.h"
#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/Entities.h"

namespace quippet {
namespace {

constexpr std::u16string_view kEntryClass = u"list--anime--schedule__item";
constexpr std::u16string_view kStartClass = u"schedule__item__schedule__start";
constexpr std::u16string_view kNotFreeClass = u"schedule__item__label__item latest inactive";
constexpr std::u16string_view kScheduleDefault = u"https://anime.nicovideo.jp/period/now.html";
constexpr std::u16string_view kChannelDefault = u"https://ch.nicovideo.jp/";

/// The position of the next element whose class attribute holds `cls` as a whole token, or npos.
size_t find_class(std::u16string_view text, std::u16string_view cls, size_t from) {
    for (size_t at = text.find(u"class=", from); at != std::u16string_view::npos; at = text.find(u"class=", at + 6)) {
        size_t value = at + 6;
        if (value >= text.size()) return std::u16string_view::npos;
        const char16_t quote = text[value];
        if (quote != u'"' && quote != u'\'') continue;
        const size_t end = text.find(quote, value + 1);
        if (end == std::u16string_view::npos) return std::u16string_view::npos;
        const std::u16string_view classes = text.substr(value + 1, end - value - 1);
        for (size_t t = classes.find(cls); t != std::u16string_view::npos; t = classes.find(cls, t + 1)) {
            const bool left = t == 0 || classes[t - 1] == u' ';
            const bool right = t + cls.size() == classes.size() || classes[t + cls.size()] == u' ';
            if (left && right) return text.rfind(u'<', at) == std::u16string_view::npos ? at : text.rfind(u'<', at);
        }
    }
    return std::u16string_view::npos;
}

std::u16string clean_text(std::u16string_view raw) {
    CCharW text;
    text.assign(raw.substr(0, kAnimeMaxFieldChars * 4));
    unescape_all(text);
    std::u16string out;
    bool in_tag = false;
    for (char16_t c : text.view()) {
        if (c == u'<')
            in_tag = true;
        else if (c == u'>')
            in_tag = false;
        else if (!in_tag)
            out += (c == u'\t' || c == u'\r' || c == u'\n') ? u' ' : c;
    }
    const size_t first = out.find_first_not_of(u" \u3000");
    if (first == std::u16string::npos) return {};
    out = out.substr(first, out.find_last_not_of(u" \u3000") - first + 1);
    if (out.size() > kAnimeMaxFieldChars) out.resize(kAnimeMaxFieldChars);
    return out;
}

std::u16string between(std::u16string_view text, std::u16string_view open, std::u16string_view close, size_t from = 0) {
    const size_t a = text.find(open, from);
    if (a == std::u16string_view::npos) return {};
    const size_t b = text.find(close, a + open.size());
    if (b == std::u16string_view::npos) return {};
    return clean_text(text.substr(a + open.size(), b - a - open.size()));
}

bool channel_char(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
}

std::u16string channel_of(std::u16string_view entry) {
    const size_t at = entry.find(u"/detail/");
    if (at == std::u16string_view::npos) return {};
    size_t end = at + 8;
    while (end < entry.size() && end - at - 8 < 100 && channel_char(entry[end]))
        ++end;
    const std::u16string_view name = entry.substr(at + 8, end - at - 8);
    // A name cut short by the bound or followed by anything but the end of the path is not trusted.
    if (name.empty() || (end < entry.size() && channel_char(entry[end]))) return {};
    if (end < entry.size() && entry[end] != u'/' && entry[end] != u'"' && entry[end] != u'\'' && entry[end] != u'?' &&
        entry[end] != u'#')
        return {};
    return std::u16string(name);
}

std::u16string default_on_root(std::u16string_view stored, std::u16string_view fallback) {
    if (!stored.empty()) return std::u16string(stored);
    return service_root().empty() ? std::u16string(fallback) : rebase_url(fallback, service_root());
}

} // namespace

std::vector<AnimeEntry> parse_anime_schedule(std::u16string_view page) {
    std::vector<AnimeEntry> entries;
    size_t at = find_class(page, kEntryClass, 0);
    while (at != std::u16string_view::npos && static_cast<int>(entries.size()) < kAnimeMaxEntries) {
        const size_t next = find_class(
            page, kEntryClass, page.find(u'>', at) == std::u16string_view::npos ? page.size() : page.find(u'>', at));
        const size_t end = next == std::u16string_view::npos ? page.size() : next;
        const std::u16string_view entry = page.substr(at, std::min(end - at, kAnimeMaxEntryChars));
        AnimeEntry e;
        const size_t h2 = entry.find(u"<h2");
        if (h2 != std::u16string_view::npos) e.title = between(entry, u"<span>", u"</span>", h2);
        const size_t start = find_class(entry, kStartClass, 0);
        if (start != std::u16string_view::npos) {
            const size_t gt = entry.find(u'>', start);
            if (gt != std::u16string_view::npos) e.start = between(entry, u">", u"<", gt);
        }
        e.latest_free = entry.find(kNotFreeClass) == std::u16string_view::npos;
        e.channel = channel_of(entry);
        if (!e.title.empty() && !e.channel.empty()) entries.push_back(std::move(e));
        at = next;
    }
    return entries;
}

std::u16string anime_schedule_address(const CSettings& settings) {
    return default_on_root(settings.text(kAnimeScheduleAddress), kScheduleDefault);
}

std::u16string anime_channel_address(const CSettings& settings) {
    return default_on_root(settings.text(kAnimeChannelAddress), kChannelDefault);
}

std::u16string anime_target(std::u16string_view channel_address, std::u16string_view channel) {
    std::u16string out(channel_address);
    if (!out.empty() && out.back() != u'/') out += u'/';
    out += channel;
    out += u"/video";
    return out;
}

int fetch_anime_schedule(const CSettings& settings, std::vector<AnimeEntry>& entries, std::u16string& message) {
    entries.clear();
    message.clear();
    CNetOptions options = net_options_from_settings(settings);
    options.max_body_bytes = std::min<long long>(options.max_body_bytes, 8LL * 1024 * 1024);
    CNet net(options);
    std::u16string page;
    if (net.get_text(3, page, anime_schedule_address(settings), u"", settings.text(OptText::kRequestHeaders)) != 0) {
        message = std::u16string(message_text(msg::kBmAccessFailed));
        return -1;
    }
    entries = parse_anime_schedule(page);
    if (entries.empty()) {
        message = std::u16string(message_text(msg::kBmNoSchedule));
        return -1;
    }
    return 0;
}

std::u16string add_anime_bookmarks(CBookmarkEditor& editor, BookmarkNode* selected,
                                   const std::vector<AnimeEntry>& entries, bool free_only, const CSettings& settings) {
    if (!selected || selected == &editor.tree().root()) return std::u16string(message_text(msg::kBmSelectPosition));
    const std::u16string channels = anime_channel_address(settings);
    const bool with_start = settings.on(kAnimeLabelWithStart);
    int added = 0;
    for (const AnimeEntry& e : entries) {
        if (free_only && !e.latest_free) continue;
        BookmarkNode data;
        data.label = with_start && !e.start.empty() ? e.title + u" " + e.start : e.title;
        data.target = anime_target(channels, e.channel);
        data.save_folder = settings.text(kAnimeSaveFolder);
        if (!editor.tree().insert(selected, -1, data)) break;
        ++added;
    }
    if (added > 0) {
        selected->set_expanded(true);
        editor.save();
    }
    return from_utf8(std::to_string(added)) + std::u16string(message_text(msg::kBmAddedCount));
}

} // namespace quippet
