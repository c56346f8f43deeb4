#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

class CollectionLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        folder = fs::temp_directory_path() /
                 ("qm_log_" + std::to_string(rd()) + "_" + std::to_string(rd())) /
                 Utf8Path("Скважина 7");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder.parent_path(), ec);
    }
    std::string LogText() const { return ReadWholeFile(folder / kCollectionLogName); }
    void WriteLog(const std::string& bytes) const {
        fs::create_directories(folder);
        std::ofstream(folder / kCollectionLogName, std::ios::binary) << bytes;
    }

    static CollectionRecord Sample() {
        CollectionRecord r;
        r.time = sys_days(year(2026) / 12 / 9) + hours(2) + minutes(30) + seconds(11);
        r.station = "Скважина 7";
        r.deviceType = 84;
        r.version = 5;
        r.line = 25;
        r.lineText = "25";
        r.batteryVolts = 5.3;
        r.clockOffsetSeconds = 3;
        r.mode = CollectedMode::New;
        r.directory = "Котельная";
        r.files = 1;
        r.bytes = 5051;
        r.measurements = 24;
        return r;
    }

    fs::path folder;
};

TEST_F(CollectionLogTest, ARecordIsOneLineInTheDocumentedForm) {
    CollectionRecord r = Sample();
    EXPECT_EQ(CollectionRecordJson(r),
              R"({"time": "2026-12-09T02:30:11Z", "station": "Скважина 7", "deviceType": 84, )"
              R"("version": 5, "line": 25, "lineText": "25", "batteryVolts": 5.3, )"
              R"("clockOffsetSeconds": 3, )"
              R"("clockSet": false, "mode": "new", "directory": "Котельная", "files": 1, )"
              R"("bytes": 5051, "measurements": 24, "retries": 0, "result": "done", )"
              R"("error": null})");
    // What was not learnt of the logger is null, not left out or zero.
    r = CollectionRecord{};
    r.station = kWindowStation;
    const std::string empty = CollectionRecordJson(r);
    EXPECT_NE(empty.find(R"("deviceType": null, "version": null, "line": null, "lineText": null, )"
                         R"("batteryVolts": null, "clockOffsetSeconds": null)"),
              std::string::npos)
        << empty;
    EXPECT_NE(empty.find(R"("time": "1970-01-01T00:00:00Z", "station": "window")"),
              std::string::npos);
}

TEST_F(CollectionLogTest, RecordsComeBackAsWrittenWithCyrillicQuotesAndControlCharacters) {
    CollectionRecord first = Sample();
    CollectionRecord second = Sample();
    second.station = R"(Мост "Северный" \ 2)";
    second.directory = std::nullopt;
    second.batteryVolts = std::nullopt;
    second.clockSet = true;
    second.clockOffsetSeconds = -3600;
    second.mode = CollectedMode::Day;
    second.result = CollectionResult::Stopped;
    second.error = "Связь потеряна:\n\tлоггер\x01 не ответил";
    second.bytes = 5'000'000'000;
    ASSERT_FALSE(AppendCollectionRecord(folder, first));
    ASSERT_FALSE(AppendCollectionRecord(folder, second));

    const std::string text = LogText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << "one line each, control "
                                                                "characters escaped";
    EXPECT_NE(text.find(R"("station": "Мост \"Северный\" \\ 2")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(\u0001)"), std::string::npos) << text;

    const CollectionLogRead read = ReadCollectionLog(folder);
    EXPECT_FALSE(read.error);
    EXPECT_EQ(read.skipped, 0u);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0], first);
    EXPECT_EQ(read.records[1], second);
}

TEST_F(CollectionLogTest, VisitsComeBackAsWrittenOnEveryLink) {
    VisitRecord radio, usb, serial;
    radio.time = usb.time = serial.time = Sample().time;
    radio.station = "Б";
    radio.link = "radio";
    radio.addressNumber = 12;
    usb.link = "usb";
    usb.reached = usb.collected = true;
    serial.station = "Мост \"Северный\"";
    serial.link = "serial";
    serial.addressText = "COM3";
    serial.error = "Связь потеряна:\n\tлоггер";
    serial.clockOffsetSeconds = -3600;
    serial.batteryVolts = 5.3;
    serial.clockSet = true;
    serial.copies = 2;
    fs::create_directories(folder);
    for (const VisitRecord& r : {serial, radio, usb}) ASSERT_FALSE(AppendVisitRecord(folder, r));
    const VisitLogRead read = ReadVisitLog(folder);
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_EQ(read.records, (std::vector<VisitRecord>{serial, radio, usb}));
}

