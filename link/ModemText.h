#pragma once

// The pure text side of the two USB modems: the Bluetooth modem's AT-style lines and the radio
// modem's address field. No I/O here; the controller sends and receives.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::modem {

// The Bluetooth modem's answer once it is in command mode. Compared byte for byte: a trailing
// blank or lower case is some other line.
inline constexpr std::string_view kReadyLine = "READY.";

enum class DialAnswer { NoCarrier, Connect, Other };

// What a line received while dialling says. The words may stand anywhere in the line (the modem
// may put a prefix or a carriage return around them); a line that holds both counts as a failed
// call, so a garbled answer never switches the modem into transparent mode.
inline DialAnswer ClassifyDialLine(std::string_view line) {
    if (line.find("NO CARRIER") != std::string_view::npos) return DialAnswer::NoCarrier;
    if (line.find("CONNECT") != std::string_view::npos) return DialAnswer::Connect;
    return DialAnswer::Other;
}

// The call command for one address line of the device list (serial port profile).
inline std::string CallText(std::string_view address) {
    std::string text = "CALL ";
    text += address;
    text += " 1101 RFCOMM";
    return text;
}

// A text line goes out as one output report: report ID, length, status 0, the characters and a
// line feed. It fits when all of that lies inside the report and its length byte (text + 2)
// fits in one byte; a longer line would be cut by the write and reach the modem garbled.
inline bool TextFitsReport(std::size_t textLength, std::size_t outputReportLength) {
    return textLength + 2 <= 255 && 3 + textLength + 1 <= outputReportLength;
}

// The radio address typed by the operator: the whole text must be a decimal integer (an
// optional sign, then digits, nothing else; empty is not a number) within 32 bits.
inline std::optional<std::int32_t> ParseRadioAddress(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    }
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// The address byte the modem is asked for, and the one compared with the address in force: the
// low byte of the number (so 511 and -1 both mean 255).
inline std::uint8_t RadioAddressByte(std::int32_t number) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(number) & 0xFF);
}

}  // namespace qm::modem
