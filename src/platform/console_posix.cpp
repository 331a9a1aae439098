#include "console.h"

#include "console_shared.h"

#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

int readOneByte() {
    unsigned char c = 0;
    ssize_t n;
    do {
        n = read(0, &c, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? c : -1;
}

bool standardInputIsTerminal() { return isatty(0) == 1; }

bool keyWaiting() {
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    // End of input also polls as readable; only real bytes count as keys.
    if (standardInputIsTerminal()) return (p.revents & POLLIN) != 0;
    return (p.revents & POLLIN) != 0 && (p.revents & POLLHUP) == 0;
}

int readConsoleKey() {
    termios saved {};
    if (tcgetattr(0, &saved) != 0) return -1;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(0, TCSANOW, &raw);
    const int key = readOneByte();
    tcsetattr(0, TCSANOW, &saved);
    return key;
}

}  // namespace platform
