#pragma once

#include <QObject>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/SerialPortOpener.h"
#include "protocol/Links.h"

namespace qm {

class UiHandOver;

// The program's serial port (ComPort1) on the Win32 communications API. It lives on the UI
// thread, which does every read, write and purge; a watcher thread asks the driver how many
// received bytes wait and hands each new count to the UI thread, waiting until it has been
// handled, so the receive handler runs there and never inside one of the port's own calls.
//
// The device is opened for synchronous I/O and reads return at once with what the driver
// holds, so no call on the handle waits for received bytes: the watcher asks with
// ClearCommError every few milliseconds instead of waiting in WaitCommEvent. This works the
// same on drivers whose event waits end at once or whose overlapped reads never complete
// while the queue is empty (wine's serial emulation on a pseudo-terminal does both).
class WinSerialPort : public QObject, public SerialLink, public SerialPortOpener {
public:
    using RxHandler = std::function<void(std::size_t bytesWaiting)>;

    explicit WinSerialPort(QObject* parent = nullptr);
    ~WinSerialPort() override;

    void SetRxHandler(RxHandler handler) { rx_ = std::move(handler); }
    // Called from the event loop once the port has been closed because the device went away.
    void SetLostHandler(std::function<void()> handler) { lost_ = std::move(handler); }
    bool IsOpen() const { return handle_ != nullptr; }

    // SerialPortOpener: "\\.\" + name, exclusive; 1024-byte queues, 115200 8N1, no flow
    // control, DTR and RTS off; reads return at once, a write of n bytes ends after at most
    // 1000 + 100 n ms. Throws SerialPortError.
    SerialLink* Open(const std::string& name) override;

    // SerialLink.
    void PurgeBuffers() override;
    void Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> bytes) override;
    void Close() override;

private:
    void Watch(void* handle, UiHandOver& handOver, int opened);
    void OnLost(int opened);

    void* handle_ = nullptr;  // the device's HANDLE; null while closed
    RxHandler rx_;
    std::function<void()> lost_;
    std::unique_ptr<UiHandOver> handOver_;
    std::thread watcher_;
    // Counts reads that took bytes and purges, so the watcher knows the queue was touched.
    std::atomic<std::uint64_t> touches_ = 0;
    int opened_ = 0;  // counts opens, so that a late notice cannot hit a port opened again
};

}  // namespace qm
