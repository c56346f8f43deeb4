// The stores of the virtual network as the program copies them: every logger's directories land
// in the data folder as its files, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "protocol/Cp1251.h"
#include "sim/Network.h"
#include "store/LocalFiles.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// Every file of a local directory but the copy's own record and the collection log, by name,
// with its bytes.
std::map<std::string, std::string> LocalFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename() == "Temp.bin" ||
            entry.path().filename() == kCollectionLogName)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[PathText(entry.path().filename())] = bytes.str();
    }
    return files;
}

// A logger's files of a directory as the local copy must hold them, by local name.
std::map<std::string, std::string> LoggerFiles(sim::LoggerStore& store, const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : store.FileNames(dir)) {
        std::string text;
        for (const std::string& line : store.Content(dir, name)->lines) text += line + "\r\n";
        files[PathText(LocalName(name))] = text;
    }
    return files;
}

TEST(NetworkCopy, EveryLoggersDirectoriesCopyAsItsFiles) {
    // The loggers' clocks run on the PC clock of the rig that talks to them.
    FakePcClock before;
    FakePcClock* pc = &before;
    sim::VirtualNetwork net(sim::DemoNetwork(), [&pc] { return pc->Now(); });
    for (std::size_t i = 0; i < net.Size(); ++i) {
        const std::string name = net.Describe(i).name;
        const fs::path start =
            fs::temp_directory_path() / ("qm_network_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        {
            // Each logger on a link of its own, straight to its store.
            Rig rig(net.Logger(i));
            pc = &rig.clock;
            rig.controller.SetUpFolders(start);
            rig.StartUsb();
            rig.RunFor(5000);
            const auto dirs = rig.State().Directories().DirectoryNames();
            ASSERT_EQ(dirs.size() + 1, net.Store(i).DirectoryNames().size()) << name;
            for (std::size_t d = 0; d < dirs.size(); ++d) {
                rig.controller.Selected("ComboBox1", static_cast<int>(d));
                rig.controller.Click("bAllData");
                rig.RunUntilIdle();
                const auto local = LocalFiles(start / "DATA" / LocalName(dirs[d]));
                EXPECT_FALSE(local.empty()) << name << " " << Cp1251ToUtf8(dirs[d]);
                EXPECT_EQ(local, LoggerFiles(net.Store(i), dirs[d]))
                    << name << " " << Cp1251ToUtf8(dirs[d]);
            }
            EXPECT_TRUE(rig.ops.errors.empty()) << name;
            rig.controller.FormClose();
            pc = &before;
        }
        std::error_code ec;
        fs::remove_all(start, ec);
    }
}

}  // namespace
}  // namespace qm::test
