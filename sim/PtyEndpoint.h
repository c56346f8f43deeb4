#pragma once

#include <chrono>
#include <csignal>
#include <string>

#include "sim/SerialEndpoint.h"

namespace qm::sim {

// A POSIX pseudo-terminal that plays the serial line of a virtual logger: the program opens its
// slave side like a serial port. Unix only.
class PtyEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Opens the pseudo-terminal in raw mode and returns the slave's device path. Throws
    // std::runtime_error when the system refuses.
    std::string Open();
    // Reads requests and writes replies until `stop` is set (by a signal handler). With a
    // `paceBaud` above 0 the line runs at that rate, 10 bits a byte, both ways: a reply starts
    // once the request's bytes have had their line time, and its bytes appear no sooner than
    // they would have arrived.
    void Serve(SerialEndpoint& endpoint, int paceBaud, const volatile std::sig_atomic_t& stop);

private:
    bool WriteAll(const std::vector<std::uint8_t>& bytes, int paceBaud,
                  std::chrono::steady_clock::time_point start,
                  const volatile std::sig_atomic_t& stop);
    int master_ = -1;
    int slave_ = -1;  // kept open so the line stays up between the program's sessions
};

}  // namespace qm::sim
