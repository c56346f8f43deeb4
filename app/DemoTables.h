#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "session/SessionEvents.h"
#include "store/SensorTable.h"

namespace qm {

class Session;
class SessionWork;

// The sensor table of the demo's borehole: its first `sensors` sensors with their depths and
// labels, as the virtual logger's string holds them.
std::vector<SensorInfo> DemoBoreholeTable(std::size_t sensors);

// Gives the demo's borehole its sensor table: when a copy of the borehole has put its data-set
// folder in place and the folder has no sensors.csv, writes the demo's one there. Only the demo
// listens so; a real logger's copies never get a table made up for them. A table the operator
// has written is never replaced.
class DemoSensorTables : private SessionEvents {
public:
    // `sensors`: how many sensors the demo's borehole has.
    DemoSensorTables(Session& session, const SessionWork& work, std::size_t sensors);
    ~DemoSensorTables() override;
    DemoSensorTables(const DemoSensorTables&) = delete;
    DemoSensorTables& operator=(const DemoSensorTables&) = delete;

private:
    void CopyEnded(const CopyResult& result) override;

    Session& session_;
    const SessionWork& work_;
    std::size_t sensors_;
    std::string borehole_;  // its name as the logger lists it (Windows-1251)
};

}  // namespace qm
