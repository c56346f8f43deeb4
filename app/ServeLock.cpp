#include "app/ServeLock.h"

#include <algorithm>
#include <system_error>

#include "store/LocalFiles.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qm {

namespace fs = std::filesystem;

#ifdef _WIN32

struct ServeLock::Held {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Held() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

namespace {

// The lock of `file`: held, held by another (`busy`), or why not.
std::error_code Lock(const fs::path& file, HANDLE& handle, bool& busy) {
    busy = false;
    handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {static_cast<int>(GetLastError()), std::system_category()};
    OVERLAPPED at{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return {};
    const DWORD error = GetLastError();
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    busy = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
    return {static_cast<int>(error), std::system_category()};
}

}  // namespace

#else

struct ServeLock::Held {
    int fd = -1;
    ~Held() {
        if (fd >= 0) ::close(fd);
    }
};

namespace {

std::error_code Lock(const fs::path& file, int& fd, bool& busy) {
    busy = false;
    fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return {errno, std::generic_category()};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
    const int error = errno;
    ::close(fd);
    fd = -1;
    busy = error == EWOULDBLOCK;
    return {error, std::generic_category()};
}

}  // namespace

#endif

ServeLock::ServeLock() = default;
ServeLock::~ServeLock() = default;

std::optional<ServeLock::Refusal> ServeLock::Take(const std::vector<fs::path>& folders,
                                                  Language language,
                                                  std::vector<Refusal>& skipped) {
    std::vector<fs::path> seen;
    for (const fs::path& folder : folders) {
        const fs::path f = folder.lexically_normal();
        if (std::find(seen.begin(), seen.end(), f) != seen.end()) continue;
        seen.push_back(f);
        std::error_code ec;
        fs::create_directories(f, ec);
        auto held = std::make_unique<Held>();
        bool busy = false;
#ifdef _WIN32
        if (!ec) ec = Lock(f / kServeLockName, held->file, busy);
#else
        if (!ec) ec = Lock(f / kServeLockName, held->fd, busy);
#endif
        if (busy) {
            held_.clear();
            return Refusal{Msg::ServeLocked, {PathText(f)}};
        }
        if (ec) {
            skipped.push_back({Msg::ServeNoLock, {PathText(f), SystemReason(ec, language)}});
            continue;
        }
        held_.push_back(std::move(held));
    }
    return std::nullopt;
}

}  // namespace qm
