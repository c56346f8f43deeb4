// qm-logger-sim: a virtual logger on a pseudo-terminal, for trying the program's serial path
// without hardware, over a clean or a lossy line. Prints the device path to open on its first
// line, then serves requests until it is stopped with SIGTERM or SIGINT. With --log FILE it
// writes each request the logger handles to FILE, one line of hex bytes each, so that two runs
// of the program can be compared. With --logger (repeated) or --loggers N it serves several
// loggers, each on a pseudo-terminal of its own, and prints their paths one a line, in order.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/FaultyDevice.h"
#include "sim/Network.h"
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
    " [--store MONTHS,DAYS,SENSORS] [--months N] [--faults SPEC] [--log FILE]"
    " [--logger KEY=VALUE,...]... [--loggers N]\n";

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
                 "                   or --faults delay-on=67:2200\n"
                 "Several loggers, each on a pseudo-terminal of its own, their paths printed one\n"
                 "a line in the order given before serving begins. The options above are what\n"
                 "every logger starts from (--log only with one logger; the faults and the pace\n"
                 "hold for every line):\n"
                 "  --logger KEYS    one more logger; KEYS is a comma-separated list of:\n"
                 "    type=N           its device type\n"
                 "    version=V        its version byte\n"
                 "    clock-offset=S   its clock runs S seconds ahead of the PC clock (-37)\n"
                 "    silent           it never answers\n"
                 "    small-store      a small data store\n"
                 "    months=N         the demo store's months of data in each directory\n"
                 "    seed=N           a small store of its own, different for each N\n"
                 "    log=FILE         write each request it handles to FILE, in hex\n"
                 "                   e.g. --logger type=88,clock-offset=300 --logger silent\n"
                 "  --loggers N      N more loggers (at most 32), the ith with seed=i\n";
    return 0;
}

// One logger to serve and how its line behaves.
struct LoggerPlan {
    qm::sim::LoggerConfig config;
    int deviceType = 84;
    int version = 5;
    std::optional<int> seed;
    bool silent = false;
    std::string logPath;
};

constexpr std::size_t kMostLoggers = 32;

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

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

bool NumberArg(int& i, int argc, char** argv, int low, int high, int& value) {
    if (i + 1 >= argc) return false;
    long long v = 0;
    if (!ParseNumber(argv[++i], low, high, v)) return false;
    value = static_cast<int>(v);
    return true;
}

// The keys of --logger, over the settings every logger starts from.
bool LoggerKeysArg(const std::string& text, LoggerPlan& plan) {
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string item = text.substr(from, comma - from);
        from = comma + 1;
        const std::size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const bool hasValue = eq != std::string::npos;
        const std::string value = hasValue ? item.substr(eq + 1) : std::string();
        long long n = 0;
        if (key == "silent" && !hasValue) {
            plan.silent = true;
        } else if (key == "small-store" && !hasValue) {
            plan.config.demoShape = qm::sim::DemoStoreShape::Small();
        } else if (key == "type" && ParseNumber(value, 0, 255, n)) {
            plan.deviceType = static_cast<int>(n);
        } else if (key == "version" && ParseNumber(value, 0, 255, n)) {
            plan.version = static_cast<int>(n);
        } else if (key == "clock-offset" && ParseNumber(value, -3'153'600'000, 3'153'600'000, n)) {
            plan.config.clockOffsetSeconds = n;  // a hundred years either way
        } else if (key == "months" && ParseNumber(value, 1, 240, n)) {
            plan.config.demoShape.months = static_cast<int>(n);
        } else if (key == "seed" && ParseNumber(value, 0, 1'000'000, n)) {
            plan.seed = static_cast<int>(n);
        } else if (key == "log" && !value.empty()) {
            plan.logPath = value;
        } else {
            return false;
        }
    }
    return true;
}

// The line of one logger: the logger, its request log, its faults and its pseudo-terminal.
struct ServedLogger {
    ServedLogger(const LoggerPlan& plan, const qm::sim::LinkFaults& faults)
        : logger(Config(plan), LocalNow) {
        if (plan.seed) qm::sim::FillNetworkStore(logger.Store(), *plan.seed, LocalNow());
        if (!plan.logPath.empty()) log.emplace(logger, plan.logPath);
        lossy.emplace(log ? static_cast<qm::sim::Device&>(*log) : logger, faults);
        lossy->SetSilent(plan.silent);
        endpoint.emplace(*lossy);
        endpoint->DelayEveryReply(faults.replyDelay);
        for (const auto& [code, delay] : faults.commandDelays)
            endpoint->DelayRepliesTo(code, delay);
    }
    static qm::sim::LoggerConfig Config(const LoggerPlan& plan) {
        qm::sim::LoggerConfig config = plan.config;
        config.deviceType = static_cast<std::uint8_t>(plan.deviceType);
        config.version = static_cast<std::uint8_t>(plan.version);
        if (plan.seed) config.demoData = false;
        return config;
    }
    qm::sim::VirtualLogger logger;
    std::optional<RequestLog> log;
    std::optional<qm::sim::FaultyDevice> lossy;
    std::optional<qm::sim::SerialEndpoint> endpoint;
    qm::sim::PtyEndpoint line;
};

}  // namespace

