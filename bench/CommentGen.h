#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quippet::bench {

/// A comment file as the service sends it, the same bytes for the same count and seed: Japanese texts of
/// mostly short length, the usual commands, repeat posters, anonymous and premium comments, scores,
/// uploader comments, deleted comments and a num_click footer. About 200 bytes per comment.
class CommentGenerator {
public:
    explicit CommentGenerator(uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}

    /// Writes the whole file to `out` in pieces, so that generating never holds the file in memory.
    void write(int count, std::FILE* out) {
        std::string piece;
        piece.reserve(1 << 20);
        piece += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread resultcode=\"0\" thread=\"1418000001\" "
                 "last_res=\"";
        piece += std::to_string(count);
        piece += "\" ticket=\"0x5a1b2c3d\" revision=\"3\" server_time=\"1420003600\" click_revision=\"5\" "
                 "num_clicks=\"2\"/><view_counter video=\"1482110\" id=\"sm24500001\" mylist=\"21290\"/>\n";
        const int users = count / 6 + 1;
        int64_t date = 1418000100;
        for (int no = 1; no <= count; ++no) {
            date += static_cast<int64_t>(below(40));
            append_comment(piece, no, static_cast<int>(date), users);
            if (piece.size() > (1 << 20) - 1024) flush(piece, out);
        }
        piece += "<num_click no=\"12\" count=\"3\" thread=\"1418000001\"/><num_click no=\"40\" count=\"1\" "
                 "thread=\"1418000001\"/>\n</packet>\n";
        flush(piece, out);
    }

private:
    uint64_t next() {
        // xorshift64*: small, fast and the same everywhere, unlike the standard distributions.
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ULL;
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>((next() >> 32) % n); }
    bool chance(int percent) { return static_cast<int>(below(100)) < percent; }

    static void flush(std::string& piece, std::FILE* out) {
        std::fwrite(piece.data(), 1, piece.size(), out);
        piece.clear();
    }

    void append_user(std::string& out, int users) {
        static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
        // A few heavy posters, many occasional ones: squaring skews the pick towards small numbers.
        const uint64_t r = below(static_cast<uint32_t>(users));
        uint64_t user = r * r / static_cast<uint64_t>(users);
        if (user % 5 == 0) {
            out += std::to_string(1000000 + user * 7919);
            return;
        }
        for (int k = 0; k < 27; ++k) {
            out += alphabet[user % 64];
            user = user * 6364136223846793005ULL + 1442695040888963407ULL;
            user ^= user >> 29;
        }
    }

    void append_text(std::string& out) {
        static constexpr std::string_view words[] = {"ｗｗｗ",     "草",           "かわいい",
                                                     "うぽつ",     "ここすき",     "888888",
                                                     "神回",       "きたああああ", "&lt;●&gt;&lt;●&gt;",
                                                     "ファッ！？", "それな",       "泣いた",
                                                     "弾幕",       "おつ",         "すげー",
                                                     "！？",       "「えっ」",     "&amp;",
                                                     "BGM",        "作業用",       "ﾜﾛﾀ",
                                                     "wktk",       "これは良い",   "初見",
                                                     "←",          "ここで",       "一時停止",
                                                     "待ってた",   "ｷﾀ━(ﾟ∀ﾟ)━!"};
        // Most comments are a word or two; a few are long running texts.
        const int n = chance(80) ? 1 + static_cast<int>(below(4)) : 4 + static_cast<int>(below(16));
        for (int k = 0; k < n; ++k)
            out += words[below(std::size(words))];
    }

    void append_comment(std::string& out, int no, int date, int users) {
        static constexpr std::string_view mails[] = {"184",
                                                     "184",
                                                     "184",
                                                     "",
                                                     "",
                                                     "184 big red ue",
                                                     "shita green small",
                                                     "184 naka",
                                                     "white",
                                                     "184 cyan",
                                                     "184 device:3DS",
                                                     "184 #ff8800",
                                                     "ue big",
                                                     "184 small blue shita",
                                                     "@5 ender"};
        const int vpos = static_cast<int>(below(144000));
        out += "<chat thread=\"1418000001\" no=\"";
        out += std::to_string(no);
        out += "\" vpos=\"";
        out += std::to_string(vpos);
        out += "\" date=\"";
        out += std::to_string(date);
        out += '"';
        if (chance(1)) {
            out += " deleted=\"1\"/>\n";
            return;
        }
        if (chance(8)) {
            out += " score=\"-";
            out += std::to_string(100 * (1 + below(60)));
            out += '"';
        }
        const bool owner = chance(1);
        const std::string_view mail = owner ? "ue red big @4" : mails[below(std::size(mails))];
        if (!mail.empty()) {
            out += " mail=\"";
            out += mail;
            out += '"';
        }
        out += " user_id=\"";
        if (owner) {
            out += "owner";
        } else {
            append_user(out, users);
        }
        out += '"';
        if (owner) out += " fork=\"1\"";
        if (chance(30)) out += " premium=\"1\"";
        if (mail.starts_with("184")) out += " anonymity=\"1\"";
        if (chance(3)) out += " locale=\"ja-jp\"";
        out += '>';
        append_text(out);
        out += "</chat>\n";
    }

    uint64_t state_;
};

} // namespace quippet::bench
