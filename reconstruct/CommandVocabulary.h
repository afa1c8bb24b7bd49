#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/FileSP.h"

namespace quippet {

/// The user's vocabulary of comment commands ("設定：コマンドの基本.txt"). Every list keeps file order: the
/// splitting search tries entries in that order, and entry 0 of the size, position and colour lists is the
/// value that means "nothing given". Entries are stored command-folded.
struct CommandVocabulary {
    std::vector<std::u16string> size_list;
    std::vector<std::u16string> vertical_list;
    std::vector<std::u16string> horizontal_list;
    /// Parallel lists: colour command and its "#rrggbb" code.
    std::vector<std::u16string> color_names;
    std::vector<std::u16string> color_codes;
    /// Parallel lists: the codes the himaplayer uses for some of the names.
    std::vector<std::u16string> hima_color_names;
    std::vector<std::u16string> hima_color_codes;
    /// Parallel lists: a misspelt or foreign command and the command read in its place.
    std::vector<std::u16string> replace_from;
    std::vector<std::u16string> replace_to;
    std::vector<std::u16string> needed_list;
    std::vector<std::u16string> unneeded_list;
};

inline constexpr std::u16string_view kCommandVocabularyFile = u"設定：コマンドの基本.txt";

/// Lower-cases ASCII and full-width letters and narrows full-width letters, digits, "＃" and "＠"; nothing
/// else changes. Mail texts, vocabulary lines and command parameters all meet in this form.
void command_fold(std::u16string& text);
std::u16string command_folded(std::u16string_view text);

/// The vocabulary from the text of the file (lines at CR LF or LF; "//" lines and empty lines dropped).
CommandVocabulary read_vocabulary(std::u16string_view text);
/// The vocabulary file; a missing, unreadable or empty file gives empty lists, which is not an error.
CommandVocabulary load_vocabulary(std::u16string_view path);
/// Writes the file with its built-in text when it is missing: 1 created, 0 there already, -1 failed (the
/// message "<path>の新規作成に失敗しました" went to `on_failure`).
int ensure_vocabulary_file(std::u16string_view path, const CreationFailureHook& on_failure = {});

} // namespace quippet
