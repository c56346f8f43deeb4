#include <gtest/gtest.h>

#include <fstream>

#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

using CatalogueTest = StoreTest;

TEST_F(CatalogueTest, SelectorHoldsTheDirectoriesInTheLoggersOrderWithoutSystem) {
    for (const char* name : {"ZETA", "SYSTEM~1", "system~1", "SYSTEM~12", "ALPHA"})
        dev.directories.push_back({name, {}});
    Rig& r = Connect();
    EXPECT_EQ(r.Model().ComboBox1.items,
              (std::vector<std::string>{"ZETA", "system~1", "SYSTEM~12", "ALPHA"}));
    EXPECT_EQ(r.Model().ComboBox1.text, "ZETA");
    EXPECT_TRUE(r.Model().GroupBox1.visible);
    EXPECT_FALSE(r.Model().bNewData.enabled);
}

TEST_F(CatalogueTest, NewDataFollowsTheResumeRecordOfTheSelectedDirectory) {
    dev.directories = {{"ONE", {}}, {"TWO", {}}};
    Put("TWO/Temp.bin", "A\r\n5\r\n");
    Rig& r = Connect();
    EXPECT_FALSE(r.Model().bNewData.enabled);
    r.controller.Selected("ComboBox1", 1);
    EXPECT_TRUE(r.Model().bNewData.enabled);
    r.controller.Selected("ComboBox1", 0);
    EXPECT_FALSE(r.Model().bNewData.enabled);
}

TEST_F(CatalogueTest, DeleteAsksInTheWindowsLanguageAndSendsNothingOnCancel) {
    dev.directories = {{"ONE", {}}};
    Rig& r = Connect();
    dev.requests.clear();
    r.ops.confirmAnswer = false;
    r.controller.Click("bDelete");
    r.Model().pmEng.checked = true;
    r.controller.Click("bDelete");
    r.RunUntilIdle();
    EXPECT_EQ(r.ops.confirmations, (std::vector<std::string>{"Вы уверены?", "Are You sure?"}));
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_EQ(r.Model().ComboBox1.items, std::vector<std::string>{"ONE"});
}

TEST_F(CatalogueTest, DeleteSendsTheNameAndListsAgain) {
    dev.directories = {{"ONE", {}}, {"TWO", {}}};
    Rig& r = Connect();
    r.controller.Selected("ComboBox1", 1);
    dev.requests.clear();
    r.controller.Click("bDelete");
    r.RunFor(100);
    ASSERT_GE(dev.requests.size(), 2u);
    EXPECT_EQ(Head(dev.requests[0], 8), WithText(Bytes({0, 6, 0, 76}), "TWO"));
    EXPECT_EQ(Head(dev.requests[1], 5), Bytes({0, 3, 0, 64, 0}));
    EXPECT_EQ(r.Model().ComboBox1.items, std::vector<std::string>{"ONE"});
    EXPECT_EQ(r.Model().ComboBox1.text, "ONE");
    EXPECT_EQ(r.Model().ComboBox1.focusRequests, 1);
}

TEST_F(CatalogueTest, DeletingTheLastDirectoryShowsNoDataForThreeSeconds) {
    dev.directories = {{"ONE", {}}};
    Rig& r = Connect();
    r.controller.Click("bDelete");
    r.RunFor(100);
    EXPECT_TRUE(r.Model().ComboBox1.items.empty());
    EXPECT_FALSE(r.Model().GroupBox1.visible);
    EXPECT_TRUE(r.Model().Label6.visible);
    r.RunFor(2800);
    EXPECT_TRUE(r.Model().Label6.visible);
    r.RunFor(200);
    EXPECT_FALSE(r.Model().Label6.visible);
}

TEST_F(CatalogueTest, DeviceListFillsTheBluetoothGroup) {
    std::ofstream(start / "Device.txt", std::ios::binary) << "0011AABBCCDD\r\n0022\r\n\xc0\xc1\r\n";
    Rig& r = Connect();
    r.Model().pmBluetooth.enabled = true;
    r.controller.LoadBluetoothDeviceList();
    EXPECT_EQ(r.Model().RadioGroup1.items,
              (std::vector<std::string>{"1   ( 0011AABBCCDD )", "2   ( 0022 )", "3   ( АБ )"}));
    EXPECT_EQ(r.Model().RadioGroup1.itemIndex, 0);
    EXPECT_EQ(r.State().BluetoothView().BluetoothAddress(2), "\xc0\xc1");
    EXPECT_EQ(r.State().BluetoothView().BluetoothAddressCount(), 3);
    EXPECT_TRUE(r.Model().BTmodem.visible);
    EXPECT_EQ(r.Model().BTmodem.geometry.left, 10);
    EXPECT_EQ(r.Model().BTmodem.geometry.top, 10);
    EXPECT_FALSE(r.Model().pmBluetooth.enabled);
    EXPECT_TRUE(r.ops.warnings.empty());
}

TEST_F(CatalogueTest, DeviceListKeepsEightAndSaysWhichLinesWereLeftOut) {
    {
        std::ofstream f(start / "Device.txt", std::ios::binary);
        for (int i = 1; i <= 10; ++i) f << "addr" << i << (i % 2 ? "\r\n" : "\n");
    }
    Rig& r = Connect();
    r.controller.LoadBluetoothDeviceList();
    ASSERT_EQ(r.Model().RadioGroup1.items.size(), 8u);
    EXPECT_EQ(r.Model().RadioGroup1.items[7], "8   ( addr8 )");
    EXPECT_EQ(r.State().BluetoothView().BluetoothAddress(7), "addr8");
    ASSERT_EQ(r.ops.warnings.size(), 1u);
    EXPECT_NE(r.ops.warnings[0].find("не вошли: строки с 9 по 10."), std::string::npos)
        << r.ops.warnings[0];
}

TEST_F(CatalogueTest, MissingOrEmptyDeviceList) {
    Rig& r = Connect();
    r.controller.LoadBluetoothDeviceList();
    EXPECT_EQ(r.ops.confirmations, std::vector<std::string>{"Нет файла Device.txt"});
    EXPECT_FALSE(r.Model().BTmodem.visible);
    EXPECT_TRUE(r.Model().RadioGroup1.items.empty());

    std::ofstream(start / "Device.txt");
    r.controller.LoadBluetoothDeviceList();
    EXPECT_EQ(r.Model().RadioGroup1.items, std::vector<std::string>{"1   (  )"});
    EXPECT_EQ(r.State().BluetoothView().BluetoothAddressCount(), 1);
}

}  // namespace
}  // namespace qm::test
