#include "reconstruct/SettingsFiles.h"

#include "app/Settings.h"
#include "reconstruct/CommandVocabulary.h"
#include "reconstruct/Lists.h"
#include "reconstruct/RuleProgram.h"
#include "text/AppHome.h"

namespace quippet {
namespace {

SettingsTextFile list_row(std::string_view name, ListFile file, OptText setting) {
    return {name, key(setting), [file](const CSettings& s) { return list_file_path(s, file); },
            [file](const CSettings& s, const CreationFailureHook& hook) { return ensure_list_file(s, file, hook); }};
}

/// Rule files take ".txt" when the setting names none, as the rule loader does.
SettingsTextFile rule_row(std::string_view name, OptText setting, bool priority) {
    const auto path = [setting](const CSettings& s) { return settings_text_path(s, setting); };
    return {name, key(setting), path, [path, priority](const CSettings& s, const CreationFailureHook& hook) {
                return ensure_rule_file(path(s), priority, hook);
            }};
}

} // namespace

const std::vector<SettingsTextFile>& reconstruct_settings_text_files() {
    static const std::vector<SettingsTextFile> files = {
        list_row("ngid", ListFile::kNgIds, OptText::kNgIdList),
        list_row("ng-words", ListFile::kNgWords, OptText::kNgWordFile),
        list_row("common-ng", ListFile::kCommonNg, OptText::kCommonNgFile),
        list_row("priority-ids", ListFile::kPriorityIds, OptText::kPriorityIdList),
        list_row("replace1", ListFile::kReplace1, OptText::kReplace1File),
        list_row("replace2", ListFile::kReplace2, OptText::kReplace2File),
        list_row("fuzzy", ListFile::kFuzzyRules, OptText::kFuzzyRules),
        rule_row("rules-pre", OptText::kCommandConvert1, false),
        rule_row("rules-post", OptText::kCommandConvert2, false),
        rule_row("rules-individual", OptText::kCommandConvert3, false),
        rule_row("rules-priority", OptText::kPriorityConditions, true),
        {"vocabulary", key(OptText::kCommandVocabulary),
         [](const CSettings& s) { return resolve_in_home(s.text(OptText::kCommandVocabulary)); },
         [](const CSettings& s, const CreationFailureHook& hook) {
             return ensure_vocabulary_file(resolve_in_home(s.text(OptText::kCommandVocabulary)), hook);
         }},
    };
    return files;
}

} // namespace quippet
