#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// How items dropped on the reconstruction tab's file list become rows.
struct DropListOptions {
    /// "下層": folders are searched through all their sub-folders, not just their own files.
    bool recurse = false;
    /// "条件": only files that pass the two interface conditions below.
    bool conditions = false;
    bool skip_uploader_comments = true;
    bool skip_without_tail = false;
    /// The frame of the tail information at the end of a file name.
    std::u16string before = u"[";
    std::u16string after = u"]";
};

/// The drop options from the tab's switches and the interface settings.
DropListOptions drop_list_options(const CSettings& settings);

/// The tail information of a file's name without its frame ("sm9 1-300" of "a[sm9 1-300].xml"); empty
/// when the name has none.
std::u16string tail_information(std::u16string_view file_name, std::u16string_view before, std::u16string_view after);

/// Whether a comment file passes "条件": the download tab marks the uploader's comments with
/// "投稿者コメント" in the tail information.
bool passes_drop_conditions(std::u16string_view path, const DropListOptions& options);

/// The files to list for the dropped paths, in drop order: a dropped file as it is, a dropped folder as
/// its ".xml" files (sorted by path, sub-folders too with `recurse`), each filtered by "条件" when on.
/// Paths already in the result are not listed twice. `skipped` counts the files "条件" left out.
std::vector<std::u16string> collect_dropped_files(const std::vector<std::u16string>& dropped,
                                                  const DropListOptions& options, int* skipped = nullptr);

} // namespace quippet
