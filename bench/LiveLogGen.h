#pragma once

// A deterministic thread log of live posts as a browser shows them, for the live-log benchmark: threads of
// 1000 posts with their "Over 1000 Thread" markers, IDs, posts without seconds, anchors, AA and references.
#include <cstdint>
#include <cstdio>
#include <string>

namespace quippet::bench {

class LiveLogGenerator {
public:
    explicit LiveLogGenerator(std::uint32_t seed) : state_(seed ? seed : 1) {}

    /// Writes `posts` posts from `first_hour`:00 on 2024-04-07, about `per_second` each second, as UTF-8.
    void write(int posts, std::FILE* out, int first_hour = 19, int per_second = 14) {
        static const char* const kBodies[] = {"きたあああああ",
                                              "かわいい",
                                              "ｗｗｗ",
                                              "草",
                                              "作画いいな",
                                              "この曲好き",
                                              "&lt;●&gt;&lt;●&gt;",
                                              "ｷﾀ━━━━━━(ﾟ∀ﾟ)━━━━━━!!!!",
                                              "おっ",
                                              "いい話だ",
                                              "これは名作だわ",
                                              "次回どうなるんだ"};
        static const char kIdChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string text;
        text.reserve(256);
        long long hundredths = 0;
        int number = 1;
        for (int i = 0; i < posts; ++i) {
            hundredths += next() % (200 / per_second + 1);
            if (number == 1001) {
                std::fputs("1001 ：Over 1000 Thread ：Over 1000 Thread\n"
                           "このスレッドは１０００を超えました。\n新しいスレッドを立ててください。\n\n",
                           out);
                number = 1;
            }
            const long long s = first_hour * 3600LL + hundredths / 100;
            char stamp[96];
            if (next() % 20 == 0)
                std::snprintf(stamp, sizeof stamp, "%02lld:%02lld", s / 3600 % 100, s / 60 % 60);
            else
                std::snprintf(stamp, sizeof stamp, "%02lld:%02lld:%02lld.%02lld", s / 3600 % 100, s / 60 % 60, s % 60,
                              hundredths % 100);
            char id[9];
            for (char& c : id)
                c = kIdChars[next() % 64];
            id[8] = '\0';
            text = std::to_string(number) + " ：名無しでいいとも！＠放送中は実況板で：2024/04/07(日) " + stamp +
                   " ID:" + id + "\n";
            const std::uint32_t kind = next() % 100;
            if (kind < 4)
                text += ">>" + std::to_string(number > 1 ? number - 1 : 1) + " それな\n";
            else if (kind < 6)
                text += "　　∧＿∧\n　（　´∀｀）\n　（　　　　）\n　｜ ｜　|\n　（_＿)＿）\n";
            else
                text += std::string(kBodies[next() % 12]) + "\n";
            text += "\n";
            std::fwrite(text.data(), 1, text.size(), out);
            ++number;
        }
    }

private:
    std::uint32_t next() {
        // xorshift32: the same sequence on every platform.
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t state_;
};

} // namespace quippet::bench
