#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "protocol/Links.h"
#include "session/CopyTally.h"
#include "session/LoggerState.h"
#include "text/Messages.h"

namespace qm {

// Which link a problem happened on.
enum class LinkKind : std::uint8_t { None, Usb, Serial };

// Something the session could not do, or warns of, as data: whoever shows it words it in its
// own language (Message(message, language, args)).
struct SessionProblem {
    enum class Severity : std::uint8_t { Error, Warning };
    Severity severity = Severity::Error;
    // What happened and why, as the message table names it, and its parameters (names in
    // Unicode, numbers as text).
    Msg message = Msg::InternalError;
    std::vector<std::string> args;
    // The request it concerns (its code), 0 for none.
    std::uint8_t request = 0;
    LinkKind link = LinkKind::None;
    // Parameters worded by messages of their own (a name a local folder may not take, a file the
    // system refused), after `args`; then the system's reason, when there is one.
    std::vector<SessionProblem> reasons;
    std::optional<std::error_code> system;
    // Particulars, each shown on a line of its own after the problem (their severity, request
    // and link are the problem's).
    std::vector<SessionProblem> lines;
    // Parameters that are texts of the table themselves (a field's name), worded in the same
    // language; they come before `args`.
    std::vector<Msg> words;
};

// Which files a copy of a directory takes.
enum class CopyMode {
    All,  // every file from its first line
    New,  // what was added since the last copy of the directory
    Day,  // the measurements of one day out of its monthly file
};

// How a copy of one directory ended.
struct CopyResult {
    enum class End {
        Done,     // every file it was to copy is in place (also when there was nothing to copy)
        Failed,   // it stopped with a message: the files completed before stay
        Stopped,  // the operator stopped it: the files completed before stay
    };
    End end = End::Done;
    std::string directory;  // as the logger names it (Windows-1251)
    // What it was asked to copy; New when it carried on from an earlier copy of the directory.
    CopyMode mode = CopyMode::All;
    // The measurements in the files it kept (an unfinished file's are not).
    std::int64_t measurements = 0;
    // The local files this copy put in place, their bytes, and its requests asked again.
    CopyTotals totals;
    double seconds = 0;
    // A copy that did not end Done: the local name of the unfinished file it dropped (empty when
    // none was open), and how many listed files after it it never reached.
    std::string droppedFile;
    std::int64_t filesLeft = 0;
    // A copy that Failed: why, as the operator was told it.
    std::optional<SessionProblem> problem;
};

// Where the running copy stands.
struct CopyProgressView {
    bool active = false;                // a copy is running
    bool listing = false;               // its files are being listed
    bool stopping = false;              // it was asked to stop and awaits its last reply
    int file = 0;                       // 1-based number of the file being copied
    int files = 0;                      // how many files this copy takes
    std::int64_t measurements = 0;      // measurements copied so far by this copy
    std::optional<double> secondsLeft;  // none until an estimate can be made
};

// A serial port that could not be opened: its name, and what failed as the port reported it.
struct PortFailure {
    std::string name;
    SerialFailure failure = SerialFailure::Open;
    int systemError = 0;
};

// What can be written to the logger.
enum class LoggerWrite { Schedule, Remarks };

// What a session reports as its work goes on. Every handler has an empty default, so a
// listener takes only what it shows; none may start new work from inside a handler.
class SessionEvents {
public:
    virtual ~SessionEvents() = default;
    // The read-out of a newly connected logger has ended, completely or not.
    virtual void ReadOutEnded() {}
    // The logger's clock has been read (or it sent one that is no date: `reading` is empty).
    virtual void ClockRead(const std::optional<ClockReading>& /*reading*/) {}
    // The logger kept refusing the clock it was set to.
    virtual void ClockNotAccepted() {}
    // A setting of the clock has ended: `set` when the logger took it and its clock was read
    // back, false when it refused it or stopped answering.
    virtual void ClockSetEnded(bool /*set*/) {}
    // A Bluetooth modem's dial of an address has ended: `connected` when the modem reported
    // CONNECT, false when every call was answered otherwise or not at all.
    virtual void ModemDialEnded(bool /*connected*/) {}
    // A test measurement has ended: `measured` when its readings came (LoggerState::readings),
    // false when the logger refused it or stopped answering.
    virtual void TestMeasured(bool /*measured*/) {}
    // A write has ended: `confirmed` when the logger acknowledged it or read back what was
    // written, false when it refused, answered otherwise or fell silent.
    virtual void WriteEnded(LoggerWrite /*what*/, bool /*confirmed*/) {}
    // A directory's deletion has ended with the logger's listing after it: `deleted` when the
    // directory (Windows-1251, as listed) is no longer listed.
    virtual void DeleteEnded(const std::string& /*directory*/, bool /*deleted*/) {}
    // A copy has started.
    virtual void CopyBegan() {}
    // A copy has ended and its finishing step has run: the session is ready for the next.
    virtual void CopyEnded(const CopyResult& /*result*/) {}
    // Something went wrong (Severity::Error: the step it belongs to has ended) or is worth a
    // warning.
    virtual void Problem(const SessionProblem& /*problem*/) {}

