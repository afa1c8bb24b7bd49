#include "reconstruct/CommandSet.h"

#include "text/Ascii.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace quippet {

bool UniqueTexts::add(std::u16string_view text) {
    if (text.empty() || contains(text)) return false;
    items_.emplace_back(text);
    seen_.emplace(text);
    return true;
}

void UniqueTexts::clear() {
    items_.clear();
    seen_.clear();
}

void CommandSet::clear() {
    size.clear();
    vertical.clear();
    horizontal.clear();
    color.clear();
    duration = -1;
    coord_x.clear();
    coord_y.clear();
    others.clear();
}

namespace {

// Tokens longer than this are not searched for embedded commands: real run-together commands
// ("184bigred") are short, and the search costs the square of the length.
constexpr size_t kMaxSplitLength = 128;
// Above this many other commands a parse keeps a hash index of them, so that a huge mail attribute
// full of distinct tokens stays linear.
constexpr size_t kOthersIndexFrom = 32;

char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
}

bool eq_ci(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

int index_of(const std::vector<std::u16string>& list, std::u16string_view s) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == s) return static_cast<int>(i);
    return -1;
}

int index_ci(const std::vector<std::u16string>& list, std::u16string_view s) {
    for (size_t i = 0; i < list.size(); ++i)
        if (eq_ci(list[i], s)) return static_cast<int>(i);
    return -1;
}

