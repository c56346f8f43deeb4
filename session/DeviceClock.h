#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/DateTime.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class ConnectionSequence;

// The logger's clock: read it, or set it from the PC clock and read it back.
class DeviceClock : public Transaction {
public:
    DeviceClock(WorkContext& ctx, ConnectionSequence& sequence) : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The clock request or its setting went unanswered: a setting under way has ended.
    bool OnGivenUp(std::uint8_t /*code*/, const SessionProblem& /*reason*/) override {
        EndSetting(false);
        return false;
    }

    // Asks for the logger's clock.
    void Read();
    // Sets the logger's clock from the PC clock; the setting ends with ClockSetEnded.
    void Set();
    // Row 48: a valid clock is read; any other status sets the clock from the PC and reads again.
    void ClockReply();
    // Row 49: whatever the status, the clock is read again.
    void ClockSetReply() { Read(); }

    // The logger's clock has been read since the program started.
    bool ClockRead() const { return ClockRead_; }
    bool ClockJustSet() const { return ClockJustSet_; }
    // A setting was asked for and has not ended yet.
    bool Setting() const { return settingAsked_; }
    void SetClockRead(bool read) { ClockRead_ = read; }
    // The last reading; nothing before the first, or when the logger sent a clock that is no
    // date.
    const std::optional<ClockReading>& LastReading() const { return ctx_.session.Logger().clock; }
    // The last reading as the logger sent it, in the clock label's words (also when it is no
    // date), and whether it was the read-back of a setting.
    const std::string& ReadingText() const { return readingText_; }
    bool ReadAfterSetting() const { return readAfterSetting_; }

    // Text of the clock label for a device clock reply, e.g. "09:07:03  5. 3.2024".
    static std::string ClockText(int hour, int minute, int second, int day, int month, int year);

private:
    void SendClockSet();
    void TakeReading();
    // Tells the listeners how the setting that was asked for ended, once.
    void EndSetting(bool set);

    // A logger that never reports a valid clock would otherwise be set for ever.
    static constexpr int kMaxClockSets = 5;
    int clockSets_ = 0;

    WorkContext& ctx_;
    ConnectionSequence& sequence_;
    std::uint16_t ClockSecond_ = 0, ClockMinute_ = 0, ClockHour_ = 0;
    std::uint16_t ClockDay_ = 0, ClockMonth_ = 0, ClockYear_ = 0, ClockMillisecond_ = 0;
    bool ClockRead_ = false;
    bool ClockJustSet_ = false;
    bool settingAsked_ = false;  // a setting was asked for and has not ended yet
    int readings_ = 0;
    std::string readingText_;
    bool readAfterSetting_ = false;
};

}  // namespace qm
