#include "app/LaunchRequest.h"

#include <optional>

namespace quippet {
namespace {

char16_t ascii_lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

/// "-Search" and "/s" both name "search"; the names are ASCII, so folding ASCII case is enough.
bool names_switch(std::u16string_view arg, std::u16string_view long_name, char16_t short_name) {
    if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/')) return false;
    const std::u16string_view name = arg.substr(1);
    if (name.size() == 1) return ascii_lower(name[0]) == short_name;
    if (name.size() != long_name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (ascii_lower(name[i]) != long_name[i]) return false;
    return true;
}

struct HandOverOption {
    std::u16string_view name;
    char16_t short_name;
    std::u16string_view block;
};

constexpr HandOverOption kHandOverOptions[] = {
    {u"search", u's', u"▼検索オプション\r\n"},
    {u"url", u'u', u"▼URLオプション\r\n"},
    {u"add", u'a', u"▼追加オプション\r\n"},
};

} // namespace

const std::vector<std::u16string_view>& launch_options() {
    static const std::vector<std::u16string_view> options{u"home", u"service-root", u"ca-file"};
    return options;
}

LaunchRequest parse_launch_arguments(const std::vector<std::u16string>& args,
                                     const std::function<bool(std::u16string_view)>& is_path) {
    LaunchRequest request;
    std::optional<std::u16string> option_text;
    std::u16string paths;
    std::u16string others;
    for (size_t at = 0; at < args.size(); ++at) {
        const std::u16string& arg = args[at];
        const bool has_next = at + 1 < args.size();

        if (arg.starts_with(u"--")) {
            const std::u16string_view body = std::u16string_view(arg).substr(2);
            const size_t equals = body.find(u'=');
            const std::u16string_view name = body.substr(0, equals);
            bool known = false;
            for (std::u16string_view option : launch_options())
                known = known || option == name;
            if (known) {
                if (equals != std::u16string_view::npos) {
                    request.options[std::u16string(name)] = std::u16string(body.substr(equals + 1));
                } else if (has_next) {
                    request.options[std::u16string(name)] = args[++at];
                } else {
                    request.missing_value = std::u16string(name);
                }
                continue;
            }
        }

        if (names_switch(arg, u"list", u'l')) {
            request.list = true;
            if (has_next && request.list_folder.empty()) request.list_folder = args[++at];
            continue;
        }
        if (names_switch(arg, u"multi", u'm')) {
            request.multi = true;
            continue;
        }
        const HandOverOption* option = nullptr;
        for (const HandOverOption& candidate : kHandOverOptions)
            if (names_switch(arg, candidate.name, candidate.short_name)) option = &candidate;
        if (option != nullptr) {
            // The option's word is taken even when an earlier option already counts, so that it is
            // never mistaken for a path.
            if (!has_next) continue;
            const std::u16string& word = args[++at];
            if (!option_text) option_text = std::u16string(option->block) + word;
            continue;
        }
        if (is_path && is_path(arg)) {
            paths += arg + u"\r\n";
        } else {
            others += arg + u"\r\n";
        }
    }
    if (option_text)
        request.handover = std::move(*option_text);
    else if (!paths.empty())
        request.handover = std::move(paths);
    else
        request.handover = std::move(others);
    return request;
}

} // namespace quippet
