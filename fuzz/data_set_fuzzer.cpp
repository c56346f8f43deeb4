// The reader of copied data files: any bytes, read under a monthly, a day or a foreign file name
// and once more as a day file beside it, must give a time series that holds together, and what it
// holds must read back the same when written as the copies write it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/DataSet.h"
#include "store/Export.h"
#include "store/ValueLines.h"

using namespace qm;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

constexpr const char* kNames[] = {"2024_3.dat", "2024_3_5.dat", "notes.dat", "2009_12.DAT"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char* name = kNames[data[0] % std::size(kNames)];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    DataSet set;
    ReadDataText(text, name, FileDateOf(name), set);
    ReadDataText(text, "2024_3_1.dat", FileDateOf("2024_3_1.dat"), set);
    Finish(set);

    if (set.issues.size() > kIssueLimit || set.issues.size() > set.issueCount) Fail("issues");
    std::size_t widest = 0, values = 0;
    for (std::size_t i = 0; i < set.measurements.size(); ++i) {
        const Measurement& m = set.measurements[i];
        if (i > 0 && m.time < set.measurements[i - 1].time) Fail("time order");
        if (m.count > kMaxSensors) Fail("too many values");
        if (m.first != values) Fail("values not packed in time order");
        if (m.file >= set.files.size()) Fail("file index");
        values += m.count;
        widest = std::max<std::size_t>(widest, m.count);
        const CivilDateTime c = m.time.ToCivil();
        if (c.second != 0 || c.millisecond != 0) Fail("time not on a minute");
    }
    if (values != set.values.size()) Fail("value pool size");
    if (widest != set.sensorCount) Fail("sensor count");

    // Written back as a header and value lines, the first measurement reads the same.
    if (!set.measurements.empty()) {
        const Measurement& m = set.measurements.front();
        const auto v = set.ValuesOf(m);
        const CivilDateTime c = m.time.ToCivil();
        char header[40];
        std::snprintf(header, sizeof header, "%02d:%02d %02d.%02d.%04d", c.hour, c.minute, c.day,
                      c.month, c.year);
        std::string again = std::string(header) + "\r\n";
        for (const std::string& line : ValueLines({v.begin(), v.end()})) again += line + "\r\n";
        DataSet back;
        ReadDataText(again, "x.dat", std::nullopt, back);
        Finish(back);
        if (c.year >= 1000 && c.year <= 9999) {
            if (back.measurements.size() != 1 || back.measurements[0].time != m.time)
                Fail("header round trip");
            const auto w = back.ValuesOf(back.measurements[0]);
            if (!std::equal(v.begin(), v.end(), w.begin(), w.end())) Fail("value round trip");
        }
        for (std::int32_t x : v) (void)TableValue(x);
    }
    return 0;
}
