#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/Links.h"
#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"
#include "protocol/Requests.h"
#include "protocol/SerialFraming.h"

namespace qm {

// The one path requests go out and replies come in, and the active link that carries them: the
// logger's HID device (or its USB modem) or the serial port the operator opened. Requests and
// replies share one packet buffer, as the logger's protocol has it.
class Exchange {
public:
    // Sets CurrentCommand and SendCount and writes the request to the active link.
    void Send(const Request& request);
    // A request of the USB modem adapter itself: always the HID device, whatever link is active.
    void SendToAdapter(const Request& request);
    // A text line for the modem in command mode (HID only); false, and nothing written, when the
    // line cannot fit one output report.
    bool SendText(std::string_view text);

    // Takes one input report in; false when it is not the logger's (another product string).
    bool TakeHidReport(std::string_view productString, std::span<const std::uint8_t> data);
    // Reads what the serial port holds; true when a whole reply has arrived.
    bool TakeSerialBytes(std::size_t bytesWaiting);
    Reply CurrentReply() const { return Reply(PacketBuffer, ReceivedCount); }

    // The active link.
    void UseUsb(HidDeviceLink* device) { LinkDevice = device; }
    void UseSerial(SerialLink* port, const std::string& portName);
    // Closes the serial port if it is open.
    void ClosePort();
    // The HID device's output report length, 0 without one.
    std::size_t OutputReportLength() const;
    void ResetSerialReply() { serialReply.Reset(); }

    // Every report is a modem text line while set, and goes to the modem dialogue.
    bool TextMode = false;
    bool UsbStarted = false;
    bool SerialLinkActive = false;
    bool PortOpen = false;
    std::uint8_t PortNumber = 0;
    std::string PortName;  // the port as the operator chose it, for messages
    HidDeviceLink* LinkDevice = nullptr;
    SerialLink* serialPort = nullptr;  // ComPort1 once opened

    std::uint8_t CurrentCommand = 0;
    int SendCount = 0;
    int HidOutputLength = 0;
    std::size_t ReceivedCount = 0;     // bytes of the current reply at indices 1..
    SerialReplyAssembler serialReply;  // RxCount lives here
    qm::PacketBuffer PacketBuffer{};

private:
    void Place(const Request& request);
    void WritePacket();
    void WriteHidReport();
};

}  // namespace qm
