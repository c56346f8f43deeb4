// The serial port on Win32: open and set up, purge, bounded writes, reads of what has arrived,
// and a watcher thread that announces received bytes on the UI thread.
#include "link/backends/WinSerialPort.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <QMetaObject>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/RxAnnounceGate.h"
#include "link/backends/HandOver.h"

namespace qm {

namespace {

constexpr DWORD kQueueSize = 1024;
// How often the watcher asks for received bytes while none wait. With the system timer at
// 1 ms (asked for while a port is open) a reply is seen within about this time.
constexpr std::chrono::milliseconds kPollInterval{2};

[[noreturn]] void Fail(SerialFailure what, DWORD systemError) {
    throw SerialFailed(what, static_cast<int>(systemError));
}

// Why a port could not be opened, as the errno the operator's message words: Windows calls a
// port that another program holds "access denied".
int OpenErrno(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EBUSY;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
            return ENODEV;
        default:
            return EIO;
    }
}

HANDLE Handle(void* handle) {
    return static_cast<HANDLE>(handle);
}

std::wstring DevicePath(const std::string& name) {
    std::wstring path = QString::fromStdString(name).toStdWString();
    // "\\.\COM10": names past COM9 open only in the device namespace, so every name goes there.
    if (path.rfind(L"\\\\.\\", 0) != 0) path.insert(0, L"\\\\.\\");
    return path;
}

}  // namespace

WinSerialPort::WinSerialPort(QObject* parent) : QObject(parent) {}

WinSerialPort::~WinSerialPort() {
    Close();
}

SerialLink* WinSerialPort::Open(const std::string& name) {
    Close();
    // Communications devices take no sharing and no overlapped flag: see the class comment.
    const HANDLE h = CreateFileW(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw SerialFailed(SerialFailure::Open, OpenErrno(GetLastError()));
    const auto fail = [h](SerialFailure what) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        Fail(what, error);
    };
    if (!SetupComm(h, kQueueSize, kQueueSize)) fail(SerialFailure::SetupQueues);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_115200;
    dcb.fBinary = TRUE;  // everything else off: no parity check, no flow control of any kind
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.XonLim = kQueueSize / 4;
    dcb.XoffLim = kQueueSize / 4;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    if (!SetCommState(h, &dcb)) fail(SerialFailure::SetState);

    // Reads return at once with what the driver holds; a write of n bytes ends after at most
    // 1000 + 100 n ms, reporting how many went out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(h, &timeouts)) fail(SerialFailure::SetTimeouts);

    handle_ = h;
    ++opened_;
    timeBeginPeriod(1);
    handOver_ = std::make_unique<UiHandOver>(this);
    watcher_ = std::thread(
        [this, h, handOver = handOver_.get(), opened = opened_] { Watch(h, *handOver, opened); });
    return this;
}

void WinSerialPort::PurgeBuffers() {
    if (!handle_) Fail(SerialFailure::NotOpen, 0);
    ++touches_;
    if (!PurgeComm(Handle(handle_), PURGE_RXCLEAR | PURGE_TXCLEAR))
        Fail(SerialFailure::Purge, GetLastError());
}

void WinSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!handle_) Fail(SerialFailure::NotOpen, 0);
    const auto n = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), bytes.data(), n, &written, nullptr))
        Fail(SerialFailure::Write, GetLastError());
    // The write timed out: what has not gone out is dropped, so it cannot trail into the next
    // request.
    if (written < n) PurgeComm(Handle(handle_), PURGE_TXABORT | PURGE_TXCLEAR);
}

std::size_t WinSerialPort::Read(std::span<std::uint8_t> bytes) {
    if (!handle_) Fail(SerialFailure::NotOpen, 0);
    const auto n = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kQueueSize));
    DWORD got = 0;
    if (n > 0 && !ReadFile(Handle(handle_), bytes.data(), n, &got, nullptr))
        Fail(SerialFailure::Read, GetLastError());
    if (got > 0) ++touches_;
    return got;
}

void WinSerialPort::Close() {
    if (!handle_) return;
    // The watcher may be waiting for a hand-over to run, even the one this call is made from:
    // stopping releases it before it is joined.
    handOver_->Stop();
    if (watcher_.joinable()) watcher_.join();
    handOver_.reset();
    const HANDLE h = Handle(handle_);
    handle_ = nullptr;
    PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(h);
    timeEndPeriod(1);
}

void WinSerialPort::Watch(void* handle, UiHandOver& handOver, int opened) {
    RxAnnounceGate gate;
    std::uint64_t seen = touches_.load();
    while (!handOver.Stopped()) {
        // Taken before the count: a purge after it makes the next turn look again.
        const std::uint64_t touches = touches_.load();
        if (touches != seen) gate.Touched();
        seen = touches;
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(Handle(handle), &errors, &status)) {
            // The device has gone (a USB adapter pulled): the UI thread closes the port.
            QMetaObject::invokeMethod(
                this, [this, opened] { OnLost(opened); }, Qt::QueuedConnection);
            return;
        }
        const std::size_t waiting = status.cbInQue;
        if (!gate.Polled(waiting)) {
            if (!handOver.Pause(kPollInterval)) return;
            continue;
        }
        if (!handOver.Run([this, waiting] {
                if (rx_) rx_(waiting);
            }))
            return;
        const std::uint64_t after = touches_.load();
        gate.Handled(waiting, after != seen);
        seen = after;
    }
}

void WinSerialPort::OnLost(int opened) {
    if (opened != opened_ || !handle_) return;
    Close();
    if (lost_) lost_();
}

}  // namespace qm
