// The serial port: open and set up, purge, bounded blocking write, reads of what has arrived,
// and receive announcements on the UI thread.
#include "link/backends/QtSerialPort.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSerialPortInfo>
#include <cerrno>
#include <set>

#include <poll.h>

namespace qm {

namespace {

constexpr qint64 kReceiveQueue = 1024;

[[noreturn]] void Fail(SerialFailure what, int systemError) {
    throw SerialFailed(what, systemError);
}

}  // namespace

int QtSerialPort::OpenError(QSerialPort::SerialPortError error, int systemError) {
    // errno is only what the last system call left: Qt refuses a port whose lock file another
    // program holds without a call that fails, and errno may still hold an earlier lookup's
    // ENOENT.
    switch (error) {
        case QSerialPort::PermissionError:
            return systemError == EACCES || systemError == EPERM ? systemError : EBUSY;
        case QSerialPort::DeviceNotFoundError:
            return ENOENT;
        default:
            return systemError != 0 ? systemError : EIO;
    }
}

namespace {

// Whether the device behind an open descriptor has gone: the other side of a pseudo-terminal
// closed, a USB adapter pulled, the node removed. The system keeps such a descriptor hung up
// (or in error) for as long as it stays open; one that merely has nothing to read is neither.
bool HungUp(qintptr descriptor) {
    pollfd p{static_cast<int>(descriptor), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Whether the system holds bytes to read on an open descriptor.
bool Pending(qintptr descriptor) {
    pollfd p{static_cast<int>(descriptor), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & POLLIN) != 0;
}

}  // namespace

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    // Queued: the handler reads from the port, and must not run inside a wait of this port.
    connect(
        &port_, &QSerialPort::readyRead, this, [this] { Announce(); }, Qt::QueuedConnection);
    connect(&port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { OnError(e); });
}

QtSerialPort::~QtSerialPort() {
    port_.close();
}

SerialLink* QtSerialPort::Open(const std::string& name) {
    Close();
    port_.setPortName(QString::fromStdString(name));
    port_.setBaudRate(QSerialPort::Baud115200);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kReceiveQueue);
    errno = 0;
    // Qt opens the device exclusively (TIOCEXCL and a lock file on Unix, no sharing on Windows)
    // and applies the line settings; any failure there leaves the port closed.
    if (!port_.open(QIODevice::ReadWrite)) {
        Fail(SerialFailure::Open, OpenError(port_.error(), errno));
    }
    // Devices without modem-control lines (pseudo-terminals, some virtual ports) refuse these;
    // there is nothing to switch off then.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.clearError();
    checking_ = false;
    ++opened_;
    return this;
}

void QtSerialPort::PurgeBuffers() {
    if (!port_.isOpen()) Fail(SerialFailure::NotOpen, 0);
    errno = 0;
    if (!port_.clear(QSerialPort::AllDirections)) {
        const int error = errno;
        port_.clearError();
        Fail(SerialFailure::Purge, error);
    }
}

void QtSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!port_.isOpen()) Fail(SerialFailure::NotOpen, 0);
    const auto n = static_cast<qint64>(bytes.size());
    errno = 0;
    if (port_.write(reinterpret_cast<const char*>(bytes.data()), n) != n) {
        const int error = errno;
        port_.clearError();
        Fail(SerialFailure::Write, error);
    }
    // The write ends when the bytes are out or after 1000 ms + 100 ms per byte, whichever comes
    // first; what has not gone out by then is dropped, so it cannot trail into the next request.
    const QDeadlineTimer deadline(1000 + 100 * n);
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) continue;
        const QSerialPort::SerialPortError e = port_.error();
        port_.clearError();
        if (e == QSerialPort::TimeoutError || deadline.hasExpired()) {
            port_.clear(QSerialPort::Output);
            return;
        }
        Fail(SerialFailure::Write, errno);
    }
}

std::size_t QtSerialPort::Read(std::span<std::uint8_t> bytes) {
    if (!port_.isOpen()) Fail(SerialFailure::NotOpen, 0);
    // Bytes the system holds that the port's read notifier has not taken in yet (the event
    // loop has not come round to it: a reader that asks before the announcement, after the PC
    // paused) are taken in first.
    if (port_.bytesAvailable() < static_cast<qint64>(bytes.size()) && Pending(port_.handle()))
        port_.waitForReadyRead(0);
    errno = 0;
    const qint64 got =
        port_.read(reinterpret_cast<char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (got < 0) {
        const int error = errno;
        port_.clearError();
        Fail(SerialFailure::Read, error);
    }
    return static_cast<std::size_t>(got);
}

void QtSerialPort::Close() {
    if (port_.isOpen()) port_.close();
}

void QtSerialPort::Announce() {
    // Several queued announcements may find the bytes already taken.
    while (port_.isOpen() && rx_) {
        const qint64 waiting = port_.bytesAvailable();
        if (waiting <= 0) return;
        rx_(static_cast<std::size_t>(waiting));
        // A handler that took nothing is not asked again until more bytes arrive.
        if (port_.isOpen() && port_.bytesAvailable() >= waiting) return;
    }
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    // Qt reports a read of the port that returned nothing as ReadError, or as ResourceError when
    // errno happens to hold EAGAIN or EIO from an earlier call. The far end having gone reads
    // like that (a pseudo-terminal whose other side closed reads 0 bytes, and Qt would report it
    // again on every turn of the event loop), but so does a port that had nothing to read after
    // all: the event loop saw a reply's bytes arrive, and before the port's read notifier ran, a
    // handler earlier in the same turn purged the port for its next request (or took the bytes).
    // So the system is asked, from the event loop rather than inside the port's own
    // notification, whether the device has hung up; only then is the port closed, once.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    if (checking_) return;
    checking_ = true;
    QMetaObject::invokeMethod(
        this, [this, opened = opened_] { CheckFarEnd(opened); }, Qt::QueuedConnection);
}

void QtSerialPort::CheckFarEnd(int opened) {
    if (opened != opened_) return;  // a check for a port closed since; the new one has its own
    checking_ = false;
    port_.clearError();
    if (!port_.isOpen()) return;
    if (!HungUp(port_.handle())) {
        ++readErrorsOutlived_;
        // After a ResourceError Qt stops watching the port for bytes; setting the receive queue
        // starts it again (and does nothing when it still watches).
        port_.setReadBufferSize(kReceiveQueue);
        return;
    }
    Close();
    if (lost_) lost_();
}

std::vector<std::string> SerialPortCandidates() {
    std::set<std::string> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef _WIN32
        names.insert(info.portName().toStdString());  // "COM3" opens as the port of that number
#else
        names.insert(info.systemLocation().toStdString());
#endif
    }
#ifndef _WIN32
    const QDir dev(QStringLiteral("/dev"));
    const QStringList kinds = {"ttyS*", "ttyUSB*", "ttyACM*", "rfcomm*"};
    for (const QString& name : dev.entryList(kinds, QDir::System | QDir::NoDotAndDotDot))
        names.insert(dev.filePath(name).toStdString());
#endif
    return {names.begin(), names.end()};
}

}  // namespace qm
