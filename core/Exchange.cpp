// The request/reply exchange: building plain requests, writing the packet buffer to the active
// link, and taking replies in from the HID reader and the serial port.
#include <algorithm>
#include <array>

#include "core/Controller.h"
#include "protocol/CommandCode.h"

namespace qm {

void Controller::SendCommand(std::uint8_t code, std::uint8_t status) {
    s_.CurrentCommand = code;
    s_.PacketBuffer[1] = 2;
    s_.PacketBuffer[2] = status;
    s_.PacketBuffer[3] = code;
    s_.SendCount = 4;
    SendPacket();
}

void Controller::SendPacket() {
    if (s_.SerialLinkActive) {
        if (!s_.serialPort) throw SerialFailed(SerialFailure::NotOpen);
        s_.serialPort->PurgeBuffers();
        // The purge drops what is left of an earlier reply: bytes of it gathered so far would
        // otherwise become the head of the next one, and no reply would complete again.
        s_.serialReply.Reset();
        const auto n = static_cast<std::size_t>(std::clamp(s_.SendCount, 0, int(kLargestPacket)));
        s_.serialPort->Write(std::span(s_.PacketBuffer.data(), n));
        return;
    }
    WriteHidReport();
}

void Controller::WriteHidReport() {
    // One whole output report; the bytes after the packet go out as the buffer holds them.
    if (!s_.LinkDevice) return;
    s_.HidOutputLength = static_cast<int>(s_.LinkDevice->OutputReportLength());
    const auto n =
        std::min<std::size_t>(static_cast<std::size_t>(s_.HidOutputLength), s_.PacketBuffer.size());
    if (n == 0) return;
    s_.PacketBuffer[0] = 0;
    s_.LinkDevice->WriteReport(std::span(s_.PacketBuffer.data(), n));
}

void Controller::SendModemRequest(std::uint8_t code, std::uint8_t dataByte, bool withData) {
    s_.CurrentCommand = code;
    s_.PacketBuffer[1] = withData ? 3 : 2;
    s_.PacketBuffer[2] = kModemRequestStatus;
    s_.PacketBuffer[3] = code;
    if (withData) s_.PacketBuffer[4] = dataByte;
    s_.SendCount = withData ? 5 : 4;
    WriteHidReport();
}

void Controller::HidCtlDeviceData(std::string_view productString,
                                  std::span<const std::uint8_t> data) {
    Run([&] {
        if (productString != kLoggerProductName) return;
        const std::size_t n = std::min(data.size(), s_.PacketBuffer.size() - 1);
        std::copy_n(data.begin(), n, s_.PacketBuffer.begin() + 1);
        s_.ReceivedCount = n;
        if (s_.TextMode) {
            HandleModemLine();
            return;
        }
        DispatchReply();
    });
}

void Controller::ComPort1RxChar(std::size_t bytesWaiting) {
    Run([&] {
        if (!s_.serialPort) return;
        std::array<std::uint8_t, SerialReplyAssembler::kMaxRead> rx;
        const std::size_t want = std::min(bytesWaiting, rx.size());
        const std::size_t got = s_.serialPort->Read(std::span(rx.data(), want));
        const auto result = s_.serialReply.Feed(s_.PacketBuffer, std::span(rx.data(), got));
        if (result == SerialReplyAssembler::Result::Complete) {
            s_.ReceivedCount = s_.serialReply.LastReplySize();
            DispatchReply();
        }
    });
}

}  // namespace qm
