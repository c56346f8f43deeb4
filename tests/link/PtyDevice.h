#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qm::test {

// The device side of a pseudo-terminal pair: the program opens `slave` as its serial port, the
// test reads and writes the bytes of the wire on the master side.
class PtyDevice {
public:
    PtyDevice() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slave = ptsname(master_);
    }
    ~PtyDevice() {
        if (watch_ >= 0) ::close(watch_);
        CloseMaster();
    }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    std::string slave;

    void Send(const std::vector<std::uint8_t>& bytes) {
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write failed");
    }
    // Up to `n` bytes that the program wrote, waiting at most `timeoutMs` for them.
    std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs = 2000) {
        std::vector<std::uint8_t> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            std::uint8_t buf[512];
            const ssize_t got = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }
    // Opens a descriptor of the slave side that only looks at its receive queue, before the
    // program opens the slave exclusively.
    void WatchSlave() {
        watch_ = ::open(slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        if (watch_ < 0) throw std::runtime_error("cannot watch the slave side");
    }
    // Whether the slave's receive queue holds at least `n` bytes, waiting at most `timeoutMs`
    // for them to come through the pseudo-terminal. Needs WatchSlave.
    bool SlaveHolds(std::size_t n, int timeoutMs = 2000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int queued = 0;
            if (::ioctl(watch_, FIONREAD, &queued) != 0) return false;
            if (queued >= 0 && static_cast<std::size_t>(queued) >= n) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    int MasterFd() const { return master_; }

private:
    int master_ = -1;
    int watch_ = -1;
};

}  // namespace qm::test
