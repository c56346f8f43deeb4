#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// The faults of a lossy link, as a device in front of the logger plays them. Requests and
// replies are numbered from 1 over the whole run; 0 turns a fault off.
struct LinkFaults {
    int loseEveryNthRequest = 0;      // the logger never sees it, so it does nothing
    int loseEveryNthReply = 0;        // the logger has acted on the request; its answer is lost
    int garbleEveryNthReply = 0;      // one byte of the reply is changed
    std::size_t garbleAt = 0;         // which byte, from the length byte (0) on
    int strayAfterEveryNthReply = 0;  // one byte of noise follows the reply in the same write
    // Each request and each reply is lost with this probability, drawn from `seed`: the same
    // seed loses the same requests and replies on every platform.
    double lossRate = 0;
    std::uint32_t seed = 1;
    // Every reply waits this long; played by the link (InProcessHidLink, SerialEndpoint).
    std::chrono::milliseconds replyDelay{0};
    // Replies to requests of these command codes wait this long instead of replyDelay; played
    // the same way.
    std::map<std::uint8_t, std::chrono::milliseconds> commandDelays;
};

// Reads faults from text such as "lose-request=7,lose-reply=5,garble=11,garble-at=0,stray=3,
// loss=2.5,seed=9,delay=200,delay-on=67:2200" (loss in percent, delays in ms; delay-on may be
// given once for each command code). Nothing when a key is unknown, a value out of range or a
// code given a delay twice.
std::optional<LinkFaults> ParseLinkFaults(std::string_view text);
// What the keys of ParseLinkFaults mean, for a --help text.
extern const char* const kLinkFaultsHelp;

// Puts faults on demand between the program and a device. Replies are numbered from 1 over
// the whole run, in the order the device gives them.
class FaultyDevice : public Device {
public:
    explicit FaultyDevice(Device& inner) : inner_(inner) {}
    FaultyDevice(Device& inner, const LinkFaults& faults) : inner_(inner) { SetFaults(faults); }
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    // The nth reply is lost.
    void DropReply(int n) { drop_.insert(n); }
    // Replies chosen by DropReply and not reached yet are delivered after all.
    void KeepReplies() { drop_.clear(); }
    // The nth reply goes out with another status byte.
    void RefuseReply(int n, std::uint8_t status) { refuseReply_[n] = status; }
    // The next `times` replies to requests of this code go out with another status byte.
    void RefuseCommand(std::uint8_t code, std::uint8_t status, int times = 1) {
        refuseCommand_[code] = {status, times};
    }
    // A frame of these bytes goes out before the nth reply.
    void InsertGarbage(int n, std::vector<std::uint8_t> bytes) { garbage_[n] = std::move(bytes); }
    // A silent device answers nothing (it went out of range).
    void SetSilent(bool silent) {
        silent_ = silent;
        if (!silent) silentFrom_ = 0;
    }
    // From the nth reply on the device is silent, until SetSilent(false).
    void SilentFromReply(int n) { silentFrom_ = n; }
    // The faults of a lossy link, from the next request on; the random draw starts over.
    void SetFaults(const LinkFaults& faults);

    int RepliesSeen() const { return replies_; }
    int Requests() const { return requests_; }
    int RequestsLost() const { return requestsLost_; }
    int RepliesLost() const { return repliesLost_; }
    int RepliesGarbled() const { return garbled_; }
    int StrayBytes() const { return strays_; }

    // The byte of noise that follows a reply.
    static constexpr std::uint8_t kStrayByte = 0xA5;

private:
    struct Refusal {
        std::uint8_t status;
        int times;
    };
    bool Every(int period, int n) const { return period > 0 && n % period == 0; }
    bool RandomLoss();

    Device& inner_;
    std::set<int> drop_;
    std::map<int, std::uint8_t> refuseReply_;
    std::map<std::uint8_t, Refusal> refuseCommand_;
    std::map<int, std::vector<std::uint8_t>> garbage_;
    LinkFaults faults_;
    std::mt19937 random_;
    bool silent_ = false;
    int silentFrom_ = 0;
    int replies_ = 0;
    int requests_ = 0;
    int requestsLost_ = 0;
    int repliesLost_ = 0;
    int garbled_ = 0;
    int strays_ = 0;
};

}  // namespace qm::sim
