#include "reconstruct/PartMerge.h"

#include "text/Ascii.h"

#include <algorithm>

#include "text/DateText.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

bool is_lower(char16_t c) {
    return c >= u'a' && c <= u'z';
}
bool is_alnum(char16_t c) {
    return is_lower(c) || is_ascii_digit(c) || (c >= u'A' && c <= u'Z');
}

} // namespace

std::u16string_view length_source_text(LengthSource source) {
    switch (source) {
    case LengthSource::file_name:
        return u"ファイル名から取得";
    case LengthSource::net_api:
        return u"ネット（API）から取得";
    case LengthSource::net_page:
        return u"ネット（閲覧ページ）から取得";
    case LengthSource::comments:
        break;
    }
    return u"コメント内容から推測";
}

std::u16string video_id_in_name(std::u16string_view name) {
    for (size_t i = 0; i + 2 < name.size(); ++i) {
        if (!is_lower(name[i]) || !is_lower(name[i + 1]) || !is_ascii_digit(name[i + 2])) continue;
        if (i > 0 && is_alnum(name[i - 1])) continue;
        size_t end = i + 2;
        while (end < name.size() && is_ascii_digit(name[end]))
            ++end;
        return std::u16string(name.substr(i, end - i));
    }
    return {};
}

PartLength part_length(std::u16string_view file_name, int largest_vpos, int unit_files,
                       const PartLengthLookup& lookup) {
    if (const auto text = duration_from_name(file_name, lookup.open, lookup.close)) {
        const int length = duration_to_hundredths(*text);
        if (length > 0) return {length, LengthSource::file_name};
    }
    const std::u16string id = video_id_in_name(file_name);
    if (lookup.from_net && lookup.provider && lookup.provider->available() && !id.empty()) {
        if (const auto length = lookup.provider->from_api(id); length && *length > 0)
            return {*length, LengthSource::net_api};
        // Many parts in a row would hammer the service; the pause grows with the unit.
        if (unit_files > 3 && lookup.wait_seconds > 0) {
            const int seconds = unit_files > 12 ? lookup.wait_seconds : lookup.wait_seconds / 5;
            int waited = 0;
            for (; waited < seconds; ++waited) {
                if (lookup.status)
                    lookup.status(u"ネットからの情報取得のために待機中（残り" + decimal_text(seconds - waited) +
                                      u"秒）",
                                  waited > 0);
                if (lookup.sleep_second && !lookup.sleep_second()) break;
            }
            if (lookup.status && seconds > 0)
                lookup.status(u"ネットからの情報取得のために" + decimal_text(waited) + u"秒待機しました", true);
        }
        if (const auto length = lookup.provider->from_watch_page(id); length && *length > 0)
            return {*length, LengthSource::net_page};
    }
    return {std::max(0, largest_vpos), LengthSource::comments};
}

std::vector<int> part_offsets(const std::vector<PartLength>& lengths) {
    std::vector<int> offsets;
    long long sum = 0;
    for (const PartLength& part : lengths) {
        offsets.push_back(static_cast<int>(std::min<long long>(sum, 2'000'000'000)));
        sum += part.hundredths;
    }
    return offsets;
}

} // namespace quippet
