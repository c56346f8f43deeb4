#include "app/CommandLine.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#endif

namespace qm {

namespace {

std::vector<std::string> FromArgv(int argc, char* argv[]) {
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char* argv[]) {
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return FromArgv(argc, argv);
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(n > 0 ? static_cast<std::size_t>(n) : 1u, '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
        text.resize(text.size() - 1);  // the terminating zero
        args.push_back(std::move(text));
    }
    LocalFree(wide);
    // The C runtime and the shell split the same command line; should they ever differ in the
    // count, argv is what the rest of the program (and Qt) sees.
    if (static_cast<int>(args.size()) != argc) return FromArgv(argc, argv);
    return args;
#else
    return FromArgv(argc, argv);
#endif
}

void UseParentConsole() {
#ifdef _WIN32
    // A program started from a console writes there; one started otherwise (a shortcut, the
    // task scheduler with redirection) keeps the handles it was given.
    const bool redirectedOut = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    const bool redirectedErr = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!redirectedOut) std::freopen("CONOUT$", "w", stdout);
    if (!redirectedErr) std::freopen("CONOUT$", "w", stderr);
    // The program's texts are UTF-8.
    SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace qm
