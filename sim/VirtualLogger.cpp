#include "sim/VirtualLogger.h"

#include <algorithm>

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"

namespace qm::sim {

namespace {

constexpr std::size_t kWordsPerBlock = 30;  // 60 data bytes: a reply stays within 64 bytes
constexpr std::size_t kCalibrationEntries = 250;
constexpr std::size_t kRemarkLength = 20;

// A request bounded by its length byte (a HID report carries leftovers after the packet).
struct Request {
    std::span<const std::uint8_t> bytes;

    std::uint8_t Status() const { return At(2); }
    std::uint8_t Code() const { return At(3); }
    std::uint8_t At(std::size_t i) const { return i < bytes.size() ? bytes[i] : 0; }
    // The 16-bit word at `i`, low byte first.
    std::uint16_t WordLowFirst(std::size_t i) const {
        return static_cast<std::uint16_t>(At(i) | (At(i + 1) << 8));
    }
    // Characters from `from` up to a 0 byte or the end of the packet.
    std::string Name(std::size_t from) const {
        std::string name;
        for (std::size_t i = from; i < bytes.size() && bytes[i] != 0; ++i) {
            name += static_cast<char>(bytes[i]);
        }
        return name;
    }
};

Frame Reply(std::uint8_t status, std::span<const std::uint8_t> data = {}) {
    Frame frame{static_cast<std::uint8_t>(data.size() + 1), status};
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

// A name or line reply: the text and a 0 terminator.
Frame TextReply(std::uint8_t status, const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return Reply(status, data);
}

std::string RemarkBytes(const std::string& utf8) {
    std::string bytes = Utf8ToCp1251(utf8).substr(0, kRemarkLength);
    bytes.resize(kRemarkLength, ' ');
    return bytes;
}

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

struct VirtualLogger::Impl {
    LoggerConfig config;
    std::function<DateTime()> pcClock;
    LoggerStore store;

    bool poweredDown = false;
    std::int64_t clockOffsetMs = 0;
    bool clockValid = true;
    std::array<std::uint8_t, 13> schedule{};
    std::array<std::int16_t, kCalibrationEntries> calibration{};
    std::size_t calibrationNext = kWordsPerBlock;  // first entry index of the next 62 block
    std::string remark1, remark2;
    int batteryReads = 0;

    // Test measurement in progress.
    int testCount = 0;
    std::vector<std::uint16_t> readings;
    std::size_t readingsSent = 0;

    // Listing in progress.
    std::vector<std::string> listing;
    std::size_t listingNext = 0;

    // Open file: the next line to send, and the values of the measurement being sent.
    std::shared_ptr<const FileContent> file;
    std::size_t nextLine = 0;
    bool valuesActive = false;
    std::vector<StoredValue> values;
    std::size_t valuesSent = 0;

    std::vector<Frame> Handle(const Request& r);

    std::vector<std::uint8_t> ClockBytes() const;
    void SetClock(const Request& r, std::vector<Frame>& out);
    void TakeReadings();
    Frame ReadingsBlock();
    Frame CalibrationBlock(std::size_t first);
    Frame ListEntry();
    bool OpenFile(const std::string& path);
    Frame LineAt(std::size_t index);
    Frame NextLine();
    Frame ValuesBlock(bool first);
    Frame ResumeFile(const Request& r);
    Frame FindDay(int day);
};

std::vector<std::uint8_t> VirtualLogger::Impl::ClockBytes() const {
    const auto t = DateTime::FromMilliseconds(pcClock().Milliseconds() + clockOffsetMs).ToCivil();
    return {static_cast<std::uint8_t>(t.second), static_cast<std::uint8_t>(t.minute),
            static_cast<std::uint8_t>(t.hour),   static_cast<std::uint8_t>(t.day),
            static_cast<std::uint8_t>(t.month),  static_cast<std::uint8_t>(t.year - 2000)};
}

void VirtualLogger::Impl::SetClock(const Request& r, std::vector<Frame>& out) {
    const CivilDateTime c{2000 + r.At(9), r.At(8), r.At(7), r.At(6), r.At(5), r.At(4), 0};
    const auto target = DateTime::FromCivil(c);
    if (!target) {
        // A clock that cannot be: the logger keeps its own and says so.
        out.push_back(Reply(ReplyStatus::End));
        return;
    }
    // The PC's milliseconds are not sent; the logger starts the given second afresh.
    const std::int64_t now = pcClock().Milliseconds();
    clockOffsetMs = target->Milliseconds() - (now - now % DateTime::kMsPerSecond);
    clockValid = true;
    out.push_back(Reply(ReplyStatus::Complete));
}

// One reading per sensor, in steps of 0.0078 degrees: each sensor sits somewhere between 18 and
// 25 degrees and wanders a little from one measurement to the next; a few give no value.
void VirtualLogger::Impl::TakeReadings() {
    ++testCount;
    readings.clear();
    readingsSent = 0;
    for (int s = 0; s < config.sensors; ++s) {
        const std::uint64_t h = Mix((static_cast<std::uint64_t>(testCount) << 20) ^ s);
        if (s % 23 == 12 || h % 97 == 0) {
            readings.push_back(0x8000);
            continue;
        }
        const double celsius = 18.5 + (s * 37 % 60) / 10.0 + static_cast<double>(h % 61) / 100.0;
        readings.push_back(static_cast<std::uint16_t>(celsius / 0.0078));
    }
}

Frame VirtualLogger::Impl::ReadingsBlock() {
    const std::size_t count = std::min(kWordsPerBlock, readings.size() - readingsSent);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t w = readings[readingsSent + i];
        data.push_back(static_cast<std::uint8_t>(w >> 8));
        data.push_back(static_cast<std::uint8_t>(w & 0xFF));
    }
    readingsSent += count;
    return Reply(readingsSent < readings.size() ? ReplyStatus::Partial : ReplyStatus::Complete,
                 data);
}

Frame VirtualLogger::Impl::CalibrationBlock(std::size_t first) {
    std::vector<std::uint8_t> data;
    for (std::size_t i = first; i < std::min(first + kWordsPerBlock, kCalibrationEntries); ++i) {
        const auto w = static_cast<std::uint16_t>(calibration[i]);
        data.push_back(static_cast<std::uint8_t>(w & 0xFF));
        data.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return Reply(ReplyStatus::Complete, data);
}

Frame VirtualLogger::Impl::ListEntry() {
    if (listingNext >= listing.size()) {
        const std::uint8_t end[] = {0};
        return Reply(ReplyStatus::Complete, end);
    }
    return TextReply(ReplyStatus::Complete, listing[listingNext++]);
}

bool VirtualLogger::Impl::OpenFile(const std::string& path) {
    file.reset();
    nextLine = 0;
    valuesActive = false;
    const auto slash = path.find('\\');
    if (slash == std::string::npos) return false;
    file = store.Content(path.substr(0, slash), path.substr(slash + 1));
    return file != nullptr;
}

// A line of the open file: 249 when anything follows it, 248 for the last line.
Frame VirtualLogger::Impl::LineAt(std::size_t index) {
    if (!file || index >= file->lines.size()) {
        nextLine = file ? file->lines.size() : 0;
        return TextReply(ReplyStatus::End, "");
    }
    nextLine = index + 1;
    valuesActive = false;
    const bool more = index + 1 < file->lines.size();
    return TextReply(more ? ReplyStatus::Partial : ReplyStatus::Complete, file->lines[index]);
}

// The next text line; the values of a measurement that were not asked for are passed over.
Frame VirtualLogger::Impl::NextLine() {
    if (!file) return TextReply(ReplyStatus::End, "");
    return LineAt(file->ValueRunEnd(nextLine));
}

// The values that follow the current line, 30 words to a reply, low byte first: 249 while more
// of them remain, then 248 when lines follow or 250 when the file ends with them.
Frame VirtualLogger::Impl::ValuesBlock(bool first) {
    if (!file) return Reply(ReplyStatus::End);
    if (first || !valuesActive) {
        values = file->ValuesFrom(nextLine);
        valuesSent = 0;
        valuesActive = true;
    }
    const std::size_t count = std::min(kWordsPerBlock, values.size() - valuesSent);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t w = ValueToWord(values[valuesSent + i]);
        data.push_back(static_cast<std::uint8_t>(w & 0xFF));
        data.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    valuesSent += count;
    if (valuesSent < values.size()) return Reply(ReplyStatus::Partial, data);
    valuesActive = false;
    nextLine = file->ValueRunEnd(nextLine);
    return Reply(nextLine < file->lines.size() ? ReplyStatus::Complete : ReplyStatus::End, data);
}

// Reopens a file after the lines the program already holds, counted as the program counts the
// lines it writes: a text line is one; the values of a measurement are the lines they fill five
// to a line, and at least one (the program counts an empty value block as a line too). A count
// that ends inside a measurement's values resumes at the next text line.
Frame VirtualLogger::Impl::ResumeFile(const Request& r) {
    const std::size_t skip = r.WordLowFirst(4);
    if (!OpenFile(r.Name(6))) return TextReply(ReplyStatus::End, "");
    const auto& lines = file->lines;
    std::size_t counted = 0;
    std::size_t i = 0;
    while (i < lines.size() && counted < skip) {
        const bool header = IsHeaderLine(lines[i]);
        ++counted;
        ++i;
        if (header && i < lines.size()) {
            const std::size_t n = file->ValuesFrom(i).size();
            counted += n == 0 ? 1 : (n - 1) / 5 + 1;
            i = file->ValueRunEnd(i);
        }
    }
    return LineAt(i);
}

// The first header line of a day, searched from the top of the open file; 249 when found (its
// values follow), 250 when the day holds no measurement.
Frame VirtualLogger::Impl::FindDay(int day) {
    if (!file) return TextReply(ReplyStatus::End, "");
    for (std::size_t i = 0; i < file->lines.size(); ++i) {
        if (!file->valueLine[i] && HeaderDay(file->lines[i]) == day) {
            nextLine = i + 1;
            valuesActive = false;
            return TextReply(ReplyStatus::Partial, file->lines[i]);
        }
    }
    nextLine = file->lines.size();
    return TextReply(ReplyStatus::End, "");
}

std::vector<Frame> VirtualLogger::Impl::Handle(const Request& r) {
    std::vector<Frame> out;
    switch (r.Code()) {
        case CommandCode::Identify: {
            const std::uint8_t data[] = {config.deviceType, config.version};
            out.push_back(Reply(ReplyStatus::Complete, data));
            break;
        }
        case CommandCode::PowerDown:
            poweredDown = true;
            break;
        case CommandCode::LineValue: {
            std::vector<std::uint8_t> data;
            for (std::uint16_t w : config.lineWords) {
                if (data.size() + 2 > kWordsPerBlock * 2) break;
                data.push_back(static_cast<std::uint8_t>(w >> 8));
                data.push_back(static_cast<std::uint8_t>(w & 0xFF));
            }
            out.push_back(Reply(ReplyStatus::Complete, data));
            break;
        }
        case CommandCode::StartTest:
            TakeReadings();
            out.push_back(ReadingsBlock());
            break;
        case CommandCode::NextReadings:
            out.push_back(readingsSent < readings.size() ? ReadingsBlock()
                                                         : Reply(ReplyStatus::End));
            break;
        case CommandCode::ReadClock:
            out.push_back(
                Reply(clockValid ? ReplyStatus::Complete : ReplyStatus::Partial, ClockBytes()));
            break;
        case CommandCode::SetClock:
            SetClock(r, out);
            break;
        case CommandCode::ReadSchedule:
            out.push_back(Reply(ReplyStatus::Complete, schedule));
            break;
        case CommandCode::WriteSchedule:
            for (std::size_t i = 0; i < schedule.size(); ++i) schedule[i] = r.At(4 + i);
            out.push_back(Reply(ReplyStatus::Complete));
            break;
        case CommandCode::ReadBattery: {
            // The voltage sags by a tenth now and then and recovers, as a battery under load.
            static constexpr int kDrift[] = {0, 0, 0, -1, -1, 0, -1, 0};
            const int tenths =
                std::clamp(config.batteryTenths + kDrift[batteryReads++ % 8], 0, 255);
            const std::uint8_t data[] = {static_cast<std::uint8_t>(tenths)};
            out.push_back(Reply(ReplyStatus::Complete, data));
            break;
        }
        case CommandCode::ReadCalibration:
            calibrationNext = kWordsPerBlock;
            out.push_back(CalibrationBlock(0));
            break;
        case CommandCode::ReadCalibrationNext:
            // After the last block the table starts over.
            if (calibrationNext >= kCalibrationEntries) calibrationNext = 0;
            out.push_back(CalibrationBlock(calibrationNext));
            calibrationNext += kWordsPerBlock;
            break;
        case CommandCode::WriteCalibration:
            for (std::size_t i = 0; i < kWordsPerBlock; ++i) {
                calibration[i] = static_cast<std::int16_t>(r.WordLowFirst(4 + 2 * i));
            }
            break;
        case CommandCode::ListFirst: {
            const std::string name = r.Name(4);
            listing = name.empty() ? store.DirectoryNames() : store.FileNames(name);
            listingNext = 0;
            out.push_back(ListEntry());
            break;
        }
        case CommandCode::ListNext:
            out.push_back(ListEntry());
            break;
        case CommandCode::OpenFile:
            OpenFile(r.Name(4));
            out.push_back(LineAt(0));
            break;
        case CommandCode::NextLine:
            out.push_back(NextLine());
            break;
        case CommandCode::ResumeFile:
            out.push_back(ResumeFile(r));
            break;
        case CommandCode::FindDay:
            out.push_back(FindDay(r.At(4)));
            break;
        case CommandCode::FirstValues:
            out.push_back(ValuesBlock(true));
            break;
        case CommandCode::NextValues:
            out.push_back(ValuesBlock(false));
            break;
        case CommandCode::DeleteDirectory: {
            const bool removed = store.RemoveDirectory(r.Name(4));
            if (removed) {
                file.reset();
                listing.clear();
            }
            out.push_back(Reply(removed ? ReplyStatus::Complete : ReplyStatus::End));
            break;
        }
        case CommandCode::ReadRemarks: {
            std::vector<std::uint8_t> data(remark1.begin(), remark1.end());
            data.insert(data.end(), remark2.begin(), remark2.end());
            out.push_back(Reply(ReplyStatus::Complete, data));
            break;
        }
        case CommandCode::WriteRemarks:
            remark1.clear();
            remark2.clear();
            for (std::size_t i = 0; i < kRemarkLength; ++i) {
                remark1 += static_cast<char>(r.At(4 + i));
                remark2 += static_cast<char>(r.At(4 + kRemarkLength + i));
            }
            out.push_back(Reply(ReplyStatus::Complete));
            break;
        default:
            // Codes a logger does not know (the modem requests among them) get no answer.
            break;
    }
    return out;
}

VirtualLogger::VirtualLogger(LoggerConfig config, std::function<DateTime()> pcClock)
    : impl_(std::make_unique<Impl>()) {
    Impl& s = *impl_;
    s.config = std::move(config);
    s.pcClock = std::move(pcClock);
    s.clockOffsetMs = s.config.clockOffsetSeconds * DateTime::kMsPerSecond;
    s.clockValid = s.config.clockValid;
    s.remark1 = RemarkBytes(s.config.remark1);
    s.remark2 = RemarkBytes(s.config.remark2);
    // Small corrections for the sensors in use, none beyond them.
    for (int i = 0; i < std::min<int>(s.config.sensors, kCalibrationEntries); ++i) {
        s.calibration[i] = static_cast<std::int16_t>((i * 37) % 41 - 20);
    }
    // The next run: tomorrow 08:00 to a week later, every hour.
    const DateTime now = s.pcClock();
    const auto start = DateTime::FromMilliseconds(now.DatePart().Milliseconds() +
                                                  DateTime::kMsPerDay + 8 * DateTime::kMsPerHour)
                           .ToCivil();
    const auto stop = DateTime::FromMilliseconds(now.DatePart().Milliseconds() +
                                                 8 * DateTime::kMsPerDay + 8 * DateTime::kMsPerHour)
                          .ToCivil();
    s.schedule = {0,
                  8,
                  static_cast<std::uint8_t>(start.day),
                  static_cast<std::uint8_t>(start.month),
                  static_cast<std::uint8_t>(start.year - 2000),
                  0,
                  8,
                  static_cast<std::uint8_t>(stop.day),
                  static_cast<std::uint8_t>(stop.month),
                  static_cast<std::uint8_t>(stop.year - 2000),
                  0,
                  1,
                  0};
    if (s.config.demoData) FillDemoStore(s.store, s.config.demoShape, now);
}

VirtualLogger::~VirtualLogger() = default;

std::vector<Frame> VirtualLogger::Handle(std::span<const std::uint8_t> request) {
    if (request.size() < 4) return {};
    const std::size_t length = std::min<std::size_t>(request.size(), request[1] + 2u);
    if (length < 4) return {};
    return impl_->Handle(Request{request.first(length)});
}

const LoggerConfig& VirtualLogger::Config() const {
    return impl_->config;
}
LoggerStore& VirtualLogger::Store() {
    return impl_->store;
}
bool VirtualLogger::PoweredDown() const {
    return impl_->poweredDown;
}
DateTime VirtualLogger::LoggerTime() const {
    return DateTime::FromMilliseconds(impl_->pcClock().Milliseconds() + impl_->clockOffsetMs);
}
bool VirtualLogger::ClockValid() const {
    return impl_->clockValid;
}
void VirtualLogger::SetClockValid(bool valid) {
    impl_->clockValid = valid;
}
std::array<std::uint8_t, 13> VirtualLogger::Schedule() const {
    return impl_->schedule;
}
void VirtualLogger::SetSchedule(const std::array<std::uint8_t, 13>& schedule) {
    impl_->schedule = schedule;
}
const std::array<std::int16_t, 250>& VirtualLogger::CalibrationTable() const {
    return impl_->calibration;
}
void VirtualLogger::SetCalibrationEntry(int number, std::int16_t value) {
    if (number >= 1 && number <= static_cast<int>(kCalibrationEntries)) {
        impl_->calibration[number - 1] = value;
    }
}
std::string VirtualLogger::Remark(int line) const {
    return line == 1 ? impl_->remark1 : impl_->remark2;
}
std::uint8_t VirtualLogger::BatteryTenths() const {
    return impl_->config.batteryTenths;
}
int VirtualLogger::TestMeasurements() const {
    return impl_->testCount;
}

}  // namespace qm::sim
