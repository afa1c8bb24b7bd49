#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The videos the replacement service knows, all derived from their number, so that every run and every
// test sees the same titles, sizes and comments without any stored data.
namespace fakeservice {

enum class Kind {
    kNormal,
    kDeleted,
    kNotFound,
    kCommunity,
    kNeedsKey,
    kOldServerOnly,
    kSessionOnly,
    kNoComments,
    kNicowari,
    kOwnerComments,
    kHugeThread,
    kDenseThread,    ///< 5,000 comments, four a second
    kOneComment,     ///< a thread of one comment
    kLostFirst,      ///< the comment server never serves comments 1 and 2
    kLyingLastRes,   ///< the thread element claims last_res="5"
    kNoLength,       ///< neither getthumbinfo nor getflv tell the length
    kLowQualityMode, ///< the session offers less than the site lists
};

struct Video {
    int number = 0; ///< sm<number>
    Kind kind = Kind::kNormal;
    std::string id;       ///< "sm9"
    long long thread = 0; ///< comment thread id
    int length_seconds = 0;
    long long comments = 0; ///< comments in the thread
    int per_second = 0;     ///< comments posted each second; 0: one a minute
    long long size = 0;     ///< bytes of the video file
    long long posted = 0;   ///< seconds since 1970
    std::string title;
    std::string movie_type; ///< "mp4", "flv"
};

/// The video of an ID ("sm9") or of a thread id; false when the ID names nothing at all.
bool find_video(std::string_view id_or_thread, Video& out);

/// Byte `offset` … of the video file of `video` (its type's magic first, then a fixed pattern).
void video_bytes(const Video& video, long long offset, char* out, size_t n);
/// Bytes of a plain generated file of any size (the benchmark's download).
void pattern_bytes(long long offset, char* out, size_t n);

/// Comment `no` (1-based) of a thread as a chat element; `owner` for the uploader's comments.
std::string chat_element(const Video& video, long long no, bool owner);
/// The posting time of comment `no`.
long long chat_date(const Video& video, long long no);
/// The highest comment number posted by `when` (0 before the first).
long long last_posted_by(const Video& video, long long when);

std::string xml_escape(std::string_view text);

} // namespace fakeservice
