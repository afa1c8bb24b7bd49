#pragma once

#include "livelog/LiveLogSettings.h"
#include "text/Regex.h"
#include "text/WordSearch.h"

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

struct ReplaceList;
struct ReplaceCounts;

/// The references decoded over a job: their names in the order first met, and how many were decoded.
struct WcRefTally {
    std::vector<std::u16string> names;
    int count = 0;
    void add(std::u16string_view name);
};

/// Decodes the named references of the built-in table and the numeric forms "&#N;" and "&#xH;", appending
/// the result to `out`. An "&" that starts no known reference stays as it is. Names go to `tally` when given.
void decode_references(std::u16string_view text, std::u16string& out, WcRefTally* tally = nullptr);

/// Appends `text` with "&", "<" and ">" written as references, as element text needs them.
void append_xml_escaped(std::u16string_view text, std::u16string& out);

/// The five lists of the converter's NG-word file.
struct WcNgLists {
    struct Pattern {
        Regex regex;
        int line = 0;
    };
    std::vector<std::u16string> prefix;
    std::vector<std::u16string> suffix;
    std::vector<std::u16string> substring;
    /// `substring` made searchable at once (built by the parser).
    WordSearch substring_search;
    std::vector<std::u16string> exact;
    std::vector<Pattern> regex;
    /// Expressions that did not compile, as log lines naming the line.
    std::vector<std::u16string> problems;
};

/// Lines go to the prefix list until a label ("[前方一致]", "[後方一致]", "[部分一致]", "[完全一致]",
/// "[正規表現]") selects another; empty lines are skipped. `file_name` prefixes the problem lines.
WcNgLists parse_wc_ng_lists(std::u16string_view text, std::u16string_view file_name = {});

/// Why a post was dropped while its body was collected.
enum class WcDiscard : int {
    kNone = 0,
    kNgPrefix,
    kNgSuffix,
    kNgSubstring,
    kNgExact,
    kNgRegex,
    kTooManyLines,
    kTooManyChars,
};

/// What the body lines of every post go through; the pointers may be null (no NG tests, no replacement).
struct WcBodyTools {
    const WcNgLists* ng = nullptr;
    const ReplaceList* replace = nullptr;
    ReplaceCounts* replace_counts = nullptr;
    WcRefTally* refs = nullptr;
    WcLineBreaks line_breaks = WcLineBreaks::kKeep;
    /// Joins lines under kCustom.
    std::u16string custom_separator;
    int max_lines = 4;
    int max_chars = 40;
};

/// Collects the body of one post at a time, reusing its buffers from post to post.
class WcBodyBuilder {
public:
    explicit WcBodyBuilder(const WcBodyTools& tools) : tools_(tools) {}

    void start() {
        body_.clear();
        lines_ = 0;
    }
    /// Takes one line of the post; a result other than kNone ends the post.
    WcDiscard add_line(std::u16string_view line);
    const std::u16string& body() const { return body_; }
    int lines() const { return lines_; }

private:
    WcDiscard ng_test(std::u16string_view line) const;

    const WcBodyTools& tools_;
    std::u16string body_;
    int lines_ = 0;
    std::u16string decoded_;
    std::u16string plain_;
};

} // namespace quippet