    // The copies and the logger's directories (session/CopySession, DayCopy, CopyProgress,
    // Catalogue).
    // Where the running copy stands has changed; also when it ends (`progress.active` false).
    virtual void CopyProgressed(const CopyProgressView& /*progress*/) {}
    // A listing of the logger's root has ended: the directories it added to
    // LoggerState::directories (Windows-1251, the system directory left out).
    virtual void DirectoriesListed(const std::vector<std::string>& /*added*/) {}
    // The directories listed are gone from LoggerState: `deleted` when the logger answered a
    // deletion and its root is listed again, false when another logger is to be read out.
    virtual void DirectoriesCleared(bool /*deleted*/) {}
    // A copy is about to begin (its CopyBegan follows): it holds the data group until
    // CopyFinishing.
    virtual void CopyStarting(CopyMode /*mode*/) {}
    // The copy waits on the logger without a line to count (a reopened file, the day sought), or
    // no longer.
    virtual void CopyBusy(bool /*busy*/) {}
    // The running copy can no longer be stopped: it is stopping, or its end has come.
    virtual void CopyStopClosed() {}
    // The running copy has copied its `measurements`-th measurement.
    virtual void CopyCounted(std::int64_t /*measurements*/) {}
    // The copy found no measurement to copy.
    virtual void CopyFoundNoData() {}
    // The finishing step of a copy (or of a day copy's arming) runs: the data group is free
    // again; CopyEnded follows for a copy that began.
    virtual void CopyFinishing() {}

    // The connection sequence and read-out of a newly connected logger.
    // A new read-out is armed: nothing of the last logger holds (LoggerState is empty).
    virtual void ReadOutRestarted() {}
    // The identification with the adapter status has been sent.
    virtual void IdentificationAsked() {}
    // A logger answered the identification (LoggerState::identity).
    virtual void LoggerIdentified() {}
    // The line value came (LoggerState::line).
    virtual void LineRead() {}
    // The battery was read (LoggerState::batteryVolts).
    virtual void BatteryRead(double /*volts*/) {}
    // The clock was read, or refused to be set, while no read-out ran: it can be set again.
    virtual void ClockShownOutsideReadOut() {}
    // The read-out's listing has ended: the logger's groups can be shown.
    virtual void ListingEnded() {}
    // The first listing of the connection has ended, listed or refused: the clock and the test
    // measurement can be asked for.
    virtual void FirstListingEnded() {}
    // The logger stopped answering during the read-out, which ends (ReadOutEnded follows).
    virtual void ReadOutGivenUp() {}

    // The remark lines (RemarksEditor).
    // The logger's remark lines were read (LoggerState::remarks).
    virtual void RemarksRead() {}
    // Remark lines are being written, as they will be sent (Unicode, normalised).
    virtual void RemarksWriting(const std::string& /*first*/, const std::string& /*second*/) {}
    // The logger acknowledged the remark lines written (LoggerState::remarks).
    virtual void RemarksWritten() {}

    // The test measurement (TestMeasurement); it ends with TestMeasured.
    // The logger was asked to measure.
    virtual void TestStarted() {}
    // The logger answered a request for the readings (a block, the last one or a refusal).
    virtual void TestReadingsCame() {}

    // The measurement schedule (ScheduleEditor).
    // The logger's schedule was read (LoggerState::schedule); `confirmed` when its reply was
    // complete.
    virtual void ScheduleRead(bool /*confirmed*/) {}
    // A schedule is being written (ScheduleEditor::Schedule() holds it).
    virtual void ScheduleWriting() {}
    // The logger answered a written schedule; it is read back next.
    virtual void ScheduleWritten() {}

    // The modems (RadioModem, BtModemDialogue).
    // The USB adapter is a radio modem: it waits for an address to be started.
    virtual void RadioModemFound() {}
    // Whether a start of the radio modem is open, or its every-second identification runs, has
    // changed (RadioModem::StartOpen, Repeating).
    virtual void RadioStartChanged() {}
    // The every-second identification has asked once more.
    virtual void RadioRepeated() {}
    // The USB adapter is a Bluetooth modem: its first mode step follows.
    virtual void BluetoothModemFound() {}
    // The Bluetooth modem can dial: it has entered command mode or said it is ready.
    virtual void BluetoothDialReady() {}
    // A dial has started: no other until it connects or stops.
    virtual void BluetoothDialStarted() {}
    // A dial has stopped without a connection: the modem may dial again.
    virtual void BluetoothDialStopped() {}
    // The dial's call number `calls` has gone out.
    virtual void BluetoothCalled(int /*calls*/) {}
    // A call was answered NO CARRIER, the `count`th of this dial.
    virtual void BluetoothNoCarrier(int /*count*/) {}
    // The modem has connected: packets go through to the logger from now on.
    virtual void BluetoothConnected() {}

    // The link (LinkStart).
    // A USB logger or a serial port carries the packets from now on; the connection follows.
    virtual void LinkStarted(LinkKind /*kind*/) {}
    // A serial port could not be opened (a problem follows).
    virtual void PortOpenFailed(const PortFailure& /*failure*/) {}
    // The open serial port `name` went away under the program: nothing is awaited on it any
    // more (a problem follows, or the running copy fails with it).
    virtual void PortLost(const std::string& /*name*/) {}
    // Another logger, or the same one over another link, is to be read out from the start:
    // whatever waited on the last connection is dropped.
    virtual void ConnectionReplaced() {}
    // The USB logger of the running connection was unplugged: the program ends.
    virtual void LoggerUnplugged() {}
    // A HID device was enumerated while no link has started.
    virtual void UsbScanned() {}

    // Missed replies (ReplyWatch).
    // The reply awaited was missed and its request is tried again, the `attempt`th time; 0 when
    // the retries have ended (a reply came, or the request was given up on).
    virtual void ReplyRetrying(int /*attempt*/) {}
    // The request of `code` is given up on: its operation is told next, then a problem follows
    // (for a copy, the copy's end carries it).
    virtual void RequestGivingUp(std::uint8_t /*code*/) {}
    // The operation that awaited the request given up on has been told (not for a copy).
    virtual void RequestGivenUp(std::uint8_t /*code*/) {}
};

}  // namespace qm
