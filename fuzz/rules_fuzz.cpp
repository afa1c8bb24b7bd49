// Feeds arbitrary UTF-16 text to the rule language: a rule file, a mail attribute and a comment body, cut at
// U+0001. Besides surviving, the command parse must be stable: a normalised mail reads back to the same
// commands (other commands may change places once, as run-together pieces are placed after whole tokens).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reconstruct/CommandSet.h"
#include "reconstruct/FuzzyFold.h"
#include "reconstruct/RuleProgram.h"
#include "resources/DefaultTextsCommands.h"
#include "text/Regex.h"

using namespace quippet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string input(size / 2, u'\0');
    for (size_t i = 0; i + 1 < size; i += 2)
        input[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const size_t first = input.find(u'\u0001');
    const size_t second = first == std::u16string::npos ? first : input.find(u'\u0001', first + 1);
    const std::u16string_view all = input;
    const std::u16string_view rules = all.substr(0, first);
    const std::u16string_view mail = first == std::u16string::npos ? u"" : all.substr(first + 1, second - first - 1);
    const std::u16string_view body = second == std::u16string::npos ? u"" : all.substr(second + 1);

    static const CommandVocabulary vocabulary = read_vocabulary(default_command_vocabulary_text());
    CommandSet once = parse_mail(mail, vocabulary, nullptr);
    CommandSet twice = parse_mail(write_mail(once), vocabulary, nullptr);
    std::sort(once.others.begin(), once.others.end());
    std::sort(twice.others.begin(), twice.others.end());
    if (!(once == twice)) __builtin_trap();

    RuleProgram program;
    program.compile_text(rules, {});
    ChatEntry entry;
    entry.mail.assign(mail);
    entry.text.assign(body);
    entry.user_id.assign(rules.substr(0, 16));
    fuzzy_fold_copy(entry.text.view(), entry.work_text);
    RuleRunOptions options;
    options.save_lists = true;
    options.remove_negative_vpos = (size & 1) != 0;
    program.evaluate(entry, vocabulary, options, 0);
    program.report_lines(u"P");

    Regex re;
    if (re.compile(body) == 0) {
        std::u16string out;
        re.search(rules);
        re.replace_all(rules, u"$1$&$`$'$$$99", out);
    }
    return 0;
}
