#include "tests/sim/pty.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        close(master_);
        master_ = -1;
        return;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
    slaveKeeper_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ >= 0) {
        termios t{};
        if (tcgetattr(slaveKeeper_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slaveKeeper_, TCSANOW, &t);
        }
    }
    int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
}

Pty::~Pty()
{
    if (slaveKeeper_ >= 0)
        close(slaveKeeper_);
    if (master_ >= 0)
        close(master_);
}

unsigned speedToBaud(unsigned speed)
{
    switch (speed) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B576000: return 576000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    case B1152000: return 1152000;
    case B1500000: return 1500000;
    case B2000000: return 2000000;
    default: return 0;
    }
}

unsigned Pty::baudRate() const
{
    termios t{};
    // On Linux the master reports the settings of the slave side.
    if (master_ < 0 || tcgetattr(master_, &t) != 0)
        return 0;
    return speedToBaud(cfgetospeed(&t));
}

bool Pty::writeAll(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(master_, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{master_, POLLOUT, 0};
            if (poll(&pfd, 1, 1000) <= 0)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

std::string Pty::readSome(int timeoutMs)
{
    std::string out;
    pollfd pfd{master_, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0 || !(pfd.revents & POLLIN))
        return out;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    return out;
}

void Pty::drain()
{
    while (!readSome(0).empty()) {
    }
}

LineReady waitOnLine(int wakeFd, int masterFd, bool wantRead, bool wantWrite, bool brokenBefore,
                     std::chrono::steady_clock::time_point now, std::chrono::steady_clock::time_point deadline)
{
    if (brokenBefore) {
        wantRead = wantWrite = false;
        deadline = std::min(deadline, now + std::chrono::milliseconds(20));
    }
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, 0, 0}};
    if (wantRead)
        fds[1].events |= POLLIN;
    if (wantWrite)
        fds[1].events |= POLLOUT;
    const long long waitNs = std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count());
    timespec ts;
    ts.tv_sec = static_cast<time_t>(waitNs / 1'000'000'000LL);
    ts.tv_nsec = static_cast<long>(waitNs % 1'000'000'000LL);
    if (ppoll(fds, fds[1].events ? 2 : 1, &ts, nullptr) <= 0)
        return LineReady::Nothing;
    if (fds[0].revents & POLLIN) {
        std::uint64_t v;
        ssize_t n = read(wakeFd, &v, sizeof v);
        (void)n;
    }
    if (fds[1].revents & POLLIN)
        return LineReady::Readable;
    if (fds[1].revents & (POLLHUP | POLLERR))
        return LineReady::Broken;
    return LineReady::Nothing;
}

} // namespace sim
