#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/Reply.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class BtModemDialogue;
class CalibrationEditor;
class Catalogue;
class RadioModem;

// The connection sequence: identification, correction table, clock, schedule or remarks,
// battery, root listing, and the line value, with the timers that pace it.
class ConnectionSequence : public Transaction {
public:
    ConnectionSequence(WorkContext& ctx, CalibrationEditor& calibration, RadioModem& radio,
                       BtModemDialogue& bt)
        : ctx_(ctx), calibration_(calibration), radio_(radio), bt_(bt) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The blocks of the correction table are numbered by the logger: a missed one starts them
    // over from the first. Anything else is asked again as its row says.
    Missed OnMissed(std::uint8_t code, int attempt) override;
    // The catalogue lists the root at the end of the read-out and reports the listing's end.
    void SetCatalogue(Catalogue& catalogue) { catalogue_ = &catalogue; }

    // The next identification starts a read-out.
    void ArmReadOut();
    // Another logger (or the same one over another link) is to be read out from the start:
    // what the last connection learnt about its device no longer holds.
    void Restart();

    // Row 0: who answered.
    void IdentificationReply();
    // Row 1: which USB modem adapter answered.
    void LinkKindReply();
    // Row 16: the line value.
    void LineValueReply();
    // Rows 60 and 62: the correction table, in blocks by device type.
    void CalibrationReply();
    void CalibrationBlockReply();
    // Row 52: the battery, then the root listing or the line value.
    void BatteryReply();

    // The clock is shown: during the read-out the schedule or the remarks follow.
    void ClockShown();
    // The schedule or the remarks are in: during the read-out the battery follows.
    void ContinueWithBattery();
    // A listing has ended: the groups of the device are shown and the read-out ends.
    void EndOfListing();
    // The logger refused a listing: the read-out ends with the data group hidden, the clock and
    // test buttons usable.
    void ListingRefused();
    void EndInitialSequence();
    // The logger stopped answering during the read-out: it ends here, and the buttons it would
    // have enabled at its end come back so the operator can try again.
    void GiveUp();
    // After a test measurement the battery reply asks for the line value.
    void QueryLineAfterBattery() { LineQueryPending_ = true; }

    void StartTimerTimer();
    void Timer3Timer();

    std::uint8_t DeviceType() const { return DeviceType_; }
    bool ReadingOut() const { return InitialSequence_; }
    bool FirstListing() const { return FirstListing_; }
    bool PathrexDevice() const {
        const auto& id = ctx_.session.Logger().identity;
        return id && id->keepsRemarks;
    }
    // The title the identification gave; empty before it.
    std::string DeviceTitle() const {
        const auto& id = ctx_.session.Logger().identity;
        return id ? id->title : std::string();
    }
    // What this connection has learnt so far: the version byte of the identification, the
    // battery voltage and the text of the line value (empty until their replies came).
    std::uint8_t Version() const {
        const auto& id = ctx_.session.Logger().identity;
        return id ? id->version : 0;
    }
    std::optional<double> BatteryVolts() const { return ctx_.session.Logger().batteryVolts; }
    const std::string& LineValueText() const { return ctx_.session.Logger().line; }

    // Text of the line value from a reply to 16, as the title shows it.
    static std::string LineText(const Reply& reply);

private:
    // The clock and test buttons, once, at the end of the first listing.
    void EnableAfterFirstListing();
    WorkContext& ctx_;
    CalibrationEditor& calibration_;
    RadioModem& radio_;
    BtModemDialogue& bt_;
    Catalogue* catalogue_ = nullptr;

    std::uint8_t DeviceType_ = 0;
    bool InitialSequence_ = false;
    bool FirstListing_ = false;
    bool LineQueryPending_ = false;
    std::uint8_t CalBlockIndex_ = 0;
    std::uint16_t LineValue_ = 0;
};

}  // namespace qm
