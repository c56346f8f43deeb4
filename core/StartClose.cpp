// Program start (folders, window geometry) and the close of the main window.
#include <system_error>

#include "core/Controller.h"
#include "protocol/CommandCode.h"

namespace qm {

Controller::Controller(PcClock& clock, OperatorServices& ops) : clock_(clock), ops_(ops) {
    RegisterHandlers();
}

void Controller::SetUpFolders(const std::filesystem::path& startFolder) {
    s_.StartFolder = startFolder;
    const auto data = startFolder / "DATA";
    std::error_code ec;
    if (std::filesystem::is_directory(data, ec) || std::filesystem::create_directory(data, ec))
        s_.DataFolder = data;
    else
        s_.DataFolder.clear();  // copies then work relative to the start folder
}

void Controller::FormCreate(int screenWidth, int screenHeight) {
    Run([&] {
        m_.screenWidth = screenWidth;
        m_.screenHeight = screenHeight;
        m_.window.top = 8;
        m_.window.left = 8;
        m_.window.width = 370;
        m_.window.height = screenHeight - 60;
        m_.Chart1.geometry = {250, 10, m_.window.width - 250, m_.window.height - 100};
        m_.Chart1.visible = false;
        s_.readings.ChartHasData = false;
        s_.readings.AxisMin = 1e11;
        s_.readings.AxisMax = -1e11;
        m_.Chart1.leftMax = 1e11;
        m_.Chart1.leftMin = -1e11;
        s_.readings.PreviousAxisMin = s_.readings.AxisMin;
        s_.readings.PreviousAxisMax = s_.readings.AxisMax;
        s_.InitialSequence = true;
        m_.GroupBox4.geometry.top = 10;
        m_.GroupBox4.geometry.left = 100;
        m_.GroupBox4.visible = false;
        m_.PageControl1.activePage = 0;
        s_.SerialLinkActive = false;
        s_.serialReply.Reset();
        s_.DialState = 0;
        s_.FirstListing = true;
        m_.DateData.value = clock_.Now().DatePart();
        m_.pComment.geometry.top = m_.GroupBox2.geometry.top;
        m_.pComment.geometry.left = m_.GroupBox2.geometry.left;
        m_.Label7.caption = "ver 5.1";
    });
}

void Controller::FormClose() {
    // The window closes whatever happens here: a failed power-down is not reported.
    try {
        if (s_.BtModemLink && s_.ClockRead && m_.CheckBox2.checked) {
            // Through the modem, over USB; the port box is not looked at then.
            SendCommand(CommandCode::PowerDown);
        } else if (s_.PortOpen && m_.CheckBox3.checked) {
            SendCommand(CommandCode::PowerDown);
            if (s_.serialPort) s_.serialPort->Close();
            s_.PortOpen = false;
        }
    } catch (const std::exception&) {
    }
    CloseLocalFiles();
}

void Controller::UsbLoggerFound(HidDeviceLink* device) {
    Run([&] {
        UseUsbLogger(device);
        m_.window.title = "QM-Controller";
    });
}

void Controller::SerialPortOpened(SerialLink* port, const std::string& portName) {
    Run([&] { UseSerialPort(port, portName); });
}

void Controller::UseUsbLogger(HidDeviceLink* device) {
    s_.LinkDevice = device;
    m_.StartTimer.SetInterval(300);
    m_.StartTimer.Start();
    m_.pmBluetooth.enabled = false;
}

void Controller::UseSerialPort(SerialLink* port, const std::string& portName) {
    s_.serialPort = port;
    s_.PortName = portName;
    s_.PortOpen = true;
    s_.SerialLinkActive = true;
    m_.StartTimer.SetInterval(3000);
    m_.StartTimer.Start();
    m_.GroupBox4.visible = false;
}

void Controller::pmBluetoothClick() {
    Run([&] { m_.GroupBox4.visible = true; });
}

}  // namespace qm
