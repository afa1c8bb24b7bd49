#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/PageRegistration.h"

namespace quippet {

/// The name of an address's state file: the address without its scheme and "//", made file-name safe,
/// cut to 128 characters, with ".txt".
std::u16string update_state_file_name(std::u16string_view url);

/// What a bookmark's option text switches off: "c=1" or "c=3" the thumbnail skip, "c=2" or "c=3" both
/// date skips.
struct UpdateOptionSwitches {
    bool thumb_skip_off = false;
    bool date_skips_off = false;
};
UpdateOptionSwitches parse_update_option(std::u16string_view option_text);

/// A posted date as lists show it ("07/03/06 00:33", "2007/03/06 00:33:00", ISO 8601, RSS dates) as seconds
/// since 1970 (the clock time taken as UTC; a few hours do not matter to the day limits).
std::optional<std::time_t> posted_time(std::u16string_view text);

struct UpdateTarget {
    std::u16string url;
    std::u16string options;
    bool checked = true; ///< unchecked targets are counted as excluded
};

struct UpdateCheckSettings {
    std::u16string folder;          ///< where the state files live
    bool skip_thumb_exists = false; ///< "サムネ既存はスルー"
    bool skip_old = false;          ///< "投稿日が古いものはスルー"
    int old_days = 30;
    int days_before_last_check = 1; ///< videos posted this long before the last check are old news
    int min_comments = 0;
    std::function<bool(std::u16string_view id)> thumb_exists;
    std::time_t now = 0; ///< 0: the clock
};

struct UpdateTally {
    int checked = 0;
    int excluded = 0;
    int updates = 0;
    int skipped[4] = {0, 0, 0, 0}; ///< by UpdateSkip
    bool stopped = false;
};

/// The summary line of a check.
std::u16string update_check_summary(const UpdateTally& tally);

/// Checks every target: its page is registered with the IDs of its state file excluded and the skips
/// applied, the new IDs are added to the state file (or its time renewed when there were none).
UpdateTally run_update_checks(RegisterContext& ctx, const IdPatternFile* patterns,
                              const std::vector<UpdateTarget>& targets, const UpdateCheckSettings& settings);

} // namespace quippet
