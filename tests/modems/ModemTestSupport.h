#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/modems/FakeModems.h"
#include "tests/support/Rig.h"

namespace qm::test {

// A start folder of its own for each test, removed afterwards.
class StartFolder {
public:
    StartFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (std::string("qm_modems_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~StartFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    void WriteDeviceList(const std::string& content) const {
        std::ofstream(path_ / "Device.txt", std::ios::binary) << content;
    }

private:
    std::filesystem::path path_;
};

// The text of a written report: `count` bytes from index 3.
inline std::string ReportText(const std::vector<std::uint8_t>& report, std::size_t count) {
    return std::string(report.begin() + 3, report.begin() + 3 + static_cast<long>(count));
}

}  // namespace qm::test
