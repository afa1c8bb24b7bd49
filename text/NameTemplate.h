#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "text/CharBuffer.h"

namespace quippet {

/// Placeholders of the save-name templates. The blank marker expands to nothing; it is put in front of
/// values that would otherwise read as a bracketed list name (see protect_bracket_text).
inline constexpr std::u16string_view kTemplateId = u"%ID%";
inline constexpr std::u16string_view kTemplateTitle = u"%TITLE%";
inline constexpr std::u16string_view kBlankMarker = u"%_BLANK_%";
/// What an empty template stands for.
inline constexpr std::u16string_view kDefaultTemplate = u"%TITLE%(%ID%)";

/// A value from outside (a title, an id) made unable to add or leave a folder level: "/" and "\" become
/// "／" and "＼", ".." becomes "．．".
std::u16string path_safe_value(std::u16string_view value);

/// Replaces the characters file systems or shells choke on with full-width look-alikes and removes TAB,
/// CR and LF. With `keep_separators` the "/" written in a template survives. 0 when nothing had to
/// change, -1 when something was replaced or removed.
int sanitize_file_name(CCharW& name, bool keep_separators);

/// The file name (with the template's own folders) for a title and an id. An empty template gives an
/// empty name. The title and id are made path-safe before they are inserted, and a folder level that
/// only they fill never comes out as "", "." or "..", so no value can climb out of the intended folder.
std::u16string expand_template(std::u16string_view tmpl, std::u16string_view title, std::u16string_view id);
/// A title as it appears inside file names: the blank marker dropped, references resolved, made
/// path-safe and sanitised.
void clean_title(CCharW& title);
/// folder + "/" (unless empty or already there) + subfolder + the template expanded without a title.
std::u16string path_from_template(std::u16string_view folder, std::u16string_view subfolder, std::u16string_view tmpl,
                                  std::u16string_view id);
/// folder + prefix + the template expanded without a title + ".txt".
std::u16string list_file_path(std::u16string_view folder, std::u16string_view prefix, std::u16string_view tmpl,
                              std::u16string_view id);
/// "*" + the sanitised template with the title shown as "ダウンロード先から取得" and the id filled in.
std::u16string template_preview(std::u16string_view tmpl, std::u16string_view id);

/// The characters around the last "%ID%" of the template's file-name part, as they appear in saved
/// names; either may be empty.
struct IdDelimiters {
    std::u16string before;
    std::u16string after;
};
IdDelimiters id_delimiters(std::u16string_view tmpl);

/// Puts the blank marker in front of a value that starts with "[".
void protect_bracket_text(CCharW& value);

/// An ECMAScript pattern for the template's file-name part with the id filled in and the title as group 1.
std::u16string title_pattern(std::u16string_view tmpl, std::u16string_view id);
/// Runs `pattern` on `subject`; true with group 1 in `group` when it matched.
using RegexCapture =
    std::function<bool(std::u16string_view pattern, std::u16string_view subject, std::u16string& group)>;
/// The title a file got when it was saved under `tmpl`: its name is matched with title_pattern through
/// `capture`, or, without one, by comparing the literal parts of the template. The name is tried whole,
/// then without its extension. 0 with `title` set, -1 when the name does not fit the template.
int title_from_file_name(std::u16string_view file_name, std::u16string_view tmpl, std::u16string_view id, CCharW& title,
                         const RegexCapture& capture = {});

} // namespace quippet
