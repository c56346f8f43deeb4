#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "protocol/DateTime.h"
#include "session/Transaction.h"

namespace qm {

class ConnectionSequence;

// The logger's clock: read it, set it from the PC clock, show it for a second.
class DeviceClock : public Transaction {
public:
    DeviceClock(PartContext& ctx, ConnectionSequence& sequence) : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    void bClockClick();
    void bSynchClick();
    // Row 48: a valid clock is shown; any other status sets the clock from the PC and reads again.
    void ClockReply();
    // Row 49: whatever the status, the clock is read again.
    void ClockSetReply() { bClockClick(); }
    // The clock request or its setting went unanswered: a setting under way has ended.
    void GaveUp() { EndSetting(false); }

    // The logger's clock has been read since the program started.
    bool ClockRead() const { return ClockRead_; }
    bool ClockJustSet() const { return ClockJustSet_; }
    void SetClockRead(bool read) { ClockRead_ = read; }
    // The last reading shown; nothing before the first, or when the logger sent a clock that is
    // no date.
    const std::optional<ClockReading>& LastReading() const { return ctx_.session.Logger().clock; }

    // Text of the clock label for a device clock reply, e.g. "09:07:03  5. 3.2024".
    static std::string ClockText(int hour, int minute, int second, int day, int month, int year);

private:
    void SendClockSet();
    void ShowDeviceClock();
    // Tells the listeners how the setting the operator asked for ended, once.
    void EndSetting(bool set);

    // A logger that never reports a valid clock would otherwise be set for ever.
    static constexpr int kMaxClockSets = 5;
    int clockSets_ = 0;

    PartContext& ctx_;
    ConnectionSequence& sequence_;
    std::uint16_t ClockSecond_ = 0, ClockMinute_ = 0, ClockHour_ = 0;
    std::uint16_t ClockDay_ = 0, ClockMonth_ = 0, ClockYear_ = 0, ClockMillisecond_ = 0;
    bool ClockRead_ = false;
    bool ClockJustSet_ = false;
    bool settingAsked_ = false;  // bSynch was pressed and its setting has not ended yet
    int readings_ = 0;
};

}  // namespace qm
