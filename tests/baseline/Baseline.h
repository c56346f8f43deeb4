#pragma once

#include <span>
#include <string>
#include <vector>

#include "session/SessionTimers.h"
#include "sim/Device.h"
#include "ui/model/WindowModel.h"

namespace qm::test {

// Every control of the window, the context menu and the timers (the window's and the session's),
// one line each, in a fixed order: what the operator can see and what is running. `folder` is
// written as <start> wherever it appears, so that a dump does not depend on where a test made
// its folders.
std::string DumpWindow(WindowModel& model, const SessionTimers& timers, const std::string& folder);

// Passes requests on to a device and writes each exchange down as hex: "> request" and one
// "< frame" for each frame of the reply.
class WireLog : public sim::Device {
public:
    explicit WireLog(sim::Device& inner) : inner_(inner) {}
    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override;
    std::string text;

private:
    sim::Device& inner_;
};

}  // namespace qm::test
