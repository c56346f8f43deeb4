// A Windows program that tells how wine laid out its own unix process, for the tests of
// cmake/wine-run.sh and for scripts/wine-start-check.sh:
//   personality 0x...   the process's personality (0x40000: address-space randomisation off)
//   heap START-END      its heap (brk)
//   image-end END       where the wine64 executable's mappings end
// Wine opens files in the wineserver, where /proc/self would be the server: the unix process id
// comes from the getpid system call itself.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

long unixSyscall(long number, long argument) {
    long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(argument)
                     : "rcx", "r11", "memory");
    return result;
}

constexpr long getpidCall = 39;
constexpr long personalityCall = 135;
constexpr long queryPersonality = 0xffffffff;

}  // namespace

int main() {
    std::printf("personality 0x%lx\n", unixSyscall(personalityCall, queryPersonality));
    const std::string path = "Z:\\proc\\" + std::to_string(unixSyscall(getpidCall, 0)) + "\\maps";
    std::FILE* maps = std::fopen(path.c_str(), "r");
    if (!maps) {
        std::printf("heap ?\n");
        return 0;
    }
    std::string heap = "?";
    std::string imageEnd = "?";
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        const char* dash = std::strchr(line, '-');
        const char* space = std::strchr(line, ' ');
        if (!dash || !space || space < dash) continue;
        if (std::strstr(line, "[heap]") && heap == "?")
            heap.assign(line, static_cast<std::size_t>(space - line));
        else if (std::strstr(line, "/wine64\n"))
            imageEnd.assign(dash + 1, static_cast<std::size_t>(space - dash - 1));
    }
    std::fclose(maps);
    std::printf("heap %s\nimage-end %s\n", heap.c_str(), imageEnd.c_str());
    return 0;
}
