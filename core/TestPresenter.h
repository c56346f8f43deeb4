#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/SessionEvents.h"
#include "session/TestMeasurement.h"

namespace qm {

class CalibrationEditor;
class ConnectionSequence;

// The test button and the chart of the readings: the window is locked while the logger
// measures, and the readings are corrected, plotted and the earlier ones kept in blue.
class TestPresenter : public SessionEvents {
public:
    TestPresenter(PartContext& ctx, TestMeasurement& test, const CalibrationEditor& calibration,
                  const ConnectionSequence& sequence)
        : ctx_(ctx), test_(test), calibration_(calibration), sequence_(sequence) {}
    void Register(Handlers& h);

    // The chart starts empty, with axes that any reading widens.
    void ResetChart();

    void TestStarted() override;
    void TestReadingsCame() override;
    void TestMeasured(bool measured) override;

private:
    // The controls a test measurement locks.
    void EnableControls(bool enabled);

    PartContext& ctx_;
    TestMeasurement& test_;
    const CalibrationEditor& calibration_;
    const ConnectionSequence& sequence_;
};

}  // namespace qm
