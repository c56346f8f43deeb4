#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/PacketBuffer.h"

namespace qm {

// One request as it goes into the packet buffer: the bytes from the length byte on (index 1..)
// and the code its reply is read under. The lead byte is left to the link, and bytes of the
// buffer after the packet are left as they are, since a HID output report carries them too.
struct Request {
    std::uint8_t code = 0;            // CurrentCommand while its reply is awaited
    int sendCount = 0;                // SendCount: bytes of the packet from index 0
    std::vector<std::uint8_t> bytes;  // packet indices 1..bytes.size()
};

// Puts the request's packet into the buffer from index 1 on; returns its SendCount.
int PlaceRequest(const Request& request, PacketBuffer& buffer);

// The schedule fields of request 51, in the order they travel.
struct ScheduleFields {
    std::uint8_t startMinute = 0, startHour = 0, startDay = 0, startMonth = 0, startYear = 0;
    std::uint8_t stopMinute = 0, stopHour = 0, stopDay = 0, stopMonth = 0, stopYear = 0;
    std::uint8_t intervalMinutes = 0, intervalHours = 0, intervalDays = 0;
};

// The device clock of request 49; the year is counted from 2000.
struct ClockFields {
    std::uint8_t second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
};

// Every request the program sends is built here.
namespace requests {

// The length byte counts the status, the code, `extra` further bytes, the name and its 0 byte.
bool NameFits(std::string_view name, std::size_t extra = 0);

// A request of its code alone; the status kModemRequestStatus addresses the USB adapter.
Request Plain(std::uint8_t code, std::uint8_t status = 0);
// Requests of the USB modem adapters (1, 130, 131): adapter status, an optional data byte.
Request Adapter(std::uint8_t code);
Request Adapter(std::uint8_t code, std::uint8_t dataByte);

Request SetClock(const ClockFields& clock);           // 49
Request WriteSchedule(const ScheduleFields& fields);  // 51
// 61: each entry as its low 16 bits, low byte first.
Request WriteCalibration(std::span<const std::int32_t> entries);
// 145: both lines padded with spaces to `width` bytes.
Request WriteRemarks(std::string_view first, std::string_view second, std::size_t width);
// 64 list, 66 open, 76 delete: the name and a 0 byte; nothing when it does not fit.
std::optional<Request> WithName(std::uint8_t code, std::string_view name);
// 69: reopen a file after `lines` lines (16 bits travel), then the path and a 0 byte.
Request ResumeFile(std::string_view path, std::uint32_t lines);
Request FindDay(std::uint8_t day);  // 70

// A text line for the Bluetooth modem in command mode: length, a 0 byte, the text and '\n'.
// It carries no code; its answer comes back as text.
std::vector<std::uint8_t> ModemText(std::string_view text);

}  // namespace requests

}  // namespace qm
