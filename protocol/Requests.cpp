#include "protocol/Requests.h"

#include "protocol/CommandCode.h"

#include <algorithm>

namespace qm {

int PlaceRequest(const Request& r, PacketBuffer& b) {
    std::copy(r.bytes.begin(), r.bytes.end(), b.begin() + packet::kLength);
    return r.sendCount;
}

namespace requests {

namespace {

// Length, status and code; the data follows.
Request Head(std::uint8_t code, std::uint8_t status, std::size_t dataBytes) {
    Request r;
    r.code = code;
    r.bytes.reserve(3 + dataBytes);
    r.bytes.push_back(static_cast<std::uint8_t>(dataBytes + 2));
    r.bytes.push_back(status);
    r.bytes.push_back(code);
    r.sendCount = static_cast<int>(dataBytes + 4);
    return r;
}

void AppendName(Request& r, std::string_view name) {
    for (char c : name) r.bytes.push_back(static_cast<std::uint8_t>(c));
    r.bytes.push_back(0);
}

}  // namespace

bool NameFits(std::string_view name, std::size_t extra) {
    return name.size() + 3 + extra <= 255;
}

Request Plain(std::uint8_t code, std::uint8_t status) {
    return Head(code, status, 0);
}

Request Adapter(std::uint8_t code) {
    return Head(code, kModemRequestStatus, 0);
}

Request Adapter(std::uint8_t code, std::uint8_t dataByte) {
    Request r = Head(code, kModemRequestStatus, 1);
    r.bytes.push_back(dataByte);
    return r;
}

Request SetClock(const ClockFields& c) {
    Request r = Head(CommandCode::SetClock, 0, 6);
    r.bytes.insert(r.bytes.end(), {c.second, c.minute, c.hour, c.day, c.month, c.year});
    return r;
}

Request WriteSchedule(const ScheduleFields& f) {
    Request r = Head(CommandCode::WriteSchedule, 0, 13);
    r.bytes.insert(r.bytes.end(), {f.startMinute, f.startHour, f.startDay, f.startMonth,
                                   f.startYear, f.stopMinute, f.stopHour, f.stopDay, f.stopMonth,
                                   f.stopYear, f.intervalMinutes, f.intervalHours, f.intervalDays});
    return r;
}

Request WriteCalibration(std::span<const std::int32_t> entries) {
    Request r = Head(CommandCode::WriteCalibration, 0, 2 * entries.size());
    for (std::int32_t e : entries) {
        const auto w = static_cast<std::uint16_t>(e & 0xFFFF);
        r.bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        r.bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return r;
}

Request WriteRemarks(std::string_view first, std::string_view second, std::size_t width) {
    Request r = Head(CommandCode::WriteRemarks, 0, 2 * width);
    for (std::string_view line : {first, second})
        for (std::size_t k = 0; k < width; ++k)
            r.bytes.push_back(static_cast<std::uint8_t>(k < line.size() ? line[k] : ' '));
    return r;
}

std::optional<Request> WithName(std::uint8_t code, std::string_view name) {
    if (!NameFits(name)) return std::nullopt;
    Request r = Head(code, 0, name.size() + 1);
    AppendName(r, name);
    return r;
}

Request ResumeFile(std::string_view path, std::uint32_t lines) {
    // The length byte wraps for paths too long to resume; callers check NameFits(path, 2).
    Request r = Head(CommandCode::ResumeFile, 0, path.size() + 3);
    r.bytes.push_back(static_cast<std::uint8_t>(lines & 0xFF));
    r.bytes.push_back(static_cast<std::uint8_t>((lines >> 8) & 0xFF));
    AppendName(r, path);
    return r;
}

Request FindDay(std::uint8_t day) {
    Request r = Head(CommandCode::FindDay, 0, 1);
    r.bytes.push_back(day);
    return r;
}

std::vector<std::uint8_t> ModemText(std::string_view text) {
    std::vector<std::uint8_t> b;
    b.reserve(text.size() + 3);
    b.push_back(static_cast<std::uint8_t>(text.size() + 2));
    b.push_back(0);
    for (char c : text) b.push_back(static_cast<std::uint8_t>(c));
    b.push_back('\n');
    return b;
}

}  // namespace requests
}  // namespace qm
