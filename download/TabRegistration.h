#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Settings.h"
#include "download/DownloadPacing.h"
#include "download/IdPatterns.h"
#include "download/PageRegistration.h"
#include "net/MovieInfo.h"

namespace quippet {

/// What the download tab registers from its input box, its drops, its hand-overs and its bookmarks, over
/// one list (the job's own copy of the tab's list, so that IDs already listed are passed over). One object
/// per job: the page counter, the pacing and the pattern file are the job's.
class CTabRegistration {
public:
    /// `folder` is the folder of new rows (made absolute in the home, "/" added).
    CTabRegistration(const CSettings& settings, CListDownload& list, RegisterReport& report,
                     std::u16string_view folder);

    /// The input box: classified, then registered by its kind. 0, or -1 when it could not be registered.
    int register_input(std::u16string_view input);
    /// Search words with the method at `method` of the search-order file (-1: the tab's choice).
    int register_search(std::u16string_view words, int method = -1);
    int register_address(std::u16string_view address);
    /// Dropped or handed-over paths: folders, list files, playlists and comment files alike.
    int register_paths(const std::vector<std::u16string>& paths);
    int register_list_file(std::u16string_view path);
    int register_folder(std::u16string_view folder);
    int register_history(int selection);
    /// "[前回抽出前のリスト]" and "[前回DL開始時のリスト]".
    int register_snapshot(std::u16string_view name);
    /// "<最近再生した動画の一覧>": the videos `set_played` gives, those still there.
    int register_played();
    /// The recently played videos, newest first (the playlist side keeps them).
    void set_played(std::function<std::vector<std::u16string>()> played) { played_ = std::move(played); }
    /// The IDs found in a text (the clipboard): rows for those not listed.
    int register_ids_in(std::u16string_view text);

    const CSettings& settings() const { return settings_; }
    RegisterContext& context() { return ctx_; }
    WalkOptions walk_options() const;
    /// Overrides of a bookmark: the page limit (0: off) for the next walks.
    void set_page_limit(std::optional<long long> limit) { page_limit_ = limit; }

private:
    int register_one_file(std::u16string_view path);
    const IdPatternFile* patterns() const { return patterns_ ? &*patterns_ : nullptr; }

    CSettings settings_;
    CListDownload& list_;
    RegisterReport& report_;
    InfoOptions info_;
    DownloadPacer pacer_;
    RegisterContext ctx_;
    std::optional<IdPatternFile> patterns_;
    PageCounter pages_;
    std::optional<long long> page_limit_;
    std::function<std::vector<std::u16string>()> played_;
};

/// The folder of saved lists (absolute) and the file of a list name in it.
std::u16string saved_lists_folder(const CSettings& settings);
std::u16string saved_list_path(const CSettings& settings, std::u16string_view name);
/// The names of the saved lists (".txt" files of the folder, without it), sorted.
std::vector<std::u16string> saved_list_names(const CSettings& settings);
/// The memo file of a list: the memo folder + name + ".txt".
std::u16string list_memo_path(const CSettings& settings, std::u16string_view name);

/// The video saved for a row: folder + save name + one of the video extensions of the settings ("|"- or
/// blank-separated), the first that exists; empty when none does.
std::u16string saved_video_of(const CSettings& settings, std::u16string_view folder, std::u16string_view name);
/// The watch-page address of a video ID.
std::u16string watch_address_of(const CSettings& settings, std::u16string_view id);

/// What a hand-over text carries: paths (registered like dropped files), and the three option blocks.
struct HandOver {
    std::vector<std::u16string> paths;
    std::vector<std::u16string> searches;  ///< "▼検索オプション": search words, one a line
    std::vector<std::u16string> addresses; ///< "▼URLオプション": addresses, one a line
    std::u16string addition;               ///< "▼追加オプション": text for the input box
    std::vector<std::u16string> other;     ///< lines that are neither (IDs and words), registered as input
};
HandOver parse_hand_over(std::u16string_view text);

} // namespace quippet
