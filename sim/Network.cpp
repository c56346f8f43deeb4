#include "sim/Network.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <stdexcept>

#include "sim/DemoStore.h"
#include "sim/ValueLines.h"

namespace qm::sim {

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsBluetoothAddress(const std::string& text) {
    if (text.size() != 12) return false;
    for (const char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) return false;
    }
    return true;
}

void Check(const NetworkDescription& description) {
    std::set<std::string> names, bluetooth;
    std::set<int> radio;
    for (const NetworkLogger& l : description.loggers) {
        if (l.name.empty() || !names.insert(l.name).second)
            throw std::invalid_argument("a network logger without a name of its own");
        switch (l.reach) {
            case Reach::Radio:
                if (l.radioAddress == 0 || l.radioAddress == 255 ||
                    !radio.insert(l.radioAddress).second)
                    throw std::invalid_argument("radio address of " + l.name);
                break;
            case Reach::Bluetooth:
                if (!IsBluetoothAddress(l.bluetoothAddress) ||
                    !bluetooth.insert(UpperCase(l.bluetoothAddress)).second)
                    throw std::invalid_argument("Bluetooth address of " + l.name);
                break;
            case Reach::Serial:
                break;
        }
    }
}

// A measurement header as the logger writes it: "14:30 05.03.2009  N=7".
std::string Header(const CivilDateTime& t, int sensors) {
    char header[64];
    std::snprintf(header, sizeof header, "%02d:%02d %02d.%02d.%04d  N=%d", t.hour, t.minute, t.day,
                  t.month, t.year, sensors);
    return header;
}

}  // namespace

void FillNetworkStore(LoggerStore& store, int seed, DateTime now) {
    const auto s = static_cast<std::uint32_t>(seed);
    DemoStoreShape shape;
    shape.months = 1 + static_cast<int>(s % 2);
    shape.daysPerMonth = 2 + static_cast<int>(s % 3);
    shape.intervalMinutes = s % 2 == 0 ? 8 * 60 : 6 * 60;
    shape.sensors = 4 + static_cast<int>(s * 3 % 9);
    shape.withSystemDirectory = true;
    FillDemoStore(store, shape, now);

    // Each seed leaves out one of the demo's directories (never the logger's system directory).
    std::vector<std::string> demo;
    for (const std::string& name : store.DirectoryNames()) {
        if (name != "SYSTEM~1") demo.push_back(name);
    }
    if (!demo.empty()) store.RemoveDirectory(demo[s % demo.size()]);

    // A directory of its own: a few measurements of the last hours, a value pattern of its own.
    const std::string directory = "ST" + std::to_string(seed);
    store.AddDirectory(directory);
    const int count = 2 + static_cast<int>(s % 4);
    for (int k = 0; k < count; ++k) {
        const DateTime at = DateTime::FromMilliseconds(now.Milliseconds() -
                                                       (count - k) * 90 * DateTime::kMsPerMinute);
        const CivilDateTime t = at.ToCivil();
        std::vector<StoredValue> values;
        for (int sensor = 0; sensor < shape.sensors; ++sensor) {
            if ((sensor + k + static_cast<int>(s)) % 11 == 10) {
                values.emplace_back();
            } else {
                values.emplace_back(500 + static_cast<int>(s % 1000) * 7 + 25 * sensor - 3 * k);
            }
        }
        store.AddMeasurement(directory, MonthlyFileName(t.year, t.month), Header(t, shape.sensors),
                             values);
    }
}

NetworkDescription DemoNetwork() {
    NetworkDescription d;
    NetworkLogger l;
    l = {};
    l.name = "radio-3";
    l.reach = Reach::Radio;
    l.radioAddress = 3;
    l.clockOffsetSeconds = -37;
    l.seed = 1;
    d.loggers.push_back(l);
    l = {};
    l.name = "radio-7";
    l.reach = Reach::Radio;
    l.radioAddress = 7;
    l.clockOffsetSeconds = 300;
    l.seed = 2;
    d.loggers.push_back(l);
    l = {};
    l.name = "radio-12";
    l.reach = Reach::Radio;
    l.radioAddress = 12;
    l.answers = false;
    l.seed = 3;
    d.loggers.push_back(l);
    l = {};
    l.name = "bt-1";
    l.reach = Reach::Bluetooth;
    l.bluetoothAddress = "0012F3A4B5C6";
    l.clockOffsetSeconds = 12;
    l.noCarrierBeforeConnect = 2;
    l.seed = 4;
    d.loggers.push_back(l);
    l = {};
    l.name = "bt-2";
    l.reach = Reach::Bluetooth;
    l.bluetoothAddress = "00AABBCCDDEE";
    l.clockOffsetSeconds = -4;
    l.deviceType = 88;
    l.seed = 5;
    d.loggers.push_back(l);
    l = {};
    l.name = "serial-1";
    l.reach = Reach::Serial;
    l.clockOffsetSeconds = 95;
    l.deviceType = 88;
    l.seed = 6;
    d.loggers.push_back(l);
    return d;
}

