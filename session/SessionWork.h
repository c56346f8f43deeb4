#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "protocol/DateTime.h"
#include "session/SessionEvents.h"

namespace qm {

// How a copy's start went.
enum class CopyStart {
    Started,
    // Nothing to carry on from (no earlier copy of the directory): every file is copied.
    StartedWhole,
    // It did not start; the reason has gone to the operator's services.
    Refused,
};

// Where the work with the logger stands.
enum class WorkPhase : std::uint8_t {
    NoLink,      // no logger or modem found, no port opened
    Linking,     // a link is up or starting, no logger has answered yet (a modem may be dialling)
    ReadingOut,  // the read-out of a newly connected logger runs
    Ready,       // a logger is read out and nothing is asked of it
    Busy,        // a copy, a write, a measurement or another request runs
};

// The work on the connected logger, offered to whoever drives the session. Each operation
// starts its work and returns; the work ends in an event of SessionEvents.
class SessionWork {
public:
    virtual ~SessionWork() = default;

    // Opens the serial port `name` (a device path, or COMn) to the logger or modem behind it;
    // false when it cannot be opened (the reason has gone to the operator's services).
    virtual bool OpenSerialPort(const std::string& name) = 0;
    // A link to a logger is up or being started: a USB logger found, a serial port opened.
    virtual bool LinkFound() const = 0;
    // What answered on USB is a radio or Bluetooth modem, not a logger.
    virtual bool ThroughModemAdapter() const = 0;
    // Through a USB radio modem: selects the radio address `address` (0..254) and identifies the
    // logger there; its read-out follows as on any link. False when no radio modem is ready.
    virtual bool ReachRadioAddress(int address) = 0;
    // Through a USB Bluetooth modem: dials `address` (12 hex digits) at most `calls` times, one
    // call every 15 s, until the modem reports CONNECT (ModemDialEnded); the logger's read-out
    // follows. False when no Bluetooth modem is ready to dial.
    virtual bool DialBluetooth(const std::string& address, int calls) = 0;
    // The read-out of a newly connected logger is running.
    virtual bool ReadingOut() const = 0;
    // Nothing is asked of the logger and no step waits to ask anything.
    virtual bool Idle() const = 0;
    // Where the work stands.
    virtual WorkPhase Phase() const = 0;

    // Reads the logger's clock (ClockRead); false when it cannot be read now.
    virtual bool ReadClock() = 0;
    // Sets the logger's clock to the PC's and reads it back (ClockSetEnded); false when the clock
    // cannot be set now.
    virtual bool SetClock() = 0;

    // Has the logger measure once and send its readings (TestMeasured); false when it cannot
    // measure now (a read-out, a copy or another request running).
    virtual bool MeasureOnce() = 0;

    // Writes the measurement schedule: the first measurement at `start`, one every `interval`
    // (days, hours, minutes), none after `stop`. Ends in WriteEnded; false when it cannot be
    // written now (a read-out or a copy running, or a logger that keeps remarks instead).
    virtual bool WriteSchedule(DateTime start, DateTime stop, int days, int hours, int minutes) = 0;
    // Writes the two remark lines (Unicode) of a logger that keeps them. Ends in WriteEnded.
    virtual bool WriteRemarks(const std::string& first, const std::string& second) = 0;

    // Deletes the directory `directory` (as listed, in Unicode) with its files on the logger,
    // without asking: the caller has decided. Ends in DeleteEnded; false when refused now.
    virtual bool DeleteDirectory(const std::string& directory) = 0;

    // Copies the directory `directory` (as listed, in Unicode) into its data-set folder; `day`
    // is the day of a CopyMode::Day copy. Ends in CopyEnded unless refused.
    virtual CopyStart StartCopy(const std::string& directory, CopyMode mode, DateTime day) = 0;
    // Stops the running copy: the files completed so far stay.
    virtual void StopCopy() = 0;
    virtual bool CopyRunning() const = 0;
    virtual CopyProgressView Progress() const = 0;
    // The last copy as it stands (for a run that ends before the copy does).
    virtual CopyResult CopySoFar() const = 0;
    // Where data-set folders are made.
    virtual std::filesystem::path DataFolder() const = 0;
    // The name the collection log gives this session's copies ("window" unless named).
    virtual void NameStation(const std::string& name) = 0;
    // Copies go to data-set folders in `folder` (made when missing) instead of the start
    // folder's DATA; false when it cannot be made.
    virtual bool UseDataFolder(const std::filesystem::path& folder) = 0;
    // The program ends: an unfinished local file is dropped, so its local copy stays as it was.
    virtual void CloseLocalFiles() = 0;
};

}  // namespace qm
