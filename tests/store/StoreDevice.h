#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/Device.h"
#include "tests/support/Rig.h"

namespace qm::test {

// One entry of a file on the logger: a text line, or a measurement header line with its values
// (words as the logger stores them: 0x8000 missing, 0xFFFF is -1).
struct StoredEntry {
    std::string line;
    bool measurement = false;
    std::vector<std::uint16_t> values;
};
using StoredFile = std::vector<StoredEntry>;

struct StoredDirectory {
    std::string name;
    std::vector<std::pair<std::string, StoredFile>> files;
};

// A logger's data store for the copy tests: answers the listing, open, next line, resume, day
// search, value and delete requests from its side; every other code goes to `connection`
// (scripted frames for the connection sequence). It can stop answering after a number of
// replies, like a link that is cut.
class StoreDevice : public sim::Device {
public:
    std::vector<StoredDirectory> directories;
    ScriptedDevice connection;
    std::size_t wordsPerReply = 20;
    // The last value block of a file says "lines follow" (248); the next line request then
    // gets the end of the file (250).
    bool lastValuesSay248 = false;
    // The status a found day's first header line comes with (the logger sends 249).
    std::uint8_t dayFoundStatus = 249;
    // When set, only this many more store replies are sent; later requests get none.
    std::optional<int> repliesLeft;
    std::vector<std::vector<std::uint8_t>> requests;  // store requests, as written

    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override;

    StoredDirectory* Directory(const std::string& name);
    StoredFile* File(const std::string& path);

    // Frames the connection sequence of a logger of type 79 up to its root listing and the
    // line value.
    void ScriptConnection();

private:
    std::vector<sim::Frame> Answer(std::span<const std::uint8_t> request);
    sim::Frame CurrentLine();
    std::vector<std::string> listing_;
    std::size_t listed_ = 0;
    StoredFile* open_ = nullptr;
    std::size_t entry_ = 0;       // entry the next line reply sends
    std::size_t valuesSent_ = 0;  // of the measurement whose header was sent last
};

sim::Frame LineFrame(std::uint8_t status, const std::string& text);
sim::Frame ValuesFrame(std::uint8_t status, const std::vector<std::uint16_t>& words);
sim::Frame EndOfListFrame();

StoredEntry Text(std::string line);
StoredEntry Measurement(std::string header, std::vector<std::uint16_t> values);

}  // namespace qm::test
