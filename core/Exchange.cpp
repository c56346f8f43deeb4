// The request/reply exchange: writing requests to the active link, and taking replies in from
// the HID reader and the serial port.
#include "core/Exchange.h"

#include <algorithm>
#include <array>

#include "link/ModemText.h"
#include "link/SerialPortOpener.h"
#include "protocol/CommandCode.h"

namespace qm {

void Exchange::Place(const Request& r) {
    CurrentCommand = r.code;
    LastRequest = r;
    std::copy(r.bytes.begin(), r.bytes.end(), PacketBuffer.begin() + packet::kLength);
    SendCount = r.sendCount;
}

bool Exchange::Answered(std::uint8_t code) {
    return code != CommandCode::PowerDown && code != CommandCode::WriteCalibration;
}

void Exchange::Await(bool watched) {
    Outstanding = Answered(CurrentCommand);
    if (!watchdog_) return;
    if (Outstanding && watched) {
        watchdog_->SetInterval(kReplyTimeoutMs);
        watchdog_->Start();
    } else {
        watchdog_->Stop();
    }
}

void Exchange::ReplyArrived() {
    Outstanding = false;
    MissedReplies = 0;
    if (watchdog_) watchdog_->Stop();
}

void Exchange::ForgetRequest() {
    Outstanding = false;
    if (watchdog_) watchdog_->Stop();
}

void Exchange::Send(const Request& r) {
    Place(r);
    // Armed before the write: a reply can come in before the write returns.
    Await(true);
    WriteAwaited([this] { WritePacket(); });
}

void Exchange::SendUnwatched(const Request& r) {
    Place(r);
    Await(false);
    WriteAwaited([this] { WritePacket(); });
}

void Exchange::SendToAdapter(const Request& r) {
    Place(r);
    Await(true);
    WriteAwaited([this] { WriteHidReport(); });
}

template <typename F>
void Exchange::WriteAwaited(F&& write) {
    // A request that never went out is not awaited: its failure is reported once, as it is.
    try {
        write();
    } catch (...) {
        ForgetRequest();
        throw;
    }
}

bool Exchange::SendText(std::string_view text) {
    if (!LinkDevice) return false;
    if (!modem::TextFitsReport(text.size(), LinkDevice->OutputReportLength())) return false;
    const std::vector<std::uint8_t> b = requests::ModemText(text);
    std::copy(b.begin(), b.end(), PacketBuffer.begin() + packet::kLength);
    WriteHidReport();
    return true;
}

void Exchange::WritePacket() {
    if (SerialLinkActive) {
        if (!serialPort) throw SerialFailed(SerialFailure::NotOpen);
        serialPort->PurgeBuffers();
        // The purge drops what is left of an earlier reply: bytes of it gathered so far would
        // otherwise become the head of the next one, and no reply would complete again.
        serialReply.Reset();
        const auto n = static_cast<std::size_t>(std::clamp(SendCount, 0, int(kLargestPacket)));
        serialPort->Write(std::span(PacketBuffer.data(), n));
        return;
    }
    WriteHidReport();
}

void Exchange::WriteHidReport() {
    // One whole output report; the bytes after the packet go out as the buffer holds them.
    if (!LinkDevice) return;
    HidOutputLength = static_cast<int>(LinkDevice->OutputReportLength());
    const auto n =
        std::min<std::size_t>(static_cast<std::size_t>(HidOutputLength), PacketBuffer.size());
    if (n == 0) return;
    PacketBuffer[packet::kLead] = 0;
    LinkDevice->WriteReport(std::span(PacketBuffer.data(), n));
}

bool Exchange::TakeHidReport(std::string_view productString, std::span<const std::uint8_t> data) {
    if (productString != kLoggerProductName) return false;
    const std::size_t n = std::min(data.size(), PacketBuffer.size() - 1);
    std::copy_n(data.begin(), n, PacketBuffer.begin() + 1);
    ReceivedCount = n;
    return true;
}

bool Exchange::TakeSerialBytes(std::size_t bytesWaiting) {
    if (!serialPort) return false;
    std::array<std::uint8_t, SerialReplyAssembler::kMaxRead> rx;
    const std::size_t want = std::min(bytesWaiting, rx.size());
    const std::size_t got = serialPort->Read(std::span(rx.data(), want));
    if (!Outstanding) {
        // Nothing is awaited: what came is noise or a reply given up on, and must not become the
        // head of the next reply either.
        serialReply.Reset();
        return false;
    }
    if (serialReply.Feed(PacketBuffer, std::span(rx.data(), got)) !=
        SerialReplyAssembler::Result::Complete)
        return false;
    ReceivedCount = serialReply.LastReplySize();
    return true;
}

void Exchange::UseSerial(SerialLink* port, const std::string& portName) {
    serialPort = port;
    PortName = portName;
    // A reply left in the port by an earlier run is no answer to anything of this one.
    if (port) port->PurgeBuffers();
    serialReply.Reset();
    PortOpen = true;
    SerialLinkActive = true;
}

void Exchange::ClosePort() {
    if (!PortOpen) return;
    if (serialPort) serialPort->Close();
    PortOpen = false;
}

std::size_t Exchange::OutputReportLength() const {
    return LinkDevice ? LinkDevice->OutputReportLength() : 0;
}

}  // namespace qm