bool is_hex(char16_t c) {
    return is_ascii_digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

/// "#" and six hexadecimal digits at `at`.
bool is_hex_color_at(std::u16string_view s, size_t at) {
    if (at + 7 > s.size() || s[at] != u'#') return false;
    for (size_t i = at + 1; i < at + 7; ++i)
        if (!is_hex(s[i])) return false;
    return true;
}

/// Decimal digits only, within int.
bool read_digits(std::u16string_view s, int& out) {
    if (s.empty()) return false;
    long long value = 0;
    for (const char16_t c : s) {
        if (!is_ascii_digit(c)) return false;
        value = value * 10 + (c - u'0');
        if (value > INT_MAX) return false;
    }
    out = static_cast<int>(value);
    return true;
}

/// The display time of a whole token ("5sec" up to 9, or "@n"); -1 when it is neither.
int duration_of(std::u16string_view t) {
    int n = 0;
    if (t.ends_with(u"sec")) {
        if (read_digits(t.substr(0, t.size() - 3), n) && n <= 9) return n;
    } else if (t.starts_with(u'@')) {
        if (read_digits(t.substr(1), n)) return n;
    }
    return -1;
}

/// Length of a number "[+-]digits[.digits]" at `at`; 0 when there is none.
size_t number_length_at(std::u16string_view s, size_t at) {
    size_t i = at;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
    const size_t digits_from = i;
    while (i < s.size() && is_ascii_digit(s[i]))
        ++i;
    if (i == digits_from) return 0;
    if (i + 1 < s.size() && s[i] == u'.' && is_ascii_digit(s[i + 1])) {
        ++i;
        while (i < s.size() && is_ascii_digit(s[i]))
            ++i;
    }
    return i - at;
}

/// A coordinate group "(x,y)" at `at`: its length (0 when there is none) and its two numbers.
size_t coordinates_at(std::u16string_view s, size_t at, std::u16string_view& x, std::u16string_view& y) {
    if (at >= s.size() || s[at] != u'(') return 0;
    const size_t x_len = number_length_at(s, at + 1);
    if (x_len == 0) return 0;
    const size_t comma = at + 1 + x_len;
    if (comma >= s.size() || s[comma] != u',') return 0;
    const size_t y_len = number_length_at(s, comma + 1);
    if (y_len == 0) return 0;
    const size_t close = comma + 1 + y_len;
    if (close >= s.size() || s[close] != u')') return 0;
    x = s.substr(at + 1, x_len);
    y = s.substr(comma + 1, y_len);
    return close + 1 - at;
}

/// Decimal text of a number without allocating.
struct DecimalText {
    explicit DecimalText(int value) {
        char16_t digits[12];
        int n = 0;
        long long v = value;
        const bool negative = v < 0;
        if (negative) v = -v;
        do {
            digits[n++] = static_cast<char16_t>(u'0' + v % 10);
            v /= 10;
        } while (v > 0);
        if (negative) text[length++] = u'-';
        while (n > 0)
            text[length++] = digits[--n];
    }
    std::u16string_view view() const { return {text, length}; }
    char16_t text[12] = {};
    size_t length = 0;
};

/// Does `word` spell the display time, as "n" "sec" or "@" "n"?
bool names_duration(std::u16string_view word, int duration) {
    if (duration == -1) return false;
    const DecimalText n(duration);
    if (word.size() == n.length + 3)
        return eq_ci(word.substr(0, n.length), n.view()) && eq_ci(word.substr(n.length), u"sec");
    if (word.size() == n.length + 1) return word[0] == u'@' && word.substr(1) == n.view();
    return false;
}

/// Does `word` spell the coordinates "(x,y)"?
bool names_coordinates(std::u16string_view word, const CommandSet& s) {
    if (s.coord_x.empty() || s.coord_y.empty()) return false;
    return word.size() == s.coord_x.size() + s.coord_y.size() + 3 && word.front() == u'(' && word.back() == u')' &&
           word.substr(1, s.coord_x.size()) == s.coord_x && word[1 + s.coord_x.size()] == u',' &&
           word.substr(2 + s.coord_x.size(), s.coord_y.size()) == s.coord_y;
}

bool has_coordinates(const CommandSet& s) {
    return !s.coord_x.empty() && !s.coord_y.empty();
}

// Default tests: a missing vocabulary has no entry 0, so then nothing is default.
bool is_default(const std::u16string& slot, const std::vector<std::u16string>& list) {
    return !slot.empty() && !list.empty() && eq_ci(slot, list[0]);
}
bool is_non_default(const std::u16string& slot, const std::vector<std::u16string>& list) {
    return !slot.empty() && !is_default(slot, list);
}
bool color_is_default(const CommandSet& s, const CommandVocabulary& v) {
    return is_default(s.color, v.color_names) || is_default(s.color, v.color_codes);
}
bool color_is_non_default(const CommandSet& s, const CommandVocabulary& v) {
    return !s.color.empty() && !color_is_default(s, v);
}

// --- colour labels --------------------------------------------------------------------------------------

struct ColorLabel {
    std::u16string_view label;
    std::u16string_view names[2];
    /// The name whose code `<変更>` sets.
    std::u16string_view target;
    bool himaplayer;
};

constexpr ColorLabel kColorLabels[] = {
    {u"白", {u"white"}, u"white", false},
    {u"赤", {u"red"}, u"red", false},
    {u"ピンク", {u"pink"}, u"pink", false},
    {u"オレンジ", {u"orange"}, u"orange", false},
    {u"黄", {u"yellow"}, u"yellow", false},
    {u"緑", {u"green"}, u"green", false},
    {u"水", {u"cyan"}, u"cyan", false},
    {u"青", {u"blue"}, u"blue", false},
    {u"紫", {u"purple"}, u"purple", false},
    {u"黒", {u"black"}, u"black", false},
    {u"プレミアム白", {u"white2", u"niconicowhite"}, u"niconicowhite", false},
    {u"プレミアム赤", {u"red2", u"truered"}, u"truered", false},
    {u"プレミアムオレンジ", {u"orange2", u"passionorange"}, u"passionorange", false},
    {u"プレミアム黄", {u"yellow2", u"madyellow"}, u"madyellow", false},
    {u"プレミアム緑", {u"green2", u"elementalgreen"}, u"elementalgreen", false},
    {u"プレミアム青", {u"blue2", u"marineblue"}, u"blue2", false},
    {u"プレミアム紫", {u"purple2", u"nobleviolet"}, u"nobleviolet", false},
    {u"プレミアム水", {u"cyan2"}, u"cyan2", false},
    {u"プレミアムピンク", {u"pink2"}, u"pink2", false},
    {u"プレミアム黒", {u"black2"}, u"black2", false},
    {u"ひまたんピンク", {u"pink"}, u"pink", true},
    {u"ひまたんオレンジ", {u"orange"}, u"orange", true},
    {u"ひまたん緑", {u"green"}, u"green", true},
    {u"ひまたん紫", {u"purple"}, u"purple", true},
    {u"ひまたん白", {u"white"}, u"white", true},
    {u"ひまたん赤", {u"red"}, u"red", true},
    {u"ひまたん黄", {u"yellow"}, u"yellow", true},
    {u"ひまたん青", {u"blue"}, u"blue", true},
    {u"ひまたん水", {u"cyan"}, u"cyan", true},
    {u"ひまたん黒", {u"black"}, u"black", true},
};

/// The code a table gives for `name`; empty when the name is not in it.
std::u16string_view code_for(std::u16string_view name, const std::vector<std::u16string>& names,
                             const std::vector<std::u16string>& codes) {
    const int i = index_ci(names, name);
    return i >= 0 && static_cast<size_t>(i) < codes.size() ? std::u16string_view(codes[static_cast<size_t>(i)])
                                                           : std::u16string_view();
}

bool label_matches(const ColorLabel& label, const std::u16string& color, const CommandVocabulary& v) {
    if (color.empty()) return false;
    for (const std::u16string_view name : label.names) {
        if (name.empty()) continue;
        if (label.himaplayer) {
            const std::u16string_view code = code_for(name, v.hima_color_names, v.hima_color_codes);
            if (!code.empty() && eq_ci(color, code)) return true;
            continue;
        }
        if (eq_ci(color, name)) return true;
        const std::u16string_view code = code_for(name, v.color_names, v.color_codes);
        if (!code.empty() && eq_ci(color, code)) return true;
    }
    return false;
}

// --- reading parameters --------------------------------------------------------------------------------

struct NamedCategory {
    std::u16string_view text;
    CommandCategory category;
};

constexpr NamedCategory kCategories[] = {
    {u"[サイズ]", CommandCategory::size},
    {u"[色]", CommandCategory::color},
    {u"[縦位置]", CommandCategory::vertical},
    {u"[位置]", CommandCategory::vertical},
    {u"[横位置]", CommandCategory::horizontal},
    {u"[位置全般]", CommandCategory::any_position},
    {u"[水平位置]", CommandCategory::horizontal_position},
    {u"[垂直位置]", CommandCategory::vertical_position},
    {u"[デフォ位置]", CommandCategory::default_position},
    {u"[デフォ指定]", CommandCategory::default_any},
    {u"[サイズ]大", CommandCategory::size_big},
    {u"[サイズ]小", CommandCategory::size_small},
    {u"[縦位置]上", CommandCategory::vertical_top},
    {u"[位置]上", CommandCategory::vertical_top},
    {u"[縦位置]下", CommandCategory::vertical_bottom},
    {u"[位置]下", CommandCategory::vertical_bottom},
    {u"[横位置]右", CommandCategory::horizontal_right},
    {u"[横位置]左", CommandCategory::horizontal_left},
    {u"[サイズ]デフォ", CommandCategory::size_default},
    {u"[色]デフォ", CommandCategory::color_default},
    {u"[縦位置]デフォ", CommandCategory::vertical_default},
    {u"[位置]デフォ", CommandCategory::vertical_default},
    {u"[横位置]デフォ", CommandCategory::horizontal_default},
    {u"[表示時間]", CommandCategory::duration},
    {u"[座標位置]", CommandCategory::coordinates},
    {u"[座標]", CommandCategory::coordinates},
    {u"[既知の不要なコマンド]", CommandCategory::unneeded},
    {u"[既知の必要なコマンド]", CommandCategory::needed},
    {u"[未知のコマンド]", CommandCategory::unknown},
    {u"[すべてのコマンド]", CommandCategory::all},
};

CommandCategory classify(std::u16string_view text, int& label) {
    label = -1;
    for (const auto& c : kCategories)
        if (text == c.text) return c.category;
    if (text.starts_with(u"[色]")) {
        const std::u16string_view rest = text.substr(3);
        for (size_t i = 0; i < std::size(kColorLabels); ++i) {
            if (rest == kColorLabels[i].label) {
                label = static_cast<int>(i);
                return CommandCategory::color_label;
            }
        }
    }
    return CommandCategory::words;
}

bool valid_for(CommandOperation op, CommandCategory c) {
    using C = CommandCategory;
    switch (op) {
    case CommandOperation::contains:
        return c != C::size_default && c != C::color_default && c != C::vertical_default &&
               c != C::horizontal_default && c != C::all;
    case CommandOperation::remove:
        return c != C::size_default && c != C::color_default && c != C::vertical_default &&
               c != C::horizontal_default && c != C::needed;
    case CommandOperation::change:
        return c == C::size_big || c == C::size_small || c == C::vertical_top || c == C::vertical_bottom ||
               c == C::horizontal_right || c == C::horizontal_left || c == C::size_default || c == C::color_default ||
               c == C::vertical_default || c == C::horizontal_default || c == C::color_label;
    case CommandOperation::add:
        return c == C::words;
    }
    return false;
}

// --- parsing -------------------------------------------------------------------------------------------

enum class Placed { placed, dropped, rejected };

class Parser {
public:
    Parser(CommandSet& set, const CommandVocabulary& vocabulary, UniqueTexts* unknown)
        : s_(set), v_(vocabulary), unknown_(unknown) {}

    /// A whole token by the exact rules. Without `overwrite` a filled slot keeps its value and the token is
    /// dropped.
    Placed place_exact(std::u16string_view t, bool overwrite) {
        if (index_of(v_.size_list, t) >= 0) return fill(s_.size, t, overwrite);
        if (index_of(v_.vertical_list, t) >= 0) return fill(s_.vertical, t, overwrite);
        if (index_of(v_.horizontal_list, t) >= 0) return fill(s_.horizontal, t, overwrite);
        if (index_of(v_.color_names, t) >= 0) return fill(s_.color, t, overwrite);
        if (t.size() == 7 && is_hex_color_at(t, 0)) return fill(s_.color, t, overwrite);
        if (const int d = duration_of(t); d >= 0) return fill_duration(d, overwrite);
        std::u16string_view x, y;
        if (coordinates_at(t, 0, x, y) == t.size()) return fill_coordinates(x, y, overwrite);
        if (index_of(v_.needed_list, t) >= 0 || index_of(v_.unneeded_list, t) >= 0) {
            add_other(t);
            return Placed::placed;
        }
        return Placed::rejected;
    }

    /// Finds the known commands inside a token that exact placement could not take.
    void split(std::u16string_view token) {
        if (token.size() > kMaxSplitLength) {
            unknown_piece(token);
            return;
        }
        stack_.clear();
        stack_.push_back(token);
        while (!stack_.empty()) {
            const std::u16string_view piece = stack_.back();
            stack_.pop_back();
            if (piece.empty()) continue;
            size_t at = 0;
            size_t length = 0;
            if (!find_and_place(piece, at, length)) {
                unknown_piece(piece);
                continue;
            }
            // The text before the piece is searched before the text after it.
            stack_.push_back(piece.substr(at + length));
            stack_.push_back(piece.substr(0, at));
        }
    }

    /// A caller's index of `others` that outlives this parser (empty, or in step with `others`).
    void keep_index_in(UniqueTexts* index) {
        kept_index_ = index;
        if (index && !index->empty()) index_ = index;
    }

    void add_other(std::u16string_view t) {
        if (t.empty()) return;
        if (index_) {
            if (!index_->add(t)) return;
        } else {
            for (const auto& o : s_.others)
                if (o == t) return;
            // Counted per parser, not by the size of the set: an action that adds one word to a set that
            // already holds thousands would otherwise index all of them for that one word, every time.
            // A caller that keeps the index between actions pays for it once.
            if (++scanned_ >= kOthersIndexFrom || (kept_index_ && s_.others.size() >= kOthersIndexFrom)) {
                if (kept_index_) {
                    index_ = kept_index_;
                } else {
                    owned_index_ = std::make_unique<UniqueTexts>();
                    index_ = owned_index_.get();
                }
                for (const auto& o : s_.others)
                    index_->add(o);
                index_->add(t);
            }
        }
        s_.others.emplace_back(t);
    }

private:
    Placed fill(std::u16string& slot, std::u16string_view t, bool overwrite) {
        if (!slot.empty() && !overwrite) return Placed::dropped;
        slot.assign(t);
        return Placed::placed;
    }
    Placed fill_duration(int d, bool overwrite) {
        if (s_.duration != -1 && !overwrite) return Placed::dropped;
        s_.duration = d;
        return Placed::placed;
    }
    Placed fill_coordinates(std::u16string_view x, std::u16string_view y, bool overwrite) {
        if (has_coordinates(s_) && !overwrite) return Placed::dropped;
        s_.coord_x.assign(x);
        s_.coord_y.assign(y);
        return Placed::placed;
    }

    void unknown_piece(std::u16string_view piece) {
        add_other(piece);
        if (unknown_) unknown_->add(piece);
    }

    /// The first entry of `list` (in list order) found inside `piece`, and where; nullptr when none is.
    static const std::u16string* first_inside(const std::vector<std::u16string>& list, std::u16string_view piece,
                                              size_t& at) {
        for (const auto& entry : list) {
            if (entry.empty()) continue;
            at = piece.find(entry);
            if (at != std::u16string_view::npos) return &entry;
        }
        return nullptr;
    }

    bool find_and_place(std::u16string_view piece, size_t& at, size_t& length) {
        auto into_slot = [&](const std::vector<std::u16string>& list, std::u16string& slot) {
            const std::u16string* entry = first_inside(list, piece, at);
            if (!entry) return false;
            length = entry->size();
            fill(slot, *entry, false);
            return true;
        };
        if (into_slot(v_.color_names, s_.color)) return true;
        if (const std::u16string* from = first_inside(v_.replace_from, piece, at)) {
            length = from->size();
            const std::u16string& to = v_.replace_to[static_cast<size_t>(from - v_.replace_from.data())];
            if (place_exact(to, false) == Placed::rejected) add_other(to);
            return true;
        }
        for (size_t k = piece.find(u'#'); k != std::u16string_view::npos; k = piece.find(u'#', k + 1)) {
            if (is_hex_color_at(piece, k)) {
                at = k;
                length = 7;
                fill(s_.color, piece.substr(k, 7), false);
                return true;
            }
        }
        for (size_t k = piece.find(u'('); k != std::u16string_view::npos; k = piece.find(u'(', k + 1)) {
            std::u16string_view x, y;
            if (const size_t n = coordinates_at(piece, k, x, y); n > 0) {
                at = k;
                length = n;
                fill_coordinates(x, y, false);
                return true;
            }
        }
        if (into_slot(v_.size_list, s_.size)) return true;
        for (const auto* list : {&v_.needed_list, &v_.unneeded_list}) {
            if (const std::u16string* entry = first_inside(*list, piece, at)) {
                length = entry->size();
                add_other(*entry);
                return true;
            }
        }
        if (into_slot(v_.vertical_list, s_.vertical)) return true;
        if (into_slot(v_.horizontal_list, s_.horizontal)) return true;
        for (size_t k = piece.find(u'@'); k != std::u16string_view::npos; k = piece.find(u'@', k + 1)) {
            size_t end = k + 1;
            while (end < piece.size() && is_ascii_digit(piece[end]))
                ++end;
            int n = 0;
            if (read_digits(piece.substr(k + 1, end - k - 1), n)) {
                at = k;
                length = end - k;
                fill_duration(n, false);
                return true;
            }
        }
        for (size_t k = piece.find(u"sec"); k != std::u16string_view::npos; k = piece.find(u"sec", k + 1)) {
            if (k >= 1 && is_ascii_digit(piece[k - 1])) {
                at = k - 1;
                length = 4;
                fill_duration(piece[k - 1] - u'0', false);
                return true;
            }
        }
        return false;
    }

    CommandSet& s_;
    const CommandVocabulary& v_;
    UniqueTexts* unknown_;
    UniqueTexts* index_ = nullptr;
    std::unique_ptr<UniqueTexts> owned_index_;
    UniqueTexts* kept_index_ = nullptr;
    /// Words this parser has looked up in `others` without the index.
    size_t scanned_ = 0;
    std::vector<std::u16string_view> stack_;
};

void split_words(std::u16string_view text, std::vector<std::u16string>& words) {
    size_t from = 0;
    while (from <= text.size()) {
        size_t bar = text.find(u'|', from);
        if (bar == std::u16string_view::npos) bar = text.size();
        if (bar > from) words.emplace_back(text.substr(from, bar - from));
        from = bar + 1;
    }
}

bool erase_others_if(CommandSet& s, auto&& predicate) {
    const auto end = std::remove_if(s.others.begin(), s.others.end(), predicate);
    const bool changed = end != s.others.end();
    s.others.erase(end, s.others.end());
    return changed;
}

bool clear_slot(std::u16string& slot) {
    if (slot.empty()) return false;
    slot.clear();
    return true;
}

bool clear_coordinates(CommandSet& s) {
    const bool changed = !s.coord_x.empty() || !s.coord_y.empty();
    s.coord_x.clear();
    s.coord_y.clear();
    return changed;
}

bool set_slot(std::u16string& slot, std::u16string_view value) {
    if (slot == value) return false;
    slot.assign(value);
    return true;
}

bool in_list(const std::vector<std::u16string>& list, std::u16string_view s) {
    return index_ci(list, s) >= 0;
}

} // namespace

