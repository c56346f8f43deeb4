#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// Requests with this status address a USB modem itself, not the logger behind it.
inline constexpr std::uint8_t kModemRequestStatus = 255;

// Settings of a USB radio modem with one logger in range.
struct RadioModemConfig {
    // The radio address of the logger in range; it answers when that address is selected or
    // when the selection is 255 (every logger).
    std::uint8_t loggerAddress = 1;
    bool loggerInRange = true;
};

// A USB radio modem: answers the modem requests (status 255) itself and sends every other
// request over the air to the loggers of the selected radio address (request 131; 255 selects
// every logger). Each logger in range that hears a request acts on it; the one reply comes back
// unchanged. When two or more loggers answer the same request their replies collide on the air
// and nothing readable comes back. A logger out of range hears nothing and answers nothing.
class RadioModem : public Device {
public:
    // A modem with one logger in range, at the configured address.
    explicit RadioModem(Device& logger, RadioModemConfig config = {});
    // A modem with no logger yet; AddLogger puts loggers around it.
    RadioModem() = default;
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    // Another logger at this radio address (which may be another's: they then collide).
    void AddLogger(std::uint8_t address, Device& logger, bool inRange = true);
    // Every logger goes out of range or comes back.
    void SetLoggerInRange(bool inRange);
    // The loggers at this address go out of range or come back.
    void SetInRange(std::uint8_t address, bool inRange);

    std::uint8_t SelectedAddress() const { return address_; }
    std::uint8_t Mode() const { return mode_; }
    std::size_t LoggerCount() const { return stations_.size(); }
    // Requests whose replies collided.
    int Collisions() const { return collisions_; }

private:
    struct Station {
        std::uint8_t address;
        Device* logger;
        bool inRange;
    };
    std::vector<Station> stations_;
    std::uint8_t address_ = 255;
    std::uint8_t mode_ = 0;
    int collisions_ = 0;
};

// Settings of a USB Bluetooth modem with one logger behind it.
struct BtModemConfig {
    // CALL attempts answered "NO CARRIER" before a call connects.
    int noCarrierBeforeConnect = 1;
    // The modem repeats each command line before its answer.
    bool echo = true;
    // Addresses a call can reach; empty: every address.
    std::vector<std::string> reachableAddresses;
};

// A USB Bluetooth modem. Mode 1 (command mode) turns every report into a text line both ways:
// it answers with "READY.", then "AT" with "OK", and "CALL <address> 1101 RFCOMM" with
// "NO CARRIER" or "CONNECT <address>". Mode 2 (transparent) relays requests to the logger of
// the call. Entering command mode again hangs up, so the next CALL may reach another logger.
// A text reply is a frame [n, characters...] without status or terminator.
class BtModem : public Device {
public:
    // A modem whose calls reach one logger, at any address the config lets through.
    explicit BtModem(Device& logger, BtModemConfig config = {});
    // A modem that reaches no logger yet; AddLogger puts loggers around it.
    BtModem() = default;
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    // A logger at this Bluetooth address (12 hex digits; letters in either case). Its first
    // `noCarrierBeforeConnect` calls are answered "NO CARRIER"; an unreachable logger is never
    // connected.
    void AddLogger(const std::string& address, Device& logger, int noCarrierBeforeConnect = 0,
                   bool reachable = true);
    void SetReachable(const std::string& address, bool reachable);
    void SetEcho(bool echo) { config_.echo = echo; }

    std::uint8_t Mode() const { return mode_; }
    bool Connected() const { return connected_ != nullptr; }
    // The address of the call in progress; empty without one.
    std::string ConnectedAddress() const { return connected_ ? connectedAddress_ : std::string(); }
    // CALL lines received, in all and to one address.
    int Calls() const { return calls_; }
    int CallsTo(const std::string& address) const;
    // Calls ended by entering command mode.
    int HangUps() const { return hangUps_; }
    // The command lines received, without their line feeds: every one, or at least the last
    // kKeptLines of a modem that has served long (the demo's, on schedule for days).
    static constexpr std::size_t kKeptLines = 1000;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    struct Station {
        std::string address;  // upper case; empty: any address the config lets through
        Device* logger;
        int noCarrierBeforeConnect;
        bool reachable;
        int calls = 0;
    };
    void AnswerLine(const std::string& line, std::vector<Frame>& out);
    Station* Dial(const std::string& address);

    std::vector<Station> stations_;
    BtModemConfig config_;
    std::uint8_t mode_ = 0;
    Device* connected_ = nullptr;
    std::string connectedAddress_;
    int calls_ = 0;
    int hangUps_ = 0;
    std::vector<std::string> lines_;
};

// A text frame as the Bluetooth modem sends it.
Frame TextLineFrame(const std::string& text);

}  // namespace qm::sim
