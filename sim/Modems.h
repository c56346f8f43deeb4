#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// Requests with this status address a USB modem itself, not the logger behind it.
inline constexpr std::uint8_t kModemRequestStatus = 255;

// Settings of a USB radio modem.
struct RadioModemConfig {
    // The radio address of the logger in range; it answers when that address is selected or
    // when the selection is 255 (every logger).
    std::uint8_t loggerAddress = 1;
    bool loggerInRange = true;
};

// A USB radio modem: answers the modem requests (status 255) itself and relays every other
// request over the air to the logger, whose replies come back unchanged.
class RadioModem : public Device {
public:
    explicit RadioModem(Device& logger, RadioModemConfig config = {});
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    void SetLoggerInRange(bool inRange) { config_.loggerInRange = inRange; }
    std::uint8_t SelectedAddress() const { return address_; }
    std::uint8_t Mode() const { return mode_; }

private:
    Device& logger_;
    RadioModemConfig config_;
    std::uint8_t address_ = 255;
    std::uint8_t mode_ = 0;
};

// Settings of a USB Bluetooth modem.
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
// "NO CARRIER" or "CONNECT". Mode 2 (transparent) relays requests to the connected logger.
// A text reply is a frame [n, characters...] without status or terminator.
class BtModem : public Device {
public:
    explicit BtModem(Device& logger, BtModemConfig config = {});
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    std::uint8_t Mode() const { return mode_; }
    bool Connected() const { return connected_; }
    int Calls() const { return calls_; }
    // Every command line received, without its line feed.
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    void AnswerLine(const std::string& line, std::vector<Frame>& out);

    Device& logger_;
    BtModemConfig config_;
    std::uint8_t mode_ = 0;
    bool connected_ = false;
    int calls_ = 0;
    std::vector<std::string> lines_;
};

// A text frame as the Bluetooth modem sends it.
Frame TextLineFrame(const std::string& text);

}  // namespace qm::sim
