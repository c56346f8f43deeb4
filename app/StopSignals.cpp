#include "app/StopSignals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#endif

namespace qm {

namespace {

// Set by the handler itself: lock-free, so safe in a signal handler.
std::atomic<bool> gArrived{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

bool StopSignals::Arrived() {
    return gArrived.load();
}

#ifdef _WIN32

namespace {

// What the console handler (on a thread of the system's) reaches.
std::function<void()>* gStop = nullptr;
HANDLE gFinished = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (!gStop) return FALSE;
    gArrived.store(true);
    std::function<void()>* stop = gStop;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [stop] { (*stop)(); }, Qt::QueuedConnection);
    // The process ends when the handler of these returns: the run is given the time to end.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(gFinished, 4500);
    return TRUE;
}

}  // namespace

struct StopSignals::Parts {
    std::function<void()> stop;
};

StopSignals::StopSignals(std::function<void()> stop) : p_(std::make_unique<Parts>()) {
    gArrived.store(false);
    p_->stop = [this, stop = std::move(stop)] {
        requested_ = true;
        stop();
    };
    gStop = &p_->stop;
    gFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    gStop = nullptr;
    if (gFinished) SetEvent(gFinished);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

#else

namespace {

// The write end of the pipe the handler writes a byte into; the event loop reads the other.
int gWriteEnd = -1;

void OnSignal(int) {
    const int saved = errno;
    gArrived.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gWriteEnd, &byte, 1);
    errno = saved;
}

}  // namespace

struct StopSignals::Parts {
    int ends[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction oldTerm {};
    struct sigaction oldInt {};
};

StopSignals::StopSignals(std::function<void()> stop) : p_(std::make_unique<Parts>()) {
    gArrived.store(false);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, p_->ends) != 0) return;
    gWriteEnd = p_->ends[0];
    p_->notifier = std::make_unique<QSocketNotifier>(p_->ends[1], QSocketNotifier::Read);
    QObject::connect(p_->notifier.get(), &QSocketNotifier::activated, p_->notifier.get(),
                     [this, stop = std::move(stop)] {
                         char bytes[16];
                         while (::read(p_->ends[1], bytes, sizeof bytes) > 0) {
                         }
                         requested_ = true;
                         stop();
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &p_->oldTerm);
    sigaction(SIGINT, &action, &p_->oldInt);
}

StopSignals::~StopSignals() {
    if (p_->ends[0] < 0) return;
    sigaction(SIGTERM, &p_->oldTerm, nullptr);
    sigaction(SIGINT, &p_->oldInt, nullptr);
    p_->notifier.reset();
    gWriteEnd = -1;
    ::close(p_->ends[0]);
    ::close(p_->ends[1]);
}

#endif

}  // namespace qm