CommandParam read_command_param(std::u16string_view text, CommandOperation operation) {
    CommandParam p;
    p.text.assign(text);
    int label = -1;
    const CommandCategory category = classify(text, label);
    if (valid_for(operation, category)) {
        p.category = category;
        p.label = label;
    }
    if (operation == CommandOperation::change) {
        p.problem = p.category == CommandCategory::words;
    } else if (operation != CommandOperation::add) {
        p.problem = p.category == CommandCategory::words && text.starts_with(u'[');
    }
    if (p.category == CommandCategory::words) split_words(text, p.words);
    return p;
}

void parse_mail(std::u16string_view mail, const CommandVocabulary& v, CommandSet& out, UniqueTexts* unknown) {
    out.clear();
    if (mail.empty()) return;
    // The parse runs for every comment of every enabled stage: its scratch is kept per thread.
    thread_local std::u16string folded;
    thread_local std::vector<std::u16string_view> pending;
    folded.assign(mail);
    command_fold(folded);
    pending.clear();
    Parser parser(out, v, unknown);
    const std::u16string_view text = folded;
    size_t from = 0;
    while (from < text.size()) {
        size_t space = text.find(u' ', from);
        if (space == std::u16string_view::npos) space = text.size();
        std::u16string_view token = text.substr(from, space - from);
        from = space + 1;
        if (token.empty()) continue;
        if (const int r = index_of(v.replace_from, token); r >= 0) {
            token = v.replace_to[static_cast<size_t>(r)];
            // "from TAB" with nothing after it reads the command as nothing at all.
            if (token.empty()) continue;
        }
        if (parser.place_exact(token, false) == Placed::rejected) pending.push_back(token);
    }
    // "@10" is written with "10sec", which exact placement does not take (it knows 0 to 9 only): met again
    // beside its "@10", it is that same display time and not a run of other commands to split up.
    for (const std::u16string_view token : pending) {
        if (out.duration == 10 && token == u"10sec") continue;
        parser.split(token);
    }
}

