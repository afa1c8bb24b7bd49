#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quippet {

/// One line of the information rules file: a key, a method and its arguments, or a key and a constant.
struct InfoRule {
    std::u16string key;
    std::u16string method; ///< "抜出", "属性値", "括弧内"; empty for a constant
    std::vector<std::u16string> args;
    std::u16string constant;
};

/// The user-editable rules that say how the information is cut out of the service's answers, so that a
/// change of the service's formats can be followed without a new program.
class InfoRules {
public:
    /// Lines "key<TAB>method<TAB>args…" or "key<TAB>value"; "//" lines and lines without a tab are skipped. A
    /// line with an unknown method or too few arguments is skipped as well: its key then finds nothing.
    static InfoRules parse(std::u16string_view text);
    static const std::u16string& default_text();
    /// The built-in rules (parsed once).
    static const InfoRules& defaults();

    const InfoRule* find(std::u16string_view key) const;
    bool has(std::u16string_view key) const { return find(key) != nullptr; }
    /// The rule's result on `target` (a constant gives its value); nullopt when the rule or its match is
    /// missing.
    std::optional<std::u16string_view> apply(std::u16string_view key, std::u16string_view target) const;
    /// The constant of a key ("成功時" = "ok"); empty when it has none.
    std::u16string_view constant(std::u16string_view key) const;
    /// Every match of a "括弧内" rule (or of the element a constant names) in `target`, in order.
    std::vector<std::u16string_view> apply_all(std::u16string_view key, std::u16string_view target) const;

    const std::vector<InfoRule>& rules() const { return rules_; }

private:
    std::vector<InfoRule> rules_;
};

// The methods, usable on their own (and fuzzed as such).

/// The text between the first `before` and the following `after` (to the end when `after` is empty).
std::optional<std::u16string_view> cut_between(std::u16string_view text, std::u16string_view before,
                                               std::u16string_view after);
/// The value of `attribute` in the first `element` that has it.
std::optional<std::u16string_view> attribute_value(std::u16string_view text, std::u16string_view element,
                                                   std::u16string_view attribute);
/// The content of the first `element` (with `attribute`, and with it equal to `value`, when given).
std::optional<std::u16string_view> element_content(std::u16string_view text, std::u16string_view element,
                                                   std::u16string_view attribute = {}, std::u16string_view value = {});
/// The contents of every `element` in `text`, in order.
std::vector<std::u16string_view> element_contents(std::u16string_view text, std::u16string_view element);

} // namespace quippet