int main(int argc, char** argv) {
    bool pty = false;
    LoggerPlan base;
    int pace = 0;
    qm::sim::LinkFaults faults;
    // The --logger and --loggers choices, in order, applied over `base` once all is read.
    std::vector<std::string> loggerKeys;
    std::vector<int> extraSeeds;
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
            base.logPath = argv[++i];
            if (base.logPath.empty()) return Usage();
        } else if (arg == "--small-store") {
            base.config.demoShape = qm::sim::DemoStoreShape::Small();
        } else if (arg == "--store") {
            if (i + 1 >= argc || !StoreShapeArg(argv[++i], base.config.demoShape)) return Usage();
        } else if (arg == "--months") {
            if (!NumberArg(i, argc, argv, 1, 240, base.config.demoShape.months)) return Usage();
        } else if (arg == "--device-type") {
            if (!NumberArg(i, argc, argv, 0, 255, base.deviceType)) return Usage();
        } else if (arg == "--version") {
            if (!NumberArg(i, argc, argv, 0, 255, base.version)) return Usage();
        } else if (arg == "--pace") {
            if (!NumberArg(i, argc, argv, 1, 100'000'000, pace)) return Usage();
        } else if (arg == "--logger") {
            if (i + 1 >= argc) return Usage();
            loggerKeys.emplace_back(argv[++i]);
            extraSeeds.push_back(0);
        } else if (arg == "--loggers") {
            int n = 0;
            if (!NumberArg(i, argc, argv, 1, static_cast<int>(kMostLoggers), n)) return Usage();
            for (int k = 1; k <= n; ++k) {
                loggerKeys.emplace_back();
                extraSeeds.push_back(k);
            }
        } else {
            return Usage();
        }
    }
    if (!pty) return Usage();

    // Without --logger or --loggers: the one logger of the options above.
    std::vector<LoggerPlan> plans;
    for (std::size_t k = 0; k < loggerKeys.size(); ++k) {
        LoggerPlan plan = base;
        plan.logPath.clear();
        if (extraSeeds[k] > 0) plan.seed = extraSeeds[k];
        if (!loggerKeys[k].empty() && !LoggerKeysArg(loggerKeys[k], plan)) return Usage();
        plans.push_back(plan);
    }
    if (plans.empty()) plans.push_back(base);
    if (plans.size() > kMostLoggers) return Usage();
    if (plans.size() > 1 && !base.logPath.empty()) {
        std::cerr << "qm-logger-sim: --log needs one logger; give each its log=FILE\n";
        return 2;
    }
    if (!base.logPath.empty()) plans.front().logPath = base.logPath;

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked poll or write returns and sees the flag
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    try {
        std::vector<std::unique_ptr<ServedLogger>> served;
        std::string paths;
        for (const LoggerPlan& plan : plans) {
            served.push_back(std::make_unique<ServedLogger>(plan, faults));
            paths += served.back()->line.Open() + "\n";
        }
        std::cout << paths << std::flush;  // the caller waits for these lines
        if (served.size() == 1) {
            served.front()->line.Serve(*served.front()->endpoint, pace, stopRequested);
            return 0;
        }
        // Each line on a thread of its own, so a slow or paced line holds up no other.
        std::vector<std::thread> threads;
        std::vector<std::string> failures(served.size());
        for (std::size_t k = 0; k < served.size(); ++k) {
            threads.emplace_back([&, k] {
                try {
                    served[k]->line.Serve(*served[k]->endpoint, pace, stopRequested);
                } catch (const std::exception& e) {
                    failures[k] = e.what();
                }
            });
        }
        for (std::thread& t : threads) t.join();
        int status = 0;
        for (std::size_t k = 0; k < failures.size(); ++k) {
            if (failures[k].empty()) continue;
            std::cerr << "qm-logger-sim: logger " << k + 1 << ": " << failures[k] << "\n";
            status = 1;
        }
        return status;
    } catch (const std::exception& e) {
        std::cerr << "qm-logger-sim: " << e.what() << "\n";
        return 1;
    }
}