TEST_F(CollectionLogTest, ATornLastLineIsSkippedAndTheNextRecordStartsOnALineOfItsOwn) {
    // A run killed while writing its record leaves a line without its end.
    const std::string whole = CollectionRecordJson(Sample()) + "\n";
    const std::string torn = CollectionRecordJson(Sample()).substr(0, 70);
    WriteLog(whole + torn);

    CollectionRecord next = Sample();
    next.result = CollectionResult::Failed;
    next.error = "нет ответа";
    ASSERT_FALSE(AppendCollectionRecord(folder, next));

    // The earlier bytes stay exactly as they were; the new record follows on a line of its own.
    EXPECT_EQ(LogText(), whole + torn + "\n" + CollectionRecordJson(next) + "\n");
    const CollectionLogRead read = ReadCollectionLog(folder);
    EXPECT_EQ(read.skipped, 1u);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0], Sample());
    EXPECT_EQ(read.records[1], next);
}

TEST_F(CollectionLogTest, GarbledLinesInTheMiddleAreCountedAndTheOthersRead) {
    const std::string good = CollectionRecordJson(Sample());
    CollectionRecord wrongKind = Sample();
    std::string badMode = CollectionRecordJson(wrongKind);
    badMode.replace(badMode.find(R"("new")"), 5, R"("some")");
    std::string badDate = good;
    badDate.replace(badDate.find("12-09"), 5, "02-30");
    std::string negative = good;
    negative.replace(negative.find(R"("files": 1)"), 10, R"("files": -1)");
    std::string halfPair = good;
    halfPair.replace(halfPair.find("Скважина 7"), std::string("Скважина 7").size(), R"(\ud800x)");
    std::string fraction = good;
    fraction.replace(fraction.find(R"("version": 5)"), 12, R"("version": 5.5)");
    const std::string lines[] = {
        good,
        "\x01\xff garbage",
        good + " {}",                                        // text after the object
        R"({"time": "2026-12-09T02:30:11Z"})",               // fields missing
        badMode,                                             // a word the log does not use
        badDate,                                             // no such day
        negative,                                            // a count below zero
        fraction,                                            // not a whole number
        halfPair,                                            // half a surrogate pair
        "",                                                  // an empty line is no record, no fault
        good.substr(0, good.size() - 1) + R"(, "x": [1]})",  // a nested value
        good,
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteLog(text);

    const CollectionLogRead read = ReadCollectionLog(folder);
    EXPECT_FALSE(read.error);
    EXPECT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.skipped, 9u);
}

TEST_F(CollectionLogTest, TheDocumentedLineWithoutItsOptionalFieldsIsRead) {
    WriteLog(R"({"time": "2026-12-09T02:30:11Z", "station": "Скважина 7", "deviceType": 84, )"
             R"("version": 5, "line": 25, "batteryVolts": 5.3, "clockOffsetSeconds": 3, )"
             R"("clockSet": false, "mode": "new", "files": 1, "bytes": 5051, "measurements": 24, )"
             R"("retries": 0, "result": "done", "future": {"kept": 1}})"
             "\n"
             R"({"time":"2026-12-09T02:30:11Z","station":"\u0421\u043a\u0432\u0430\u0436\u0438)"
             R"(\u043d\u0430 7","deviceType":84,"version":5,"line":25,"batteryVolts":5.3,)"
             R"("clockOffsetSeconds":3,"clockSet":false,"mode":"new","files":1,"bytes":5051,)"
             R"("measurements":24,"retries":0,"result":"done","other":"x"})"
             "\n");
    const CollectionLogRead read = ReadCollectionLog(folder);
    // A nested value is refused; a field the log does not know is passed over.
    EXPECT_EQ(read.skipped, 1u);
    ASSERT_EQ(read.records.size(), 1u);
    CollectionRecord expected = Sample();
    expected.directory = std::nullopt;
    expected.lineText = std::nullopt;  // a line of a log from before it was kept
    EXPECT_EQ(read.records[0], expected);
}

TEST_F(CollectionLogTest, NoLogIsNoRecordAndAFolderInTheWayIsAnError) {
    const CollectionLogRead none = ReadCollectionLog(folder);
    EXPECT_TRUE(none.records.empty());
    EXPECT_FALSE(none.error);

    fs::create_directories(folder / kCollectionLogName);
    const auto error = AppendCollectionRecord(folder, Sample());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Path(), folder / kCollectionLogName);
    EXPECT_NE(error->Text(Language::Russian).find("Не удалось записать"), std::string::npos);
    EXPECT_TRUE(ReadCollectionLog(folder).error);
}

TEST(CollectionLogTime, UtcTextsOutsideTheFormAreRefused) {
    const auto t = ParseUtcText("2024-02-29T23:59:59Z");
    ASSERT_TRUE(t);
    EXPECT_EQ(UtcText(*t), "2024-02-29T23:59:59Z");
    for (const char* bad :
         {"2023-02-29T00:00:00Z", "2026-12-09T24:00:00Z", "2026-12-09 02:30:11Z",
          "2026-12-09T02:30:11", "2026-12-09T02:30:11+03:00", "2026-1a-09T02:30:11Z", ""})
        EXPECT_FALSE(ParseUtcText(bad)) << bad;
}

}  // namespace
}  // namespace qm::test
