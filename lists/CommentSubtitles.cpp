#include "lists/CommentSubtitles.h"

#include <algorithm>
#include <cstdio>

#include "comments/ChatReader.h"
#include "text/Encoding.h"
#include "text/Entities.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

constexpr int kMediumSize = 30;
constexpr int kBigSize = 39;
constexpr int kSmallSize = 20;
/// Lanes are as tall as the smallest comment; larger ones take several.
constexpr int kLaneHeight = kSmallSize;
constexpr int kLaneCount = kSubtitleHeight / kLaneHeight;
/// Past this many layers a crowded second simply shares the last one.
constexpr int kMaxLayers = 16;
constexpr int kMaxDurationCs = 60 * 100;

struct NamedColour {
    std::u16string_view name;
    unsigned rgb;
};
constexpr NamedColour kColours[] = {
    {u"white", 0xFFFFFF},          {u"red", 0xFF0000},         {u"pink", 0xFF8080},      {u"orange", 0xFFC000},
    {u"yellow", 0xFFFF00},         {u"green", 0x00FF00},       {u"cyan", 0x00FFFF},      {u"blue", 0x0000FF},
    {u"purple", 0xC000FF},         {u"black", 0x000000},       {u"white2", 0xCCCC99},    {u"niconicowhite", 0xCCCC99},
    {u"red2", 0xCC0033},           {u"truered", 0xCC0033},     {u"pink2", 0xFF33CC},     {u"orange2", 0xFF6600},
    {u"passionorange", 0xFF6600},  {u"yellow2", 0x999900},     {u"madyellow", 0x999900}, {u"green2", 0x00CC66},
    {u"elementalgreen", 0x00CC66}, {u"cyan2", 0x00CCCC},       {u"blue2", 0x3399FF},     {u"marineblue", 0x3399FF},
    {u"purple2", 0x6633CC},        {u"nobleviolet", 0x6633CC}, {u"black2", 0x666666},
};

bool hex_colour(std::u16string_view word, unsigned& rgb) {
    if (word.size() != 7 || word[0] != u'#') return false;
    unsigned v = 0;
    for (char16_t c : word.substr(1)) {
        const int d = c >= u'0' && c <= u'9'   ? c - u'0'
                      : c >= u'a' && c <= u'f' ? c - u'a' + 10
                      : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                               : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    rgb = v;
    return true;
}

/// "@5" or "@2.5": seconds, to 1/100 s.
bool display_time(std::u16string_view word, int& cs) {
    if (word.size() < 2 || word[0] != u'@') return false;
    long long whole = 0, frac = 0, frac_digits = 0;
    bool dot = false;
    for (char16_t c : word.substr(1)) {
        if (c == u'.' && !dot) {
            dot = true;
        } else if (c >= u'0' && c <= u'9') {
            if (!dot) {
                whole = std::min<long long>(whole * 10 + (c - u'0'), 100000);
            } else if (frac_digits < 2) {
                frac = frac * 10 + (c - u'0');
                ++frac_digits;
            }
        } else {
            return false;
        }
    }
    if (frac_digits == 1) frac *= 10;
    const long long total = whole * 100 + frac;
    if (total <= 0) return false;
    cs = static_cast<int>(std::min<long long>(total, kMaxDurationCs));
    return true;
}

/// Width in the script's pixels: full-width characters are as wide as the font is tall, the rest half.
int text_width(std::u16string_view line, int size) {
    int half_units = 0;
    for (char16_t c : line) {
        if (c >= 0xDC00 && c < 0xE000) continue; // second half of a pair
        half_units += (c < 0x0100 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
    }
    return half_units * size / 2;
}

std::string timestamp(long long cs) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld.%02lld", cs / 360000, cs / 6000 % 60, cs / 100 % 60,
                  cs % 100);
    return buffer;
}

/// The text of a Dialogue line: braces would open override blocks and a backslash an escape, so both are
/// replaced by look-alikes; line breaks become the format's own.
std::string ass_text(std::u16string_view text, int& lines) {
    std::u16string out;
    lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r') continue;
        if (c == u'\n') {
            out += u"\\N";
            ++lines;
        } else if (c == u'{') {
            out += u'｛';
        } else if (c == u'}') {
            out += u'｝';
        } else if (c == u'\\') {
            out += u'＼';
        } else if (c < 0x20) {
            out += u' ';
        } else {
            out += c;
        }
    }
    return to_utf8(out);
}

