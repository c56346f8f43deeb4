#include "sim/FaultyDevice.h"

namespace qm::sim {

std::vector<Frame> FaultyDevice::Handle(std::span<const std::uint8_t> request) {
    ++requests_;
    std::vector<Frame> out;
    const std::uint8_t code = request.size() > 3 ? request[3] : 0;
    for (Frame& frame : inner_.Handle(request)) {
        const int n = ++replies_;
        if (silent_) continue;
        if (auto g = garbage_.find(n); g != garbage_.end()) out.push_back(g->second);
        if (drop_.count(n)) continue;
        if (frame.size() > 1) {
            if (auto r = refuseReply_.find(n); r != refuseReply_.end()) frame[1] = r->second;
            if (auto c = refuseCommand_.find(code);
                c != refuseCommand_.end() && c->second.times > 0) {
                frame[1] = c->second.status;
                --c->second.times;
            }
        }
        out.push_back(std::move(frame));
    }
    return out;
}

}  // namespace qm::sim
