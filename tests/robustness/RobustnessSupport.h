#pragma once

// Shared pieces of the randomized robustness tests: a sandbox of folders whose every byte outside
// the DATA folder is checked, random replies, and a serial port fed from a byte queue. The fuzz
// targets use them too.
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "protocol/Links.h"
#include "tests/modems/FakeModems.h"
#include "tests/store/StoreDevice.h"
#include "tests/support/Rig.h"

namespace qm::test {

namespace fs = std::filesystem;

// root/a/b/start is the start folder (with its DATA folder), root/a/b/cwd the working directory
// during the test; a path that climbs out of DATA or is taken relative to the working directory
// lands inside root, where Changed() sees it.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    const fs::path& Root() const { return root_; }
    fs::path Start() const { return root_ / "a" / "b" / "start"; }
    fs::path Data() const { return Start() / "DATA"; }
    void Snapshot() { before_ = Outside(); }
    // Files and folders outside DATA that appeared, vanished or changed since Snapshot().
    std::vector<std::string> Changed() const;

private:
    std::map<std::string, std::string> Outside() const;
    fs::path root_;
    fs::path oldCwd_;
    std::map<std::string, std::string> before_;
};

// Every regular file under `folder` (relative, generic) with its bytes.
std::map<std::string, std::string> FilesUnder(const fs::path& folder);

// Random replies: lengths 0..64 mostly, other report sizes sometimes; length bytes that claim
// more or less than is there, the three statuses and others, texts with path tricks.
std::vector<std::uint8_t> RandomReply(std::mt19937& rng);
std::string RandomBytes(std::mt19937& rng, std::size_t maxLength);
int Pick(std::mt19937& rng, int lo, int hi);

// A serial port whose receive queue the test fills; reads take what is there.
class QueueSerialLink : public SerialLink {
public:
    std::deque<std::uint8_t> rx;
    std::vector<std::vector<std::uint8_t>> written;
    bool failNextRead = false;
    bool closed = false;
    void PurgeBuffers() override {}
    void Write(std::span<const std::uint8_t> bytes) override {
        written.emplace_back(bytes.begin(), bytes.end());
    }
    std::size_t Read(std::span<std::uint8_t> bytes) override;
    void Close() override { closed = true; }
};

// Passes requests to the device while the budget lasts; later ones get no reply (a cut link).
class Gate : public sim::Device {
public:
    explicit Gate(sim::Device& inner) : inner_(inner) {}
    long budget = 1'000'000;
    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override {
        if (budget <= 0) return {};
        --budget;
        return inner_.Handle(request);
    }

private:
    sim::Device& inner_;
};

// The states bad replies are tried in: the read-out after connecting, idle, the three copies
// under way, the Bluetooth modem's text dialogue and a radio modem waiting for its start.
enum class Phase { Initial, Idle, FullCopy, NewCopy, DayCopy, BtText, Radio };
inline constexpr int kPhaseCount = 7;
const char* PhaseName(Phase p);
inline void PrintTo(Phase p, std::ostream* os) {
    *os << PhaseName(p);
}

// Every code the dispatcher has a row for, and some it has none for.
extern const std::vector<std::uint8_t> kCodes;

// A logger of type 79 with two directories of files to copy.
void FillLogger(StoreDevice& dev);

// One program run in the sandbox's start folder, brought into a phase (random choices drawn
// from rng); the sandbox snapshot is taken at the end.
struct Session {
    Session(Sandbox& box, Phase phase, std::mt19937& rng);
    Sandbox& box;
    StoreDevice dev;
    Gate gate{dev};
    std::unique_ptr<FakeModem> modem;
    std::unique_ptr<Rig> rig;
};

// Buttons the operator may press while replies come in.
extern const std::vector<std::string> kButtons;

// Clicks a button the way the operator can: only when it is visible and enabled.
void ClickIfAvailable(Controller& c, std::string_view name);

// Files of the DATA folder that are left half written (in a staging folder) or end in a half
// line.
std::vector<std::string> BrokenFiles(const fs::path& data);

}  // namespace qm::test
