#pragma once

#include <memory>

#include "app/Settings.h"
#include "net/CookieStore.h"
#include "net/MovieInfo.h"
#include "reconstruct/PartMerge.h"

namespace quippet {

/// The lengths of videos for the reconstruction's part merge, asked of the service: the thumbnail-info API,
/// then the watch page. Built from the job's settings snapshot, with the service root of this run.
class NetLengthProvider : public VideoLengthProvider {
public:
    explicit NetLengthProvider(const CSettings& settings);
    bool available() const override { return true; }
    std::optional<int> from_api(std::u16string_view video_id) override;
    std::optional<int> from_watch_page(std::u16string_view video_id) override;

private:
    std::optional<int> ask(std::u16string_view video_id, bool watch_page);

    InfoOptions options_;
    LoginSettings login_;
    CookieStore store_;
};

/// The provider the reconstruction job gets when "可能ならネットから取得" is on; null otherwise.
std::shared_ptr<VideoLengthProvider> length_provider_for(const CSettings& settings);

} // namespace quippet
