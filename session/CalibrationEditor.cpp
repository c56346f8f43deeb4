#include "session/CalibrationEditor.h"

#include <charconv>
#include <string>
#include <vector>

#include "protocol/CommandCode.h"

namespace qm {
namespace {

// "+412.35", "-327.67": two decimals with a point whatever the locale of the PC.
std::string SignedFixed2(double v) {
    char text[400];
    text[0] = '+';
    const auto r = std::to_chars(text + 1, text + sizeof text, v, std::chars_format::fixed, 2);
    const char* first = text[1] == '-' ? text + 1 : text;
    return std::string(first, static_cast<const char*>(r.ptr));
}

}  // namespace

void CalibrationEditor::StoreEntries(int first, int last) {
    StoreCalibrationEntries(calibration_, ctx_.CurrentReply(), first, last);
}

void CalibrationEditor::Write(const ReadingsState& readings, double reference) {
    const std::vector<ClampedCorrection> clamped =
        ComputeCorrections(calibration_, readings, reference);
    if (!clamped.empty()) {
        SessionProblem p;
        p.severity = SessionProblem::Severity::Warning;
        p.message = Msg::CorrectionsLimited;
        p.request = CommandCode::WriteCalibration;
        for (const ClampedCorrection& c : clamped) {
            SessionProblem line;
            line.severity = p.severity;
            line.message = Msg::CorrectionLimited;
            line.args = {std::to_string(c.reading), SignedFixed2(c.wanted / 100.0),
                         SignedFixed2(c.stored / 100.0)};
            line.request = p.request;
            p.lines.push_back(std::move(line));
        }
        ctx_.Tell(std::move(p));
    }
    // Request 61: entries 1..30. The logger's reply is not acted on.
    ctx_.x.Send(CalibrationRequest(calibration_));
}

}  // namespace qm
