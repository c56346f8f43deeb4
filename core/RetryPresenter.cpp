#include "core/RetryPresenter.h"

#include <string>

#include "session/Dispatcher.h"
#include "session/ReplyWatch.h"

namespace qm {

void RetryPresenter::ShowRetry(int attempt) {
    Label& l = ctx_.m.lRetry;
    if (attempt <= 0) {
        l.visible = false;
        return;
    }
    l.caption = ctx_.Text(Msg::RetryCaption,
                          {std::to_string(attempt), std::to_string(ReplyWatch::kReplyRetries)});
    l.visible = true;
}

void RetryPresenter::RequestGivingUp(std::uint8_t /*code*/) {
    // A click waiting for the request would meet the same silence.
    dropDeferredClick_();
}

void RetryPresenter::RequestGivenUp(std::uint8_t code) {
    WindowModel& m = ctx_.m;
    if (dispatch::For(code).awaiter == dispatch::Part::Clock && m.bSynch.visible)
        m.bSynch.enabled = true;
    ctx_.StopBusyIndicator();
}

}  // namespace qm
