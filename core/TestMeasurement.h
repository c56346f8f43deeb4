#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "measure/Readings.h"
#include "session/Transaction.h"

namespace qm {

class CalibrationEditor;
class ConnectionSequence;

// The test measurement: the logger measures once and sends its readings in blocks, which are
// shown and plotted on the chart.
class TestMeasurement : public Transaction {
public:
    TestMeasurement(PartContext& ctx, const CalibrationEditor& calibration,
                    ConnectionSequence& sequence)
        : ctx_(ctx), calibration_(calibration), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    // The chart starts empty, with axes that any reading widens.
    void ResetChart();
    void bTestClick();
    // Rows 32/68: 249 brings a block and more follows; 248 the last block.
    void ReadingsReply();
    // The readings are asked for again from their first block.
    void RestartReadings();
    // The logger stopped answering: the controls come back.
    void GiveUp();

    const ReadingsState& Readings() const { return readings_; }

private:
    void Ended(bool measured);

    PartContext& ctx_;
    const CalibrationEditor& calibration_;
    ConnectionSequence& sequence_;
    ReadingsState readings_;
};

}  // namespace qm