CommandSet parse_mail(std::u16string_view mail, const CommandVocabulary& v, UniqueTexts* unknown) {
    CommandSet set;
    parse_mail(mail, v, set, unknown);
    return set;
}

void write_mail(const CommandSet& s, std::u16string& out) {
    out.clear();
    auto put = [&out](std::u16string_view part) {
        if (part.empty()) return;
        if (!out.empty()) out += u' ';
        out += part;
    };
    put(s.size);
    put(s.vertical);
    put(s.horizontal);
    if (s.color.starts_with(u'#')) {
        // Codes are written in capitals, the way the service writes them.
        const size_t at = out.empty() ? 0 : out.size() + 1;
        put(s.color);
        for (size_t i = at; i < out.size(); ++i)
            if (out[i] >= u'a' && out[i] <= u'z') out[i] = static_cast<char16_t>(out[i] - 0x20);
    } else {
        put(s.color);
    }
    if (s.duration != -1) {
        const int n = s.duration < 0 ? 0 : s.duration;
        const DecimalText shown(n);
        const DecimalText seconds(n <= 10 ? n : 9);
        if (!out.empty()) out += u' ';
        out += u'@';
        out += shown.view();
        out += u' ';
        out += seconds.view();
        out += u"sec";
    }
    if (has_coordinates(s)) {
        if (!out.empty()) out += u' ';
        out += u'(';
        out += s.coord_x;
        out += u',';
        out += s.coord_y;
        out += u')';
    }
    for (const auto& o : s.others)
        put(o);
}

