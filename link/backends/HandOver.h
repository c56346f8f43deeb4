#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace qm {

// Runs calls from a worker thread on the thread of a QObject (the UI thread), one at a time: the
// worker waits until its call has run there. Stop(), from the UI thread, drops calls not yet run
// and releases a waiting worker, so the UI thread can stop and join the worker without a
// dead-lock; a call queued before Stop() and run after it does nothing.
class UiHandOver {
public:
    explicit UiHandOver(QObject* context);

    // Worker side. False when stopped or when the context has gone (the call did not run).
    bool Run(std::function<void()> call);
    // Worker side: waits `wait`, or less when stopped. False when stopped.
    bool Pause(std::chrono::milliseconds wait);
    bool Stopped() const;

    // UI thread side.
    void Stop();

private:
    struct Shared {
        mutable std::mutex m;
        std::condition_variable cv;
        bool stop = false;
        std::uint64_t posted = 0, handled = 0;
    };
    std::shared_ptr<Shared> shared_;
    QPointer<QObject> context_;
};

}  // namespace qm
