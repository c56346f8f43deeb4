#pragma once

#include <cstdint>
#include <functional>

#include "core/PartContext.h"
#include "session/SessionEvents.h"

namespace qm {

// What the window shows of a missed reply: the retry caption, and the controls a request given
// up on gives back.
class RetryPresenter : public SessionEvents {
public:
    RetryPresenter(PartContext& ctx, std::function<void()> dropDeferredClick)
        : ctx_(ctx), dropDeferredClick_(std::move(dropDeferredClick)) {}

    // The retry caption: retry `attempt` of ReplyWatch::kReplyRetries, hidden for 0.
    void ShowRetry(int attempt);

    void ReplyRetrying(int attempt) override { ShowRetry(attempt); }
    // What waited on the connection has gone with it.
    void ConnectionReplaced() override { dropDeferredClick_(); }
    void PortLost(const std::string& /*name*/) override {
        dropDeferredClick_();
        ShowRetry(0);
    }
    void RequestGivingUp(std::uint8_t code) override;
    void RequestGivenUp(std::uint8_t code) override;

private:
    PartContext& ctx_;
    std::function<void()> dropDeferredClick_;
};

}  // namespace qm
