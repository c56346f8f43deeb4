#include "link/backends/HandOver.h"

#include <QMetaObject>

namespace qm {

UiHandOver::UiHandOver(QObject* context) : shared_(std::make_shared<Shared>()), context_(context) {}

bool UiHandOver::Run(std::function<void()> call) {
    std::uint64_t ticket;
    {
        std::lock_guard lock(shared_->m);
        if (shared_->stop) return false;
        ticket = ++shared_->posted;
    }
    auto ranFlag = std::make_shared<bool>(false);
    const bool posted = context_ && QMetaObject::invokeMethod(
                                        context_,
                                        [s = shared_, call = std::move(call), ticket, ranFlag] {
                                            // Stop() runs on this thread too: no call starts
                                            // after it.
                                            bool stop;
                                            {
                                                std::lock_guard lock(s->m);
                                                stop = s->stop;
                                            }
                                            if (!stop) {
                                                call();
                                                *ranFlag = true;
                                            }
                                            {
                                                std::lock_guard lock(s->m);
                                                s->handled = ticket;
                                            }
                                            s->cv.notify_all();
                                        },
                                        Qt::QueuedConnection);
    if (!posted) return false;
    std::unique_lock lock(shared_->m);
    shared_->cv.wait(lock, [&] { return shared_->handled >= ticket || shared_->stop; });
    return *ranFlag;  // written on the UI thread before `handled`
}

bool UiHandOver::Pause(std::chrono::milliseconds wait) {
    std::unique_lock lock(shared_->m);
    return !shared_->cv.wait_for(lock, wait, [&] { return shared_->stop; });
}

bool UiHandOver::Stopped() const {
    std::lock_guard lock(shared_->m);
    return shared_->stop;
}

void UiHandOver::Stop() {
    {
        std::lock_guard lock(shared_->m);
        shared_->stop = true;
    }
    shared_->cv.notify_all();
}

}  // namespace qm
