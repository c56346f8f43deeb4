#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qm::sim {

// What a device sends back for one request: the bytes of a reply from its length byte on
// (length, status, data...). On USB a frame travels as one input report; on a serial line as
// exactly these bytes.
using Frame = std::vector<std::uint8_t>;

// The command code of a request as the program wrote it (lead byte, length, address, code...);
// 0 for a request too short to carry one.
inline std::uint8_t RequestCode(std::span<const std::uint8_t> request) {
    return request.size() > 3 ? request[3] : 0;
}

// A device at the far end of a link: the virtual logger, or a modem in front of one.
class Device {
public:
    virtual ~Device() = default;
    // Handles one request as the program wrote it, from the lead byte (index 0) on: a whole
    // output report on USB, SendCount bytes on a serial line. Returns the replies to send, in
    // order; none for requests the device does not answer.
    virtual std::vector<Frame> Handle(std::span<const std::uint8_t> request) = 0;
};

}  // namespace qm::sim
