#include "platform/serialline.h"

#include "platform/serialspeed.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

bool fail(int* error)
{
    if (error)
        *error = errno;
    return false;
}

speed_t speedConstant(unsigned baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    default: return B0;
    }
}

// Milliseconds left until the deadline, rounded up so that poll never wakes
// early and spins; 0 once it has passed.
int remainingMs(Clock::time_point deadline)
{
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    if (std::chrono::milliseconds(ms) < left)
        ++ms;
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

// Waits for `events` on fd (and for the cancel signal when given). Returns
// the transfer state to report, or Done when fd is ready.
LineIo waitReady(int fd, short events, int cancelFd, int limitMs,
                 Clock::time_point deadline, int* error)
{
    for (;;) {
        int timeout = -1;
        if (limitMs == 0)
            return LineIo::TimedOut;
        if (limitMs > 0) {
            timeout = remainingMs(deadline);
            if (timeout == 0)
                return LineIo::TimedOut;
        }
        pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        int rc = ::poll(fds, cancelFd >= 0 ? 2 : 1, timeout);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return LineIo::Failed;
        }
        if (rc == 0)
            continue; // the deadline test above ends the wait
        if (cancelFd >= 0 && (fds[1].revents & POLLIN))
            return LineIo::Cancelled;
        if (fds[0].revents & POLLNVAL) {
            *error = EBADF;
            return LineIo::Failed;
        }
        if (fds[0].revents & events)
            return LineIo::Done;
        if (fds[0].revents & (POLLERR | POLLHUP)) {
            *error = EIO;
            return LineIo::Failed;
        }
    }
}

} // namespace

std::string serialDevicePath(const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return name;
    return "/dev/" + name;
}

int serialOpen(const std::string& path, int* error)
{
    // Non-blocking so that the open does not wait for a carrier, and so that
    // every transfer below can be bounded by poll.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(error);
        return -1;
    }
    if (!::isatty(fd)) {
        if (error)
            *error = ENOTTY;
        ::close(fd);
        return -1;
    }
    // TIOCEXCL keeps other users out; a privileged opener passes it, so the
    // lock also keeps out a second opener that plays by the same rules.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        if (error)
            *error = e;
        return -1;
    }
    return fd;
}

void serialClose(int fd)
{
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool serialAdopt(int fd, int* error)
{
    int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) != 0)
        return fail(error);
    int fdFlags = ::fcntl(fd, F_GETFD);
    if (fdFlags < 0 || ::fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) != 0)
        return fail(error);
    return true;
}

bool serialConfigureRaw(int fd, unsigned baud, int* error)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return fail(error);
    // IGNPAR off as well: with it the driver drops a byte that came with a
    // framing error, while a reader (an autobaud at the wrong rate) needs to
    // see that something came; without INPCK such a byte passes unchanged.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                   | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    // One byte satisfies a read, so an empty non-blocking read reports
    // EAGAIN and a read of 0 can only mean a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t s = speedConstant(baud);
    if (s != B0) {
        cfsetispeed(&t, s);
        cfsetospeed(&t, s);
    }
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return fail(error);
    if (s == B0)
        return serialSetSpeed(fd, baud, error);
    return true;
}

bool serialSetSpeed(int fd, unsigned baud, int* error)
{
    if (baud == 0) {
        // Speed 0 would hang up the line.
        if (error)
            *error = EINVAL;
        return false;
    }
    speed_t s = speedConstant(baud);
    if (s == B0)
        return setArbitrarySerialSpeed(fd, baud, error);
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return fail(error);
    cfsetispeed(&t, s);
    cfsetospeed(&t, s);
    // TCSANOW: waiting for the output to drain could wait for ever on a
    // line whose far end does not read.
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return fail(error);
    return true;
}

bool serialPurge(int fd, SerialQueue queue, int* error)
{
    if (::tcflush(fd, queue == SerialQueue::Receive ? TCIFLUSH : TCOFLUSH) != 0)
        return fail(error);
    return true;
}

LineTransfer serialWrite(int fd, const void* data, std::size_t count, int limitMs)
{
    LineTransfer r;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs > 0 ? limitMs : 0);
    const char* p = static_cast<const char*>(data);
    while (r.count < count) {
        ssize_t n = ::write(fd, p + r.count, count - r.count);
        if (n > 0) {
            r.count += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            r.error = errno;
            r.status = LineIo::Failed;
            return r;
        }
        LineIo w = waitReady(fd, POLLOUT, -1, limitMs, deadline, &r.error);
        if (w != LineIo::Done) {
            r.status = w;
            return r;
        }
    }
    r.status = LineIo::Done;
    return r;
}

LineTransfer serialRead(int fd, int cancelFd, void* buffer, std::size_t count, int limitMs)
{
    LineTransfer r;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs > 0 ? limitMs : 0);
    char* p = static_cast<char*>(buffer);
    bool ready = false; // poll reported data for the read that follows
    while (r.count < count) {
        ssize_t n = ::read(fd, p + r.count, count - r.count);
        if (n > 0) {
            r.count += static_cast<std::size_t>(n);
            ready = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if ((n == 0 && ready) || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            r.error = n == 0 ? EIO : errno;
            r.status = LineIo::Failed;
            return r;
        }
        LineIo w = waitReady(fd, POLLIN, cancelFd, limitMs, deadline, &r.error);
        if (w != LineIo::Done) {
            r.status = w;
            return r;
        }
        ready = true;
    }
    r.status = LineIo::Done;
    return r;
}

int cancelSignalCreate(int* error)
{
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        fail(error);
    return fd;
}

void cancelSignalRaise(int signalFd)
{
    if (signalFd < 0)
        return;
    std::uint64_t one = 1;
    while (::write(signalFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void cancelSignalClear(int signalFd)
{
    if (signalFd < 0)
        return;
    std::uint64_t value;
    while (::read(signalFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

void cancelSignalClose(int signalFd)
{
    if (signalFd >= 0)
        ::close(signalFd);
}

std::string serialErrorText(int error)
{
    // The C locale's texts are the English ones, whatever the user's locale.
    static locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const char* text = c ? ::strerror_l(error, c) : nullptr;
    return text ? text : "Unknown error";
}

} // namespace platform
