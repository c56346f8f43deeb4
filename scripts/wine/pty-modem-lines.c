/* Preloaded into wine for the serial check: gives pseudo-terminals the modem-line ioctls of a
 * real UART. Wine waits for received bytes (WaitCommEvent) by polling the line's interrupt
 * counters and modem status, which a pseudo-terminal does not have, so without this a Windows
 * program never hears from a logger on a pty. The bytes themselves still go through wine's
 * serial driver untouched; only these queries are answered here, for pty file descriptors:
 *   TIOCMGET            CTS, DSR and CD up
 *   TIOCMSET/BIS/BIC    accepted (DTR and RTS lead nowhere)
 *   TIOCSERGETLSR       transmitter empty
 *   TIOCGICOUNT         rx counts up while bytes wait to be read, so every poll that finds
 *                       input reports it as new
 * SPDX-License-Identifier: GPL-3.0-or-later */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

static int is_pty(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    /* Unix 98 pty slaves have majors 136..143. */
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real_ioctl)(int, unsigned long, ...);
    static unsigned rx;
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!real_ioctl) real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");

    if (is_pty(fd)) {
        switch (request) {
        case TIOCMGET:
            *(int *)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return 0;
        case TIOCSERGETLSR:
            *(unsigned *)arg = TIOCSER_TEMT;
            return 0;
        case TIOCGICOUNT: {
            int waiting = 0;
            if (real_ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0) ++rx;
            struct serial_icounter_struct *c = arg;
            memset(c, 0, sizeof *c);
            c->rx = (int)rx;
            return 0;
        }
        default:
            break;
        }
    }
    return real_ioctl(fd, request, arg);
}
