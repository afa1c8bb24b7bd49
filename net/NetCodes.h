#pragma once

// Result codes of the HTTP client: ids of the message table (resources/Messages.cpp holds their texts).
namespace quippet::net_code {

inline constexpr int kNone = 0;
inline constexpr int kCannotOpenFile = 9;
inline constexpr int kTooLarge = 11; ///< a body read into memory passed the read limit
inline constexpr int kHeaderAddFailed = 52;
inline constexpr int kSendFailed = 53;
inline constexpr int kNameNotResolved = 54;
inline constexpr int kConnectFailed = 55;
inline constexpr int kTimeout = 56;
inline constexpr int kInvalidUrl = 57;
inline constexpr int kConnectionAborted = 58;
inline constexpr int kConnectionReset = 59;
inline constexpr int kHeaderQueryFailed = 148;
inline constexpr int kFileSizeMismatch = 149;
inline constexpr int kDownloadedFileMissing = 150;
inline constexpr int kBadFileDeleteFailed = 151;
inline constexpr int kStatusOther = 154;
inline constexpr int kStatus403 = 155;
inline constexpr int kStatus404 = 156;
inline constexpr int kStatus503 = 157;
inline constexpr int kInvalidResponse = 161;
inline constexpr int kCookieFailed = 171;
inline constexpr int kEmptyAnswer = 173;
inline constexpr int kUnknownExtension = 174;
inline constexpr int kStatusRedirect = 215;
inline constexpr int kStatusClientOther = 216;
inline constexpr int kStatusServerOther = 217;
inline constexpr int kStatus500 = 218;
inline constexpr int kStatus1xx = 219;
inline constexpr int kStatus502 = 220;
inline constexpr int kRenameFailed = 121;
inline constexpr int kExistingRenameFailed = 221;
inline constexpr int kSavedUnderOtherName = 125;
inline constexpr int kExistingRenamed = 223;
inline constexpr int kExistingDeleteFailed = 224;
inline constexpr int kExistingTrashed = 225;

} // namespace quippet::net_code
