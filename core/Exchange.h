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
#include "ui/model/Timer.h"

namespace qm {

// The one path requests go out and replies come in, and the active link that carries them: the
// logger's HID device (or its USB modem) or the serial port the operator opened. Requests and
// replies share one packet buffer, as the logger's protocol has it.
class Exchange {
public:
    // Sets CurrentCommand and SendCount and writes the request to the active link. A request
    // that is answered becomes the outstanding one and arms the reply watchdog.
    void Send(const Request& request);
    // The same without the watchdog, for a request something else repeats already (the radio
    // modem's once-a-second identification).
    void SendUnwatched(const Request& request);
    // A request of the USB modem adapter itself: always the HID device, whatever link is active.
    void SendToAdapter(const Request& request);

    // Whether the logger answers a request of this code at all (power-down and the calibration
    // write go unanswered).
    static bool Answered(std::uint8_t code);
    // A reply to the outstanding request has come: nothing is awaited any more.
    void ReplyArrived();
    // The watchdog fired: the outstanding request is given up.
    void ForgetRequest();
    // The reply watchdog: armed by every answered request, stopped by its reply.
    void SetWatchdog(Timer* timer) { watchdog_ = timer; }
    // Long enough for the slowest link (the radio modem), short enough that a dead link is
    // noticed within seconds.
    static constexpr int kReplyTimeoutMs = 2000;
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
    // A reply is awaited: only then is a received reply dispatched, so noise or a stale reply
    // left in the port is never taken for an answer.
    bool Outstanding = false;
    // The last request sent, for the watchdog to repeat or read back.
    Request LastRequest;
    // Replies missed in a row.
    int MissedReplies = 0;
    int SendCount = 0;
    int HidOutputLength = 0;
    std::size_t ReceivedCount = 0;     // bytes of the current reply at indices 1..
    SerialReplyAssembler serialReply;  // RxCount lives here
    qm::PacketBuffer PacketBuffer{};

private:
    void Place(const Request& request);
    void Await(bool watched);
    template <typename F>
    void WriteAwaited(F&& write);
    Timer* watchdog_ = nullptr;
    void WritePacket();
    void WriteHidReport();
};

}  // namespace qm
