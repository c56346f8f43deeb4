#pragma once

#include <cstdint>

namespace qm {

// One byte naming a request. Replies carry no code: they are read under the code last sent.
namespace CommandCode {
inline constexpr std::uint8_t Identify = 0;
inline constexpr std::uint8_t LinkKindQuery = 1;
inline constexpr std::uint8_t PowerDown = 8;
inline constexpr std::uint8_t LineValue = 16;
inline constexpr std::uint8_t StartTest = 32;
inline constexpr std::uint8_t ReadClock = 48;
inline constexpr std::uint8_t SetClock = 49;
inline constexpr std::uint8_t ReadSchedule = 50;
inline constexpr std::uint8_t WriteSchedule = 51;
inline constexpr std::uint8_t ReadBattery = 52;
inline constexpr std::uint8_t ReadCalibration = 60;
inline constexpr std::uint8_t WriteCalibration = 61;
inline constexpr std::uint8_t ReadCalibrationNext = 62;
inline constexpr std::uint8_t ListFirst = 64;
inline constexpr std::uint8_t ListNext = 65;
inline constexpr std::uint8_t OpenFile = 66;
inline constexpr std::uint8_t NextLine = 67;
inline constexpr std::uint8_t NextReadings = 68;
inline constexpr std::uint8_t ResumeFile = 69;
inline constexpr std::uint8_t FindDay = 70;
inline constexpr std::uint8_t FirstValues = 71;
inline constexpr std::uint8_t NextValues = 72;
inline constexpr std::uint8_t DeleteDirectory = 76;
inline constexpr std::uint8_t ModemMode = 130;
inline constexpr std::uint8_t RadioAddress = 131;
inline constexpr std::uint8_t ReadRemarks = 144;
inline constexpr std::uint8_t WriteRemarks = 145;
}  // namespace CommandCode

}  // namespace qm
