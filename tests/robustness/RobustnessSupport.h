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
#include <set>
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
    std::size_t writes = 0;  // every write, also those taken out of `written`
    bool failNextRead = false;
    bool closed = false;
    // What has arrived is dropped, as a port's purge drops it.
    void PurgeBuffers() override { rx.clear(); }
    void Write(std::span<const std::uint8_t> bytes) override {
        ++writes;
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
struct ProgramRun {
    ProgramRun(Sandbox& box, Phase phase, std::mt19937& rng);
    Sandbox& box;
    StoreDevice dev;
    Gate gate{dev};
    std::unique_ptr<FakeModem> modem;
    std::unique_ptr<Rig> rig;
};

// Buttons and menu items the operator may press while replies come in.
extern const std::vector<std::string> kButtons;

// Whether the operator can reach a control or menu item: the window that holds it takes input
// (the parameters dialog is modal) and the control, its tab page and its groups are visible and
// enabled.
bool Available(Controller& c, std::string_view name);

// Clicks a button or menu item the way the operator can: only when it is available.
void ClickIfAvailable(Controller& c, std::string_view name);

// One edit of the operator's, chosen by `which`, with a value made from `value`: a text, a
// number, a date or time, a selection or a check mark of the calibration, remark, schedule,
// data, modem and port controls. Nothing happens when the control is not available.
void EditIfAvailable(Controller& c, std::uint8_t which, std::uint8_t value);

// The local file a copy makes of a logger file, and the day file of `day` made from a monthly
// file (empty when the day has no measurement).
std::string LocalCopyOf(const StoredFile& file);
std::string DayCopyOf(const StoredFile& file, int day);

// What the fuzz targets and the randomized tests check after every step of a run:
// - hang: a request awaited with no watchdog armed (the radio modem's every-second
//   identification repeats by itself), or the window locked (the busy bar running, the data
//   group or the clock and test buttons offering nothing to press) with nothing that will move
//   it on (no request awaited, no timer armed);
// - endless traffic: requests written in one step against the events that can cause one (see
//   kWritesPerEvent);
// - exactness: while the logger has answered truthfully, a copy that ended Complete left the
//   data files equal to the logger's.
class Oracles {
public:
    // At most this many requests per event. No event causes more than two (the battery reply of
    // a test measurement asks for the line value as well as the listing; a missed reply sends
    // the read-back of a write and its step may start over); twice that leaves a margin and
    // still catches a loop that writes with no reply or tick to drive it.
    static constexpr std::size_t kWritesPerEvent = 4;

    // `writes`: requests written before the first step.
    Oracles(Controller& c, const fs::path& data, std::size_t writes)
        : c_(c),
          data_(data),
          writes_(writes),
          dayCopy_(c.Day().Active()),
          outcome_(c.Copy().LastOutcome()) {}
    // Events of this step that can make the program write: replies and reports fed, timer
    // ticks, clicks and edits.
    void Events(std::size_t n) { events_ += n; }
    // Something not from the logger reached the program as a reply: the data-set folder of a
    // copy running then is not compared any more.
    void Untruthful();
    // Checks one step; `writes` counts every request written so far, `logger` is the logger
    // when it answers truthfully (nullptr: no exactness check). Empty when all hold.
    std::string Check(std::size_t writes, const StoreDevice* logger);
    // What a finished run leaves: files of the copied directories equal the logger's.
    std::string CheckFiles(const StoreDevice& logger) const;

private:
    std::string Hang() const;
    std::string Exactness(const StoreDevice& logger);

    Controller& c_;
    fs::path data_;
    std::size_t events_ = 0;
    std::size_t writes_ = 0;
    std::set<std::string> untruthful_;  // logger directories
    bool dayCopy_ = false;
    CopySession::Outcome outcome_ = CopySession::Outcome::None;
};

// Files of the DATA folder that are left half written (in a staging folder) or end in a half
// line.
std::vector<std::string> BrokenFiles(const fs::path& data);

}  // namespace qm::test
