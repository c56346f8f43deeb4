#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qm {

// The product string the logger and its USB modems enumerate with.
inline constexpr std::string_view kLoggerProductName = "QM Controller";

// The HID device that carries packets (the logger or its USB modem). A request is written as one
// output report of the device's output report length, starting at the report ID byte.
class HidDeviceLink {
public:
    virtual ~HidDeviceLink() = default;
    virtual std::size_t OutputReportLength() = 0;
    // Writes one whole output report; the result is advisory (a lost write shows as no reply).
    virtual bool WriteReport(std::span<const std::uint8_t> report) = 0;
};

// What a serial port operation that failed was doing.
enum class SerialFailure {
    Open,
    Write,
    Read,
    Purge,
    SetState,
    SetTimeouts,
    SetupQueues,
    CountBytes,
    NotOpen
};

// Raised by a serial port operation that failed: what failed and the system's error number
// (0 when it gave none). what() is the English text.
class SerialPortError : public std::runtime_error {
public:
    SerialPortError(SerialFailure failure, int systemError, const std::string& englishText)
        : std::runtime_error(englishText), failure_(failure), systemError_(systemError) {}
    SerialFailure Failure() const { return failure_; }
    int SystemError() const { return systemError_; }

private:
    SerialFailure failure_;
    int systemError_;
};

// An open serial port.
class SerialLink {
public:
    virtual ~SerialLink() = default;
    // Discards what is pending in both driver queues. Throws SerialPortError.
    virtual void PurgeBuffers() = 0;
    // Writes the bytes, blocking for at most 1000 + 100 * n ms. Throws SerialPortError.
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    // Reads at most bytes.size() bytes of what has arrived; never blocks. Throws SerialPortError.
    virtual std::size_t Read(std::span<std::uint8_t> bytes) = 0;
    virtual void Close() = 0;
};

}  // namespace qm
