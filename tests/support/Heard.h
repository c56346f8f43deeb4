#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/Session.h"

namespace qm::test {

// What a session reported.
struct Reports {
    std::vector<CopyResult> copies;
    std::int64_t counted = 0;  // the last count a copy reported
    int noData = 0;
    int readOuts = 0;
    int clockReadings = 0;
    std::vector<bool> clockSettings, measurements, dials;
    std::vector<std::pair<LoggerWrite, bool>> writes;
    std::vector<std::pair<std::string, bool>> deletes;
};

// Records what a session reports from when it begins to hear it (Hear); stops hearing it when
// destroyed.
struct Heard : SessionEvents, Reports {
    void CopyEnded(const CopyResult& r) override { copies.push_back(r); }
    void CopyCounted(std::int64_t count) override { counted = count; }
    void CopyFoundNoData() override { ++noData; }
    void ReadOutEnded() override { ++readOuts; }
    void ClockRead(const std::optional<ClockReading>& /*reading*/) override { ++clockReadings; }
    void ClockSetEnded(bool set) override { clockSettings.push_back(set); }
    void TestMeasured(bool measured) override { measurements.push_back(measured); }
    void ModemDialEnded(bool connected) override { dials.push_back(connected); }
    void WriteEnded(LoggerWrite what, bool confirmed) override {
        writes.emplace_back(what, confirmed);
    }
    void DeleteEnded(const std::string& directory, bool deleted) override {
        deletes.emplace_back(directory, deleted);
    }

    void Hear(Session& session) {
        Stop();
        static_cast<Reports&>(*this) = {};
        (session_ = &session)->Listen(*this);
    }
    void Stop() {
        if (session_) session_->StopListening(*this);
        session_ = nullptr;
    }
    ~Heard() override { Stop(); }

private:
    Session* session_ = nullptr;
};

}  // namespace qm::test
