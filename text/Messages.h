#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "text/Language.h"

namespace qm {

// Every text the program shows in a message box or a run-time caption, beyond the window's
// captions. Parameters (names, paths, numbers, reasons) are marked {1}..{9} in the text and
// filled in by Message(), so that both languages word them in their own order.
enum class Msg {
    // Links.
    SerialAdapterNoLogger,
    PortOpenFailed,
    PortLost,
    // The result line of a copy: {1} files, {2} measurements, {3} the time taken, {4} retries.
    CopyResultDone,
    CopyResultStopped,
    CopyResultFailed,
    CopyResultDropped,        // {1} the unfinished file
    CopyResultFilesLeft,      // {1} files
    CollectionLogNotWritten,  // {1} why
    PortOpenFailedNoWindow,   // {1} the port, {2} why
    PortLostNoWindow,         // {1} the port
    HidNoReadWrite,
    SerialErrorSuffix,
    SerialOpen,
    SerialWrite,
    SerialRead,
    SerialPurge,
    SerialSetState,
    SerialSetTimeouts,
    SerialSetupQueues,
    SerialCountBytes,
    SerialNotOpen,
    RadioStop,
    // Catalogue and copies.
    DirectoryTooLong,
    DirectoryTooLongNotDeleted,
    DirectoryTooLongNotCopied,
    FolderNameRefused,
    ResumeFileGone,
    ResumeTooManyLines,
    FileNameRefused,
    PathTooLongSkipped,
    PathTooLongForResume,
    LocalCopyMissing,
    PathTooLongNotCopied,
    // Why a name from the logger cannot be a local name.
    NameEmpty,
    NameDots,
    NameControlCharacter,
    NameSeparator,
    NameCharacter,
    NameUnmappedByte,
    NameTrailingDotOrBlank,
    NameDevice,
    NameShortAlias,
    NameResumeRecord,
    NameStagingFolder,
    NameOwnFile,
    // Local files.
    FileCreateStaging,
    FileRead,
    FileCopyHeld,
    FileWrite,
    FileFinish,
    FileReplace,
    FileOpen,
    FileCreateFolder,
    ResumeRecordBad,
    // Where the data are kept.
    DataInDocuments,
    DataInDocumentsWhy,
    // Copied data sets: reading and export.
    DataSetMissing,
    DataFileTooLarge,
    FolderList,
    SheetTooManyRows,
    WorkbookFailed,
    XlsxNotBuilt,
    NetcdfFailed,  // {1} the file, {2} the reason
    NetcdfNotBuilt,
    ExportNeedsOutput,
    ExportMoreIssues,
    ExportNothing,
    ExportEmpty,  // {1} the file not written
    ExportWritten,
    SensorTableNoHeader,   // {1} the header line
    SensorTableBadSensor,  // {1} the largest number
    SensorTableBadDepth,
    SensorTableRepeated,
    SensorTableBadFields,
    SummaryNothing,  // {1} the folder
    // Warnings of a summary: {1} a sensor and {2} its depth, {3} the next one and {4} its depth.
    SummaryDepthOrder,
    SummaryActiveLayerWide,
    SummaryZeroAmplitudeWide,
    AfterNeedsMilliseconds,
    ViewerNotBuilt,
    ScreenshotNotWritten,
    BatteryVolts,  // {1} the voltage with one decimal
    // The viewer of copied data.
    ViewerTitle,
    ViewerFolder,
    ViewerBrowse,
    ViewerSensors,
    ViewerSensor,
    ViewerSensorNumber,  // {1} the number
    ViewerUnit,          // the same in both languages
    ViewerSummary,       // {1} measurements, {2} sensors, {3} the first and {4} the last time
    ViewerNoData,
    ViewerIssues,  // {1} lines
    ViewerProfileHint,
    ViewerExportCsv,
    ViewerExportXlsx,
    ViewerExportNetcdf,
    ViewerError,
    ViewerExported,  // {1} the file
    ViewerChooseFolder,
    ViewerNothingToExport,
    ViewerCollectionsAndGaps,  // {1} collections logged, {2} gaps in the data
    ViewerWholePeriod,
    ViewerWholePeriodTip,
    ViewerValueAt,    // {1} the time, {2} the sensor's number, {3} the value, {4} its unit
    ViewerMissingAt,  // {1} the time, {2} the sensor's number
    // The tabs beside the heat map: the profile, the trumpet curve, the years overlaid.
    ViewerTabProfile,
    ViewerTabTrumpet,
    ViewerTabYears,
    TrumpetPeriod,
    TrumpetMinimum,
    TrumpetMean,
    TrumpetMaximum,
    TrumpetDepth,
    TrumpetActiveLayer,    // {1} metres
    TrumpetZeroAmplitude,  // {1} metres
    TrumpetNoValues,
    YearsDayOfYear,
    YearsNoValues,
    // The sensors' depths, labels and health in the viewer.
    ViewerDepthAxis,
    ViewerDepthOf,  // {1} the depth in metres
    ViewerFlagDead,
    ViewerFlagStuck,
    ViewerFlagSpikes,
    ViewerFlagRange,
    ViewerScale,
    ViewerScaleZeroCentred,  // {1} the unit
    ViewerScaleUniform,
    ViewerIsotherm,     // {1} the unit
    ViewerIsothermTip,  // {1} the unit
    ViewerSensorTable,
    ViewerSensorTableTitle,
    ViewerSensorTableHint,
    ViewerDepthColumn,
    ViewerLabelColumn,
    ViewerSave,
    ViewerCancel,
    ViewerBadDepth,          // {1} the sensor's number, {2} what was typed
    ViewerSensorTableSaved,  // {1} the file
    // The map's colour of a missing value, and a collection's data folder in the viewer.
    ViewerNoValue,
    ViewerCollection,  // {1} the folder, {2} data sets
    ViewerDataSetColumn,
    ViewerLastDownloadColumn,
    ViewerResultColumn,
    ViewerNeverDownloaded,
    ViewerDownloadDone,
    ViewerDownloadFailed,
    ViewerDownloadStopped,
    SummaryCollection,  // {1} the folder
    // The command line, and the runs from it without the window.
    CliNeedsLink,
    CliOneCommand,
    CliWorksOnlyWith,
    CliNotWith,
    CliExclusive,
    CliUnknownOption,
    CliMissingValue,
    CliUnexpectedValue,
    CliUnexpectedArgument,
    CliBadDay,
    CliBadDate,      // {1} the option, {2} its value
    CliFromAfterTo,  // {1} the first day, {2} the last
    CliBadLanguage,
    CliBadTimeLimit,
    CliBadDeviceType,
    CliBadVia,
    CliBadFaults,
    CliNoUsbLogger,
    CliPortNoLogger,
    CliModemAdapter,
    CliNoDirectory,
    CliNoDirectories,
    CliCopiedWhole,
    CliNoDayData,
    CliTimeLimit,
    // The collection of many loggers: {1} the station's name.
    CollectStation,  // {1} number, {2} of how many, {3} name, {4} what it is doing
    CollectLinking,
    CollectReadingOut,
    CollectNoConnect,  // {1} the address, {2} calls
    CollectNoAnswer,
    CollectNeedsRadio,
    CollectNeedsBluetooth,
    CollectNoDemoUsb,
    CollectNoFolder,        // {1} the folder, {2} why
    CollectClockSet,        // {1} seconds off
    CollectClockNotSet,     // {1} seconds off
    CollectClockOff,        // {1} seconds off, {2} the limit
    CollectVisitNotLogged,  // {1} why
    CollectNotReached,      // {1} why
    CollectSkipped,
    CliLoggerGone,
    CliConfirmation,
    // Bluetooth device list.
    NoDeviceList,
    DeviceListTooLong,
    DeviceListLineLeftOut,
    DeviceListLinesLeftOut,
    ChooseDeviceFirst,
    DeviceLineTooLong,
    // Schedule.
    ScheduleInvalid,
    ScheduleStartTime,
    ScheduleStopTime,
    ScheduleStartDate,
    ScheduleStopDate,
    // Calibration.
    CorrectionsLimited,
    CorrectionLimited,
    // System reasons for a failed file or port operation.
    ReasonNone,
    ReasonOther,
    ReasonNoEntry,
    ReasonAccess,
    ReasonPermission,
    ReasonNoSpace,
    ReasonReadOnly,
    ReasonExists,
    ReasonNotDirectory,
    ReasonIsDirectory,
    ReasonTooManyFiles,
    ReasonNameTooLong,
    ReasonIo,
    ReasonBusy,
    ReasonPortHeld,
    ReasonNoDevice,
    ReasonInvalid,
    ReasonNotEmpty,
    ReasonCrossDevice,
    Verbatim,      // {1} a text as it stands (a system's reason, a caption)
    ReasonSerial,  // {1} what the port failed at, {2} the system's error number or nothing
    // Missed replies.
    NoReply,
    RetryCaption,
    ClockNotAccepted,
    ListingTooLong,
    ListingRefused,
    TestRefused,
    CopyReplyRefused,
    WhatIdentify,
    WhatLineValue,
    WhatClock,
    WhatSchedule,
    WhatBattery,
    WhatCalibration,
    WhatListing,
    WhatCopy,
    WhatTest,
    WhatRemarks,
    WhatDelete,
    WhatModem,
    LinkUsb,
    LinkSerial,
    LinkRadio,
    LinkBluetooth,
    // The progress line of a copy.
    ProgressListing,
    ProgressFile,
    ProgressTimeLeft,
    ProgressStopping,
    DurationHours,
    DurationMinutes,
    DurationSeconds,
    // The stations file of a collection: where a fault is ({1} the file, {2} the line, {3} the
    // column) and what it is.
    StationsFileUnreadable,  // {1} the file, {2} why
    StationsFileAt,          // {1} the file, {2} the line, {3} the fault
    StationsFileAtColumn,    // {1} the file, {2} the line, {3} the column, {4} the fault
    StationsFileWhole,       // {1} the file, {2} the fault
    StationsSyntax,          // {1} the parser's own words
    StationsLetterOutsideQuotes,
    StationsUnknownKey,  // {1} the key
    StationsWrongType,   // {1} the key, {2} the kind of value it takes
    StationsTypeString,
    StationsTypeInteger,
    StationsTypeBoolean,
    StationsTypeStringList,
    StationsTypeTable,
    StationsTypeTableList,
    StationsEmptyValue,  // {1} the key
    StationsNoName,
    StationsSameName,          // {1} the name, {2} the line of the first
    StationsBadName,           // {1} the name, {2} why
    StationsNoLink,            // {1} the name, {2} the keys
    StationsManyLinks,         // {1} the name, {2} the keys given
    StationsRadioAddress,      // {1} the address
    StationsBluetoothAddress,  // {1} the address
    StationsBadWord,           // {1} the key, {2} the value, {3} the values it may take
    StationsNegative,          // {1} the key, {2} the value
    StationsDirectoryName,     // {1} the directory
    StationsNone,
    StationsNotUtf8,
    StationsNoDirectories,  // {1} the key
    StationsTooMany,        // {1} the most a file may describe
    StationsTooLarge,       // {1} the file's size, {2} the largest size, both in bytes
    StationsWarningAt,      // {1} the file, {2} the line, {3} what the warning says
    StationsSameLink,       // {1} the station, {2} the other station, {3} its line, {4} the link
    StationsTypeDuration,
    StationsTypeNumber,
    StationsTypeStringOrList,
    StationsBadDuration,       // {1} the key, {2} the value
    StationsBadTimeOfDay,      // {1} the key, {2} the value
    StationsAtWithoutEvery,    // {1} the station
    StationsNotPositive,       // {1} the key, {2} the value
    StationsMissingKey,        // {1} the section, {2} the key
    StationsControlCharacter,  // {1} the key
    StationsMailPort,          // {1} the port
    // Design limits of the sensor table.
    SensorTableBadLimit,
    SensorTableBadLimitFields,
    ViewerLimitColumn,
    ViewerBadLimit,  // {1} the sensor's number, {2} what was typed
    ReportNeedsPdf,
    // The monitoring report of a borehole.
    ReportHeading,
    ReportDataSet,  // {1} the folder's name
    ReportLogger,   // {1} type, {2} version
    ReportLoggerUnknown,
    ReportLastDownloads,  // {1} the times
    ReportPeriod,         // {1} first, {2} last measurement
    ReportInterval,       // {1} minutes
    ReportMeasurements,   // {1} measurements, {2} sensors, {3} per cent
    ReportMade,           // {1} the time, {2} the version
    ReportPrepared,
    ReportChecked,
    ReportSignature,
    ReportPage,  // {1} the number
    ReportSensorsHeading,
    ReportColumnSensor,
    ReportColumnDepth,
    ReportColumnLabel,
    ReportColumnCount,
    ReportColumnCompleteness,
    ReportColumnMin,
    ReportColumnMean,
    ReportColumnMax,
    ReportColumnLimit,
    ReportColumnMargin,
    ReportColumnTrend,
    ReportColumnFlags,
    ReportTemperatures,
    ReportIsopleths,
    ReportTrumpet,
    ReportLimitCurve,
    ReportProfiles,
    ReportMonthlyHeading,
    ReportMonthlyNote,
    ReportConclusion,
    ReportExceeded,  // {1} number, {2} depth and label, {3} limit, {4} first, {5} last, {6} hours,
                     // {7} maximum
    ReportNoneExceeded,
    ReportNoLimits,
    ReportActiveLayer,  // {1} metres
    ReportNoActiveLayer,
    ReportZeroAmplitude,  // {1} metres
    ReportNoZeroAmplitude,
    ReportFlagged,  // {1} the sensors
    ReportNoFlags,
    ReportTrends,  // {1} the sensors
    ReportAppendix,
    ReportColumnFile,
    ReportColumnSize,
    ReportColumnTime,
    ReportColumnStation,
    ReportColumnResult,
    ReportColumnOffset,
    ReportNoDownloads,
    ReportWritten,  // {1} the file
    ReportFailed,   // {1} the file
    ViewerReport,
    // The status of a collection's stations: its page and the runs that write or print it.
    StatusTitle,
    StatusUpdated,  // {1} the time, UTC
    StatusColumnStation,
    StatusColumnState,
    StatusColumnLastAttempt,
    StatusColumnLastSuccess,
    StatusColumnFailures,
    StatusColumnNextDue,
    StatusColumnBattery,
    StatusColumnClock,
    StatusColumnNewest,
    StatusColumnDataSets,
    StatusCollected,
    StatusNotCollected,
    StatusNotTried,
    StatusNotVisited,
    StatusAge,           // {1} hours
    StatusSensor,        // {1} the number
    StatusMeasurements,  // {1} how many
    StatusExceeded,      // {1} the warmest, {2} the limit, {3} first, {4} last time above it
    StatusNoData,
    StatusLegend,
    StatusNotWritten,  // {1} why
    StatusNoneYet,     // {1} the file
    StatusUnreadable,  // {1} the file, {2} why
    // The alarms of a station, each condition in words, and what became of it.
    AlarmStale,     // {1} hours since the newest measurement, {2} the threshold in hours
    AlarmFailures,  // {1} failed visits in a row, {2} the threshold
    AlarmBattery,   // {1} volts, {2} the threshold
    AlarmClock,     // {1} the offset in seconds, {2} the threshold
    AlarmFlags,     // {1} the sensors
    AlarmLimits,    // {1} the sensors
    AlarmRaised,    // {1} the condition in words, {2} since when (UTC)
    AlarmRepeated,  // {1} the condition in words, {2} since when (UTC)
    AlarmCleared,   // {1} the condition in words, {2} since when (UTC)
    // The delivery of the alarms: by mail and by the operator's command.
    AlarmNotDelivered,  // {1} the station, {2} the alarm in words, {3} the channel, {4} why
    AlarmByMail,
    AlarmByCommand,
    MailStation,       // {1} the station
    MailEventTime,     // {1} the time (UTC)
    MailFailed,        // {1} why, in the words of the mail library
    MailNotAvailable,  // {1} the stations file
    CommandExited,     // {1} the exit status
    CommandCrashed,
    CommandTimedOut,    // {1} seconds
    CommandNotStarted,  // {1} why
    // The collection that serves on schedule, and the lock every collection takes.
    ServeLocked,  // {1} the folder
    ServeNoLock,  // {1} the folder, {2} why
    ServeStopped,
    ServeNothingDue,
    // The PostgreSQL archive.
    ArchivePasswordInUrl,
    ArchiveBadUrl,        // {1} why
    ArchivePasswordFile,  // {1} the file, {2} why
    ArchiveFailed,        // {1} the server's words
    ArchiveNotBuilt,
    ArchiveSyncNeedsUrl,
    ArchiveSyncNothing,    // {1} the folder
    ArchiveSyncProgress,   // {1} data sets pushed, {2} of, {3} values sent
    ArchiveLeftOut,        // {1} how many values
    ArchiveEntrySetAside,  // {1} the entry's new name, {2} why it cannot be read
    // Anything else that ended a handler.
    InternalError,
};

struct MessageRow {
    Msg id;
    std::string_view russian;
    std::string_view english;
};

inline constexpr std::size_t kMessageCount = static_cast<std::size_t>(Msg::InternalError) + 1;

// The table, one row per Msg in declaration order.
extern const std::array<MessageRow, kMessageCount> kMessageTable;

// The text of `id` in the chosen language with its parameters filled in.
std::string Message(Msg id, Language language, std::initializer_list<std::string_view> args = {});
std::string Message(Msg id, Language language, std::span<const std::string_view> args);

// The operating system's reason for a failure, in the chosen language: the system's own words
// in English, a Russian wording of the common reasons (and the number otherwise) in Russian.
std::string SystemReason(std::error_code ec, Language language);
std::string SystemReason(int errnoValue, Language language);

}  // namespace qm
