#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "tests/store/StoreDevice.h"
#include "tests/support/Heard.h"
#include "tests/support/Rig.h"

namespace qm::test {

namespace fs = std::filesystem;

// A temporary start folder (with its DATA folder made by the controller), a logger data store
// and a rig connected to it, its session heard.
class StoreTest : public ::testing::Test {
public:
    // Every file under `folder`, by path relative to it, with its bytes.
    static std::map<std::string, std::string> Files(const fs::path& folder);

protected:
    void SetUp() override;
    void TearDown() override;

    // A new program run on the same folders: connects and lists the root.
    Rig& Connect(std::size_t reportLength = 65);
    // Copies with "Копировать" / "Новые" and runs until the copy has finished.
    void CopyAll();
    void CopyNew();

    fs::path Data() const { return start / "DATA"; }
    std::string Local(const fs::path& relative) const;
    // Writes a local file under DATA, its folders made.
    void Put(const fs::path& relative, const std::string& bytes) const;
    bool LocalExists(const fs::path& relative) const { return fs::exists(Data() / relative); }
    // Store requests with this code, as written.
    std::vector<std::vector<std::uint8_t>> Requests(std::uint8_t code) const;

    fs::path start;
    StoreDevice dev;
    std::unique_ptr<Rig> rig;
    Heard heard;
    // The measurements the last copy kept as it reported its end; -1 before any copy ended.
    std::int64_t Kept() const {
        return heard.copies.empty() ? -1 : heard.copies.back().measurements;
    }
};

// Bytes of a request from the lead byte to its 0 terminator: {0, length, status, code, ...}.
std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& request, std::size_t n);
std::vector<std::uint8_t> Bytes(std::initializer_list<int> b);
std::vector<std::uint8_t> WithText(std::vector<std::uint8_t> head, const std::string& text);

}  // namespace qm::test
