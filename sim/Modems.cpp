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

RadioModem::RadioModem(Device& logger, RadioModemConfig config) {
    AddLogger(config.loggerAddress, logger, config.loggerInRange);
}

void RadioModem::AddLogger(std::uint8_t address, Device& logger, bool inRange) {
    stations_.push_back({address, &logger, inRange});
}

void RadioModem::SetLoggerInRange(bool inRange) {
    for (Station& station : stations_) station.inRange = inRange;
}

void RadioModem::SetInRange(std::uint8_t address, bool inRange) {
    for (Station& station : stations_) {
        if (station.address == address) station.inRange = inRange;
    }
}

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
    // Every logger that hears the request acts on it, whether or not its reply gets through.
    std::vector<Frame> reply;
    int answering = 0;
    for (Station& station : stations_) {
        if (!station.inRange || (address_ != 255 && address_ != station.address)) continue;
        std::vector<Frame> frames = station.logger->Handle(request);
        if (frames.empty()) continue;
        ++answering;
        reply = std::move(frames);
    }
    if (answering > 1) {
        ++collisions_;
        return {};
    }
    return reply;
}

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

BtModem::BtModem(Device& logger, BtModemConfig config) : config_(std::move(config)) {
    stations_.push_back({"", &logger, config_.noCarrierBeforeConnect, true});
}

void BtModem::AddLogger(const std::string& address, Device& logger, int noCarrierBeforeConnect,
                        bool reachable) {
    stations_.push_back({UpperCase(address), &logger, noCarrierBeforeConnect, reachable});
}

void BtModem::SetReachable(const std::string& address, bool reachable) {
    const std::string wanted = UpperCase(address);
    for (Station& station : stations_) {
        if (station.address == wanted) station.reachable = reachable;
    }
}

int BtModem::CallsTo(const std::string& address) const {
    const std::string wanted = UpperCase(address);
    for (const Station& station : stations_) {
        if (station.address == wanted) return station.calls;
    }
    return 0;
}

std::vector<Frame> BtModem::Handle(std::span<const std::uint8_t> request) {
    const std::size_t length = PacketLength(request);
    if (length < 4) return {};
    if (request[2] == kModemRequestStatus) {
        if (request[3] != CommandCode::ModemMode) {
            return ModemRequest(request, kBtModemType, kBluetoothKind);
        }
        mode_ = length > 4 ? request[4] : 0;
        std::vector<Frame> out{Frame{1, ReplyStatus::Complete}};
        if (mode_ == 1) {
            if (connected_) ++hangUps_;
            connected_ = nullptr;
            out.push_back(TextLineFrame("READY."));
        }
        return out;
    }
    if (mode_ == 1) {
        // A text request: the characters from byte 3 on, ended by a line feed.
        std::string line(request.begin() + 3, request.begin() + length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (lines_.size() == 2 * kKeptLines)
            lines_.erase(lines_.begin(), lines_.begin() + kKeptLines);
        lines_.push_back(line);
        std::vector<Frame> out;
        AnswerLine(line, out);
        return out;
    }
    if (mode_ == 2 && connected_) return connected_->Handle(request);
    return {};
}

BtModem::Station* BtModem::Dial(const std::string& address) {
    const std::string wanted = UpperCase(address);
    for (Station& station : stations_) {
        if (!station.address.empty() && station.address == wanted) {
            ++station.calls;
            return station.reachable && station.calls > station.noCarrierBeforeConnect ? &station
                                                                                       : nullptr;
        }
    }
    // The one logger of a modem made for it answers at the addresses its config lets through;
    // it counts every call the modem makes.
    for (Station& station : stations_) {
        if (!station.address.empty()) continue;
        const auto& reachable = config_.reachableAddresses;
        const bool known = reachable.empty() || std::find(reachable.begin(), reachable.end(),
                                                          address) != reachable.end();
        station.calls = calls_;
        return known && station.calls > station.noCarrierBeforeConnect ? &station : nullptr;
    }
    return nullptr;
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
        const Station* station = Dial(address);
        if (!station) {
            out.push_back(TextLineFrame("NO CARRIER"));
            return;
        }
        connected_ = station->logger;
        connectedAddress_ = address;
        out.push_back(TextLineFrame("CONNECT " + address));
        return;
    }
    out.push_back(TextLineFrame("ERROR"));
}

}  // namespace qm::sim
