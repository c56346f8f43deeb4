#pragma once

#include <QObject>
#include <QSerialPort>
#include <functional>
#include <string>
#include <vector>

#include "link/SerialPortOpener.h"
#include "protocol/Links.h"

namespace qm {

// The program's serial port (ComPort1) on Qt SerialPort. It lives on the UI thread; received
// bytes are announced there, from the event loop, with the number of bytes waiting, never from
// inside one of the port's own calls (a blocking write may see bytes arrive).
class QtSerialPort : public QObject, public SerialLink, public SerialPortOpener {
public:
    using RxHandler = std::function<void(std::size_t bytesWaiting)>;

    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    void SetRxHandler(RxHandler handler) { rx_ = std::move(handler); }
    // Called from the event loop once the port has been closed because its far end went away.
    void SetLostHandler(std::function<void()> handler) { lost_ = std::move(handler); }
    bool IsOpen() const { return port_.isOpen(); }
    // The errno that says why Qt could not open a port: Qt's own finding where errno does not
    // say it (a port another program holds reads as EBUSY).
    static int OpenError(QSerialPort::SerialPortError error, int systemError);
    // Read errors the port came through because its device was still there (see OnError).
    int ReadErrorsOutlived() const { return readErrorsOutlived_; }

    // SerialPortOpener: exclusive, 115200 8N1, no flow control, DTR and RTS off, a 1024-byte
    // receive queue. Throws SerialPortError.
    SerialLink* Open(const std::string& name) override;

    // SerialLink.
    void PurgeBuffers() override;
    void Write(std::span<const std::uint8_t> bytes) override;
    std::size_t Read(std::span<std::uint8_t> bytes) override;
    void Close() override;

private:
    void Announce();
    void OnError(QSerialPort::SerialPortError error);
    void CheckFarEnd(int opened);

    QSerialPort port_;
    RxHandler rx_;
    std::function<void()> lost_;
    bool checking_ = false;  // a check of the far end is queued
    int opened_ = 0;         // counts opens, so that a late check cannot hit a port opened again
    int readErrorsOutlived_ = 0;
};

// Serial devices the operator may pick in the port group: the ports the system lists and, on
// Unix, the device nodes of the serial kinds it may leave out (ttyS, ttyUSB, ttyACM, rfcomm).
// Pseudo-terminals are not listed; they are typed in.
std::vector<std::string> SerialPortCandidates();

}  // namespace qm