struct VirtualNetwork::Impl {
    struct Member {
        NetworkLogger description;
        std::unique_ptr<VirtualLogger> logger;
        std::unique_ptr<FaultyDevice> line;  // serial loggers only
    };

    Impl(const NetworkDescription& d, std::function<DateTime()> clock)
        : pcClock(std::move(clock)),
          radioLine(radio, d.radioFaults),
          bluetoothLine(bluetooth, d.bluetoothFaults) {}

    Member& At(std::size_t index) {
        if (index >= members.size()) throw std::out_of_range("no such network logger");
        return members[index];
    }

    std::function<DateTime()> pcClock;
    RadioModem radio;
    BtModem bluetooth;
    FaultyDevice radioLine;
    FaultyDevice bluetoothLine;
    std::vector<Member> members;
};

VirtualNetwork::VirtualNetwork(const NetworkDescription& description,
                               std::function<DateTime()> pcClock)
    : impl_(std::make_unique<Impl>(description, std::move(pcClock))) {
    Check(description);
    const DateTime now = impl_->pcClock();
    for (const NetworkLogger& d : description.loggers) {
        LoggerConfig config;
        config.deviceType = d.deviceType;
        config.clockOffsetSeconds = d.clockOffsetSeconds;
        config.demoData = false;
        config.remark1 = "Станция " + d.name;
        Impl::Member member{d, std::make_unique<VirtualLogger>(config, impl_->pcClock), nullptr};
        FillNetworkStore(member.logger->Store(), d.seed, now);
        switch (d.reach) {
            case Reach::Radio:
                impl_->radio.AddLogger(d.radioAddress, *member.logger, d.answers);
                break;
            case Reach::Bluetooth:
                impl_->bluetooth.AddLogger(d.bluetoothAddress, *member.logger,
                                           d.noCarrierBeforeConnect, d.answers);
                break;
            case Reach::Serial:
                member.line =
                    std::make_unique<FaultyDevice>(*member.logger, description.serialFaults);
                member.line->SetSilent(!d.answers);
                break;
        }
        impl_->members.push_back(std::move(member));
    }
}

VirtualNetwork::~VirtualNetwork() = default;

Device& VirtualNetwork::RadioFront() {
    return impl_->radioLine;
}

Device& VirtualNetwork::BluetoothFront() {
    return impl_->bluetoothLine;
}

RadioModem& VirtualNetwork::Radio() {
    return impl_->radio;
}

BtModem& VirtualNetwork::Bluetooth() {
    return impl_->bluetooth;
}

FaultyDevice& VirtualNetwork::RadioLine() {
    return impl_->radioLine;
}

FaultyDevice& VirtualNetwork::BluetoothLine() {
    return impl_->bluetoothLine;
}

std::size_t VirtualNetwork::Size() const {
    return impl_->members.size();
}

const NetworkLogger& VirtualNetwork::Describe(std::size_t index) const {
    return impl_->At(index).description;
}

VirtualLogger& VirtualNetwork::Logger(std::size_t index) {
    return *impl_->At(index).logger;
}

LoggerStore& VirtualNetwork::Store(std::size_t index) {
    return impl_->At(index).logger->Store();
}

std::int64_t VirtualNetwork::ClockOffsetSeconds(std::size_t index) const {
    const VirtualLogger& logger = *impl_->At(index).logger;
    const std::int64_t ms = logger.LoggerTime().Milliseconds() - impl_->pcClock().Milliseconds();
    return std::llround(static_cast<double>(ms) / DateTime::kMsPerSecond);
}

Device& VirtualNetwork::SerialFront(std::size_t index) {
    Impl::Member& member = impl_->At(index);
    if (!member.line) throw std::out_of_range(member.description.name + " has no serial line");
    return *member.line;
}

std::optional<std::size_t> VirtualNetwork::Find(const std::string& name) const {
    for (std::size_t i = 0; i < impl_->members.size(); ++i) {
        if (impl_->members[i].description.name == name) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> VirtualNetwork::FindRadio(std::uint8_t address) const {
    for (std::size_t i = 0; i < impl_->members.size(); ++i) {
        const NetworkLogger& d = impl_->members[i].description;
        if (d.reach == Reach::Radio && d.radioAddress == address) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> VirtualNetwork::FindBluetooth(const std::string& address) const {
    const std::string wanted = UpperCase(address);
    for (std::size_t i = 0; i < impl_->members.size(); ++i) {
        const NetworkLogger& d = impl_->members[i].description;
        if (d.reach == Reach::Bluetooth && UpperCase(d.bluetoothAddress) == wanted) return i;
    }
    return std::nullopt;
}

std::vector<std::size_t> VirtualNetwork::Reached(Reach reach) const {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < impl_->members.size(); ++i) {
        if (impl_->members[i].description.reach == reach) out.push_back(i);
    }
    return out;
}

}  // namespace qm::sim
