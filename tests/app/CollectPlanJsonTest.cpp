// The dry run's plan of a collection, as JSON: every link kind with its own field, "all" for
// every directory, and Cyrillic names and folders as they were written.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <variant>

#include "app/CollectPlanJson.h"
#include "store/LocalFiles.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

TEST(CollectPlanJson, EveryStationWithItsLinkDirectoriesAndFolder) {
    const fs::path file = fs::temp_directory_path() / Utf8Path("объект/станции.toml");
    const fs::path data = fs::temp_directory_path() / "data";
    const StationsFileRead read = ParseStationsFile(R"(
[defaults]
clock = "set"
max_offset_s = 30

[[station]]
name = "Скважина 7"
port = "/dev/rfcomm0"
directories = ["Котельная", "2026"]
mode = "all"

[[station]]
name = "B"
usb = true

[[station]]
name = "C"
radio = 12
clock = "check"
every = "1d"
at = "2:30"

[[station]]
name = "D"
bluetooth = "00112233445a"
data = ')" + PathText(data) + R"('
)",
                                                    file);
    ASSERT_TRUE(std::holds_alternative<StationsPlan>(read));
    const QJsonObject plan = PlanJson(std::get<StationsPlan>(read), Language::English);

    EXPECT_EQ(plan["stationsFile"].toString().toStdString(), PathText(file));
    const QJsonArray stations = plan["stations"].toArray();
    ASSERT_EQ(stations.size(), 4);

    QJsonObject well = stations[0].toObject();
    // Where a relative data folder is: beside the stations file.
    EXPECT_EQ(well.take("folder").toString().toStdString(),
              PathText(file.parent_path() / "DATA" / Utf8Path("Скважина 7")));
    EXPECT_EQ(QJsonDocument(well).toJson(QJsonDocument::Compact).toStdString(),
              R"({"clock":"set","directories":["Котельная","2026"],)"
              R"("link":{"kind":"serial","port":"/dev/rfcomm0"},"maxOffsetSeconds":30,)"
              R"("mode":"all","name":"Скважина 7","schedule":null})");

    const QJsonObject usb = stations[1].toObject();
    EXPECT_EQ(usb["link"].toObject(), (QJsonObject{{"kind", "usb"}}));
    EXPECT_EQ(usb["directories"].toString(), "all");
    EXPECT_EQ(usb["mode"].toString(), "new");

    const QJsonObject radio = stations[2].toObject();
    EXPECT_EQ(radio["link"].toObject(), (QJsonObject{{"kind", "radio"}, {"address", 12}}));
    EXPECT_EQ(radio["clock"].toString(), "check");
    EXPECT_EQ(radio["schedule"].toObject(), (QJsonObject{{"everySeconds", 86400},
                                                         {"at", "02:30"},
                                                         {"retries", 3},
                                                         {"retryEverySeconds", 300},
                                                         {"secondaryEverySeconds", 3600}}));

    const QJsonObject bluetooth = stations[3].toObject();
    EXPECT_EQ(bluetooth["link"].toObject(),
              (QJsonObject{{"kind", "bluetooth"}, {"address", "00112233445A"}}));
    EXPECT_EQ(bluetooth["folder"].toString().toStdString(), PathText(data / "D"));
}

}  // namespace
}  // namespace qm::test
