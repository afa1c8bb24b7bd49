#pragma once

#include <string>
#include <string_view>

#include "net/MovieInfo.h"
#include "net/NetOptions.h"

namespace quippet {

class CSettings;
class NetReport;

/// What happens when a downloaded image meets a saved image of another size under its name.
enum class ImageRenameRule : int {
    kKeepBoth = 0,       ///< the new image is saved as "name(N).ext"
    kRenameExisting = 1, ///< the saved image becomes "name(N).ext", the new one takes the name
    kTrashExisting = 2,  ///< the saved image goes to the desktop trash, the new one takes the name
};

/// What the thumbnail step reads from a settings snapshot.
struct ThumbnailOptions {
    std::u16string cache_folder;       ///< absolute; the list's images are kept there as ID + ".jpg"
    std::u16string extension = u"jpg"; ///< of the saved image, without the dot
    bool keep_cache = false;           ///< an image taken from the cache stays there too
    bool large = false;                ///< the large variant, where the service has one
    int rename_rule = 0;               ///< ImageRenameRule
    std::u16string request_headers;
    CNetOptions net;
};
ThumbnailOptions thumbnail_options_from(const CSettings& settings);

/// Image formats told apart by their first bytes.
enum class ImageType { kUnknown, kJpeg, kPng, kGif, kWebp };
ImageType image_type_of(std::string_view head);
/// Whether an image file may be kept: 0, 120 when its bytes are no known image, 122 for a JPEG that stops
/// before its end marker (a cut transfer that the server's length did not betray).
int check_image_file(std::u16string_view path);

/// The service serves a larger picture beside the usual one for image addresses that end in the image's
/// number ("…/thumb/123", "…?i=123"); the large one is that address + ".L".
bool has_large_variant(std::u16string_view url);
/// The placeholder the service names for a deleted video is no thumbnail of it.
bool is_deleted_image_url(std::u16string_view url);
/// The list's copy of a video's thumbnail.
std::u16string thumbnail_cache_path(const ThumbnailOptions& options, std::u16string_view video_id);

/// What the thumbnail step of a row did.
struct ThumbnailResult {
    int code = 0;
    bool saved = false; ///< a file is in place (downloaded or from the cache)
    bool from_cache = false;
    std::u16string path; ///< where the image is
};

/// SaveThumbnail: the video's thumbnail into `folder` + "/" + `save_name` + "." + extension, unless the file
/// saved there or the list's cache already has the server's size. 0 on success or skip, -1 on failure, -2
/// when the video has no thumbnail to fetch; the row's code in `result` in every case.
int save_thumbnail(const CWorkMovieInfo& info, std::u16string_view folder, std::u16string_view save_name, bool large,
                   const ThumbnailOptions& options, NetReport& report, ThumbnailResult& result);

} // namespace quippet
