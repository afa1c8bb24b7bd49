#include "download/Thumbnail.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/SettingKeys.h"
#include "app/Settings.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "net/NetReport.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "resources/Messages.h"
#include "text/AppHome.h"

namespace quippet {
namespace fs = std::filesystem;

namespace {

constexpr long long kMaxThumbnailBytes = 16LL << 20;

long long size_or_missing(const std::u16string& path) {
    std::error_code ec;
    const auto size = fs::file_size(to_fs_path(path), ec);
    return ec ? -1 : static_cast<long long>(size);
}

int net_rename_mode(int rule) {
    switch (static_cast<ImageRenameRule>(rule)) {
    case ImageRenameRule::kRenameExisting:
        return CNet::kRenameExistingAside;
    case ImageRenameRule::kTrashExisting:
        return CNet::kRenameExistingToTrash;
    default:
        return CNet::kRenameKeepBoth;
    }
}

/// The row's code for a file that took its place, by what happened to the name.
int placed_code(int outcome, NetReport& report) {
    switch (outcome) {
    case net_code::kSavedUnderOtherName:
        report.log(message_text(msg::kImageSavedUnderOtherName));
        return msg::kThumbSavedAside;
    case net_code::kExistingRenamed:
        return msg::kImageExistingRenamed;
    case net_code::kExistingTrashed:
        return msg::kImageExistingTrashed;
    default:
        return 0;
    }
}

int failure_code(const CWorkMovieInfo& info, int net) {
    if (info.status == InfoStatus::kDeleted) return msg::kThumbDeleted;
    if (info.status == InfoStatus::kCommunity) return msg::kThumbCommunity;
    switch (net) {
    case net_code::kStatus403:
        return msg::kThumb403;
    case net_code::kStatus404:
        return msg::kThumb404;
    case net_code::kStatus503:
        return msg::kThumb503;
    default:
        return net != 0 ? net : msg::kThumbUrlFailed;
    }
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

ThumbnailOptions thumbnail_options_from(const CSettings& s) {
    ThumbnailOptions o;
    std::u16string folder = s.text(OptText::kCacheFolder);
    if (folder.empty()) folder = u"cache";
    o.cache_folder = resolve_in_home(folder);
    o.extension = s.text(OptText::kThumbExtension);
    if (o.extension.empty()) o.extension = u"jpg";
    o.keep_cache = s.on(OptSwitch::kKeepThumbCache);
    o.large = s.on(OptSwitch::kLargeThumbnail);
    o.rename_rule = s.number(OptNumber::kImageRenameRule);
    o.request_headers = s.text(OptText::kRequestHeaders);
    o.net = net_options_from_settings(s);
    return o;
}

ImageType image_type_of(std::string_view h) {
    auto at = [&](size_t i) { return i < h.size() ? static_cast<unsigned char>(h[i]) : -1; };
    if (at(0) == 0xFF && at(1) == 0xD8 && at(2) == 0xFF) return ImageType::kJpeg;
    if (h.starts_with("\x89PNG\r\n\x1a\n")) return ImageType::kPng;
    if (h.starts_with("GIF87a") || h.starts_with("GIF89a")) return ImageType::kGif;
    if (h.size() >= 12 && h.starts_with("RIFF") && h.substr(8, 4) == "WEBP") return ImageType::kWebp;
    return ImageType::kUnknown;
}

int check_image_file(std::u16string_view path) {
    std::ifstream in(to_fs_path(path), std::ios::binary);
    std::string head(16, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
    const ImageType type = image_type_of(head);
    if (type == ImageType::kUnknown) return msg::kImageTypeUnknown;
    if (type != ImageType::kJpeg) return 0;
    // The end marker closes the last bytes; encoders may pad after it, so the tail is searched, not its end.
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 4) return msg::kBrokenJpeg;
    const std::streamoff tail = std::min<std::streamoff>(size - 2, 64);
    std::string end(static_cast<size_t>(tail), '\0');
    in.seekg(size - tail);
    in.read(end.data(), tail);
    if (in.gcount() != tail) return msg::kBrokenJpeg;
    return end.find("\xFF\xD9") == std::string::npos ? msg::kBrokenJpeg : 0;
}

bool has_large_variant(std::u16string_view url) {
    const size_t slash = url.find_last_of(u'/');
    if (slash == std::u16string_view::npos) return false;
    const std::u16string_view last = url.substr(slash + 1);
    size_t digits = 0;
    while (digits < last.size() && is_digit(last[last.size() - 1 - digits]))
        ++digits;
    if (digits == 0 || digits > 12) return false;
    const std::u16string_view before = last.substr(0, last.size() - digits);
    return before.empty() || before.ends_with(u"?i=") || before.ends_with(u"&i=");
}

bool is_deleted_image_url(std::u16string_view url) {
    return url.find(u"video_deleted") != std::u16string_view::npos ||
           url.find(u"/deleted.") != std::u16string_view::npos;
}

std::u16string thumbnail_cache_path(const ThumbnailOptions& options, std::u16string_view video_id) {
    return options.cache_folder + u"/" + std::u16string(video_id) + u".jpg";
}

int save_thumbnail(const CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name, bool large,
                   const ThumbnailOptions& options, NetReport& report, ThumbnailResult& result) {
    result = {};
    const std::u16string cache = thumbnail_cache_path(options, info.id);
    const std::u16string saved = std::u16string(folder) + u"/" + std::u16string(save_name) + u"." + options.extension;
    long long cache_size = size_or_missing(cache);
    const long long saved_size = size_or_missing(saved);

    if (info.thumbnail_url.empty() || is_deleted_image_url(info.thumbnail_url)) {
        if (info.status == InfoStatus::kDeleted || info.status == InfoStatus::kCommunity) {
            result.code = failure_code(info, 0);
            return -2;
        }
        result.code = msg::kThumbUrlFailed;
        return -1;
    }
    std::u16string url = info.thumbnail_url;
    bool large_tried = large && has_large_variant(url);
    if (large_tried) url += u".L";

    const int mode = net_rename_mode(options.rename_rule);
    // A thumbnail is a few dozen kilobytes; a server announcing far more is not sending one.
    CNetOptions net_options = options.net;
    net_options.max_file_bytes = kMaxThumbnailBytes;
    const CNet::FileCheck check = [](std::u16string_view temp) { return check_image_file(temp); };
    for (int round = 0; round < 3; ++round) {
        CNet net(net_options);
        int outcome = 0;
        std::u16string saved_as;
        const int rc = net.download_via_temp(saved, save_name, url, options.request_headers, saved_size, cache_size,
                                             mode, nullptr, &outcome, &saved_as, check);
        if (rc == -2) {
            result.code = msg::kThumbSavedBefore;
            result.path = saved;
            return 0;
        }
        if (rc == 0) {
            // The list already holds this very image: a copy of it takes the saved name.
            const std::u16string temp = CNet::temp_path_for(saved, save_name);
            std::error_code ec;
            if (size_or_missing(cache) < 0) {
                result.code = msg::kCacheMissing;
                return -1;
            }
            if (check_image_file(cache) != 0) {
                // A damaged cache copy is no reason to go without the image: fetch it instead.
                cache_size = -1;
                continue;
            }
            if (!fs::copy_file(to_fs_path(cache), to_fs_path(temp), fs::copy_options::overwrite_existing, ec) ||
                size_or_missing(temp) != size_or_missing(cache)) {
                fs::remove(to_fs_path(temp), ec);
                result.code = msg::kCacheCopyFailed;
                return -1;
            }
            if (const int failed = CNet::move_into_place(temp, saved, mode, &outcome, &saved_as); failed != 0) {
                result.code = failed;
                return -1;
            }
            result.saved = true;
            result.from_cache = true;
            result.path = saved_as;
            const int placed = placed_code(outcome, report);
            result.code = placed != 0 ? placed : msg::kThumbFromCache;
            if (!options.keep_cache && !fs::remove(to_fs_path(cache), ec)) result.code = msg::kCacheDeleteFailed;
            return 0;
        }
        if (rc > 0) {
            result.saved = true;
            result.path = saved_as;
            const int placed = placed_code(outcome, report);
            result.code = placed != 0 ? placed : msg::kThumbSaved;
            return 0;
        }
        const int code = net.code();
        if (large_tried && code == net_code::kStatus404) {
            // Not every video has the large picture; the usual one is the next best.
            large_tried = false;
            url = info.thumbnail_url;
            continue;
        }
        if (code == msg::kImageTypeUnknown || code == msg::kBrokenJpeg || code == net_code::kRenameFailed ||
            code == net_code::kExistingRenameFailed || code == net_code::kExistingDeleteFailed) {
            result.code = code;
            return -1;
        }
        result.code = failure_code(info, code);
        return -1;
    }
    result.code = msg::kThumbUrlFailed;
    return -1;
}

} // namespace quippet
