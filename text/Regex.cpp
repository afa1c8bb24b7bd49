#include "text/Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <atomic>

namespace quippet {

std::u16string_view RegexMatch::group(std::u16string_view subject, int group) const {
    const int b = begin(group);
    const int e = end(group);
    if (b < 0 || e < b || static_cast<size_t>(e) > subject.size()) return {};
    return subject.substr(static_cast<size_t>(b), static_cast<size_t>(e - b));
}

struct Regex::State {
    State(pcre2_code* c, const RegexLimits& l) : code(c), limits(l) {}
    ~State() { pcre2_code_free(code); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    pcre2_code* code;
    RegexLimits limits;
    uint32_t capture_count = 0;
    mutable std::atomic<int> give_ups{0};
};

namespace {

// The Unicode spaces that ECMAScript's "\s" adds to the ASCII ones PCRE2 knows without UCP. Full UCP is
// not wanted: it would widen "\d" and "\w" beyond ASCII, which ECMAScript does not do.
constexpr std::u16string_view kExtraSpaces = u"\\u00a0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f\\u3000\\ufeff";
constexpr std::u16string_view kAnyButLineEnd = u"[^\\n\\r\\u2028\\u2029]";

bool is_ascii_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

/// Letters that mean something after a backslash in ECMAScript (without the "u" flag). PCRE2 gives
/// further letters a meaning ("\h", "\z", "\Q" …); in ECMAScript they stand for themselves.
bool is_ecmascript_escape_letter(char16_t c) {
    return std::u16string_view(u"bBcdDfknrsStuvwWx").find(c) != std::u16string_view::npos;
}

int hex_digit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

/// The unit written as "\uXXXX" at `at`, or -1.
int u_escape_at(std::u16string_view p, size_t at) {
    if (at + 6 > p.size() || p[at] != u'\\' || p[at + 1] != u'u') return -1;
    int value = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int d = hex_digit(p[i]);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

struct Translated {
    std::u16string text;
    /// Position in the user's pattern of every unit of `text`, to report errors where the user wrote them.
    std::vector<int> origin;

    void emit(std::u16string_view s, size_t from) {
        text += s;
        origin.insert(origin.end(), s.size(), static_cast<int>(from));
    }
    void emit(char16_t c, size_t from) { emit(std::u16string_view(&c, 1), from); }
};

/// Rewrites the ECMAScript constructs whose PCRE2 reading differs; group numbers are not disturbed.
Translated translate(std::u16string_view p) {
    Translated t;
    t.text.reserve(p.size() + 16);
    t.origin.reserve(p.size() + 16);
    bool in_class = false;
    size_t i = 0;
    while (i < p.size()) {
        const size_t at = i;
        const char16_t c = p[i];
        if (c == u'\\' && i + 1 < p.size()) {
            const char16_t e = p[i + 1];
            const int high = u_escape_at(p, i);
            if (high >= 0xD800 && high < 0xDC00) {
                const int low = u_escape_at(p, i + 6);
                if (low >= 0xDC00 && low < 0xE000) {
                    // In UTF mode PCRE2 refuses surrogate escapes; the pair itself stands for the code point.
                    const char16_t pair[2] = {static_cast<char16_t>(high), static_cast<char16_t>(low)};
                    t.emit(std::u16string_view(pair, 2), at);
                    i += 12;
                    continue;
                }
            }
            if (e == u's') {
                t.emit(in_class ? u"\\s" : u"[\\s", at);
                t.emit(kExtraSpaces, at);
                if (!in_class) t.emit(u']', at);
            } else if (e == u'S') {
                // Inside a class "\S" keeps PCRE2's ASCII reading: a class cannot hold a negated class.
                if (in_class) {
                    t.emit(u"\\S", at);
                } else {
                    t.emit(u"[^\\s", at);
                    t.emit(kExtraSpaces, at);
                    t.emit(u']', at);
                }
            } else if (e == u'v') {
                t.emit(u"\\u000b", at);
            } else if (is_ascii_letter(e) && !is_ecmascript_escape_letter(e)) {
                t.emit(e, at);
            } else {
                size_t n = 2;
                if (e >= 0xD800 && e < 0xDC00 && i + 2 < p.size() && p[i + 2] >= 0xDC00 && p[i + 2] < 0xE000) n = 3;
                t.emit(p.substr(i, n), at);
                i += n;
                continue;
            }
            i += 2;
            continue;
        }
        if (in_class) {
            if (c == u']') {
                in_class = false;
            } else if (c == u'[') {
                // "[" is plain inside an ECMAScript class; PCRE2 would read "[:alpha:]" as a POSIX class.
                t.emit(u"\\[", at);
                ++i;
                continue;
            }
            t.emit(c, at);
            ++i;
            continue;
        }
        if (c == u'[') {
            in_class = true;
            t.emit(c, at);
            ++i;
            if (i < p.size() && p[i] == u'^') {
                t.emit(p[i], i);
                ++i;
            }
            // "[]" and "[^]": ALLOW_EMPTY_CLASS makes this "]" close the class, as ECMAScript does.
            if (i < p.size() && p[i] == u']') {
                t.emit(p[i], i);
                ++i;
                in_class = false;
            }
            continue;
        }
        if (c == u'.') {
            t.emit(kAnyButLineEnd, at);
        } else {
            t.emit(c, at);
        }
        ++i;
    }
    return t;
}

/// Per-thread matching state: the compiled expressions are shared, these are not.
class Scratch {
public:
    Scratch() {
        context_ = pcre2_match_context_create(nullptr);
        jit_stack_ = pcre2_jit_stack_create(32 * 1024, 4 * 1024 * 1024, nullptr);
        if (context_ && jit_stack_) pcre2_jit_stack_assign(context_, nullptr, jit_stack_);
    }
    ~Scratch() {
        pcre2_match_data_free(data_);
        pcre2_jit_stack_free(jit_stack_);
        pcre2_match_context_free(context_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    pcre2_match_context* context(const RegexLimits& limits) {
        if (!context_) return nullptr;
        pcre2_set_match_limit(context_, limits.match_limit);
        pcre2_set_depth_limit(context_, limits.depth_limit);
        return context_;
    }
    pcre2_match_data* data(uint32_t pairs) {
        if (pairs > pairs_ || !data_) {
            pcre2_match_data_free(data_);
            pairs_ = pairs < 16 ? 16 : pairs;
            data_ = pcre2_match_data_create(pairs_, nullptr);
        }
        return data_;
    }

private:
    pcre2_match_context* context_ = nullptr;
    pcre2_jit_stack* jit_stack_ = nullptr;
    pcre2_match_data* data_ = nullptr;
    uint32_t pairs_ = 0;
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

constexpr char16_t kEmpty[1] = {0};

/// The least size in units replace_all gives up at; larger subjects may grow to four times their size.
constexpr size_t kMinReplacementCap = size_t{1} << 24;

PCRE2_SPTR subject_pointer(std::u16string_view subject) {
    return reinterpret_cast<PCRE2_SPTR>(subject.data() ? subject.data() : kEmpty);
}

bool is_give_up(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
           rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_NOMEMORY;
}

/// Groups of the last match as the replacement formatter reads them.
struct Groups {
    const PCRE2_SIZE* ovector;
    int count;
    bool matched(int g) const { return g < count && ovector[2 * g] != PCRE2_UNSET; }
    size_t begin(int g) const { return ovector[2 * g]; }
    size_t end(int g) const { return ovector[2 * g + 1]; }
};

/// `capture_count`: groups the expression has (not counting group 0), which decides what "$nn" names.
template <typename GroupSource>
void append_replacement(std::u16string& out, std::u16string_view format, std::u16string_view subject,
                        const GroupSource& groups, int capture_count) {
    size_t i = 0;
    while (i < format.size()) {
        const size_t dollar = format.find(u'$', i);
        if (dollar == std::u16string_view::npos) {
            out.append(format.substr(i));
            return;
        }
        out.append(format.substr(i, dollar - i));
        i = dollar + 1;
        if (i >= format.size()) {
            out += u'$';
            return;
        }
        const char16_t c = format[i];
        auto append_group = [&](int g) {
            if (groups.matched(g)) out.append(subject.substr(groups.begin(g), groups.end(g) - groups.begin(g)));
        };
        if (c == u'$') {
            out += u'$';
            ++i;
        } else if (c == u'&') {
            append_group(0);
            ++i;
        } else if (c == u'`') {
            if (groups.matched(0)) out.append(subject.substr(0, groups.begin(0)));
            ++i;
        } else if (c == u'\'') {
            if (groups.matched(0)) out.append(subject.substr(groups.end(0)));
            ++i;
        } else if (c >= u'0' && c <= u'9') {
            int digits = 1;
            int index = c - u'0';
            if (i + 1 < format.size() && format[i + 1] >= u'0' && format[i + 1] <= u'9') {
                const int two = index * 10 + (format[i + 1] - u'0');
                if (two >= 1 && two <= capture_count) {
                    digits = 2;
                    index = two;
                }
            }
            if (index >= 1 && index <= capture_count) {
                append_group(index);
            } else {
                out += u'$';
                out.append(format.substr(i, static_cast<size_t>(digits)));
            }
            i += static_cast<size_t>(digits);
        } else {
            out += u'$';
        }
    }
}

} // namespace

Regex::Regex() = default;
Regex::~Regex() = default;
Regex::Regex(Regex&& other) noexcept = default;
Regex& Regex::operator=(Regex&& other) noexcept = default;

int Regex::compile(std::u16string_view pattern, const RegexLimits& limits) {
    pattern_.assign(pattern);
    error_.clear();
    state_.reset();
    const Translated t = translate(pattern);
    int error_code = 0;
    PCRE2_SIZE error_offset = 0;
    const uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS |
                             PCRE2_DOLLAR_ENDONLY | PCRE2_MATCH_UNSET_BACKREF;
    pcre2_code* code =
        pcre2_compile(subject_pointer(t.text), t.text.size(), options, &error_code, &error_offset, nullptr);
    if (!code) {
        PCRE2_UCHAR message[256];
        const int n = pcre2_get_error_message(error_code, message, 256);
        if (n > 0) error_.assign(reinterpret_cast<const char16_t*>(message), static_cast<size_t>(n));
        const size_t offset =
            error_offset < t.origin.size() ? static_cast<size_t>(t.origin[error_offset]) : pattern.size();
        error_ += u" at offset ";
        const std::string digits = std::to_string(offset);
        error_.append(digits.begin(), digits.end());
        return -1;
    }
    // Without JIT support the interpreter runs the same expression, only slower.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    state_ = std::make_unique<State>(code, limits);
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &state_->capture_count);
    return 0;
}

int Regex::capture_count() const {
    return state_ ? static_cast<int>(state_->capture_count) : 0;
}

int Regex::give_ups() const {
    return state_ ? state_->give_ups.load(std::memory_order_relaxed) : 0;
}

int Regex::search(std::u16string_view subject, RegexMatch* match, int start) const {
    if (!state_ || start < 0 || static_cast<size_t>(start) > subject.size()) return 0;
    Scratch& s = scratch();
    pcre2_match_data* data = s.data(state_->capture_count + 1);
    pcre2_match_context* context = s.context(state_->limits);
    if (!data || !context) {
        state_->give_ups.fetch_add(1, std::memory_order_relaxed);
        return -1;
    }
    const int rc = pcre2_match(state_->code, subject_pointer(subject), subject.size(), static_cast<PCRE2_SIZE>(start),
                               0, data, context);
    if (rc < 0) {
        if (is_give_up(rc)) {
            state_->give_ups.fetch_add(1, std::memory_order_relaxed);
            return -1;
        }
        return 0;
    }
    if (match) {
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
        const size_t pairs = state_->capture_count + 1;
        match->offsets_.resize(2 * pairs);
        // Pairs from `rc` on belong to groups that did not take part; whatever they hold is not this match's.
        for (size_t k = 0; k < 2 * pairs; ++k)
            match->offsets_[k] =
                ovector[k] == PCRE2_UNSET || k >= 2 * static_cast<size_t>(rc) ? -1 : static_cast<int>(ovector[k]);
    }
    return 1;
}

int Regex::replace_all(std::u16string_view subject, std::u16string_view format, std::u16string& out) const {
    if (!state_) return 0;
    Scratch& s = scratch();
    pcre2_match_data* data = s.data(state_->capture_count + 1);
    pcre2_match_context* context = s.context(state_->limits);
    if (!data || !context) {
        state_->give_ups.fetch_add(1, std::memory_order_relaxed);
        return -1;
    }
    const PCRE2_SPTR text = subject_pointer(subject);
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    const int captures = static_cast<int>(state_->capture_count);
    // "$`" and "$'" copy the text around each match: with a match at every position the result grows with
    // the square of the subject, and the next rule squares it again. Past this size the replacement gives
    // up like a runaway search instead of exhausting memory.
    const size_t max_units = std::max(kMinReplacementCap, 4 * subject.size());
    std::u16string result;
    int count = 0;
    size_t copied = 0;
    size_t at = 0;
    uint32_t retry_options = 0;
    while (at <= subject.size()) {
        const int rc = pcre2_match(state_->code, text, subject.size(), at, retry_options, data, context);
        if (rc < 0) {
            if (is_give_up(rc)) {
                state_->give_ups.fetch_add(1, std::memory_order_relaxed);
                return -1;
            }
            break;
        }
        if (count == 0) result.reserve(subject.size() + format.size());
        ++count;
        const size_t begin = ovector[0];
        const size_t end = ovector[1];
        result.append(subject.substr(copied, begin - copied));
        // Passing `rc` keeps the groups that did not take part (they may hold an earlier match's offsets) out.
        append_replacement(result, format, subject, Groups{ovector, rc}, captures);
        if (result.size() > max_units) {
            state_->give_ups.fetch_add(1, std::memory_order_relaxed);
            return -1;
        }
        copied = end;
        at = end;
        // After an empty match the same place is tried once more for a non-empty one, as std::regex does,
        // and the search goes on from there in the same call. An anchored retry followed by a step would
        // say the same, but PCRE2_ANCHORED at match time bypasses the JIT, and the interpreter checks the
        // rest of the subject on every call: a pattern that matches empty everywhere became quadratic.
        retry_options = begin == end ? PCRE2_NOTEMPTY_ATSTART : 0;
    }
    if (count == 0) return 0;
    result.append(subject.substr(copied));
    out = std::move(result);
    return count;
}

void append_regex_replacement(std::u16string& out, std::u16string_view format, std::u16string_view subject,
                              const RegexMatch& match) {
    struct FromMatch {
        const RegexMatch& m;
        bool matched(int g) const { return m.matched(g) && m.end(g) >= m.begin(g); }
        size_t begin(int g) const { return static_cast<size_t>(m.begin(g)); }
        size_t end(int g) const { return static_cast<size_t>(m.end(g)); }
    };
    append_replacement(out, format, subject, FromMatch{match}, match.group_count() - 1);
}

} // namespace quippet
