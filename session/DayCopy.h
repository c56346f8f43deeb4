#pragma once

#include <cstdint>
#include <string>

#include "protocol/DateTime.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class Catalogue;
class CopyProgress;
class CopySession;

// The day copy: the measurements of one chosen day out of a monthly file on the logger into a
// local day file "year_month_day.dat". It shares the value handling and the finishing step with
// the full copy and never touches the resume record.
class DayCopy : public Transaction {
public:
    DayCopy(WorkContext& ctx, const Catalogue& catalogue, CopySession& copy, CopyProgress& progress)
        : ctx_(ctx), catalogue_(catalogue), copy_(copy), progress_(progress) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // A missed or given-up search for the day is the copy's, as any of its requests.
    Missed OnMissed(std::uint8_t code, int attempt) override;
    bool OnGivenUp(std::uint8_t code, const SessionProblem& reason) override;

    // Arms the day copy: the data group is held for it until it is copied or disarmed.
    void Arm();
    void Disarm();
    // Copies the day of `day` out of the monthly file of the listed directory `directory`
    // (Windows-1251). False when it cannot start now: the read-out or a request runs
    // (CopyMustWait), or the names are refused (the listeners are told why); it stays armed.
    bool Copy(const std::string& directory, DateTime day);
    // A reply to 66 or 67 during a day copy.
    void HandleDayLineReply();
    // Row 70: the first header line of the chosen day, or no measurement that day.
    void DayFoundReply();
    // The day's lines are all written: the day file replaces any earlier one of that day.
    void FinishDayCopy();

    // The logger stopped answering: the day is copied again from its monthly file's start.
    // False, and nothing asked, once the day has been started again kMostRestarts times: a line
    // that loses a reply every few keeps a day copy from ever ending otherwise.
    bool RestartDay();
    static constexpr int kMostRestarts = 8;

    // The day copy is armed until the finishing step or Disarm.
    bool Active() const { return DayCopyMode_; }
    void End() { DayCopyMode_ = false; }

private:
    void WriteDayLine(const std::string& text, std::uint8_t status);
    void RequestDay();

    WorkContext& ctx_;
    const Catalogue& catalogue_;
    CopySession& copy_;
    CopyProgress& progress_;
    bool DayCopyMode_ = false;
    std::uint16_t SelectedDay_ = 0;
    int dayYear_ = 0;
    int dayMonth_ = 0;
    int restarts_ = 0;
};

}  // namespace qm
