/* The program scripts/wine-start-check.sh starts under wine: it prints where the heap (brk) of
 * its own wine process lies, then exits with 0. Wine opens files in the wineserver, so the unix
 * process id comes from the getpid system call itself, not from /proc/self. */
#include <stdio.h>
#include <string.h>

int main(void)
{
    long pid;
    __asm__ volatile("syscall" : "=a"(pid) : "a"(39L) /* getpid */ : "rcx", "r11", "memory");
    char path[64];
    snprintf(path, sizeof path, "Z:\\proc\\%ld\\maps", pid);
    FILE *maps = fopen(path, "r");
    char line[512];
    const char *heap = "?";
    while (maps && fgets(line, sizeof line, maps)) {
        if (strstr(line, "[heap]")) {
            line[strcspn(line, " ")] = '\0';
            heap = line;
            break;
        }
    }
    printf("heap %s\n", heap);
    if (maps)
        fclose(maps);
    return 0;
}