std::u16string write_mail(const CommandSet& set) {
    std::u16string out;
    write_mail(set, out);
    return out;
}

bool contains(const CommandSet& s, const CommandVocabulary& v, const CommandParam& p) {
    using C = CommandCategory;
    switch (p.category) {
    case C::size:
        return is_non_default(s.size, v.size_list);
    case C::color:
        return color_is_non_default(s, v);
    case C::vertical:
        return is_non_default(s.vertical, v.vertical_list);
    case C::horizontal:
        return is_non_default(s.horizontal, v.horizontal_list);
    case C::any_position:
        return is_non_default(s.vertical, v.vertical_list) || is_non_default(s.horizontal, v.horizontal_list) ||
               has_coordinates(s);
    case C::horizontal_position:
        return is_non_default(s.horizontal, v.horizontal_list) || has_coordinates(s);
    case C::vertical_position:
        return is_non_default(s.vertical, v.vertical_list) || has_coordinates(s);
    case C::default_position:
        return is_default(s.vertical, v.vertical_list) || is_default(s.horizontal, v.horizontal_list);
    case C::default_any:
        return is_default(s.vertical, v.vertical_list) || is_default(s.horizontal, v.horizontal_list) ||
               color_is_default(s, v) || is_default(s.size, v.size_list);
    case C::size_big:
        return eq_ci(s.size, u"big");
    case C::size_small:
        return eq_ci(s.size, u"small");
    case C::vertical_top:
        return eq_ci(s.vertical, u"ue");
    case C::vertical_bottom:
        return eq_ci(s.vertical, u"shita");
    case C::horizontal_right:
        return eq_ci(s.horizontal, u"migi");
    case C::horizontal_left:
        return eq_ci(s.horizontal, u"hidari");
    case C::duration:
        return s.duration != -1;
    case C::coordinates:
        return has_coordinates(s);
    case C::unneeded:
        return std::any_of(s.others.begin(), s.others.end(),
                           [&](const std::u16string& o) { return in_list(v.unneeded_list, o); });
    case C::needed:
        return std::any_of(s.others.begin(), s.others.end(),
                           [&](const std::u16string& o) { return in_list(v.needed_list, o); });
    case C::unknown:
        return std::any_of(s.others.begin(), s.others.end(), [&](const std::u16string& o) {
            return !in_list(v.needed_list, o) && !in_list(v.unneeded_list, o);
        });
    case C::color_label:
        return label_matches(kColorLabels[p.label], s.color, v);
    case C::size_default:
    case C::color_default:
    case C::vertical_default:
    case C::horizontal_default:
    case C::all:
    case C::words:
        break;
    }
    for (const auto& w : p.words) {
        if (eq_ci(w, s.size) || eq_ci(w, s.vertical) || eq_ci(w, s.horizontal) || eq_ci(w, s.color) ||
            names_duration(w, s.duration) || names_coordinates(w, s))
            return true;
        for (const auto& o : s.others)
            if (eq_ci(w, o)) return true;
    }
    return false;
}

