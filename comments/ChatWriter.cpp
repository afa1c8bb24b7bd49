#include "comments/ChatWriter.h"

#include "resources/MessageIds.h"
#include "text/Ascii.h"

#include <algorithm>
#include <filesystem>

#include "comments/ChatNumbers.h"
#include "comments/ChatScan.h"
#include "text/AppHome.h"
#include "text/DateText.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
/// The longest markup of one element beyond its texts: every attribute name, quotes and numbers.
constexpr int kElementMarkup = 270;

void set_error(int* error, int code) {
    if (error) *error = code;
}

/// Builds a wide element, for callers that want one comment as text.
class WideSink {
public:
    explicit WideSink(CCharW& out) : out_(out) {}
    void markup(std::string_view ascii) {
        for (const char c : ascii)
            out_.append(static_cast<char16_t>(c));
    }
    void text(std::u16string_view value) { out_.append(value); }
    void number(int value) { out_.append_int(value); }

private:
    CCharW& out_;
};

/// Appends straight to the UTF-8 body: a large body never exists as wide text next to its UTF-8 form.
class Utf8Sink {
public:
    explicit Utf8Sink(std::string& out) : out_(out) {}
    void markup(std::string_view ascii) { out_.append(ascii); }
    void number(int value) {
        char digits[12];
        out_.append(digits, static_cast<size_t>(chatnum::format_int(value, digits)));
    }
    void text(std::u16string_view value) {
        // Unpaired surrogates become U+FFFD, as everywhere else the program writes UTF-8. Chunks of 128 units
        // fit the buffer whatever they hold, so the inner loop needs no room check.
        constexpr size_t kChunk = 128;
        char buffer[3 * kChunk + 4];
        size_t i = 0;
        while (i < value.size()) {
            const size_t stop = std::min(value.size(), i + kChunk);
            size_t n = 0;
            while (i < stop) {
                char32_t c = value[i++];
                if (c < 0x80) {
                    buffer[n++] = static_cast<char>(c);
                } else if (c < 0x800) {
                    buffer[n++] = static_cast<char>(0xC0 | (c >> 6));
                    buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
                } else if (c >= 0xD800 && c <= 0xDBFF && i < value.size() && value[i] >= 0xDC00 && value[i] <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (value[i++] - 0xDC00);
                    buffer[n++] = static_cast<char>(0xF0 | (c >> 18));
                    buffer[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                    buffer[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
                } else {
                    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
                    buffer[n++] = static_cast<char>(0xE0 | (c >> 12));
                    buffer[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            out_.append(buffer, n);
        }
    }

private:
    std::string& out_;
};

/// Comment i as a `chat` element, attribute by attribute in the fixed order.
template <typename Sink>
void emit_chat(const CWorkChatdata& set, int i, int number, const ChatWriterOptions& o, Sink& out) {
    auto number_attr = [&](std::string_view markup, ChatColumn column, bool wanted) {
        const int value = set.get(column, i);
        if (!wanted || value == 0) return;
        out.markup(markup);
        out.number(value);
    };
    out.markup("<chat user_id=\"");
    out.text(set.user_id(i));
    number_attr("\" thread=\"", ChatColumn::thread, o.write_thread);
    out.markup("\" date=\"");
    out.number(set.date(i));
    out.markup("\" vpos=\"");
    out.number(set.vpos(i));
    const int no = number == kOwnNumber ? set.no(i) : number;
    if (number != kOwnNumber || no != -1) {
        out.markup("\" no=\"");
        out.number(no);
    }
    number_attr("\" score=\"", ChatColumn::score, o.write_score);
    number_attr("\" premium=\"", ChatColumn::premium, o.write_premium);
    number_attr("\" anonymity=\"", ChatColumn::anonymity, o.write_anonymity);
    number_attr("\" fork=\"", ChatColumn::fork, o.write_fork);
    number_attr("\" leaf=\"", ChatColumn::leaf, o.write_leaf);
    if (o.write_locale && !set.locale(i).empty()) {
        out.markup("\" locale=\"");
        out.text(set.locale(i));
    }
    if (o.write_empty_mail || !set.mail(i).empty()) {
        out.markup("\" mail=\"");
        out.text(set.mail(i));
    }
    number_attr("\" deleted=\"", ChatColumn::deleted, o.write_deleted);
    const std::u16string_view text = set.text(i);
    if (text.empty()) {
        out.markup("\"/>\n");
    } else {
        out.markup("\">");
        out.text(text);
        out.markup("</chat>\n");
    }
}

int write_comments(const CWorkChatdata& set, const ChatWriterOptions& options, bool own_numbers,
                   const std::function<bool()>& stop_requested, std::string& body, int* error) {
    body.clear();
    // An upper bound: UTF-8 takes at most three bytes per UTF-16 unit. Reserving does not touch the memory,
    // so the slack costs address space only.
    const long long units = static_cast<long long>(set.total_user_id_length()) + set.total_mail_length() +
                            set.total_text_length() + set.total_locale_length();
    body.reserve(static_cast<size_t>(3 * units + static_cast<long long>(kElementMarkup) * set.count()));
    Utf8Sink sink(body);
    for (int k = 0; k < set.count(); ++k) {
        emit_chat(set, set.at(k), own_numbers ? kOwnNumber : k + 1, options, sink);
        if (stop_requested && stop_requested()) {
            body.clear();
            set_error(error, msg::kJoiningComments);
            return -1;
        }
    }
    return 0;
}

std::u16string header_ids(const CCharArrayW& ids, const ChatWriterOptions& options) {
    return options.join_header_values ? ids.join(options.id_separator) : std::u16string(ids.get(0));
}

void append_attr(std::string& out, std::string_view name, std::u16string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += to_utf8(value);
    out += '"';
}

void append_attr(std::string& out, std::string_view name, int value) {
    char digits[12];
    out += ' ';
    out += name;
    out += "=\"";
    out.append(digits, static_cast<size_t>(chatnum::format_int(value, digits)));
    out += '"';
}

/// The same name ignoring case, or the same file under another spelling of its path.
bool is_same_file(std::u16string_view a, std::u16string_view b) {
    if (ascii_equal_nocase(a, b)) return true;
    std::error_code ec;
    return std::filesystem::equivalent(to_fs_path(a), to_fs_path(b), ec) && !ec;
}

std::u16string padded(int value, int width) {
    std::u16string digits;
    char buffer[12];
    const int n = chatnum::format_int(value, buffer);
    for (int pad = width - n; pad > 0; --pad)
        digits += u'0';
    for (int k = 0; k < n; ++k)
        digits += static_cast<char16_t>(buffer[k]);
    return digits;
}

} // namespace

void write_chat(const CWorkChatdata& set, int i, int number, const ChatWriterOptions& options, CCharW& out) {
    out.clear();
    out.reserve(kElementMarkup + static_cast<int>(set.user_id(i).size() + set.mail(i).size() + set.text(i).size() +
                                                  set.locale(i).size()));
    WideSink sink(out);
    emit_chat(set, i, number, options, sink);
}

void write_header(const ChatHeaderRecord& r, const ChatWriterOptions& options, std::string_view line_end,
                  std::string& out) {
    out.clear();
    out += kDeclaration;
    out += line_end;
    for (const auto& comment : r.comments.items()) {
        out += to_utf8(comment);
        out += line_end;
    }
    out += "<packet>";
    out += line_end;
    out += "<thread";
    if (r.resultcode >= 0) append_attr(out, "resultcode", r.resultcode);
    if (const std::u16string thread = header_ids(r.thread_ids, options); !thread.empty())
        append_attr(out, "thread", thread);
    append_attr(out, "last_res", r.last_res);
    if (const std::u16string ticket = header_ids(r.tickets, options); !ticket.empty() || options.always_write_ticket)
        append_attr(out, "ticket", ticket);
    if (r.revision >= 0) append_attr(out, "revision", r.revision);
    if (r.server_time >= 1) append_attr(out, "server_time", r.server_time);
    if (r.num_clicks >= 1) append_attr(out, "num_clicks", r.num_clicks);
    if (r.click_revision >= 0) append_attr(out, "click_revision", r.click_revision);
    out += "/>";
    out += line_end;
    out += "<view_counter";
    if (const std::u16string id = header_ids(r.view_counter_ids, options); !id.empty()) append_attr(out, "id", id);
    append_attr(out, "video", r.video);
    if (r.mylist >= 1) append_attr(out, "mylist", r.mylist);
    out += "/>";
    out += line_end;
}

void write_footer(const ChatFooterRecord& r, const ChatWriterOptions& options, std::string_view line_end,
                  bool keep_num_click, std::string& out, std::u16string* names) {
    out.clear();
    auto lines = [&](const CCharArrayW& elements) {
        for (const auto& element : elements.items()) {
            out += to_utf8(element);
            out += line_end;
        }
    };
    if (keep_num_click && !options.drop_num_click) lines(r.num_clicks);
    lines(r.before_packet);
    out += "</packet>";
    out += line_end;
    lines(r.after_packet);
    if (names) *names = r.names.join(u" ");
}

int write_body(const CWorkChatdata& set, const ChatWriterOptions& options, const std::function<bool()>& stop_requested,
               std::string& body, int* error) {
    return write_comments(set, options, options.keep_own_numbers, stop_requested, body, error);
}

int write_reconstructed(const CWorkChatdata& set, const ChatHeaderRecord& header, const ChatFooterRecord& footer,
                        const ChatWriterOptions& options, const std::function<bool()>& stop_requested, CommentTexts out,
                        int* error) {
    if (write_body(set, options, stop_requested, out.body, error) != 0) return -1;
    write_header(header, options, "\n", out.header);
    // Renumbered comments no longer match the numbers the num_click elements refer to.
    write_footer(footer, options, "\n", options.keep_own_numbers, out.footer);
    return 0;
}

int write_chat_set(CWorkChatdata& set, std::u16string_view output_path, std::u16string_view suffix,
                   const ChatWriterOptions& options, int* error, std::u16string* written_as) {
    if (set.count() == 0) {
        set_error(error, msg::kNoValidComments);
        return -1;
    }
    set.sort(chat_key::source, chat_key::filterable, chat_key::user_id, chat_key::date);
    std::string header, body, footer;
    write_comments(set, options, true, {}, body, nullptr);
    write_header(ChatHeaderRecord{}, options, "\n", header);
    write_footer(ChatFooterRecord{}, options, "\n", false, footer);

    std::u16string name(output_path);
    if (name.size() >= 4 && ascii_equal_nocase(std::u16string_view(name).substr(name.size() - 4), u".xml"))
        name.resize(name.size() - 4);
    name += suffix;
    CFileSP file;
    if (file.write(name, header, body, footer, CFileSP::kOverwrite, written_as) != 0) {
        set_error(error, file.error());
        return -1;
    }
    return 0;
}

int ensure_header(CommentTexts texts, const ChatWriterOptions& options) {
    const std::string_view header = texts.header;
    bool complete = header.starts_with(kDeclaration) && header.find("<packet>") != std::string_view::npos &&
                    header.find("<thread ") != std::string_view::npos;
    if (complete) {
        const size_t at = header.find("<view_counter ");
        const size_t gt = at == std::string_view::npos ? at : header.find('>', at);
        std::string_view video;
        int n = 0;
        complete = gt != std::string_view::npos && attribute_value(header.substr(at, gt - at), "video", video) &&
                   chatnum::parse_int(video, n);
    }
    if (complete) return 0;
    ChatHeaderRecord record;
    parse_header(header, record, options.id_separator);
    const std::string_view line_end = header.ends_with('\n') ? "\n" : "";
    std::string rebuilt;
    write_header(record, options, line_end, rebuilt);
    texts.header = std::move(rebuilt);
    return 1;
}

int ensure_footer(CommentTexts texts, const ChatWriterOptions& options) {
    if (texts.footer.find("</packet>") != std::string::npos && !options.rebuild_footer) return 0;
    ChatFooterRecord record;
    parse_footer(texts.footer, record);
    const bool lines = texts.header.ends_with('\n');
    std::string rebuilt;
    write_footer(record, options, lines ? "\n" : "", true, rebuilt);
    texts.footer = lines ? "\n" + rebuilt : std::move(rebuilt);
    return 1;
}

BodyFacts body_facts(std::string_view body) {
    const size_t end = comments_end(body);
    return scan_body_facts(body.substr(0, end == std::string_view::npos ? body.size() : end));
}

int save_name_fragment(std::string_view body, const SaveNaming& naming, std::u16string& fragment, int* error) {
    const bool scans = naming.number_range || naming.require_number_range || naming.date_range;
    return save_name_fragment(scans ? body_facts(body) : BodyFacts{}, naming, fragment, error);
}

int save_name_fragment(const BodyFacts& facts, const SaveNaming& naming, std::u16string& fragment, int* error) {
    fragment.clear();
    std::vector<std::u16string> parts;
    if (!naming.caller_text.empty()) parts.push_back(naming.caller_text);
    if (naming.number_range || naming.require_number_range || naming.date_range) {
        const AttributeRange& dates = facts.dates;
        if (naming.number_range || naming.require_number_range) {
            const NumberScan& numbers = facts.numbers;
            const int count = std::min(facts.vpos.count, dates.count);
            std::u16string range = padded(numbers.min, naming.number_width);
            range += u"～";
            range += padded(numbers.max, naming.number_width);
            const bool gaps = numbers.error != 0 && numbers.min + count != numbers.max + 1;
            if (gaps || numbers.count != count || naming.always_count) {
                range += u"（";
                range += padded(count, 0);
                range += u"コメント）";
            }
            parts.push_back(std::move(range));
        }
        // Without any date there is no range to show, rather than one from 1970.
        if (naming.date_range && dates.count > 0) {
            const std::u16string earliest = format_short_stamp(dates.min), latest = format_short_stamp(dates.max);
            if (earliest.empty() || latest.empty()) {
                set_error(error, msg::kDateTextFailed);
                return -1;
            }
            parts.push_back(earliest + u"～" + latest);
        }
    }
    if (parts.empty()) return 0;
    fragment = naming.before;
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) fragment += naming.separator;
        fragment += parts[k];
    }
    fragment += naming.after;
    return 0;
}

int save_comment_file(CommentTexts texts, const SaveRequest& request, int* error, std::u16string* written_as) {
    // A caller may hold the whole file as one text, in the body.
    std::string& thread_holder = texts.header.empty() && texts.footer.empty() ? texts.body : texts.header;
    const std::string_view body = texts.body;
    const BodyFacts facts = request.facts ? *request.facts : body_facts(body);
    const int last_res = facts.numbers.max;
    // A body cut out of a whole file still holds the trailing elements before "</packet>". Only the
    // num_click elements count here.
    ChatFooterRecord footer;
    parse_footer(body, footer);
    parse_footer(texts.footer, footer);
    std::u16string fragment;
    if (save_name_fragment(facts, request.naming, fragment, error) != 0) return -1;

    if (set_thread_attribute(thread_holder, "last_res", last_res, error) != 0) return -1;
    if (footer.num_clicks.count() == 0) {
        remove_thread_attribute(thread_holder, "num_clicks");
        remove_thread_attribute(thread_holder, "click_revision");
    } else {
        set_thread_attribute(thread_holder, "num_clicks", footer.num_clicks.count(), error);
    }

    const SaveNaming& naming = request.naming;
    const std::u16string name = naming.base + naming.prefix + fragment + naming.extension;

    int policy = request.policy;
    if (policy == CFileSP::kOverwrite && request.protect_inputs) {
        for (const auto& input : request.inputs)
            if (is_same_file(name, input)) policy = CFileSP::kNumberedName;
    }
    CFileSP file;
    if (file.write(name, texts.header, texts.body, texts.footer, policy, written_as) != 0) {
        set_error(error, file.error());
        return -1;
    }
    return 0;
}

} // namespace quippet
