#include "lists/BookmarkUpdate.h"

#include <filesystem>
#include <optional>

#include "app/Settings.h"
#include "download/DownloadList.h"
#include "download/DownloadPacing.h"
#include "download/DownloadTabKeys.h"
#include "download/DownloadTextFiles.h"
#include "download/Thumbnail.h"
#include "download/IdRecognition.h"
#include "net/MovieInfo.h"
#include "net/Net.h"
#include "net/ServiceAddress.h"
#include "text/CharBuffer.h"
#include "text/Entities.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"

namespace quippet {

UpdateCheckSettings update_check_settings_from(const CSettings& settings) {
    UpdateCheckSettings s;
    s.folder = resolve_in_home(settings.text(OptText::kUpdateCheckFolder));
    s.skip_thumb_exists = settings.on(DlSwitch::kUpdateSkipThumb);
    s.skip_old = settings.on(DlSwitch::kUpdateSkipOld);
    s.old_days = settings.number(DlNumber::kUpdateOldDays);
    s.days_before_last_check = settings.number(OptNumber::kUpdateCheckDays);
    s.min_comments = settings.number(OptNumber::kUpdateMinComments);
    const ThumbnailOptions thumbs = thumbnail_options_from(settings);
    s.thumb_exists = [thumbs](std::u16string_view id) {
        std::error_code ec;
        return std::filesystem::exists(to_fs_path(thumbnail_cache_path(thumbs, id)), ec);
    };
    return s;
}

UpdateTally run_bookmark_update_check(const CSettings& settings, const std::vector<CBookmarkEditor::UpdateItem>& items,
                                      CListDownload& list, std::u16string_view folder, RegisterReport& report) {
    const bool debug = settings.on(OptSwitch::kDebugMode);
    DownloadPacer pacer(settings.number(OptNumber::kDownloadWait), settings.number(OptNumber::kThumbApiInterval), false,
                        debug);
    const InfoOptions info = info_options_from(settings);
    RegisterContext ctx;
    fill_register_context(ctx, settings);
    ctx.list = &list;
    ctx.report = &report;
    ctx.folder = std::u16string(folder);
    ctx.pacer = &pacer;
    ctx.fetch_info = [&info, &report](std::u16string_view, CWorkMovieInfo& movie) {
        int code = 0;
        return fetch_api_info(movie, u"", info, nullptr, report, code) == 0 && !movie.title.empty();
    };
    const std::optional<IdPatternFile> patterns = load_id_patterns(settings);
    for (const auto& problem : patterns ? patterns->problems : std::vector<std::u16string>{})
        report.log(std::u16string(message_text(msg::kPatternProblem)) + problem);

    std::vector<UpdateTarget> targets;
    for (const CBookmarkEditor::UpdateItem& item : items)
        targets.push_back({item.url, item.options, item.checkable});
    // The check logs its own summary line.
    return run_update_checks(ctx, patterns ? &*patterns : nullptr, targets, update_check_settings_from(settings));
}

namespace {

class QuietReport : public NetReport {
public:
    void log(std::u16string_view) override {}
};

} // namespace

int bookmark_auto_name(const CSettings& settings, std::u16string_view target, std::u16string& name) {
    name.clear();
    if (!settings.on(OptSwitch::kBookmarkFetchName) || target.empty()) return -1;
    const bool address = looks_like_address(target);
    const std::u16string id = recognise_id(target, kIdModeInput, id_settings_from(settings));
    // A watch page or a bare ID names a video; any other address names a page of its own.
    if (!id.empty() && (!address || target.find(u"/watch/") != std::u16string_view::npos)) {
        CWorkMovieInfo info;
        info.id = id;
        QuietReport report;
        int code = 0;
        if (fetch_api_info(info, u"", info_options_from(settings), nullptr, report, code) != 0 || info.title.empty())
            return -1;
        name = info.title;
        return 0;
    }
    if (!address) return -1;
    CNetOptions options = net_options_from_settings(settings);
    options.max_body_bytes = std::min<long long>(options.max_body_bytes, 4LL * 1024 * 1024);
    CNet net(options);
    std::u16string page;
    if (net.get_text(3, page, target, u"", settings.text(OptText::kRequestHeaders)) != 0) return -1;
    const size_t open = page.find(u"<title");
    const size_t gt = open == std::u16string::npos ? open : page.find(u'>', open);
    const size_t close = gt == std::u16string::npos ? gt : page.find(u"</title>", gt);
    if (close == std::u16string::npos) return -1;
    CCharW title;
    title.assign(std::u16string_view(page).substr(gt + 1, std::min<size_t>(close - gt - 1, 1000)));
    unescape_all(title);
    std::u16string clean;
    for (char16_t c : title.view())
        clean += (c == u'\t' || c == u'\r' || c == u'\n') ? u' ' : c;
    const size_t first = clean.find_first_not_of(u' ');
    if (first == std::u16string::npos) return -1;
    name = clean.substr(first, clean.find_last_not_of(u' ') - first + 1);
    return 0;
}

} // namespace quippet
