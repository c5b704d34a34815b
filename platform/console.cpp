#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

void SetConsoleColor(int attribute) {
    if (attribute == 7) {
        std::fputs("\x1b[0m", stdout);
        return;
    }
    int ansi = ((attribute & 4) ? 1 : 0) | ((attribute & 2) ? 2 : 0) | ((attribute & 1) ? 4 : 0);
    std::fprintf(stdout, "\x1b[%dm", ((attribute & 8) ? 90 : 30) + ansi);
}

std::string ConsoleDevicePath() {
    // The descriptor the process started with stays reachable as a /proc path even after
    // standard output has been reopened, because it is duplicated here first.
    static const int original = dup(STDOUT_FILENO);
    int              tty      = open("/dev/tty", O_WRONLY | O_NOCTTY);
    if (tty >= 0) {
        close(tty);
        return "/dev/tty";
    }
    return original >= 0 ? "/proc/self/fd/" + std::to_string(original) : std::string("/dev/null");
}
