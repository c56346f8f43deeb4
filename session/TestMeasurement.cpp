#include "session/TestMeasurement.h"

#include <optional>
#include <string>
#include <vector>

#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "session/CalibrationEditor.h"
#include "session/ConnectionSequence.h"

namespace qm {

void TestMeasurement::Measure() {
    readings_.ReadingCount = 0;
    ctx_.session.Report([](SessionEvents& e) { e.TestStarted(); });
    ctx_.x.Send(requests::Plain(CommandCode::StartTest));
}

void TestMeasurement::Ended(bool measured) {
    ctx_.session.Report([measured](SessionEvents& e) { e.TestMeasured(measured); });
}

Transaction::Missed TestMeasurement::OnMissed(std::uint8_t /*code*/, int /*attempt*/) {
    readings_.ReadingCount = 0;
    ctx_.x.Send(requests::Plain(CommandCode::StartTest));
    return Missed::AskedItself;
}

bool TestMeasurement::OnGivenUp(std::uint8_t /*code*/, const SessionProblem& /*reason*/) {
    Ended(false);
    return false;
}

void TestMeasurement::ReadingsReply(std::uint8_t code) {
    ctx_.session.Report([](SessionEvents& e) { e.TestReadingsCame(); });
    const Reply r = ctx_.CurrentReply();
    if (r.Status() == ReplyStatus::Partial) {
        DecodeReadingsBlock(readings_, r);
        ctx_.x.Send(requests::Plain(CommandCode::NextReadings));
        return;
    }
    if (r.Status() != ReplyStatus::Complete) {
        // Nothing more will come.
        Ended(false);
        ctx_.Fail(Msg::TestRefused, {std::to_string(r.Status())}, code);
        return;
    }
    DecodeReadingsBlock(readings_, r);
    // Each valid reading corrected by the table (unless raw) and rounded, as the chart shows it.
    const CalibrationTable& table = calibration_.Table();
    const int n = readings_.ReadingCount;
    std::vector<std::optional<double>> values(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
        if (!readings_.ReadingValid[i]) continue;
        double v = readings_.Readings[i];
        if (!raw_) v += table[static_cast<std::size_t>(i)] / 100.0;
        values[static_cast<std::size_t>(i)] = RoundReading(v);
    }
    ctx_.Logger().readings = std::move(values);
    Ended(true);
    // The battery, then the line value.
    sequence_.QueryLineAfterBattery();
    ctx_.x.Send(requests::Plain(CommandCode::ReadBattery));
}

void TestMeasurement::OnReply(std::uint8_t code) {
    ReadingsReply(code);  // -> 68 or 52
}

}  // namespace qm
