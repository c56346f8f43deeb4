#pragma once

#include <cstdint>

#include "measure/Readings.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class CalibrationEditor;
class ConnectionSequence;

// The test measurement: the logger measures once and sends its readings in blocks. The last
// block gives every sensor's reading, corrected by the logger's table (LoggerState::readings).
class TestMeasurement : public Transaction {
public:
    TestMeasurement(WorkContext& ctx, const CalibrationEditor& calibration,
                    ConnectionSequence& sequence)
        : ctx_(ctx), calibration_(calibration), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The readings are asked for again from their first block.
    Missed OnMissed(std::uint8_t code, int attempt) override;
    // The logger stopped answering: the measurement ends without readings.
    bool OnGivenUp(std::uint8_t code, const SessionProblem& reason) override;

    // Asks the logger to measure.
    void Measure();
    // Readings as measured, without the table's corrections.
    void KeepRaw(bool raw) { raw_ = raw; }
    // Rows 32/68: 249 brings a block and more follows; 248 the last block.
    void ReadingsReply(std::uint8_t code);

    const ReadingsState& Readings() const { return readings_; }
    // The chart keeps the measurement it shows and its axis with the readings.
    ReadingsState& MutableReadings() { return readings_; }

private:
    void Ended(bool measured);

    WorkContext& ctx_;
    const CalibrationEditor& calibration_;
    ConnectionSequence& sequence_;
    ReadingsState readings_;
    bool raw_ = false;
};

}  // namespace qm
