#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class Regex;

/// One line of a pattern block: an extraction method (or a test, a cutting method) and its arguments.
struct PatternEntry {
    std::u16string method;
    std::vector<std::u16string> args;
};

/// A block of the ID pattern file: which pages it applies to, how it cuts them into items and how it
/// reads each item. Every key may hold several lines, tried in their order.
struct PatternBlock {
    std::u16string name;
    int line = 0; ///< where the block begins, for the log
    std::vector<PatternEntry> url, cut, id, title, date, comments, views;
    /// Why the block cannot be used; empty when it can.
    std::u16string problem;
    /// The compiled "ＵＲＬ" expressions, by the order of `url` (null when one does not compile).
    std::vector<std::shared_ptr<const Regex>> url_regex;

    bool usable() const { return problem.empty(); }
    /// Whether the block applies to a page at `address`. A block without a test applies to every page; an
    /// expression that does not compile, or a method other than "含む" and "一致", matches nothing.
    bool applies_to(std::u16string_view address) const;
};

/// A pattern file as read; problems name their line.
struct IdPatternFile {
    std::vector<PatternBlock> blocks;
    std::vector<std::u16string> problems;

    static IdPatternFile parse(std::u16string_view text);
};

/// The file the program ships.
const std::u16string& default_id_pattern_text();

/// One item cut from a page, its values as they were found (not yet cleaned).
struct PageItem {
    std::u16string id, title, date, comments, views;
};

/// The items of `page` by the first usable block that applies to `address` and yields an item. Returns the
/// block's index, -1 when none yielded anything. At most `max_items` items are taken.
int cut_page_items(const IdPatternFile& file, std::u16string_view address, std::u16string_view page,
                   std::vector<PageItem>& items, size_t max_items = 100000);

} // namespace quippet
