#include "download/RegisterOptions.h"

#include "text/Ascii.h"

namespace quippet {
namespace {

std::optional<long long> signed_number(std::u16string_view v) {
    bool negative = false;
    if (!v.empty() && v.front() == u'-') {
        negative = true;
        v.remove_prefix(1);
    }
    if (v.empty() || v.size() > 12) return std::nullopt;
    const auto n = ascii_decimal(v, 12);
    if (!n) return std::nullopt;
    return negative ? -*n : *n;
}

} // namespace

RegisterOptions parse_register_options(std::u16string_view text) {
    RegisterOptions o;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(u' ', at);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view token = text.substr(at, end - at);
        at = end + 1;
        if (token.empty()) continue;
        const auto n = token.size() > 2 && token[1] == u'=' ? signed_number(token.substr(2)) : std::nullopt;
        bool taken = n.has_value();
        if (taken) {
            switch (token[0]) {
            case u'd':
                taken = *n >= 0 && *n < 1000;
                if (taken) o.depth = static_cast<int>(*n);
                break;
            case u'e':
                taken = *n == 0;
                o.no_subfolders = taken;
                break;
            case u's':
                taken = *n > -10 && *n < 10;
                if (taken) o.sort = static_cast<int>(*n);
                break;
            case u'p':
                taken = *n >= 0;
                if (taken) o.pages = *n;
                break;
            case u'a':
                taken = *n == 0 || *n == 1;
                if (taken) o.append = *n == 1;
                break;
            case u't':
                taken = *n >= 0 && *n < kThumbSizeCount;
                if (taken) o.thumbs = static_cast<ThumbSize>(*n);
                break;
            case u'w':
                taken = *n == -4 || *n == -16 || (*n > 0 && *n <= 1000);
                if (taken) o.ratio = static_cast<int>(*n);
                break;
            case u'c':
                taken = *n >= 0 && *n <= 3;
                if (taken) o.no_skip = static_cast<int>(*n);
                break;
            default:
                taken = false;
            }
        }
        if (!taken) o.unknown.emplace_back(token);
    }
    return o;
}

ThumbPixels thumb_pixels(ThumbSize size, int ratio) {
    static constexpr int kHeights[kThumbSizeCount] = {0, 36, 54, 72, 108};
    const int height = kHeights[static_cast<int>(size)];
    if (height == 0) return {};
    int width = height * 16 / 9;
    if (ratio == -4)
        width = height * 4 / 3;
    else if (ratio > 0)
        width = height * ratio / 100;
    return {width < 1 ? 1 : width, height};
}

} // namespace quippet
