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
                           std::chrono::steady_clock::time_point start,
                           const volatile std::sig_atomic_t& stop) {
    // Paced: about a millisecond of line time per write, each written when its last byte would
    // have arrived.
    const std::size_t slice =
        paceBaud > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(paceBaud) / 10000)
                     : bytes.size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stop) return false;
        const std::size_t n = std::min(slice, bytes.size() - done);
        if (paceBaud > 0) std::this_thread::sleep_until(start + LineTime(done + n, paceBaud));
        const ssize_t written = write(master_, bytes.data() + done, n);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

void PtyEndpoint::Serve(SerialEndpoint& endpoint, int paceBaud,
                        const volatile std::sig_atomic_t& stop) {
    std::uint8_t buffer[512];
    // When the request's bytes have all come in, and when the reply line is free again.
    std::chrono::steady_clock::time_point received{}, lineFree{};
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
        // The program's write ended when its bytes were queued; on the line they take their time.
        received = std::max(received, std::chrono::steady_clock::now()) +
                   LineTime(static_cast<std::size_t>(n), paceBaud);
        for (const SerialChunk& chunk : endpoint.Receive({buffer, static_cast<std::size_t>(n)})) {
            if (chunk.delayBefore.count() > 0) std::this_thread::sleep_for(chunk.delayBefore);
            const auto start = std::max({received, lineFree, std::chrono::steady_clock::now()});
            if (!WriteAll(chunk.bytes, paceBaud, start, stop)) return;
            lineFree = start + LineTime(chunk.bytes.size(), paceBaud);
        }
    }
}

}  // namespace qm::sim
