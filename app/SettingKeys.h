#pragma once

#include <string_view>

namespace quippet {

/// Where one setting lives in the settings file: its section and its key, the key being the prefix
/// followed by the decimal index, or the prefix alone when the index is negative ("Page", "EndOfWorld").
struct SettingKey {
    std::u16string_view section;
    std::u16string_view prefix;
    int index = -1;

    friend constexpr bool operator==(const SettingKey&, const SettingKey&) = default;
};

namespace section {
inline constexpr std::u16string_view kOption = u"OptionDialog";
inline constexpr std::u16string_view kWindow = u"Window";
inline constexpr std::u16string_view kMain = u"VovezurBase";
inline constexpr std::u16string_view kLiveLog = u"VuzirizIzeroz";
inline constexpr std::u16string_view kReconstruct = u"DividingDriver";
inline constexpr std::u16string_view kDownload = u"ElementSuitDownload";
inline constexpr std::u16string_view kPlaylist = u"MariMite";
inline constexpr std::u16string_view kAnime = u"NextPage";
} // namespace section

// The numbers below are the keys of every stored settings file and preset. Never renumber them: a
// renumbered key silently hands an old value to another control.

// The keys of the tabs live with their subsystems (reconstruct/ReconstructSettingKeys.h,
// livelog/LiveLogSettingKeys.h); the detailed settings below are numbered families shared by all of them.

/// Numeric detailed settings ("EN").
enum class OptNumber : int {
    kAutoSplitPerMinute = 0,
    kInvalidCharMode,
    kCharRefMode,
    kSentFilesFilter,
    kSentFilesMode,
    kReconstructRowHeight,
    kLiveLineBreaks,
    kLiveExtension,
    kLiveOverwriteMinimum,
    kWarehouseWait,
    kBrowserSendInterval, // 10
    kNameNumberWidth,
    kFirstTab,
    kMinimizeMode,
    kReconstructTabHeight,
    kReconstructTabWidth, // 15
    kLiveTabHeight,
    kLiveTabWidth,
    kDropInsertPosition,
    kProxyMode,
    kLoginSharing, // 20
    kDownloadWait,
    kThumbApiInterval,
    kCommentsPerRequest,
    kPastLogInterval,
    kCommentRetryWait, // 25
    kCommentRetryCount,
    kPastLogStartDays,
    kPastLogStartHours,
    kPastLogLimit,
    kSkipIncreaseBelow, // 30
    kSkipLastNumberAtLeast,
    kSkipLatestCountAtMost,
    kSkipIncreaseAtMost,
    kVideoFreeSpaceMb,
    kFreeSpaceMb, // 35
    kParallelDownloads,
    kVideoRetryWait,
    kVideoRetryCount,
    kWriteChunkMb,
    kBufferKb, // 40
    kHistoryLines,
    kUpdateCheckDays,
    kIdMinDigits,
    kIdMaxDigits,
    kPlayerMode, // 45
    kLivePresetRowHeight,
    kVideoQuality = 51,      ///< the "画質" drop-down
    kOtherSizeRule = 52,     ///< same name, other size: skip, rename the saved file, save aside
    kImageRenameRule = 60,   ///< an image of another size under a saved image's name: ImageRenameRule
    kUpdateMinComments = 67, ///< update checks pass over videos with fewer comments
};

/// Text detailed settings ("ES"). The file and folder settings keep the numbers every settings file
/// of this program has always used; the others fill the free numbers.
enum class OptText : int {
    kInvalidCharReplacement = 0,
    kViewCounterId = 1,
    kLineBreakReplacement = 2,
    kLogFile = 3,
    kLiveNamePattern = 4,
    kBoardDomain = 5,
    kBrowser1Path = 6,
    kBrowser1Option = 7,
    kLiveSource = 8,
    kBrowser2Path = 9,
    kBrowser2Option = 10,
    kBoardTable = 11,
    kLiveOutputFolder = 12,
    kIdSeparator = 13,
    kPlaylistPlaces = 14,
    kSeriesSeparators = 15,
    kTailMarkers = 16,
    kPlayerTable = 17,
    kMemoFolder = 18,
    kTooltipIgnoredTags = 19,
    kLivePresetFolder = 20,
    kReplace1File = 21,
    kNamePrefix = 22,
    kNameSeparator = 23,
    kReconstructPresetFolder = 24,
    kNameFrameBefore = 25,
    kDownloadListFolder = 26,
    kNameFrameAfter = 27,
    kLiveNgWords = 28,
    kLoginPage = 29,
    kNgIdList = 30,
    kPriorityIdList = 31,
    kProxyAddress = 32,
    kRequestHeaders = 33,
    kOldRequestHeaders = 34,
    kSearchOrder = 35,
    kGetFlvHttp = 36,
    kGetFlvHttps = 37,
    kBookmarks = 38,
    kIdPatterns = 39,
    kLiveBackupFolder = 40,
    kCharRefTable = 41,
    kNgWordFile = 42,
    kCommonNgFile = 43,
    kLiveReplaceTable = 44,
    kCommandConvert1 = 45,
    kCommandConvert2 = 46,
    kReplace2File = 47,
    kCommandVocabulary = 48,
    kCommandConvert3 = 49,
    kFuzzyRules = 50,
    kThreadKeyHttp = 51,
    kThreadKeyHttps = 52,
    kVideoInfoRules = 53,
    kWaybackKeyHttp = 54,
    kWaybackKeyHttps = 55,
    kThumbInfoApi = 56,
    kMobileApi = 57,
    kWatchPage = 58,
    kCookieSharing = 59,
    kSearchUrl = 60,
    kTestVideoId = 61,
    kVideoExtensions = 62,
    kImageExtensions = 63,
    kNameTemplate = 64,
    kUpdateCheckFolder = 65,
    kEconomySuffix = 66,
    kVideoIdPrefixes = 67,
    kOtherIdPrefixes = 68,
    kThumbExtension = 69,
    kNicknameText = 70,
    kDownloadListMenu = 71,
    kSinglePlayerPath = 72,
    kEndSoundSuccess = 73,
    kEndSoundFailure = 74,
    kVideoListFile = 75,
    kGetBgm = 76,
    kColoursFonts = 77,
    kCacheFolder = 79,
    kBookmarkMenu = 89,
    kPriorityConditions = 97,
    kPlayHistory = 100,
    kDownloadHistory = 101,
    kUsedFoldersHistory = 102,
    kRegisteredFolders = 103,
    kInputHistory = 104,
    kCommonFolder = 105,
    kInputAdditions = 106,
    kBrowserTable = 111,
    kIdReplaceFolder = 132,
    kRefererMarkers = 133,
    kReferers = 134,
    kOwnerNameTemplate = 135, ///< the uploader comments' save name
    kPageErrorPattern = 145,  ///< a fetched list page that matches is an error page
    kUpdateSoundNew = 146,
    kUpdateSoundNone = 147,
};

/// Switch detailed settings ("CB").
enum class OptSwitch : int {
    kDeleteHangul = 0,
    kDeleteNegativeVpos,
    kWriteEmptyMail,
    kWriteThread,
    kWriteScore,
    kWritePremium,
    kWriteAnonymity,
    kWriteFork,
    kWriteLeaf,
    kWriteLocale,
    kWriteDeleted, // 10
    kListNgId,
    kListNgWord,
    kListCommonNg,
    kListInvalidChar,
    kListLength, // 15
    kListScore,
    kListDuplicates,
    kListThinning,
    kListNgChain,
    kListCommandChain, // 20
    kListCommandOutput,
    kSkipUploaderCommentFiles,
    kSkipFilesWithoutTail,
    kPresetKeepsDrop,
    kPresetKeepsSplitCut, // 25
    kReconstructGridLines,
    kJoinHeaderValues,
    kAlwaysWriteTicket,
    kDropNumClick,
    kRebuildFooter, // 30
    kNameNumberRange,
    kNameAlwaysCount,
    kNameDateRange,
    kLiveKeepCopies,
    kLiveDateAsName, // 35
    kLiveChatOnly,
    kLiveNameFromText,
    kLivePresetToBak,
    kLivePresetGridLines,
    kDebugMode, // 40
    kWarnUncleanShutdown,
    kFastStartup,
    kResizeForTabs,
    kResizeToLeft,
    kShowPlaylistTab, // 45
    kWriteLogFile,
    kSkipCookieCharCheck,
    kGetFlvAlwaysHttp,
    kShowMembership,
    kAddBoonData, // 50
    kFuzzySavedMatch,
    kSkipUnchangedComments,
    kSkipByConditions,
    kSkipCondLastNumber,
    kSkipCondLatestCount, // 55
    kSkipCondIncrease,
    kAddToWatchLater,
    kAddToListFile,
    kResume,
    kNewServerBestOnly, // 60
    kNewServerSkipLowQuality,
    kOldServerSkipEconomy,
    kOldServerEconomySuffix,
    kOldServerSkipEconomyIfHigh,
    kOldServerFailWithoutHigh, // 65
    kQualityCheckBypass,
    kForceDownload,
    kInfoFileWithoutWatchPage,
    kPlayEndSound,
    kBookmarkFetchName, // 70
    kForeignTags,
    kWatchRefererRetry,
    kAppendLength,
    kInfoCacheSections,
    kKeepOldDescription,  // 75
    kKeepThumbCache = 80, ///< a thumbnail taken from the cache stays there
    kLargeThumbnail = 81, ///< the large variant of a thumbnail where the service has one
};

/// The two protected texts ("AN").
enum class OptProtected : int { kMail = 0, kPassword = 1 };

constexpr SettingKey key(OptNumber v) {
    return {section::kOption, u"EN", static_cast<int>(v)};
}
constexpr SettingKey key(OptText v) {
    return {section::kOption, u"ES", static_cast<int>(v)};
}
constexpr SettingKey key(OptSwitch v) {
    return {section::kOption, u"CB", static_cast<int>(v)};
}
constexpr SettingKey key(OptProtected v) {
    return {section::kOption, u"AN", static_cast<int>(v)};
}
constexpr SettingKey key(const SettingKey& k) {
    return k;
}

inline constexpr SettingKey kOptionPage{section::kOption, u"Page", -1};
inline constexpr SettingKey kWindowLeft{section::kWindow, u"LeftPos", -1};
inline constexpr SettingKey kWindowTop{section::kWindow, u"TopPos", -1};
inline constexpr SettingKey kWindowWidth{section::kWindow, u"Width", -1};
inline constexpr SettingKey kWindowHeight{section::kWindow, u"Height", -1};
inline constexpr SettingKey kWindowTab{section::kWindow, u"Tab", -1};
inline constexpr SettingKey kMainPlayer{section::kMain, u"ComboSel", -1};
inline constexpr SettingKey kShutdownMarker{section::kMain, u"EndOfWorld", -1};

} // namespace quippet
