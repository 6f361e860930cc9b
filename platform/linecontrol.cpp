#include "platform/linecontrol.h"

#include <atomic>
#include <cerrno>
#include <sys/ioctl.h>

namespace platform {

namespace {

class SystemLineControl : public LineControl {
public:
    bool setModemLine(int fd, ModemLine line, bool set, int* error) override
    {
        int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
        return done(::ioctl(fd, set ? TIOCMBIS : TIOCMBIC, &bits), error);
    }

    bool setBreak(int fd, bool on, int* error) override
    {
        return done(::ioctl(fd, on ? TIOCSBRK : TIOCCBRK), error);
    }

private:
    static bool done(int rc, int* error)
    {
        if (rc == 0)
            return true;
        if (error)
            *error = errno;
        return false;
    }
};

SystemLineControl systemControl;
std::atomic<LineControl*> installed{nullptr};

} // namespace

LineControl& lineControl()
{
    LineControl* c = installed.load(std::memory_order_acquire);
    return c ? *c : systemControl;
}

void installLineControl(LineControl* control)
{
    installed.store(control, std::memory_order_release);
}

} // namespace platform
