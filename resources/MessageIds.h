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

} // namespace quippet::msg
