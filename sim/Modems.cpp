#include "sim/Modems.h"

#include <algorithm>

#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm::sim {

namespace {

// Device type bytes the modems give in their identification reply; the version 0 marks a modem.
constexpr std::uint8_t kRadioModemType = 82;
constexpr std::uint8_t kBtModemType = 66;
constexpr std::uint8_t kRadioKind = 1;
constexpr std::uint8_t kBluetoothKind = 2;
constexpr std::size_t kMaxTextReply = 63;

std::size_t PacketLength(std::span<const std::uint8_t> r) {
    return r.size() < 2 ? r.size() : std::min<std::size_t>(r.size(), r[1] + 2u);
}

// The answers to the requests every USB modem knows; nothing for the others.
std::vector<Frame> ModemRequest(std::span<const std::uint8_t> r, std::uint8_t type,
                                std::uint8_t kind) {
    switch (r[3]) {
        case CommandCode::Identify:
            return {Frame{3, ReplyStatus::Complete, type, 0}};
        case CommandCode::LinkKindQuery:
            return {Frame{2, ReplyStatus::Complete, kind}};
        default:
            return {};
    }
}

}  // namespace

Frame TextLineFrame(const std::string& text) {
    const std::string cut = text.substr(0, kMaxTextReply);
    Frame frame{static_cast<std::uint8_t>(cut.size())};
    frame.insert(frame.end(), cut.begin(), cut.end());
    return frame;
}

RadioModem::RadioModem(Device& logger, RadioModemConfig config)
    : logger_(logger), config_(config) {}

std::vector<Frame> RadioModem::Handle(std::span<const std::uint8_t> request) {
    const std::size_t length = PacketLength(request);
    if (length < 4) return {};
    if (request[2] == kModemRequestStatus) {
        const std::uint8_t arg = length > 4 ? request[4] : 0;
        switch (request[3]) {
            case CommandCode::ModemMode:
                mode_ = arg;
                return {Frame{1, ReplyStatus::Complete}};
            case CommandCode::RadioAddress:
                address_ = arg;
                return {Frame{1, ReplyStatus::Complete}};
            default:
                return ModemRequest(request, kRadioModemType, kRadioKind);
        }
    }
    const bool selected = address_ == 255 || address_ == config_.loggerAddress;
    if (!config_.loggerInRange || !selected) return {};
    return logger_.Handle(request);
}

BtModem::BtModem(Device& logger, BtModemConfig config)
    : logger_(logger), config_(std::move(config)) {}

std::vector<Frame> BtModem::Handle(std::span<const std::uint8_t> request) {
    const std::size_t length = PacketLength(request);
    if (length < 4) return {};
    if (request[2] == kModemRequestStatus) {
        if (request[3] != CommandCode::ModemMode) {
            return ModemRequest(request, kBtModemType, kBluetoothKind);
        }
        mode_ = length > 4 ? request[4] : 0;
        std::vector<Frame> out{Frame{1, ReplyStatus::Complete}};
        if (mode_ == 1) out.push_back(TextLineFrame("READY."));
        return out;
    }
    if (mode_ == 1) {
        // A text request: the characters from byte 3 on, ended by a line feed.
        std::string line(request.begin() + 3, request.begin() + length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        lines_.push_back(line);
        std::vector<Frame> out;
        AnswerLine(line, out);
        return out;
    }
    if (mode_ == 2 && connected_) return logger_.Handle(request);
    return {};
}

void BtModem::AnswerLine(const std::string& line, std::vector<Frame>& out) {
    if (config_.echo) out.push_back(TextLineFrame(line));
    if (line == "AT") {
        out.push_back(TextLineFrame("OK"));
        return;
    }
    static const std::string kCall = "CALL ";
    static const std::string kService = " 1101 RFCOMM";
    if (line.rfind(kCall, 0) == 0 && line.size() > kCall.size() + kService.size() &&
        line.compare(line.size() - kService.size(), kService.size(), kService) == 0) {
        const std::string address =
            line.substr(kCall.size(), line.size() - kCall.size() - kService.size());
        ++calls_;
        const auto& reachable = config_.reachableAddresses;
        const bool known = reachable.empty() || std::find(reachable.begin(), reachable.end(),
                                                          address) != reachable.end();
        if (!known || calls_ <= config_.noCarrierBeforeConnect) {
            out.push_back(TextLineFrame("NO CARRIER"));
            return;
        }
        connected_ = true;
        out.push_back(TextLineFrame("CONNECT " + address));
        return;
    }
    out.push_back(TextLineFrame("ERROR"));
}

}  // namespace qm::sim