std::string bgr(unsigned rgb) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&H%02X%02X%02X&", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    return buffer;
}

/// What occupies a lane: the last comment placed there.
struct LaneUse {
    long long start = -1; ///< -1: never used
    long long end = 0;
    int width = 0;
};

/// Two comments moving left over the same lane never touch: the earlier one's tail has come onto the field
/// before the later one appears, and the later one has not caught it up by the time it leaves.
bool scroll_fits(const LaneUse& earlier, long long start, long long duration, int width) {
    if (earlier.start < 0 || earlier.end <= start) return true;
    const double earlier_speed = double(kSubtitleWidth + earlier.width) / double(earlier.end - earlier.start);
    if (earlier_speed * double(start - earlier.start) < earlier.width) return false;
    const double speed = double(kSubtitleWidth + width) / double(duration);
    return speed * double(earlier.end - start) <= kSubtitleWidth;
}

struct Layers {
    // [layer][lane]
    std::vector<std::vector<LaneUse>> scroll, fixed_top, fixed_bottom;
};

std::vector<LaneUse>& new_layer(std::vector<std::vector<LaneUse>>& layers) {
    layers.emplace_back(static_cast<size_t>(kLaneCount));
    return layers.back();
}

} // namespace

CommentLook comment_look(std::u16string_view mail) {
    CommentLook look;
    look.size = kMediumSize;
    while (!mail.empty()) {
        const size_t start = mail.find_first_not_of(u" \u3000\t");
        if (start == std::u16string_view::npos) break;
        mail.remove_prefix(start);
        const size_t end = std::min(mail.find_first_of(u" \u3000\t"), mail.size());
        const std::u16string_view word = mail.substr(0, end);
        mail.remove_prefix(end);
        unsigned rgb = 0;
        int cs = 0;
        if (word == u"ue") {
            look.position = CommentLook::kTop;
        } else if (word == u"shita") {
            look.position = CommentLook::kBottom;
        } else if (word == u"naka") {
            look.position = CommentLook::kScroll;
        } else if (word == u"big") {
            look.size = kBigSize;
        } else if (word == u"small") {
            look.size = kSmallSize;
        } else if (word == u"medium") {
            look.size = kMediumSize;
        } else if (hex_colour(word, rgb)) {
            look.rgb = rgb;
        } else if (display_time(word, cs)) {
            look.duration_cs = cs;
        } else {
            for (const auto& colour : kColours)
                if (colour.name == word) look.rgb = colour.rgb;
        }
    }
    return look;
}

