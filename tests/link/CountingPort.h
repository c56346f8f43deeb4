#pragma once

// The program's serial port with a count of what goes over the line, for the tests and
// benchmarks that copy over a pseudo-terminal.
#include <cstddef>
#include <functional>
#include <span>
#include <string>

#include "link/SerialPortOpener.h"
#include "link/backends/QtSerialPort.h"
#include "protocol/Links.h"

namespace qm::test {

class CountingPort : public SerialLink, public SerialPortOpener {
public:
    explicit CountingPort(QtSerialPort& port) : port_(port) {}
    SerialLink* Open(const std::string& name) override {
        inner_ = port_.Open(name);
        return this;
    }
    void PurgeBuffers() override { inner_->PurgeBuffers(); }
    void Write(std::span<const std::uint8_t> bytes) override {
        if (beforeWrite) beforeWrite();
        inner_->Write(bytes);
        written += bytes.size();
        ++requests;
    }
    std::size_t Read(std::span<std::uint8_t> bytes) override {
        const std::size_t n = inner_->Read(bytes);
        read += n;
        return n;
    }
    void Close() override { inner_->Close(); }

    std::size_t written = 0, read = 0, requests = 0;
    // Runs as each request is about to go out.
    std::function<void()> beforeWrite;

private:
    QtSerialPort& port_;
    SerialLink* inner_ = nullptr;
};

}  // namespace qm::test
