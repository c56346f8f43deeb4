#include "store/FileSteps.h"

#include <cerrno>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qm {

namespace fs = std::filesystem;

namespace {

FileStepHook& Hook() {
    static FileStepHook hook;
    return hook;
}

#if defined(_WIN32)
std::error_code LastError() {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}
#else
std::error_code LastErrno() {
    return std::error_code(errno, std::generic_category());
}

void SyncPath(const fs::path& path, int flags, std::error_code& ec) {
    ec.clear();
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        ec = LastErrno();
        return;
    }
    if (::fsync(fd) != 0) ec = LastErrno();
    ::close(fd);
}
#endif

}  // namespace

void SetFileStepHook(FileStepHook hook) {
    Hook() = std::move(hook);
}

bool FileStepGoesAhead(FileStep step, const fs::path& path) {
    return !Hook() || Hook()(step, path);
}

void SyncFile(const fs::path& file, std::error_code& ec) {
#if defined(_WIN32)
    ec.clear();
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ec = LastError();
        return;
    }
    if (!FlushFileBuffers(h)) ec = LastError();
    CloseHandle(h);
#else
    SyncPath(file, O_RDONLY, ec);
#endif
}

void SyncFolder(const fs::path& folder, std::error_code& ec) {
#if defined(_WIN32)
    (void)folder;
    ec.clear();
#else
    SyncPath(folder, O_RDONLY | O_DIRECTORY, ec);
    // Some file systems cannot sync a folder; the move is then as durable as they make it.
    if (ec == std::errc::invalid_argument || ec == std::errc::operation_not_supported) ec.clear();
#endif
}

void MoveFileOver(const fs::path& from, const fs::path& to, std::error_code& ec) {
#if defined(_WIN32)
    ec.clear();
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ec = LastError();
#else
    fs::rename(from, to, ec);
#endif
}

}  // namespace qm
