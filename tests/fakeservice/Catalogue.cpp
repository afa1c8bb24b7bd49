#include "Catalogue.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace fakeservice {
namespace {

constexpr long long kBasePosted = 1'173'108'780; // 2007-03-06 00:33:00 +09:00

const std::array<unsigned char, 65536>& pattern() {
    static const auto table = [] {
        std::array<unsigned char, 65536> t{};
        std::uint32_t x = 2463534242u;
        for (auto& b : t) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<unsigned char>(x >> 24);
        }
        return t;
    }();
    return table;
}

Kind kind_of(int number) {
    switch (number) {
    case 10:
        return Kind::kDeleted;
    case 11:
        return Kind::kNotFound;
    case 12:
        return Kind::kCommunity;
    case 13:
        return Kind::kNeedsKey;
    case 14:
        return Kind::kOldServerOnly;
    case 15:
        return Kind::kSessionOnly;
    case 16:
        return Kind::kNoComments;
    case 17:
        return Kind::kNicowari;
    case 18:
        return Kind::kOwnerComments;
    case 19:
        return Kind::kHugeThread;
    case 21:
        return Kind::kDenseThread;
    case 22:
        return Kind::kOneComment;
    case 23:
        return Kind::kLostFirst;
    case 24:
        return Kind::kLyingLastRes;
    case 26:
        return Kind::kNoLength;
    case 27:
        return Kind::kLowQualityMode;
    default:
        return Kind::kNormal;
    }
}

} // namespace

std::string xml_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool find_video(std::string_view id, Video& out) {
    long long number = -1;
    if (id.starts_with("sm") || id.starts_with("so") || id.starts_with("nm")) id.remove_prefix(2);
    if (id.empty() || id.size() > 12) return false;
    number = 0;
    for (char c : id) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    if (number >= 1'000'000'000) number -= 1'000'000'000; // a thread id
    if (number <= 0 || number > 99'999'999) return false;
    out.number = static_cast<int>(number);
    out.kind = kind_of(out.number);
    out.id = "sm" + std::to_string(number);
    out.thread = 1'000'000'000 + number;
    out.length_seconds = 60 + static_cast<int>(number % 600);
    out.comments =
        out.kind == Kind::kNoComments ? 0 : (out.kind == Kind::kHugeThread ? 1'000'000 : 1000 + number % 500);
    if (out.kind == Kind::kDenseThread) {
        out.comments = 5000;
        out.per_second = 4;
    }
    if (out.kind == Kind::kOneComment) out.comments = 1;
    if (number == 25) out.comments = 800;
    out.size = 1'048'576 + (number * 7919) % 65536;
    // sm20000001 … sm20004096: exactly that many MiB, for the resume tests and the benchmark.
    if (number > 20'000'000 && number <= 20'004'096) out.size = static_cast<long long>(number - 20'000'000) << 20;
    out.posted = kBasePosted + number * 86400;
    out.title = "テスト動画 " + std::to_string(number) + " & <特集>";
    out.movie_type = number % 5 == 4 ? "flv" : "mp4";
    return true;
}

void pattern_bytes(long long offset, char* out, size_t n) {
    const auto& t = pattern();
    while (n > 0) {
        const size_t at = static_cast<size_t>(offset % static_cast<long long>(t.size()));
        const size_t run = std::min(n, t.size() - at);
        std::memcpy(out, t.data() + at, run);
        out += run;
        n -= run;
        offset += static_cast<long long>(run);
    }
}

void video_bytes(const Video& video, long long offset, char* out, size_t n) {
    pattern_bytes(offset + video.number, out, n);
    static constexpr char kMp4[] = "\0\0\0\x18"
                                   "ftypmp42\0\0\0\0";
    static constexpr char kFlv[] = "FLV\x01\x05\0\0\0\x09\0\0\0\0\0\0\0";
    const char* magic = video.movie_type == "flv" ? kFlv : kMp4;
    for (long long i = offset; i < 16 && i < offset + static_cast<long long>(n); ++i)
        out[i - offset] = magic[i];
}

long long chat_date(const Video& video, long long no) {
    return video.per_second > 0 ? video.posted + no / video.per_second : video.posted + no * 60;
}

long long last_posted_by(const Video& video, long long when) {
    if (when < video.posted) return 0;
    const long long by = video.per_second > 0 ? (when - video.posted) * video.per_second + video.per_second - 1
                                              : (when - video.posted) / 60;
    return std::min(video.comments, by);
}

std::string chat_element(const Video& video, long long no, bool owner) {
    const long long vpos = (no * 7919) % (static_cast<long long>(video.length_seconds) * 100);
    std::string out = "<chat thread=\"" + std::to_string(video.thread) + "\" no=\"" + std::to_string(no) +
                      "\" vpos=\"" + std::to_string(vpos) + "\" date=\"" + std::to_string(chat_date(video, no)) + "\"";
    if (owner) {
        out += " mail=\"shita red\" premium=\"3\">投稿者コメント" + std::to_string(no) + "</chat>";
    } else {
        out += " mail=\"184\" user_id=\"u" + std::to_string(no % 97) + "\" anonymity=\"1\">コメント" +
               std::to_string(no) + "</chat>";
    }
    return out;
}

} // namespace fakeservice