bool remove(CommandSet& s, const CommandVocabulary& v, const CommandParam& p) {
    using C = CommandCategory;
    auto clear_if = [](std::u16string& slot, bool condition) { return condition && clear_slot(slot); };
    switch (p.category) {
    case C::size:
        return clear_slot(s.size);
    case C::color:
        return clear_slot(s.color);
    case C::vertical:
        return clear_slot(s.vertical);
    case C::horizontal:
        return clear_slot(s.horizontal);
    case C::size_big:
        return clear_if(s.size, eq_ci(s.size, u"big"));
    case C::size_small:
        return clear_if(s.size, eq_ci(s.size, u"small"));
    case C::vertical_top:
        return clear_if(s.vertical, eq_ci(s.vertical, u"ue"));
    case C::vertical_bottom:
        return clear_if(s.vertical, eq_ci(s.vertical, u"shita"));
    case C::horizontal_right:
        return clear_if(s.horizontal, eq_ci(s.horizontal, u"migi"));
    case C::horizontal_left:
        return clear_if(s.horizontal, eq_ci(s.horizontal, u"hidari"));
    case C::color_label:
        return clear_if(s.color, label_matches(kColorLabels[p.label], s.color, v));
    case C::any_position: {
        const bool a = clear_slot(s.vertical);
        const bool b = clear_slot(s.horizontal);
        const bool c = clear_coordinates(s);
        return a || b || c;
    }
    case C::horizontal_position: {
        const bool a = clear_slot(s.horizontal);
        return clear_coordinates(s) || a;
    }
    case C::vertical_position: {
        const bool a = clear_slot(s.vertical);
        return clear_coordinates(s) || a;
    }
    case C::default_position: {
        const bool a = clear_if(s.vertical, is_default(s.vertical, v.vertical_list));
        const bool b = clear_if(s.horizontal, is_default(s.horizontal, v.horizontal_list));
        return a || b;
    }
    case C::default_any: {
        const bool a = clear_if(s.vertical, is_default(s.vertical, v.vertical_list));
        const bool b = clear_if(s.horizontal, is_default(s.horizontal, v.horizontal_list));
        const bool c = clear_if(s.color, color_is_default(s, v));
        const bool d = clear_if(s.size, is_default(s.size, v.size_list));
        return a || b || c || d;
    }
    case C::duration: {
        const bool changed = s.duration != -1;
        s.duration = -1;
        return changed;
    }
    case C::coordinates:
        return clear_coordinates(s);
    case C::unneeded:
        return erase_others_if(s, [&](const std::u16string& o) { return in_list(v.unneeded_list, o); });
    case C::unknown:
        return erase_others_if(
            s, [&](const std::u16string& o) { return !in_list(v.needed_list, o) && !in_list(v.unneeded_list, o); });
    case C::all: {
        const bool changed = !(s == CommandSet{});
        s.clear();
        return changed;
    }
    case C::needed:
    case C::size_default:
    case C::color_default:
    case C::vertical_default:
    case C::horizontal_default:
    case C::words:
        break;
    }
    bool changed = false;
    for (const auto& w : p.words) {
        changed |= clear_if(s.size, eq_ci(w, s.size));
        changed |= clear_if(s.vertical, eq_ci(w, s.vertical));
        changed |= clear_if(s.horizontal, eq_ci(w, s.horizontal));
        changed |= clear_if(s.color, eq_ci(w, s.color));
        if (names_duration(w, s.duration)) {
            s.duration = -1;
            changed = true;
        }
        if (names_coordinates(w, s)) changed |= clear_coordinates(s);
        changed |= erase_others_if(s, [&](const std::u16string& o) { return eq_ci(w, o); });
    }
    return changed;
}

