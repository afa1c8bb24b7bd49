#include "net/NetResponse.h"

#include "net/NetCodes.h"

namespace quippet::netresp {
namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_token_char(char c) {
    if (is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

} // namespace

int parse_status_line(std::string_view line) {
    if (!line.starts_with("HTTP/")) return -1;
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || line.size() < blank + 4) return -1;
    const std::string_view digits = line.substr(blank + 1, 3);
    for (char c : digits)
        if (!is_digit(c)) return -1;
    if (line.size() > blank + 4 && line[blank + 4] != ' ' && line[blank + 4] != '\r' && line[blank + 4] != '\n')
        return -1;
    return (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
}

bool find_header(std::string_view block, std::string_view name, std::string& value) {
    bool found = false;
    while (!block.empty()) {
        const size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("HTTP/")) continue;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (!iequals(trim(line.substr(0, colon)), name)) continue;
        value.assign(trim(line.substr(colon + 1)));
        found = true;
    }
    return found;
}

long long parse_content_length(std::string_view value) {
    value = trim(value);
    if (value.empty() || value.size() > 16) return -1;
    long long n = 0;
    for (char c : value) {
        if (!is_digit(c)) return -1;
        n = n * 10 + (c - '0');
    }
    return n > (1LL << 53) ? -1 : n;
}

int status_class_code(int status) {
    if (status >= 200 && status <= 299) return net_code::kNone;
    if (status >= 100 && status <= 199) return net_code::kStatus1xx;
    if (status >= 300 && status <= 399) return net_code::kStatusRedirect;
    if (status == 403) return net_code::kStatus403;
    if (status == 404) return net_code::kStatus404;
    if (status >= 400 && status <= 499) return net_code::kStatusClientOther;
    if (status == 500) return net_code::kStatus500;
    if (status == 502) return net_code::kStatus502;
    if (status == 503) return net_code::kStatus503;
    if (status >= 500 && status <= 599) return net_code::kStatusServerOther;
    return net_code::kStatusOther;
}

std::string_view sniff_extension(std::string_view head) {
    if (head.size() >= 3 && head.substr(0, 3) == "FLV") return ".flv";
    if (head.size() >= 8 && head.substr(4, 4) == "ftyp") return ".mp4";
    if (head.size() >= 3 && (head[0] == 'C' || head[0] == 'F') && head.substr(1, 2) == "WS") return ".swf";
    return {};
}

void split_url(std::u16string_view url, std::u16string& server, std::u16string& object) {
    const size_t slashes = url.find(u"//");
    std::u16string_view rest = slashes == std::u16string_view::npos ? url : url.substr(slashes + 2);
    const size_t slash = rest.find(u'/');
    if (slash == std::u16string_view::npos) {
        server.assign(rest);
        object.clear();
        return;
    }
    server.assign(rest.substr(0, slash));
    object.assign(rest.substr(slash));
}

bool is_valid_header_line(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (char c : line.substr(0, colon))
        if (!is_token_char(c)) return false;
    for (char c : line.substr(colon + 1)) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f) return false;
    }
    return true;
}

std::string_view header_name(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    return trim(line.substr(0, colon));
}

} // namespace quippet::netresp
