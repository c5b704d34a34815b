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

namespace {

int startup_stdout = -1;

}  // namespace

void RememberStartupStdout() {
    if (startup_stdout < 0)
        startup_stdout = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
}

bool ReopenStdoutOnConsole() {
    std::fflush(stdout);
    int tty = open("/dev/tty", O_WRONLY | O_NOCTTY);
    if (tty >= 0) {
        close(tty);
        return std::freopen("/dev/tty", "w", stdout) != nullptr;
    }
    if (startup_stdout < 0 || dup2(startup_stdout, STDOUT_FILENO) < 0)
        return false;
    std::clearerr(stdout);
    return true;
}