std::string comments_to_ass(std::vector<SubtitleComment> comments) {
    std::stable_sort(comments.begin(), comments.end(),
                     [](const SubtitleComment& a, const SubtitleComment& b) { return a.vpos < b.vpos; });
    std::string out =
        "[Script Info]\n"
        "ScriptType: v4.00+\n"
        "PlayResX: " +
        std::to_string(kSubtitleWidth) +
        "\n"
        "PlayResY: " +
        std::to_string(kSubtitleHeight) +
        "\n"
        "WrapStyle: 2\n"
        "ScaledBorderAndShadow: yes\n\n"
        "[V4+ Styles]\n"
        "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
        "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
        "MarginR, MarginV, Encoding\n"
        "Style: Comment,Noto Sans CJK JP," +
        std::to_string(kMediumSize) +
        ",&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,1,0,0,0,100,100,0,0,1,1.5,0,7,0,0,0,1\n\n"
        "[Events]\n"
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    out.reserve(out.size() + comments.size() * 96);
    Layers layers;
    for (const SubtitleComment& c : comments) {
        const CommentLook look = comment_look(c.mail);
        int lines = 1;
        const std::string text = ass_text(c.text, lines);
        int width = 0;
        for (size_t begin = 0; begin <= c.text.size();) {
            const size_t end = std::min(c.text.find(u'\n', begin), c.text.size());
            width = std::max(width, text_width(std::u16string_view(c.text).substr(begin, end - begin), look.size));
            begin = end + 1;
        }
        const long long start = std::max(0, c.vpos);
        const long long end = start + look.duration_cs;
        const int span = std::clamp((look.size * lines + kLaneHeight - 1) / kLaneHeight, 1, kLaneCount);

        auto& set = look.position == CommentLook::kScroll ? layers.scroll
                    : look.position == CommentLook::kTop  ? layers.fixed_top
                                                          : layers.fixed_bottom;
        int layer = -1, lane = 0;
        for (size_t l = 0; l < set.size() && layer < 0; ++l) {
            for (int first = 0; first + span <= kLaneCount; ++first) {
                bool fits = true;
                for (int k = first; k < first + span && fits; ++k) {
                    const LaneUse& use = set[l][static_cast<size_t>(k)];
                    fits = look.position == CommentLook::kScroll ? scroll_fits(use, start, look.duration_cs, width)
                                                                 : use.start < 0 || use.end <= start;
                }
                if (fits) {
                    layer = static_cast<int>(l);
                    lane = first;
                    break;
                }
            }
        }
        if (layer < 0) {
            if (static_cast<int>(set.size()) < kMaxLayers) new_layer(set);
            layer = static_cast<int>(set.size()) - 1;
            lane = 0;
        }
        for (int k = lane; k < lane + span; ++k)
            set[static_cast<size_t>(layer)][static_cast<size_t>(k)] = {start, end, width};

        // The three kinds get layers of their own ranges, so that lanes are told apart by layer alone.
        const int ass_layer = layer + (look.position == CommentLook::kScroll ? 0
                                       : look.position == CommentLook::kTop  ? kMaxLayers
                                                                             : 2 * kMaxLayers);
        const int y =
            look.position == CommentLook::kBottom ? kSubtitleHeight - (lane + span) * kLaneHeight : lane * kLaneHeight;
        out += "Dialogue: " + std::to_string(ass_layer) + "," + timestamp(start) + "," + timestamp(end) +
               ",Comment,,0,0,0,,{";
        if (look.position == CommentLook::kScroll)
            out += "\\move(" + std::to_string(kSubtitleWidth) + "," + std::to_string(y) + "," + std::to_string(-width) +
                   "," + std::to_string(y) + ")";
        else
            out += "\\an8\\pos(" + std::to_string(kSubtitleWidth / 2) + "," + std::to_string(y) + ")";
        if (look.size != kMediumSize) out += "\\fs" + std::to_string(look.size);
        if (look.rgb != 0xFFFFFF) out += "\\c" + bgr(look.rgb);
        out += "}" + text + "\n";
    }
    return out;
}

namespace {

/// Keeps what the subtitles need of each comment and lets none into the set.
class SubtitleCollector : public ChatFilter {
public:
    explicit SubtitleCollector(std::vector<SubtitleComment>& out) : out_(out) {}
    bool keep(ChatEntry& entry, CWorkChatdata&, int) override {
        text_.clear();
        text_.append(entry.text.view());
        unescape_all(text_);
        out_.push_back({entry.vpos, std::u16string(entry.mail.view()), std::u16string(text_.view())});
        return false;
    }

private:
    std::vector<SubtitleComment>& out_;
    CCharW text_;
};

} // namespace

int read_subtitle_comments(std::u16string_view comment_file, std::vector<SubtitleComment>& out, int& error) {
    CWorkChatdata set;
    SubtitleCollector collector(out);
    ChatReadContext context;
    context.filter = &collector;
    const int result = read_comment_file(comment_file, set, 0, context);
    // The collector turns every comment away, so "none added" is the normal outcome here.
    if (result == -1 || result == -3) {
        error = context.error;
        return -1;
    }
    return 0;
}

int write_comment_subtitles(std::u16string_view comment_file, std::u16string_view ass_file, int& error) {
    std::vector<SubtitleComment> comments;
    if (read_subtitle_comments(comment_file, comments, error) != 0) return -1;
    CFileSP file;
    if (file.write(ass_file, comments_to_ass(std::move(comments)), CFileSP::kOverwrite) != 0) {
        error = file.error();
        return -1;
    }
    return 0;
}

} // namespace quippet
