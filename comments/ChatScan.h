#pragma once

#include <string>
#include <string_view>

/// Quick scans over the UTF-8 text of a comment file, without parsing its comments: used when downloaded
/// pieces are joined and when saved files are named. An attribute is found as a blank, its name, "=" and a
/// double quote, and its value runs to the next double quote.
namespace quippet {

struct AttributeRange {
    int min = 0;
    int max = 0;
    /// Occurrences of the attribute with a closing quote.
    int count = 0;
};

/// Value of the first ` name="…"` inside `tag`; false when it is absent or its quote is not closed.
bool attribute_value(std::string_view tag, std::string_view name, std::string_view& value);

/// Occurrences of ` vpos="` that have a closing quote.
int count_vpos(std::string_view doc);

/// Smallest and largest decimal value of every occurrence of attribute `name`; 0/0 when there is none.
AttributeRange attribute_range(std::string_view doc, std::string_view name);

/// As attribute_range, counting only values v with lower ≤ v < upper. -1 with code 158 in `error` when
/// no value lies there.
int attribute_range_within(std::string_view doc, std::string_view name, int lower, int upper, AttributeRange& out,
                           int* error = nullptr);

struct NumberScan {
    int first = 0;
    int last = 0;
    /// 0 takes no part in min and max.
    int min = 0;
    int max = 0;
    int count = 0;
    /// 8 when two neighbouring numbers are not n and n + 1, else 0.
    int error = 0;
};

/// Every ` no="…"` decimal value in document order.
NumberScan scan_numbers(std::string_view doc);

/// What the naming of a saved file and its thread element need to know of a body, in one pass over it:
/// each part the same as its own scan gives (scan_numbers, attribute_range for "vpos" and "date").
struct BodyFacts {
    NumberScan numbers;
    AttributeRange vpos;
    AttributeRange dates;
};
BodyFacts scan_body_facts(std::string_view doc);

/// Start of the element whose `no` is `no`. -1 with code 6 when there is none, 7 when no "<" precedes it.
int locate_comment(std::string_view doc, int no, int* error = nullptr);
/// Just past the element starting at `start`: after "/>" for a self-closing start tag, else after the
/// next end tag. -1 with code 7 when the element is not closed.
int comment_end(std::string_view doc, int start, int* error = nullptr);
/// Truncates `doc` where comment `no` starts. 0, or -1 with code 6/7 (the element must be a `chat`).
int cut_before_comment(std::string& doc, int no, int* error = nullptr);
/// Drops everything before comment `no`. 0, or -1 with code 6/7 (the element must be a `chat`).
int cut_from_comment(std::string& doc, int no, int* error = nullptr);

/// Decimal value of attribute `name` of the first `thread` element; -1 when absent or not a number.
int thread_attribute(std::string_view doc, std::string_view name);
/// Replaces the value of attribute `name` of the first `thread` element, or adds the attribute after the
/// last quoted value of its start tag. 0, or -1 with code 6 (no `thread` element) or 7 (tag not closed).
int set_thread_attribute(std::string& doc, std::string_view name, int value, int* error = nullptr);
/// Removes attribute `name` from the first `thread` element. 1 removed, 0 not there, -1 without a
/// `thread` element.
int remove_thread_attribute(std::string& doc, std::string_view name);

} // namespace quippet