bool add(CommandSet& s, const CommandVocabulary& v, const CommandParam& p, UniqueTexts* others_index) {
    // The slots only: a copy of the whole set made every addition cost as much as the words already there.
    const std::u16string size = s.size, vertical = s.vertical, horizontal = s.horizontal, color = s.color;
    const std::u16string coord_x = s.coord_x, coord_y = s.coord_y;
    const int duration = s.duration;
    const size_t others = s.others.size();
    Parser parser(s, v, nullptr);
    parser.keep_index_in(others_index);
    for (const auto& w : p.words)
        if (parser.place_exact(w, true) == Placed::rejected) parser.add_other(w);
    return s.size != size || s.vertical != vertical || s.horizontal != horizontal || s.color != color ||
           s.duration != duration || s.coord_x != coord_x || s.coord_y != coord_y || s.others.size() != others;
}

bool change(CommandSet& s, const CommandVocabulary& v, const CommandParam& p) {
    using C = CommandCategory;
    switch (p.category) {
    case C::size_big:
        return set_slot(s.size, u"big");
    case C::size_small:
        return set_slot(s.size, u"small");
    case C::vertical_top:
        return set_slot(s.vertical, u"ue");
    case C::vertical_bottom:
        return set_slot(s.vertical, u"shita");
    case C::horizontal_right:
        return set_slot(s.horizontal, u"migi");
    case C::horizontal_left:
        return set_slot(s.horizontal, u"hidari");
    case C::size_default:
        return is_non_default(s.size, v.size_list) && clear_slot(s.size);
    case C::color_default:
        return color_is_non_default(s, v) && clear_slot(s.color);
    case C::vertical_default:
        return is_non_default(s.vertical, v.vertical_list) && clear_slot(s.vertical);
    case C::horizontal_default:
        return is_non_default(s.horizontal, v.horizontal_list) && clear_slot(s.horizontal);
    case C::color_label: {
        const ColorLabel& label = kColorLabels[p.label];
        const std::u16string_view code = label.himaplayer
                                             ? code_for(label.target, v.hima_color_names, v.hima_color_codes)
                                             : code_for(label.target, v.color_names, v.color_codes);
        return !code.empty() && set_slot(s.color, code);
    }
    default:
        return false;
    }
}

