// A value reply whose length claims more words than the report holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

TEST(CutValueReply, WritesOnlyTheWordsThatArrived) {
    const auto start = std::filesystem::temp_directory_path() / "qm-cut-value-reply";
    std::filesystem::remove_all(start);
    std::filesystem::create_directories(start);

    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 79, 5})});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
    dev.On(52, {F({2, 248, 60})});
    dev.On(64, {TextFrame(248, "D")});
    dev.On(64, {TextFrame(248, "A")});
    dev.On(65, {F({3, 248, 0, 0})});
    dev.On(16, {F({3, 248, 0x01, 0x00})});
    dev.On(66, {TextFrame(249, "14:30  5.03.2009 T")});
    // Length 201 claims 100 words; a 65-byte report carries 31 whole words (62 bytes).
    sim::Frame values{201, 250};
    for (int i = 0; i < 62; ++i) values.push_back(i % 2 == 0 ? 100 : 0);  // 1.00 each
    dev.On(71, {values});

    Rig rig(dev);
    rig.controller.SetUpFolders(start);
    rig.StartUsb();
    rig.RunFor(2'000);
    rig.controller.Click("bAllData");
    rig.RunFor(2'000);

    std::string text;
    {
        std::ifstream in(start / "DATA" / "D" / "A", std::ios::binary);
        std::stringstream file;
        file << in.rdbuf();
        text = file.str();
    }  // closed before the folder is removed (Windows refuses to remove an open file)
    EXPECT_EQ(text.find("  0.00"), std::string::npos) << "no zeros the logger never sent";
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 1u + 7u) << "the header and 31 values in lines of five";
    std::filesystem::remove_all(start);
}

}  // namespace
}  // namespace qm::test
