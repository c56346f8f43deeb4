#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// Puts faults on demand between the program and a device. Replies are numbered from 1 over
// the whole run, in the order the device gives them.
class FaultyDevice : public Device {
public:
    explicit FaultyDevice(Device& inner) : inner_(inner) {}
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    // The nth reply is lost.
    void DropReply(int n) { drop_.insert(n); }
    // The nth reply goes out with another status byte.
    void RefuseReply(int n, std::uint8_t status) { refuseReply_[n] = status; }
    // The next `times` replies to requests of this code go out with another status byte.
    void RefuseCommand(std::uint8_t code, std::uint8_t status, int times = 1) {
        refuseCommand_[code] = {status, times};
    }
    // A frame of these bytes goes out before the nth reply.
    void InsertGarbage(int n, std::vector<std::uint8_t> bytes) { garbage_[n] = std::move(bytes); }
    // A silent device answers nothing (it went out of range).
    void SetSilent(bool silent) { silent_ = silent; }

    int RepliesSeen() const { return replies_; }
    int Requests() const { return requests_; }

private:
    struct Refusal {
        std::uint8_t status;
        int times;
    };
    Device& inner_;
    std::set<int> drop_;
    std::map<int, std::uint8_t> refuseReply_;
    std::map<std::uint8_t, Refusal> refuseCommand_;
    std::map<int, std::vector<std::uint8_t>> garbage_;
    bool silent_ = false;
    int replies_ = 0;
    int requests_ = 0;
};

}  // namespace qm::sim