bool contains(const CommandSet& set, const CommandVocabulary& v, std::u16string_view param, RuleProblems* problems) {
    const CommandParam p = read_command_param(command_folded(param), CommandOperation::contains);
    if (p.problem && problems) problems->bad_contains.add(p.text);
    return contains(set, v, p);
}

bool remove(CommandSet& set, const CommandVocabulary& v, std::u16string_view param, RuleProblems* problems) {
    const CommandParam p = read_command_param(command_folded(param), CommandOperation::remove);
    if (p.problem && problems) problems->bad_remove.add(p.text);
    return remove(set, v, p);
}

bool add(CommandSet& set, const CommandVocabulary& v, std::u16string_view param) {
    return add(set, v, read_command_param(command_folded(param), CommandOperation::add));
}

bool change(CommandSet& set, const CommandVocabulary& v, std::u16string_view param, RuleProblems* problems) {
    const CommandParam p = read_command_param(command_folded(param), CommandOperation::change);
    if (p.problem && problems) problems->bad_change.add(p.text);
    return change(set, v, p);
}

bool names_to_codes(CommandSet& s, const CommandVocabulary& v, bool himaplayer) {
    if (s.color.empty()) return false;
    // Rows apply one after the other; the result is a view into the vocabulary until it is stored.
    std::u16string_view color = s.color;
    auto apply = [&color](const std::vector<std::u16string>& names, const std::vector<std::u16string>& codes) {
        for (size_t i = 0; i < names.size() && i < codes.size(); ++i)
            if (eq_ci(color, names[i])) color = codes[i];
    };
    if (himaplayer) apply(v.hima_color_names, v.hima_color_codes);
    apply(v.color_names, v.color_codes);
    if (color == s.color) return false;
    s.color.assign(color);
    return true;
}

} // namespace quippet
