#include "store/FileSteps.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
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
    // The folder of a bare file name ("k.csv") is the working folder, which open() knows as "."
    // and not as an empty name.
    SyncPath(folder.empty() ? fs::path(".") : folder, O_RDONLY | O_DIRECTORY, ec);
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

void AppendLineDurably(const fs::path& file, std::string_view bytes, std::error_code& ec) {
    ec.clear();
    std::string out;
#if defined(_WIN32)
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ec = LastError();
        return;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) ec = LastError();
    if (!ec && size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char ch = 0;
        DWORD got = 0;
        if (!SetFilePointerEx(h, last, nullptr, FILE_BEGIN) || !ReadFile(h, &ch, 1, &got, nullptr))
            ec = LastError();
        else if (got == 1 && ch != '\n')
            out += '\n';
    }
    if (!ec) {
        out += bytes;
        // With FILE_APPEND_DATA and no FILE_WRITE_DATA every write goes to the end.
        const char* at = out.data();
        std::size_t left = out.size();
        while (left > 0 && !ec) {
            DWORD wrote = 0;
            const auto n = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
            if (!WriteFile(h, at, n, &wrote, nullptr)) ec = LastError();
            at += wrote;
            left -= wrote;
        }
    }
    if (!ec && !FlushFileBuffers(h)) ec = LastError();
    CloseHandle(h);
#else
    const bool existed = fs::exists(file, ec);
    ec.clear();
    const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        ec = LastErrno();
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) ec = LastErrno();
    if (!ec && st.st_size > 0) {
        char ch = 0;
        const ssize_t got = ::pread(fd, &ch, 1, st.st_size - 1);
        if (got < 0)
            ec = LastErrno();
        else if (got == 1 && ch != '\n')
            out += '\n';
    }
    if (!ec) {
        out += bytes;
        const char* at = out.data();
        std::size_t left = out.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, at, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ec = n < 0 ? LastErrno() : std::make_error_code(std::errc::io_error);
                break;
            }
            at += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    if (!ec && ::fsync(fd) != 0) ec = LastErrno();
    if (::close(fd) != 0 && !ec) ec = LastErrno();
    // A new file's name reaches the disk with its folder.
    if (!ec && !existed) SyncFolder(file.parent_path(), ec);
#endif
}

}  // namespace qm
