#include "app/CommandLine.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qm {

bool HasOption(int argc, char* argv[], std::string_view name) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == name ||
            (a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '='))
            return true;
    }
    return false;
}

std::optional<std::string> LanguageArgument(int argc, char* argv[]) {
    constexpr std::string_view kLang = "--lang";
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == kLang) return i + 1 < argc ? std::string(argv[i + 1]) : std::string();
        if (a.size() > kLang.size() && a.substr(0, kLang.size()) == kLang && a[kLang.size()] == '=')
            return std::string(a.substr(kLang.size() + 1));
    }
    return std::nullopt;
}

bool EnglishAsked(int argc, char* argv[]) {
    return LanguageArgument(argc, argv) == "en";
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
