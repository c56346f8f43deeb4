#include "app/DemoTables.h"

#include <system_error>

#include "protocol/Cp1251.h"
#include "session/Session.h"
#include "session/SessionWork.h"
#include "sim/DemoStore.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

namespace qm {

std::vector<SensorInfo> DemoBoreholeTable(std::size_t sensors) {
    std::vector<SensorInfo> table;
    const auto all = sim::BoreholeSensors();
    for (std::size_t s = 0; s < sensors && s < all.size(); ++s)
        table.emplace_back(s + 1, all[s].depthMetres, all[s].label, all[s].limitC);
    return table;
}

DemoSensorTables::DemoSensorTables(Session& session, const SessionWork& work, std::size_t sensors)
    : session_(session),
      work_(work),
      sensors_(sensors),
      borehole_(Utf8ToCp1251(sim::kBoreholeDirectory)) {
    session_.Listen(*this);
}

DemoSensorTables::~DemoSensorTables() {
    session_.StopListening(*this);
}

void DemoSensorTables::CopyEnded(const CopyResult& result) {
    if (result.directory != borehole_ || sensors_ == 0) return;
    const std::filesystem::path folder = DataSetFolder(work_.DataFolder(), result.directory);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return;
    if (std::filesystem::exists(folder / kSensorTableName, ec) || ec) return;
    try {
        WriteSensorTable(folder, DemoBoreholeTable(sensors_));
    } catch (const FileError&) {
        // The copy itself is complete; without the table the viewer numbers the sensors.
    }
}

}  // namespace qm
