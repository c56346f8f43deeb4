#include "core/BluetoothPresenter.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "link/ModemText.h"
#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"

namespace qm {

void BluetoothPresenter::Register(Handlers& h) {
    h.OnClick("Button6", [this] { Button6Click(); });
}

void BluetoothPresenter::BluetoothModemFound() {
    ctx_.m.window.title = "QM-Controller  [ BT-modem ]";
    ctx_.m.pmBluetooth.enabled = false;
    // Without a window nobody picks from the list: the caller dials an address of its own.
    if (ctx_.ops.SeesWindow()) LoadBluetoothDeviceList();
}

void BluetoothPresenter::LoadBluetoothDeviceList() {
    WindowModel& m = ctx_.m;
    const auto path = StartFolder_ / "Device.txt";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // OK or Cancel: the list stays empty either way.
        (void)ctx_.ops.Confirm(ctx_.Text(Msg::NoDeviceList));
        return;
    }
    m.pmBluetooth.enabled = false;
    std::vector<std::string> lines;
    try {
        lines = DeviceListLines(ReadWholeFile(path));
    } catch (const FileError& e) {
        ctx_.ops.ShowError(e.Text(ctx_.CurrentLanguage()));
        return;
    }
    const std::size_t kept = std::min(lines.size(), kBluetoothListSize);
    m.RadioGroup1.items.clear();
    BluetoothAddresses_ = {};
    for (std::size_t n = 0; n < kept; ++n) {
        BluetoothAddresses_[n] = lines[n];
        m.RadioGroup1.items.push_back(std::to_string(n + 1) + "   ( " + Cp1251ToUtf8(lines[n]) +
                                      " )");
    }
    BluetoothAddressCount_ = static_cast<int>(kept);
    m.BTmodem.geometry.left = 10;
    m.BTmodem.geometry.top = 10;
    m.BTmodem.visible = true;
    m.RadioGroup1.itemIndex = 0;
    if (lines.size() > kept) {
        const std::string left =
            lines.size() == kept + 1
                ? ctx_.Text(Msg::DeviceListLineLeftOut, {std::to_string(kept + 1)})
                : ctx_.Text(Msg::DeviceListLinesLeftOut,
                            {std::to_string(kept + 1), std::to_string(lines.size())});
        ctx_.ops.ShowWarning(
            ctx_.Text(Msg::DeviceListTooLong,
                      {PathText(path), std::to_string(lines.size()), std::to_string(kept), left}));
    }
}

std::optional<std::string> BluetoothPresenter::SelectedAddress() {
    const int item = ctx_.m.RadioGroup1.itemIndex;
    if (item < 0 || item >= BluetoothAddressCount_) {
        ctx_.ops.ShowWarning(ctx_.Text(Msg::ChooseDeviceFirst));
        return std::nullopt;
    }
    const std::string& address = BluetoothAddresses_[static_cast<std::size_t>(item)];
    if (!bt_.CallFits(address)) {
        const std::string text = modem::CallText(address);
        ctx_.ops.ShowError(
            ctx_.Text(Msg::DeviceLineTooLong,
                      {std::to_string(item + 1), Cp1251ToUtf8(address), Cp1251ToUtf8(text),
                       std::to_string(text.size() + 4), std::to_string(bt_.ReportLength())}));
        return std::nullopt;
    }
    return address;
}

void BluetoothPresenter::Button6Click() {
    if (const auto address = SelectedAddress()) bt_.Dial(*address, std::nullopt);
}

void BluetoothPresenter::BluetoothDialReady() {
    ctx_.m.Button6.enabled = true;
}

void BluetoothPresenter::BluetoothDialStarted() {
    ctx_.m.RadioGroup1.enabled = false;
    ctx_.m.Button6.enabled = false;
}

void BluetoothPresenter::BluetoothDialStopped() {
    ctx_.m.RadioGroup1.enabled = true;
    ctx_.m.Button6.enabled = true;
}

void BluetoothPresenter::BluetoothCalled(int calls) {
    ctx_.m.Label10.caption = std::to_string(calls);
    ctx_.m.Label10.visible = true;
}

void BluetoothPresenter::BluetoothNoCarrier(int count) {
    ctx_.m.Label9.caption = std::to_string(count);
    ctx_.m.Label9.visible = true;
}

void BluetoothPresenter::BluetoothConnected() {
    ctx_.m.BTmodem.visible = false;
}

}  // namespace qm
