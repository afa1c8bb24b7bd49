#include "comments/ChatFileParts.h"

#include "resources/MessageIds.h"

#include <algorithm>

#include "comments/ChatNumbers.h"
#include "comments/ChatScan.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr size_t npos = std::string_view::npos;
constexpr size_t kNearWindow = 4096;

/// Last occurrence of `pattern`, looking at the end of the text before the whole of it.
size_t rfind_near_end(std::string_view text, std::string_view pattern) {
    if (text.size() > kNearWindow) {
        const size_t from = text.size() - kNearWindow;
        const size_t near = text.substr(from).rfind(pattern);
        if (near != npos) return from + near;
        // An occurrence straddling the window's start is found by the whole search below.
    }
    return text.rfind(pattern);
}

void merge_ids(std::string_view value, std::u16string_view separator, CCharArrayW& into) {
    const std::u16string wide = from_utf8(value);
    CCharArrayW pieces(16);
    if (separator.empty()) {
        pieces.add(wide);
    } else {
        pieces.split(wide, separator);
    }
    for (const auto& piece : pieces.items())
        if (piece != u"0") into.add_unique(piece);
}

void merge_max(std::string_view tag, std::string_view name, int& field) {
    std::string_view value;
    int n = 0;
    if (attribute_value(tag, name, value) && chatnum::parse_int(value, n)) field = std::max(field, n);
}

/// Calls `f(tag)` for each start tag `<name ...>` (without its ">"), in order.
template <typename F> void each_start_tag(std::string_view text, std::string_view open, F f) {
    for (size_t at = text.find(open); at != npos; at = text.find(open, at + open.size())) {
        const size_t gt = text.find('>', at);
        if (gt == npos) return;
        f(text.substr(at, gt - at));
    }
}

size_t name_end(std::string_view text, size_t from) {
    size_t i = from;
    while (i < text.size() && text[i] != ' ' && text[i] != '/' && text[i] != '>' && text[i] != '\t' &&
           text[i] != '\r' && text[i] != '\n')
        ++i;
    return i;
}

} // namespace

void ChatHeaderRecord::add_thread(std::u16string_view id, int video_count) {
    if (id != u"0") thread_ids.add_unique(id);
    video = std::max(video, video_count);
}

void ChatHeaderRecord::add_player_data(std::u16string_view value) {
    std::u16string comment = u"<!-- BoonSutazioData=";
    comment += value;
    comment += u" -->";
    comments.add_unique(comment);
}

int split_comment_file(std::string& text, std::string& header, std::string& footer, int* error) {
    const size_t first = text.find("<chat ");
    const size_t last = first == npos ? npos : rfind_near_end(text, "</packet>");
    if (first == npos || last == npos || last < first) {
        if (error) *error = msg::kMarkerMissing;
        return -1;
    }
    header.assign(text, 0, first);
    footer.assign(text, last);
    text.resize(last);
    text.erase(0, first);
    return 0;
}

void parse_header(std::string_view header, ChatHeaderRecord& record, std::u16string_view id_separator) {
    std::string_view value;
    each_start_tag(header, "<thread ", [&](std::string_view tag) {
        if (attribute_value(tag, "thread", value)) merge_ids(value, id_separator, record.thread_ids);
        if (attribute_value(tag, "ticket", value)) merge_ids(value, id_separator, record.tickets);
        merge_max(tag, "server_time", record.server_time);
        merge_max(tag, "resultcode", record.resultcode);
        merge_max(tag, "revision", record.revision);
        merge_max(tag, "click_revision", record.click_revision);
        merge_max(tag, "last_res", record.last_res);
        merge_max(tag, "num_clicks", record.num_clicks);
    });
    each_start_tag(header, "<view_counter ", [&](std::string_view tag) {
        if (attribute_value(tag, "id", value)) merge_ids(value, id_separator, record.view_counter_ids);
        merge_max(tag, "mylist", record.mylist);
        merge_max(tag, "video", record.video);
    });
    for (size_t at = header.find("<!--"); at != npos;) {
        const size_t end = header.find("-->", at + 4);
        if (end == npos) break;
        record.comments.add_unique(from_utf8(header.substr(at, end + 3 - at)));
        at = header.find("<!--", end + 3);
    }
}

size_t footer_start(std::string_view text) {
    const size_t last = rfind_near_end(text, "</chat>");
    return last == npos ? 0 : last + 7;
}

size_t comments_end(std::string_view text) {
    size_t end = footer_start(text);
    for (size_t at = text.find("<chat ", end); at != npos; at = text.find("<chat ", end)) {
        const size_t close = text.find("/>", at);
        if (close == npos) return npos;
        end = close + 2;
    }
    return end;
}

void parse_footer(std::string_view text, ChatFooterRecord& record) {
    text.remove_prefix(footer_start(text));
    bool after_packet = false;
    size_t pos = 0;
    while ((pos = text.find('<', pos)) != npos) {
        const std::string_view rest = text.substr(pos);
        if (rest.starts_with("<!--")) {
            const size_t end = rest.find("-->");
            const size_t len = end == npos ? rest.size() : end + 3;
            const std::string_view comment = rest.substr(0, len);
            if (comment.find("<chat ") == npos)
                (after_packet ? record.after_packet : record.before_packet).add_unique(from_utf8(comment));
            pos += len;
            continue;
        }
        const size_t gt = rest.find('>');
        if (gt == npos) break;
        if (rest.starts_with("</")) {
            // The packet's end tag moves us to what follows it; stray end tags carry nothing.
            if (rest.starts_with("</packet")) after_packet = true;
            pos += gt + 1;
            continue;
        }
        const std::string_view name = rest.substr(1, name_end(rest, 1) - 1);
        size_t len = gt + 1;
        if (rest[gt - 1] != '/' && !name.empty()) {
            // An element with content is kept whole, up to its end tag, when that comes before the
            // packet's end.
            std::string end_tag = "</";
            end_tag += name;
            end_tag += '>';
            const size_t limit = after_packet ? rest.size() : std::min(rest.size(), rest.find("</packet"));
            const size_t close = rest.substr(0, limit).find(end_tag, gt + 1);
            if (close != npos) len = close + end_tag.size();
        }
        if (name == "chat" || rest.substr(0, len).find("<chat ") != npos) {
            // Self-closing comments after the last full one belong to the body; keeping them here as well
            // would write them twice, and anything holding "<chat " would be read back as a comment.
            pos += len;
            continue;
        }
        const std::u16string element = from_utf8(rest.substr(0, len));
        if (name == "num_click") {
            record.num_clicks.add_unique(element);
        } else {
            (after_packet ? record.after_packet : record.before_packet).add_unique(element);
            if (!name.empty()) {
                // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "<" + text + ">".
                std::u16string tag = u"<";
                tag += from_utf8(name);
                tag += u'>';
                record.names.add_unique(tag);
            }
        }
        pos += len;
    }
}

} // namespace quippet
