#include "sim/PtyEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace qm::sim {

namespace {

std::runtime_error SystemError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

PtyEndpoint::~PtyEndpoint() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

std::string PtyEndpoint::Open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) throw SystemError("posix_openpt");
    if (grantpt(master_) != 0) throw SystemError("grantpt");
    if (unlockpt(master_) != 0) throw SystemError("unlockpt");
    const char* name = ptsname(master_);
    if (!name) throw SystemError("ptsname");
    std::string path = name;
    slave_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) throw SystemError("open slave");
    // Raw bytes both ways: no echo, no line editing, no newline translation.
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) throw SystemError("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) throw SystemError("tcsetattr");
    return path;
}

bool PtyEndpoint::WriteAll(const std::vector<std::uint8_t>& bytes, int paceBaud,
                           const volatile std::sig_atomic_t& stop) {
    const auto start = std::chrono::steady_clock::now();
    // Paced: about a millisecond of line time per write.
    const std::size_t slice =
        paceBaud > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(paceBaud) / 10000)
                     : bytes.size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stop) return false;
        const std::size_t n = std::min(slice, bytes.size() - done);
        const ssize_t written = write(master_, bytes.data() + done, n);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
        if (paceBaud > 0) std::this_thread::sleep_until(start + LineTime(done, paceBaud));
    }
    return true;
}

void PtyEndpoint::Serve(SerialEndpoint& endpoint, int paceBaud,
                        const volatile std::sig_atomic_t& stop) {
    std::uint8_t buffer[512];
    while (!stop) {
        pollfd pfd{master_, POLLIN, 0};
        const int ready = poll(&pfd, 1, 200);
        if (ready < 0 && errno != EINTR) throw SystemError("poll");
        if (ready <= 0 || !(pfd.revents & POLLIN)) continue;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EIO) continue;
            throw SystemError("read");
        }
        for (const SerialChunk& chunk : endpoint.Receive({buffer, static_cast<std::size_t>(n)})) {
            if (chunk.delayBefore.count() > 0) std::this_thread::sleep_for(chunk.delayBefore);
            if (!WriteAll(chunk.bytes, paceBaud, stop)) return;
        }
    }
}

}  // namespace qm::sim
