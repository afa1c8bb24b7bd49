#include "reconstruct/PassChain.h"

#include <algorithm>
#include <utility>

#include "reconstruct/FuzzyFold.h"
#include "text/Entities.h"

namespace quippet {

namespace {

/// Seven hundred consecutive posts spread over 5401 s or more are too sparse to be the real thread.
constexpr int kNaturalWindow = 700;
constexpr int kNaturalSpan = 5401;

/// The `date` values of the comment elements of a file's text, unsorted; malformed values are left out.
void collect_dates(std::string_view comments, std::vector<int>& out) {
    out.clear();
    size_t pos = 0;
    while ((pos = comments.find("<chat ", pos)) != std::string_view::npos) {
        const size_t gt = comments.find('>', pos);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = comments.substr(pos, gt - pos);
        pos = gt + 1;
        const size_t at = tag.find(" date=\"");
        if (at == std::string_view::npos) continue;
        size_t i = at + 7;
        long long value = 0;
        const size_t digits_from = i;
        while (i < tag.size() && tag[i] >= '0' && tag[i] <= '9' && value <= 0x7FFFFFFF)
            value = value * 10 + (tag[i++] - '0');
        if (i == digits_from || i >= tag.size() || tag[i] != '"' || value > 0x7FFFFFFF) continue;
        out.push_back(static_cast<int>(value));
    }
}

/// The latest date of the sparse early run, or -1 when the file has none.
int natural_threshold_of(std::vector<int>& dates) {
    const int n = static_cast<int>(dates.size());
    if (n <= kNaturalWindow) return -1;
    std::sort(dates.begin(), dates.end());
    int threshold = -1;
    for (int j = 0; j < n - kNaturalWindow; ++j) {
        if (dates[j + kNaturalWindow] - dates[j] < kNaturalSpan) break;
        threshold = dates[j];
    }
    return threshold;
}

std::time_t months_before(std::time_t now, int months) {
    std::tm t{};
    localtime_r(&now, &t);
    t.tm_mon -= months;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

void fill_ids(UniqueTexts& out, const NgList* list) {
    if (!list) return;
    for (const std::u16string& id : list->ids)
        out.add(id);
}

/// References the decoder knows, each counted once however often its ampersand was escaped.
int count_references(std::u16string_view text) {
    static constexpr std::u16string_view names[] = {u"amp;",  u"lt;",   u"gt;",   u"quot;", u"apos;",
                                                    u"#38;",  u"#038;", u"#60;",  u"#060;", u"#62;",
                                                    u"#062;", u"#34;",  u"#034;", u"#39;",  u"#039;"};
    auto names_reference = [&](std::u16string_view rest) {
        for (std::u16string_view n : names)
            if (rest.starts_with(n)) return true;
        return false;
    };
    int count = 0;
    for (size_t at = text.find(u'&'); at != std::u16string_view::npos; at = text.find(u'&', at + 1)) {
        std::u16string_view rest = text.substr(at + 1);
        // "&amp;lt;" is one reference escaped twice, not two.
        while (rest.starts_with(u"amp;") && names_reference(rest.substr(4)))
            rest.remove_prefix(4);
        if (names_reference(rest)) ++count;
    }
    return count;
}

bool is_invalid_char(char16_t c) {
    return c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
}

} // namespace

void PassCounters::take_read_stats(const ChatReadStats& stats) {
    no_vpos = stats.vpos_missing;
    bad_vpos = stats.vpos_rejected;
    bad_date = stats.date_rejected;
    non_numeric = stats.malformed;
}

int PassCounters::natural_date_total() const {
    int total = 0;
    for (const NaturalDateRow& r : natural_date)
        total += r.removed;
    return total;
}

PassChain::PassChain(PassOptions options, const PassInputs& inputs, const PassRemovedLists& removed)
    : options_(std::move(options)), inputs_(inputs), removed_(removed) {
    run_options_.save_lists = options_.save_lists;
    run_options_.remove_negative_vpos = options_.remove_negative_vpos;
    fill_ids(ngids_, inputs_.ngid);
    fill_ids(common_ngids_, inputs_.common_ng);
    fill_ids(priority_ids_, inputs_.priority_ids);
    const std::time_t now = options_.now != 0 ? options_.now : std::time(nullptr);
    old_limit_ = months_before(now, options_.old_months);
}

void PassChain::begin_file(std::string_view comments, int source) {
    collect_dates(comments, dates_);
    natural_threshold_ = options_.natural_date ? natural_threshold_of(dates_) : -1;
    if (natural_threshold_ >= 0) counters_.natural_date.push_back({source + 1, natural_threshold_, 0});
    file_earliest_ = file_latest_ = -1;
    for (int d : dates_) {
        if (!date_kept_by_early_steps(d)) continue;
        if (file_earliest_ < 0 || d < file_earliest_) file_earliest_ = d;
        if (file_latest_ < 0 || d > file_latest_) file_latest_ = d;
    }
    if (!first_file_seen_) {
        first_file_seen_ = true;
        first_earliest_ = file_earliest_;
        first_latest_ = file_latest_;
    }
}

bool PassChain::date_kept_by_early_steps(int date) const {
    if (natural_threshold_ >= 0 && date <= natural_threshold_) return false;
    if (options_.old_posts && date < old_limit_) return false;
    return true;
}

bool PassChain::is_priority(const ChatEntry& e) const {
    if (options_.priority_ids && priority_ids_.contains(e.user_id.view())) return true;
    if (options_.priority_uploader && e.fork == 1) return true;
    if (options_.priority_system && premium::is_system(e.premium)) return true;
    if (options_.priority_broadcaster && premium::is_broadcaster(e.premium)) return true;
    return options_.priority_staff && premium::is_operator(e.premium);
}

bool PassChain::stage_excludes(RuleProgram* stage, ChatEntry& e, int source) {
    if (!stage || !inputs_.vocabulary) return false;
    return stage->evaluate(e, *inputs_.vocabulary, run_options_, source);
}

void PassChain::refold(ChatEntry& e) {
    fuzzy_fold_copy(e.text.view(), e.work_text);
}

bool PassChain::apply_replacements(const ReplaceList& list, ReplaceCounts& counts, ChatEntry& e) {
    scratch_.assign(e.text.view());
    if (!list.apply(scratch_, counts)) return false;
    e.text.assign(scratch_);
    refold(e);
    return true;
}

void PassChain::collect(CWorkChatdata* list, const ChatEntry& e, int source) {
    if (list) list->add(e, source);
}

void PassChain::count_natural_date(int row) {
    for (auto it = counters_.natural_date.rbegin(); it != counters_.natural_date.rend(); ++it) {
        if (it->row == row) {
            ++it->removed;
            return;
        }
    }
}

bool PassChain::run_non_priority_filters(ChatEntry& e, int source) {
    if (options_.replace1 && inputs_.replace1) apply_replacements(*inputs_.replace1, counters_.replace1, e);
    if (options_.length_on) {
        const int length = visible_length(e.text.view());
        if (length < options_.min_length) {
            ++counters_.too_short;
            collect(removed_.too_short, e, source);
            return true;
        }
        if (length > options_.max_length) {
            ++counters_.too_long;
            collect(removed_.too_long, e, source);
            return true;
        }
    }
    if (options_.remove_deleted && e.deleted >= 1) {
        ++counters_.deleted_attribute;
        return true;
    }
    // Score 0 is what an unreported comment carries, so no threshold can make it a low score.
    if (options_.low_score_on && e.score != 0 && e.score <= options_.low_score) {
        ++counters_.low_score;
        collect(removed_.low_score, e, source);
        return true;
    }
    if (options_.zero_time && e.vpos == 0) {
        ++counters_.zero_time;
        return true;
    }
    if (options_.ngid && ngids_.contains(e.user_id.view()) != options_.ngid_reversed) {
        ++counters_.ngid;
        collect(removed_.ngid, e, source);
        return true;
    }
    if (options_.common_ng && inputs_.common_ng) {
        const NgMatch m = inputs_.common_ng->match(e.work_text.view(), e.text.view());
        if (options_.common_ng_reversed) {
            if (m == NgMatch::none) {
                ++counters_.common_ng_word;
                collect(removed_.common_ng_word, e, source);
                return true;
            }
        } else if (common_ngids_.contains(e.user_id.view())) {
            ++counters_.common_ngid;
            collect(removed_.common_ngid, e, source);
            return true;
        } else if (m != NgMatch::none) {
            ++counters_.common_ng_word;
            if (m == NgMatch::chained) common_ng_chain_.add(e.user_id.view());
            collect(removed_.common_ng_word, e, source);
            return true;
        }
    }
    if (options_.ng_words && inputs_.ng_words) {
        const NgMatch m = inputs_.ng_words->match(e.work_text.view(), e.text.view());
        if ((m != NgMatch::none) != options_.ng_words_reversed) {
            ++counters_.ng_word;
            if (m == NgMatch::chained) ng_word_chain_.add(e.user_id.view());
            collect(removed_.ng_word, e, source);
            return true;
        }
    }
    return false;
}

bool PassChain::run_timing(ChatEntry& e, int row) {
    const int offset = row >= 1 && row <= static_cast<int>(options_.merge_offsets.size())
                           ? options_.merge_offsets[static_cast<size_t>(row - 1)]
                           : 0;
    for (int r = 0; r < kTimingRowCount; ++r) {
        const TimingRow& t = options_.timing[static_cast<size_t>(r)];
        if (!t.enabled) continue;
        bool applies = false;
        int cut_start = 0;
        switch (t.scope) {
        case TimingScope::after:
            applies = e.vpos >= t.at;
            cut_start = t.at;
            break;
        case TimingScope::before:
            applies = e.vpos <= t.at;
            break;
        case TimingScope::always:
            applies = true;
            break;
        case TimingScope::row_only:
            applies = row == t.at % 100;
            cut_start = offset;
            break;
        case TimingScope::rows_from:
            applies = row >= t.at;
            cut_start = offset;
            break;
        case TimingScope::rows_up_to:
            applies = row <= t.at;
            cut_start = offset;
            break;
        }
        if (!applies) continue;
        const bool in_span = e.vpos >= cut_start && e.vpos <= cut_start + t.amount;
        bool removed = false;
        switch (t.action) {
        case TimingAction::delay:
            e.vpos += t.amount;
            ++counters_.timing_shifted[static_cast<size_t>(r)];
            break;
        case TimingAction::advance:
            e.vpos -= t.amount;
            removed = e.vpos < 0 && options_.remove_negative_vpos;
            if (!removed) ++counters_.timing_shifted[static_cast<size_t>(r)];
            break;
        case TimingAction::cut:
            removed = in_span;
            if (!removed) {
                e.vpos -= t.amount;
                ++counters_.timing_shifted[static_cast<size_t>(r)];
            }
            break;
        case TimingAction::remove_span:
            removed = in_span;
            break;
        case TimingAction::remove_all:
            removed = true;
            break;
        }
        if (removed) {
            ++counters_.timing_removed[static_cast<size_t>(r)];
            return true;
        }
    }
    return false;
}

void PassChain::decode_references(ChatEntry& e) {
    if (!options_.handle_references || e.text.find(u"&") < 0) return;
    counters_.references_decoded += count_references(e.text.view());
    unescape_all(e.text);
}

FuzzyFlags PassChain::replace_invalid_chars(ChatEntry& e, int source) {
    collect(removed_.invalid_replaced, e, source);
    scratch_.clear();
    for (char16_t c : e.text.view()) {
        if (is_invalid_char(c))
            scratch_ += options_.invalid_replacement;
        else
            scratch_ += c;
    }
    e.text.assign(scratch_);
    const FuzzyFlags flags = fuzzy_fold_copy(e.text.view(), e.work_text);
    collect(removed_.invalid_replaced, e, source);
    ++counters_.invalid_char_replaced;
    return flags;
}

bool PassChain::removed_for_characters(ChatEntry& e, int source) {
    FuzzyFlags flags = fuzzy_fold_copy(e.text.view(), e.work_text);
    if (flags.invalid_char && options_.invalid_chars == InvalidCharMode::remove) {
        ++counters_.invalid_char_removed;
        collect(removed_.invalid_or_hangul, e, source);
        return true;
    }
    // The hangul test looks at the text as it is after the replacement.
    if (flags.invalid_char && options_.invalid_chars == InvalidCharMode::replace)
        flags = replace_invalid_chars(e, source);
    if (flags.hangul && options_.remove_hangul) {
        ++counters_.hangul_removed;
        collect(removed_.invalid_or_hangul, e, source);
        return true;
    }
    return false;
}

bool PassChain::removed_by_read_limits(const ChatEntry& e, int row) {
    if (options_.read_limit_on && kept_ >= options_.read_limit) {
        ++counters_.over_read_limit;
        return true;
    }
    if (natural_threshold_ >= 0 && e.date <= natural_threshold_) {
        count_natural_date(row);
        return true;
    }
    if (options_.old_posts && e.date < old_limit_) {
        ++counters_.too_old;
        return true;
    }
    return false;
}

int PassChain::date_rule_base(DateBase base, int given) const {
    switch (base) {
    case DateBase::first_file_earliest:
        return first_earliest_;
    case DateBase::first_file_latest:
        return first_latest_;
    case DateBase::file_earliest:
        return file_earliest_;
    case DateBase::file_latest:
        return file_latest_;
    case DateBase::given:
        return given;
    }
    return -1;
}

bool PassChain::removed_by_date_rules(const ChatEntry& e) {
    for (size_t r = 0; r < options_.date_rules.size(); ++r) {
        const DateRuleRow& d = options_.date_rules[r];
        if (!d.enabled) continue;
        const int base = date_rule_base(d.base, d.given);
        // A file without a usable date has no base time: the row cannot judge anything.
        if (base < 0) continue;
        const long long limit = static_cast<long long>(base) + static_cast<long long>(d.hours) * 3600;
        if (d.before ? e.date < limit : e.date > limit) {
            ++counters_.date_rule[r];
            return true;
        }
    }
    return false;
}

bool PassChain::removed_by_stages_and_filters(ChatEntry& e, int source) {
    if (stage_excludes(inputs_.pre_stage, e, source)) {
        ++counters_.pre_stage;
        return true;
    }
    if (e.filterable != 0 && run_non_priority_filters(e, source)) return true;

    if (stage_excludes(inputs_.post_stage, e, source)) {
        ++counters_.post_stage;
        return true;
    }
    if (e.filterable != 0 && options_.replace2 && inputs_.replace2)
        apply_replacements(*inputs_.replace2, counters_.replace2, e);
    if (stage_excludes(inputs_.individual_stage, e, source)) {
        ++counters_.individual_stage;
        return true;
    }
    return false;
}

void PassChain::shift_for_part_merge(ChatEntry& e, int row) {
    if (row < 1 || row > static_cast<int>(options_.merge_offsets.size())) return;
    const int offset = options_.merge_offsets[static_cast<size_t>(row - 1)];
    e.vpos += offset;
    if (offset != 0) {
        if (counters_.merge_shifted.size() < static_cast<size_t>(row)) counters_.merge_shifted.resize(row);
        ++counters_.merge_shifted[static_cast<size_t>(row - 1)];
    }
}

bool PassChain::keep(ChatEntry& e, CWorkChatdata& /*set*/, int source) {
    const int row = source + 1;
    decode_references(e);
    if (removed_for_characters(e, source)) return false;

    e.filterable = is_priority(e) ? 0 : 1;
    if (stage_excludes(inputs_.priority_stage, e, source)) {
        ++counters_.priority_stage;
        return false;
    }
    if (e.filterable != 0 && removed_by_read_limits(e, row)) return false;
    if (removed_by_date_rules(e)) return false;
    if (removed_by_stages_and_filters(e, source)) return false;

    shift_for_part_merge(e, row);
    if (run_timing(e, row)) return false;

    // The writer puts the body out as it stands: references were decoded, so the three characters that
    // would break the element are escaped again.
    if (options_.handle_references) escape_markup(e.text);
    ++kept_;
    return true;
}

ChainIds PassChain::chain_ids() {
    command_chain_.clear();
    UniqueTexts seen;
    for (RuleProgram* stage :
         {inputs_.priority_stage, inputs_.pre_stage, inputs_.post_stage, inputs_.individual_stage}) {
        if (!stage) continue;
        for (const std::u16string& id : stage->excluded_ids().items())
            if (seen.add(id)) command_chain_.push_back(id);
    }
    return ChainIds{ng_word_chain_.items(), common_ng_chain_.items(), command_chain_};
}

} // namespace quippet
