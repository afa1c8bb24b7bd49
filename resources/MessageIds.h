#pragma once

// Names of the message-table entries that the code sets, tests or prints. The numbers are part of the
// program's contract (result codes stored in records, lists and history files), so they are spelled out
// here once and never renumbered; resources/Messages.cpp holds the texts under the same numbers.

namespace quippet::msg {

// Comment-file jobs and the job frame.
inline constexpr int kJobStarting = 1;          ///< "処理を始めるりゅん！"
inline constexpr int kNoValue = 2;              ///< "－"
inline constexpr int kMarkerMissing = 6;        ///< an expected element or text is missing
inline constexpr int kUnexpectedFormat = 7;     ///< not the file format the job expects
inline constexpr int kNumbersNotContiguous = 8; ///< comment numbers with gaps
inline constexpr int kCannotOpen = 9;
inline constexpr int kFileTooLarge = 11;
inline constexpr int kJobDone = 13;
inline constexpr int kJobEndedWithFailures = 14;
inline constexpr int kCountOf = 15;        ///< fragment "個のうち、"
inline constexpr int kFilesDropped = 16;   ///< fragment "個のファイルがドラッグされて、"
inline constexpr int kCountProcessed = 17; ///< fragment "個を処理したりゅん！"
inline constexpr int kJobStopped = 18;
inline constexpr int kNameTaken = 21; ///< an output of that name exists and is kept
inline constexpr int kDateTextFailed = 23;
inline constexpr int kSourceFilesOf = 24; ///< fragment "個の変換元テキストファイルから、"
inline constexpr int kVideoTimesReversed = 26;
inline constexpr int kClockTimesReversed = 27;
inline constexpr int kTimesUnreadable = 28;
inline constexpr int kSaveFailed = 29;
inline constexpr int kLogFileFailed = 30;
inline constexpr int kSucceededCount = 31;        ///< fragment "成功数が「"
inline constexpr int kBelowOverwriteMinimum = 32; ///< fragment "」だけで上書出力の最低条件「"
inline constexpr int kNoValidComments = 33;
inline constexpr int kNoValidRange = 158; ///< no valid smallest and largest value (quick scan)
inline constexpr int kJoiningComments = 36;
inline constexpr int kStoppedByUserSuffix = 37;

// Network failures.
inline constexpr int kHeaderAddFailed = 52;
inline constexpr int kSendFailed = 53;
inline constexpr int kHostUnresolved = 54;
inline constexpr int kConnectFailed = 55;
inline constexpr int kTimedOut = 56;
inline constexpr int kBadUrl = 57;
inline constexpr int kConnectionAborted = 58;
inline constexpr int kConnectionReset = 59;

// File-write failures, in the order of the file-exception causes, then the catch-all.
inline constexpr int kWriteGeneric = 93;
inline constexpr int kWriteFileNotFound = 94;
inline constexpr int kWriteBadPath = 95;
inline constexpr int kWriteTooManyOpenFiles = 96;
inline constexpr int kWriteAccessDenied = 97;
inline constexpr int kWriteInvalidHandle = 98;
inline constexpr int kWriteRemoveCurrentDir = 99;
inline constexpr int kWriteDirectoryFull = 100;
inline constexpr int kWriteBadSeek = 101;
inline constexpr int kWriteHardwareError = 102;
inline constexpr int kWriteSharingViolation = 103;
inline constexpr int kWriteLockViolation = 104;
inline constexpr int kWriteDiskFull = 105;
inline constexpr int kWriteEndOfFile = 106;
inline constexpr int kWriteUnknown = 107;

// Download results used outside the download side.
inline constexpr int kNotWritten = 209; ///< fragment closing kBelowOverwriteMinimum

// The application shell.
inline constexpr int kUncleanShutdown = 1001;
inline constexpr int kStoppedBeforeLiveLog = 1002;
inline constexpr int kStoppedInLiveLog = 1003;
inline constexpr int kStoppedAfterLiveLog = 1004;
inline constexpr int kStoppedTail = 1005;
inline constexpr int kCloseWhileBusy = 1006;
inline constexpr int kSettingsFileKeptAside = 1007;
inline constexpr int kHandOverReceived = 1008;
inline constexpr int kReservationTaken = 1009;
inline constexpr int kCouldNotOpen = 1010; ///< fragment "を開けませんでした："
inline constexpr int kBusyWord = 1011;

// The tab pages.
inline constexpr int kNoFilesListed = 1012;
inline constexpr int kJobNotStarted = 1013;
inline constexpr int kPresetSavedOnRun = 1014;    ///< fragment after the preset name
inline constexpr int kPresetRestored = 1015;      ///< fragment after the preset name
inline constexpr int kDroppedFilesSkipped = 1016; ///< fragment after the count
inline constexpr int kNoVideoToPlay = 1017;       ///< fragment after the video's name pattern
inline constexpr int kNikoJkApplied = 1018;

// Existing result codes the login and information side sets.
inline constexpr int kHtmlFailedTitle = 61;
inline constexpr int kGetflvIncomplete = 72;
inline constexpr int kHtmlFailedDeleted = 79;
inline constexpr int kApiUnexpectedFormat = 82;
inline constexpr int kApiNoTitle = 84;
inline constexpr int kApiNoCommentCount = 85;
inline constexpr int kDeletedWithInfo = 110;
inline constexpr int kNoSuchVideo = 111;
inline constexpr int kApiNoPostedDate = 147;
inline constexpr int kLoginNotShared = 160;
inline constexpr int kDescriptionEmpty = 162;
inline constexpr int kTagsNotFound = 163;
inline constexpr int kApiNoViewCount = 164;
inline constexpr int kApiNoLength = 166;
inline constexpr int kProbablyNoSuchVideo = 175;
inline constexpr int kNoRightOrMissing = 176;
inline constexpr int kGetflvError = 177;
inline constexpr int kApiThreadIdProbably = 234;
inline constexpr int kCommunityNumericIdFailed = 235;
inline constexpr int kDeletedWithoutInfo = 252;

// The login and the video information: log lines, cell texts and labels.
inline constexpr int kCookieContinued = 1101;
inline constexpr int kCookieNotHandled = 1102;
inline constexpr int kModeBySettingUnprotected = 1103;
inline constexpr int kModeBySettingProtected = 1104;
inline constexpr int kModeCheckedUnprotected = 1105;
inline constexpr int kCookieEntryUnexpected = 1106;
inline constexpr int kBrowserStoreRead = 1107;
inline constexpr int kBrowserStoreFailed = 1108;
inline constexpr int kProtectedStoreRead = 1109;
inline constexpr int kProtectedStoreFailed = 1110;
inline constexpr int kStoreValueMissing = 1111;
inline constexpr int kCookieEntryIncomplete = 1112;
inline constexpr int kCookieFileNotFound = 1113;
inline constexpr int kSpecialPathFailed = 1114;
inline constexpr int kCookieFileUnreadable = 1115;
inline constexpr int kCookieValueNotFound = 1116;
inline constexpr int kCookieValueTaken = 1117;
inline constexpr int kKeyringMissing = 1118;
inline constexpr int kLoginTrying = 1119;
inline constexpr int kLoginInProgress = 1120;
inline constexpr int kLoginFailedCell = 1121;
inline constexpr int kLoginNoObviousError = 1122;
inline constexpr int kLoginSucceededCell = 1123;
inline constexpr int kEnterLoginDetails = 1124;
inline constexpr int kLoginFailed = 1125;
inline constexpr int kLoginTriedAndFailed = 1126;
inline constexpr int kLoginSeemsFailed = 1127;
inline constexpr int kPremiumMember = 1128;
inline constexpr int kFreeMember = 1129;
inline constexpr int kLoggedInAs = 1130;
inline constexpr int kSharingLoginOf = 1131;
inline constexpr int kProbablyLoggedIn = 1132;
inline constexpr int kNoNickname = 1133;
inline constexpr int kCookieStored = 1134;
inline constexpr int kCookieNotSession = 1135;
inline constexpr int kGetflvNoThreadId = 1136;
inline constexpr int kRefererRetry = 1137;
inline constexpr int kRefererRetryTail = 1138;
inline constexpr int kCommunityVideoLabel = 1139;
inline constexpr int kTitleNotFetched = 1140;
inline constexpr int kInfoFileNoTitle = 1141;
inline constexpr int kOldDescriptionName = 1142;
inline constexpr int kOldDescriptionNameTail = 1143;
inline constexpr int kInfoFetching = 1144;
inline constexpr int kWatchPageAccess = 1145;
inline constexpr int kWaiting = 1146;
inline constexpr int kFollowThumbApi = 1147;
inline constexpr int kFollowWatchPage = 1148;
inline constexpr int kFollowDescription = 1149;
inline constexpr int kFollowThreadId = 1150;
inline constexpr int kFollowThumbnail = 1151;
inline constexpr int kFollowTitle = 1152;
inline constexpr int kFollowLength = 1153;
inline constexpr int kMobileApiAccess = 1154;
inline constexpr int kInfoFollowing = 1155;
inline constexpr int kWatchPageAfterApi = 1156;

// The video download: result codes it sets, then its log lines and labels.
inline constexpr int kVideoUrlFailed = 90;
inline constexpr int kVideoSaved = 91;
inline constexpr int kWriteFailed = 93;
inline constexpr int kVideoSavedBefore = 128;
inline constexpr int kSavedAside = 130;
inline constexpr int kVideoDeleted = 133;
inline constexpr int kDownloadedVideoMissing = 134;
inline constexpr int kVideoSizeDiffers = 135;
inline constexpr int kBadSizeRenameFailed = 136;
inline constexpr int kEconomyNotDownloaded = 153;
inline constexpr int kVideoTooSmall = 169;
inline constexpr int kApiInfoFailed = 178;
inline constexpr int kEconomyRenamed = 188;
inline constexpr int kDeletedSameNameSaved = 195;
inline constexpr int kVideoNotFound = 198;
inline constexpr int kUndeliverableSameName = 199;
inline constexpr int kStreaming = 200;
inline constexpr int kStreamingSameName = 201;
inline constexpr int kExistingRenameFailed = 221;
inline constexpr int kFreeSpaceShort = 229;
inline constexpr int kNonEconomySaved = 236;
inline constexpr int kEconomySavedAside = 237;
inline constexpr int kEconomySaved = 238;
inline constexpr int kOtherSizeRenamed = 239;
inline constexpr int kOtherSizeSkipped = 240;
inline constexpr int kTempRenameFailed = 241;
inline constexpr int kTransferEndedEarly = 244;
inline constexpr int kNotBestSkipped = 245;
inline constexpr int kNotBestSameName = 248;
inline constexpr int kSomeDownloadError = 251;
inline constexpr int kBestQualityLabel = 1301;
inline constexpr int kHeartbeatSent = 1302;
inline constexpr int kWaitingLeft = 1303;
inline constexpr int kStatusOk200 = 1304;
inline constexpr int kStatusOk206 = 1305;
inline constexpr int kStatus200OnResume = 1306;
inline constexpr int kAnswerStatus = 1307;
inline constexpr int kResuming = 1308;
inline constexpr int kSeeking = 1309;
inline constexpr int kResumeMismatch = 1310;
inline constexpr int kResumeReadFailed = 1311;
inline constexpr int kResumeNetFailed = 1312;
inline constexpr int kResumeSeamOk = 1313;
inline constexpr int kRenameFailedSuffix = 1314;
inline constexpr int kPreparingWrite = 1315;
inline constexpr int kAccessing = 1316;
inline constexpr int kShortReadRetry = 1317;
inline constexpr int kUnknownMovieType = 1318;
inline constexpr int kMovieTypeUnknownCheck = 1319;
inline constexpr int kHighUnderEconomyName = 1320;
inline constexpr int kType1 = 1321;
inline constexpr int kType1Irregular = 1322;
inline constexpr int kType2A = 1323;
inline constexpr int kType2B = 1324;
inline constexpr int kType2Irregular = 1325;
inline constexpr int kType3_1 = 1326;
inline constexpr int kType3_2 = 1327;
inline constexpr int kType4_1 = 1328;
inline constexpr int kType4_2 = 1329;
inline constexpr int kType5_1 = 1330;
inline constexpr int kType5_2 = 1331;
inline constexpr int kType6 = 1332;
inline constexpr int kType6RenameFailed = 1333;
inline constexpr int kType7_1 = 1334;
inline constexpr int kType7_2 = 1335;
inline constexpr int kType7_3 = 1336;
inline constexpr int kType7_4 = 1337;
inline constexpr int kEconomySuffixAdded = 1338;
inline constexpr int kEconomyDetected = 1339;
inline constexpr int kSessionFailed = 1340;
inline constexpr int kTryingSession = 1341;
inline constexpr int kTryingOldServer = 1342;
inline constexpr int kOldServerLabel = 1343;
inline constexpr int kUrlRewritten = 1344;
inline constexpr int kGetflvAgain = 1345;
inline constexpr int kVideoDone = 1346;
inline constexpr int kVideoFailed = 1347;
inline constexpr int kLowQualityVideo = 246;
inline constexpr int kLowQualityAudio = 247;
inline constexpr int kLowQualityVideoSameName = 249;
inline constexpr int kLowQualityAudioSameName = 250;

// Thumbnails: result codes, then the log lines.
inline constexpr int kThumbSaved = 86;
inline constexpr int kThumbUrlFailed = 87;
inline constexpr int kThumbDeleted = 88;
inline constexpr int kThumbCommunity = 108;
inline constexpr int kImageTypeUnknown = 120;
inline constexpr int kImageRenameFailed = 121;
inline constexpr int kBrokenJpeg = 122;
inline constexpr int kImageSavedUnderOtherName = 125;
inline constexpr int kThumbSavedBefore = 129;
inline constexpr int kThumb403 = 139;
inline constexpr int kThumb404 = 140;
inline constexpr int kThumb503 = 141;
inline constexpr int kThumbFromCache = 206;
inline constexpr int kThumbSavedAside = 207;
inline constexpr int kImageExistingRenamed = 223;
inline constexpr int kImageExistingDeleteFailed = 224;
inline constexpr int kImageExistingTrashed = 225;
inline constexpr int kCacheMissing = 226;
inline constexpr int kCacheCopyFailed = 227;
inline constexpr int kCacheDeleteFailed = 228;
inline constexpr int kThumbDone = 1404;
inline constexpr int kThumbFailed = 1405;

// Nicowari: result codes, then the progress and log lines.
inline constexpr int kBgmUnexpected = 179;
inline constexpr int kBgmNoId = 180;
inline constexpr int kNicowariSaved = 181;
inline constexpr int kNoNicowari = 182;
inline constexpr int kNicowariUndeliverable = 183;
inline constexpr int kNoNicowariProbably = 184;
inline constexpr int kNicowariSavedBefore = 185;
inline constexpr int kNicowariSavedAside = 186;
inline constexpr int kNicowariUnstable = 187;
inline constexpr int kNicowariProgress = 1401;
inline constexpr int kNicowariDownloading = 1402;
inline constexpr int kNicowariTitle = 1403;
inline constexpr int kNicowariDone = 1406;
inline constexpr int kNicowariFailed = 1407;

} // namespace quippet::msg
