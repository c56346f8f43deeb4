// qm-logger-sim: a virtual logger on a pseudo-terminal, for trying the program's serial path
// without hardware, over a clean or a lossy line. Prints the device path to open on its first
// line, then serves requests until it is stopped with SIGTERM or SIGINT. With --log FILE it
// writes each request the logger handles to FILE, one line of hex bytes each, so that two runs
// of the program can be compared.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include "sim/FaultyDevice.h"
#include "sim/PtyEndpoint.h"
#include "sim/VirtualLogger.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}

qm::DateTime LocalNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return qm::DateTime::FromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0})
        .value_or(qm::DateTime{});
}

// Passes requests on to the logger and writes each to a log file as it comes.
class RequestLog : public qm::sim::Device {
public:
    RequestLog(qm::sim::Device& device, const std::string& path) : device_(device), out_(path) {
        if (!out_) throw std::runtime_error("cannot write the log " + path);
    }
    std::vector<qm::sim::Frame> Handle(std::span<const std::uint8_t> request) override {
        static const char digits[] = "0123456789abcdef";
        std::string line;
        for (const std::uint8_t b : request) {
            if (!line.empty()) line += ' ';
            line += digits[b >> 4];
            line += digits[b & 15];
        }
        out_ << line << std::endl;  // flushed: the log is read while the logger still runs
        return device_.Handle(request);
    }

private:
    qm::sim::Device& device_;
    std::ofstream out_;
};

constexpr const char* kUsage =
    "usage: qm-logger-sim --pty [--device-type N] [--version V] [--pace BAUD] [--small-store]"
    " [--store MONTHS,DAYS,SENSORS] [--months N] [--faults SPEC] [--log FILE]\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

int Help() {
    std::cout << kUsage
              << "A virtual logger on a pseudo-terminal; prints the device path, then serves it.\n"
                 "  --pty            serve on a new pseudo-terminal (required)\n"
                 "  --device-type N  the logger's device type (84 by default; 88 has remarks)\n"
                 "  --version V      the logger's version byte\n"
                 "  --pace BAUD      run the line at this rate, 10 bits a byte, both ways\n"
                 "  --small-store    a small data store instead of the demo's year of data\n"
                 "  --store M,D,S    a store of M monthly files of D days each (0: whole months),\n"
                 "                   an hourly measurement of S sensors\n"
                 "  --months N       the demo store's months of data in each directory (12)\n"
                 "  --log FILE       write each request the logger handles to FILE, in hex\n"
                 "  --faults SPEC    a lossy line; SPEC is a comma-separated list of:\n"
              << qm::sim::kLinkFaultsHelp
              << "                   e.g. --faults lose-reply=50,stray=7,loss=2,seed=3\n"
                 "                   or --faults delay-on=67:2200\n";
    return 0;
}

// "months,days,sensors", e.g. "3,4,63".
bool StoreShapeArg(const char* text, qm::sim::DemoStoreShape& shape) {
    int months = 0, days = 0, sensors = 0;
    char end = 0;
    if (std::sscanf(text, "%d,%d,%d%c", &months, &days, &sensors, &end) != 3) return false;
    if (months < 1 || months > 120 || days < 0 || days > 31 || sensors < 1 || sensors > 63)
        return false;
    shape.months = months;
    shape.daysPerMonth = days;
    shape.sensors = sensors;
    return true;
}

bool NumberArg(int& i, int argc, char** argv, int low, int high, int& value) {
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    const long v = std::strtol(argv[++i], &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool pty = false;
    std::string logPath;
    int deviceType = 84, version = 5, pace = 0;
    qm::sim::LoggerConfig config;
    qm::sim::LinkFaults faults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (arg == "--faults") {
            if (i + 1 >= argc) return Usage();
            const auto parsed = qm::sim::ParseLinkFaults(argv[++i]);
            if (!parsed) return Usage();
            faults = *parsed;
        } else if (arg == "--pty") {
            pty = true;
        } else if (arg == "--log") {
            if (i + 1 >= argc) return Usage();
            logPath = argv[++i];
        } else if (arg == "--small-store") {
            config.demoShape = qm::sim::DemoStoreShape::Small();
        } else if (arg == "--store") {
            if (i + 1 >= argc || !StoreShapeArg(argv[++i], config.demoShape)) return Usage();
        } else if (arg == "--months") {
            if (!NumberArg(i, argc, argv, 1, 240, config.demoShape.months)) return Usage();
        } else if (arg == "--device-type") {
            if (!NumberArg(i, argc, argv, 0, 255, deviceType)) return Usage();
        } else if (arg == "--version") {
            if (!NumberArg(i, argc, argv, 0, 255, version)) return Usage();
        } else if (arg == "--pace") {
            if (!NumberArg(i, argc, argv, 1, 100'000'000, pace)) return Usage();
        } else {
            return Usage();
        }
    }
    if (!pty) return Usage();
    config.deviceType = static_cast<std::uint8_t>(deviceType);
    config.version = static_cast<std::uint8_t>(version);

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked poll or write returns and sees the flag
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    try {
        qm::sim::VirtualLogger logger(config, LocalNow);
        std::optional<RequestLog> log;
        if (!logPath.empty()) log.emplace(logger, logPath);
        qm::sim::FaultyDevice lossy(log ? static_cast<qm::sim::Device&>(*log) : logger, faults);
        qm::sim::SerialEndpoint endpoint(lossy);
        endpoint.DelayEveryReply(faults.replyDelay);
        for (const auto& [code, delay] : faults.commandDelays) endpoint.DelayRepliesTo(code, delay);
        qm::sim::PtyEndpoint line;
        const std::string path = line.Open();
        std::cout << path << std::endl;  // endl flushes: the caller waits for this line
        line.Serve(endpoint, pace, stopRequested);
    } catch (const std::exception& e) {
        std::cerr << "qm-logger-sim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
