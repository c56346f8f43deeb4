#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "sim/Device.h"
#include "sim/FaultyDevice.h"
#include "sim/LoggerStore.h"
#include "sim/Modems.h"
#include "sim/VirtualLogger.h"

namespace qm::sim {

// How the PC reaches a logger of a network.
enum class Reach {
    Radio,      // over the air, through the radio modem, at its radio address
    Bluetooth,  // dialled by its Bluetooth address through the Bluetooth modem
    Serial,     // on a serial line of its own
};

// One logger of a virtual network.
struct NetworkLogger {
    std::string name;  // ASCII, unique in the network
    Reach reach = Reach::Radio;
    std::uint8_t radioAddress = 1;  // Radio: 1..254
    std::string bluetoothAddress;   // Bluetooth: 12 hex digits
    // The logger's clock runs this many seconds ahead of the PC clock.
    std::int64_t clockOffsetSeconds = 0;
    std::uint8_t deviceType = 84;  // 88 keeps remark lines instead of a schedule
    // False: out of radio range, never connected by Bluetooth, or silent on its serial line.
    bool answers = true;
    // Bluetooth: calls to it answered "NO CARRIER" before one connects.
    int noCarrierBeforeConnect = 0;
    // Picks the logger's store contents (FillNetworkStore); loggers of different seeds differ.
    int seed = 0;
};

// A network to build: its loggers and the faults of the links to them.
struct NetworkDescription {
    std::vector<NetworkLogger> loggers;
    LinkFaults radioFaults;      // between the PC and the radio modem
    LinkFaults bluetoothFaults;  // between the PC and the Bluetooth modem
    LinkFaults serialFaults;     // on the serial line of each serial logger
};

// The demo network: "radio-3", "radio-7" (its clock 5 minutes ahead) and "radio-12" (out of
// range) behind the radio modem at addresses 3, 7 and 12; "bt-1" at 0012F3A4B5C6 (connects at
// the third call) and "bt-2" at 00AABBCCDDEE (device type 88) behind the Bluetooth modem;
// "serial-1" (device type 88) on a serial line. Every clock is off by a few seconds or more, and
// no two stores are alike. Clean links.
NetworkDescription DemoNetwork();

// A small store whose contents follow `seed`: a share of the demo directories with a number of
// months, days, measurements and sensors of its own, and a directory "ST<seed>" of its own. A
// collection of it over an in-process link takes a moment; the same seed and `now` give the same
// files.
void FillNetworkStore(LoggerStore& store, int seed, DateTime now);

// Loggers behind one radio modem, one Bluetooth modem and serial lines of their own, each with
// its store, clock and device type, each link with its faults. Everything lives in the process:
// the program reaches the modems by InProcessHidLink on RadioFront() and BluetoothFront(), a
// serial logger by a SerialEndpoint on SerialFront(i).
class VirtualNetwork {
public:
    // `pcClock` gives the PC's local time (virtual in tests). Throws std::invalid_argument for
    // a description that cannot be built: names not unique or empty, a radio address of 0 or
    // 255, a Bluetooth address that is not 12 hex digits, or an address given twice.
    VirtualNetwork(const NetworkDescription& description, std::function<DateTime()> pcClock);
    ~VirtualNetwork();
    VirtualNetwork(const VirtualNetwork&) = delete;
    VirtualNetwork& operator=(const VirtualNetwork&) = delete;

    // What the USB radio and Bluetooth modems present to the PC: each modem behind its faults.
    Device& RadioFront();
    Device& BluetoothFront();
    RadioModem& Radio();
    BtModem& Bluetooth();
    // The faults in front of each modem, to change them or count what they did.
    FaultyDevice& RadioLine();
    FaultyDevice& BluetoothLine();

    std::size_t Size() const;
    const NetworkLogger& Describe(std::size_t index) const;
    VirtualLogger& Logger(std::size_t index);
    // The logger's files, to check a copy against byte for byte.
    LoggerStore& Store(std::size_t index);
    // How far the logger's clock is ahead of the PC clock now, to the second: the described
    // offset until the program sets the clock.
    std::int64_t ClockOffsetSeconds(std::size_t index) const;
    // A serial logger's line: the logger behind its faults. Throws std::out_of_range for a
    // logger reached otherwise.
    Device& SerialFront(std::size_t index);

    // The logger of a name, radio address or Bluetooth address (either case).
    std::optional<std::size_t> Find(const std::string& name) const;
    std::optional<std::size_t> FindRadio(std::uint8_t address) const;
    std::optional<std::size_t> FindBluetooth(const std::string& address) const;
    // The loggers reached one way, in the order of the description.
    std::vector<std::size_t> Reached(Reach reach) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qm::sim
