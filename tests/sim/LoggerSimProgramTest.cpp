// qm-logger-sim itself, run as the program and the tests run it: the device paths it prints and
// the loggers that answer on them.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::sim {
namespace {

// The simulator started with some arguments, its standard output read line by line.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(QMC_LOGGER_SIM)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~SimProcess() {
        Stop();
        if (out_ >= 0) close(out_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of its output, or empty after `timeoutMs` without one.
    std::string ReadLine(int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char chunk[256];
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // Stops it with SIGTERM; its exit status, or -1 when it did not end by itself.
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

// The program's side of a logger's serial line.
class Line {
public:
    explicit Line(const std::string& device) : fd_(open(device.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Line() {
        if (fd_ >= 0) close(fd_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Writes one request and reads up to `n` bytes of what comes back.
    std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& request, std::size_t n,
                                       int timeoutMs = 2000) {
        std::vector<std::uint8_t> reply;
        if (fd_ < 0 ||
            write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return reply;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (reply.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            std::uint8_t chunk[64];
            const ssize_t got = read(fd_, chunk, std::min(sizeof chunk, n - reply.size()));
            if (got <= 0) break;
            reply.insert(reply.end(), chunk, chunk + got);
        }
        return reply;
    }
    // The reply to a request whose reply is a length byte and that many bytes.
    std::vector<std::uint8_t> Ask(const std::vector<std::uint8_t>& request) {
        std::vector<std::uint8_t> reply = Exchange(request, 1);
        if (reply.empty()) return reply;
        const auto rest = Exchange({}, reply[0]);
        reply.insert(reply.end(), rest.begin(), rest.end());
        return reply;
    }

private:
    int fd_;
};

std::vector<std::uint8_t> Exchange(const std::string& device,
                                   const std::vector<std::uint8_t>& request, std::size_t n,
                                   int timeoutMs = 2000) {
    Line line(device);
    return line.Exchange(request, n, timeoutMs);
}

// The directory names of a logger's root listing (requests 64, then 65 until the empty name).
std::vector<std::string> RootListing(const std::string& device) {
    Line line(device);
    std::vector<std::string> names;
    std::vector<std::uint8_t> reply = line.Ask({0, 3, 0, 64, 0});
    while (reply.size() > 3 && reply[1] == 248 && reply[2] != 0 && names.size() < 50) {
        names.emplace_back(reply.begin() + 2, reply.end() - 1);
        reply = line.Ask({0, 2, 0, 65});
    }
    return names;
}

const std::vector<std::uint8_t> kIdentify{0, 2, 0, 0};

TEST(LoggerSimProgram, EachLoggerAnswersOnItsOwnPseudoTerminal) {
    SimProcess sim({"--pty", "--logger", "type=88,version=3,seed=2", "--logger",
                    "type=81,clock-offset=300,small-store", "--logger", "silent"});
    const std::string first = sim.ReadLine(), second = sim.ReadLine(), third = sim.ReadLine();
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    ASSERT_FALSE(third.empty());
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);

    // Asked in another order than they were printed: each line is its own logger's.
    EXPECT_EQ(Exchange(second, kIdentify, 4), (std::vector<std::uint8_t>{3, 248, 81, 5}));
    EXPECT_EQ(Exchange(first, kIdentify, 4), (std::vector<std::uint8_t>{3, 248, 88, 3}));
    EXPECT_TRUE(Exchange(third, kIdentify, 4, 300).empty());
    // The logger with seed=2 has a store of its own, the other the small demo store.
    const auto seeded = RootListing(first), small = RootListing(second);
    ASSERT_FALSE(seeded.empty());
    EXPECT_EQ(seeded.front(), "SYSTEM~1");
    EXPECT_EQ(seeded.back(), "ST2");
    EXPECT_EQ(small.size(), 5u);
    EXPECT_NE(seeded, small);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(LoggerSimProgram, OneLoggerAsBeforeAndBadLoggerKeysRefused) {
    {
        SimProcess sim({"--pty", "--device-type", "86"});
        const std::string device = sim.ReadLine();
        ASSERT_FALSE(device.empty());
        EXPECT_EQ(Exchange(device, kIdentify, 4), (std::vector<std::uint8_t>{3, 248, 86, 5}));
        EXPECT_EQ(sim.Stop(), 0);
    }
    {
        // --loggers N: N lines, the options before them what every logger starts from.
        SimProcess sim({"--pty", "--device-type", "87", "--loggers", "2"});
        const std::string a = sim.ReadLine(), b = sim.ReadLine();
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(Exchange(a, kIdentify, 4), (std::vector<std::uint8_t>{3, 248, 87, 5}));
        EXPECT_EQ(Exchange(b, kIdentify, 4), (std::vector<std::uint8_t>{3, 248, 87, 5}));
        EXPECT_EQ(sim.Stop(), 0);
    }
    for (const char* keys :
         {"type=256", "clock-offset=", "silent=1", "seed=x", "colour=red", ","}) {
        SimProcess sim({"--pty", "--logger", keys});
        EXPECT_TRUE(sim.ReadLine(2000).empty()) << keys;
        EXPECT_EQ(sim.Stop(), 2) << keys;
    }
}

}  // namespace
}  // namespace qm::sim
