// The reader of copied data files: any bytes, read under a monthly, a day or a foreign file name
// and once more as a day file beside it, must give a time series that holds together, and what it
// holds must read back the same when written as the copies write it; written again with one line
// damaged, it must lose only what was damaged, the line reported and the lines after it intact.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// `header` and `lines` as a file, with one damage chosen by `pick`: a field of a value line
// replaced by letters (in its place or wider or narrower), or a line of noise put after the
// header or between value lines. Read back, the measurement holds `values` but for what was
// damaged, and the damaged line alone is reported.
void CheckDamage(const std::string& header, const std::vector<std::string>& lines,
                 std::vector<std::int32_t> values, const std::uint8_t* pick) {
    std::string text = header + "\r\n";
    std::size_t damagedLine = 0;
    bool reported = true;
    if (pick[0] % 2 == 0) {
        const std::size_t k = pick[1] % lines.size();
        const std::size_t j = pick[2] % (lines[k].size() / 7);
        const std::size_t letters = 1 + pick[0] / 2 % 6;
        const std::size_t blanks = 1 + pick[0] / 12 % (7 - letters);
        std::string line = lines[k];
        line.replace(7 * j, 7, std::string(blanks, ' ') + std::string("ghijkl").substr(0, letters));
        for (std::size_t n = 0; n < lines.size(); ++n) text += (n == k ? line : lines[n]) + "\r\n";
        damagedLine = 2 + k;
        const std::size_t at = k * kValuesPerLine + j;
        // Unreadable at the end of the block, the field is no sensor; a line of that field alone
        // off the layout is no value line, a note after the values.
        if (at + 1 == values.size())
            values.pop_back();
        else
            values[at] = kMissingValue;
        reported = blanks + letters == 7 || lines[k].size() > 7;
    } else {
        const std::size_t q = pick[1] % lines.size();
        static constexpr const char* kNoise[] = {"", "~~", "#note", "x1 00", "abc 1.00 2.00"};
        for (std::size_t n = 0; n < lines.size(); ++n) {
            if (n == q) text += std::string(kNoise[pick[2] % std::size(kNoise)]) + "\r\n";
            text += lines[n] + "\r\n";
        }
        damagedLine = 2 + q;
    }
    DataSet back;
    ReadDataText(text, "x.dat", std::nullopt, back);
    Finish(back);
    if (back.measurements.size() != 1) Fail("damage: measurement lost");
    const auto w = back.ValuesOf(back.measurements[0]);
    if (!std::equal(values.begin(), values.end(), w.begin(), w.end()))
        Fail("damage: more lost than the damage");
    if (reported && (back.issues.size() != 1 || back.issues[0].line != damagedLine))
        Fail("damage: not reported with its line");
    if (!reported && !back.issues.empty()) Fail("damage: a note reported");
}

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
        if (!v.empty() && c.year >= 1000 && c.year <= 9999 && size >= 4)
            CheckDamage(std::string(header), ValueLines({v.begin(), v.end()}), {v.begin(), v.end()},
                        data + size - 3);
    }
    return 0;
}
