#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "measure/Calibration.h"
#include "measure/Readings.h"
#include "measure/Remarks.h"
#include "measure/Schedule.h"
#include "protocol/DateTime.h"
#include "protocol/PacketBuffer.h"
#include "protocol/SerialFraming.h"
#include "store/CopyState.h"

namespace qm {

class HidDeviceLink;
class SerialLink;

// The program-wide variables of the main window. Everything starts zero, empty or false unless
// set here or by FormCreate.
struct ControllerState {
    // Packet and link.
    qm::PacketBuffer PacketBuffer{};
    int SendCount = 0;
    std::size_t ReceivedCount = 0;     // bytes of the current reply at indices 1..
    SerialReplyAssembler serialReply;  // RxCount lives here
    int HidOutputLength = 0;
    std::uint8_t CurrentCommand = 0;
    HidDeviceLink* LinkDevice = nullptr;
    SerialLink* serialPort = nullptr;  // ComPort1 once opened
    bool SerialLinkActive = false;
    std::string PortName;  // the port as the operator chose it, for messages
    bool PortOpen = false;
    std::uint8_t PortNumber = 0;
    bool UsbStarted = false;
    bool TextMode = false;
    int ModemMode = 0;
    int DialState = 0;
    int CallAttempts = 0;
    int NoCarrierCount = 0;
    bool RadioModemLink = false;
    bool BtModemLink = false;
    std::uint8_t RadioAddress = 0;
    std::array<std::string, 8> BluetoothAddresses;
    int BluetoothAddressCount = 0;

    // Connection sequence and identity.
    std::uint8_t DeviceType = 0;
    std::string DeviceTitle;
    bool PathrexDevice = false;
    bool InitialSequence = false;
    bool FirstListing = false;
    bool LineQueryPending = false;
    std::uint8_t CalBlockIndex = 0;
    int SysTimerAction = 0;

    // Device clock.
    std::uint16_t ClockSecond = 0, ClockMinute = 0, ClockHour = 0;
    std::uint16_t ClockDay = 0, ClockMonth = 0, ClockYear = 0, ClockMillisecond = 0;
    DateTime CurrentDateTime;
    bool ClockRead = false;
    bool ClockJustSet = false;

    // Measurements.
    MeasurementSchedule schedule;
    ReadingsState readings;
    CalibrationTable calibration{};
    double CalibrationValue = 0;  // the last reference value parsed from Edit1
    std::uint16_t LineValue = 0;
    RemarkBuffers remarks;
    double BatteryVolts = 0;
    bool BatteryShown = false;

    // Catalogue and download.
    std::string DirectoryName;  // Windows-1251 bytes, as the logger lists it
    std::filesystem::path StartFolder;
    std::filesystem::path DataFolder;
    CopyState copy;
};

}  // namespace qm
