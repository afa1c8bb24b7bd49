#include "reconstruct/DropList.h"

#include "app/Settings.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "text/AppHome.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

namespace quippet {
namespace {

std::u16string_view file_name_of(std::u16string_view path) {
    const size_t slash = path.find_last_of(u'/');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool has_xml_extension(const std::filesystem::path& p) {
    std::u16string ext = p.extension().u16string();
    for (char16_t& c : ext)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return ext == u".xml";
}

/// The folder's comment files; an unreadable folder or entry is passed over, as a file manager would.
void folder_files(const std::filesystem::path& folder, bool recurse, std::vector<std::u16string>& out) {
    std::error_code ec;
    std::vector<std::u16string> found;
    const auto take = [&found](const std::filesystem::directory_entry& entry) {
        std::error_code entry_ec;
        if (entry.is_regular_file(entry_ec) && has_xml_extension(entry.path()))
            found.push_back(from_fs_path(entry.path()));
    };
    if (recurse) {
        const auto options = std::filesystem::directory_options::skip_permission_denied;
        for (std::filesystem::recursive_directory_iterator it(folder, options, ec), end; !ec && it != end;
             it.increment(ec))
            take(*it);
    } else {
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            take(*it);
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

} // namespace

DropListOptions drop_list_options(const CSettings& settings) {
    DropListOptions o;
    o.recurse = settings.on(RcSwitch::kRecurse);
    o.conditions = settings.on(RcSwitch::kDropConditions);
    o.skip_uploader_comments = settings.on(OptSwitch::kSkipUploaderCommentFiles);
    o.skip_without_tail = settings.on(OptSwitch::kSkipFilesWithoutTail);
    o.before = settings.text(OptText::kNameFrameBefore);
    o.after = settings.text(OptText::kNameFrameAfter);
    return o;
}

std::u16string tail_information(std::u16string_view file_name, std::u16string_view before, std::u16string_view after) {
    std::u16string_view stem = file_name;
    if (const size_t dot = stem.find_last_of(u'.'); dot != std::u16string_view::npos) stem = stem.substr(0, dot);
    if (before.empty() || after.empty() || !stem.ends_with(after)) return {};
    const size_t open = stem.rfind(before, stem.size() - after.size());
    if (open == std::u16string_view::npos) return {};
    const size_t from = open + before.size();
    return std::u16string(stem.substr(from, stem.size() - after.size() - from));
}

bool passes_drop_conditions(std::u16string_view path, const DropListOptions& options) {
    const std::u16string tail = tail_information(file_name_of(path), options.before, options.after);
    if (options.skip_without_tail && tail.empty()) return false;
    if (options.skip_uploader_comments && tail.find(u"投稿者コメント") != std::u16string::npos) return false;
    return true;
}

std::vector<std::u16string> collect_dropped_files(const std::vector<std::u16string>& dropped,
                                                  const DropListOptions& options, int* skipped) {
    std::vector<std::u16string> candidates;
    for (const std::u16string& path : dropped) {
        std::error_code ec;
        const std::filesystem::path p = to_fs_path(path);
        if (std::filesystem::is_directory(p, ec))
            folder_files(p, options.recurse, candidates);
        else
            candidates.push_back(path);
    }
    std::vector<std::u16string> out;
    std::unordered_set<std::u16string> seen;
    int left_out = 0;
    for (std::u16string& path : candidates) {
        if (options.conditions && !passes_drop_conditions(path, options)) {
            ++left_out;
            continue;
        }
        if (seen.insert(path).second) out.push_back(std::move(path));
    }
    if (skipped != nullptr) *skipped = left_out;
    return out;
}

} // namespace quippet
