// What the port tests share: a recorder that stands in for the modem lines,
// the break state and the pauses (so the long pauses cost nothing and every
// sequence can be compared), a readable copy of the diagnostic log, and a
// fixture that starts each test from fresh driver state with a pty at hand.
#pragma once

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "platform/linecontrol.h"
#include "platform/sleep.h"
#include "tests/sim/pty.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace porttest {

using Events = std::vector<std::string>;

// Events: "DTR+" (line set = asserted), "DTR-", "RTS+", "RTS-", "BRK+",
// "BRK-", "sleep <ms>".
class Recorder : public platform::LineControl, public platform::Sleeper {
public:
    bool refuseLines = false; // a port that cannot set its lines

    bool setModemLine(int fd, platform::ModemLine line, bool set, int* error) override
    {
        add(std::string(line == platform::ModemLine::Dtr ? "DTR" : "RTS") + (set ? "+" : "-"));
        if (fd < 0 || refuseLines) {
            if (error)
                *error = fd < 0 ? EBADF : ENOTTY;
            return false;
        }
        return true;
    }
    bool setBreak(int fd, bool on, int* error) override
    {
        add(on ? "BRK+" : "BRK-");
        if (fd < 0) {
            if (error)
                *error = EBADF;
            return false;
        }
        return true;
    }
    void sleepMs(unsigned ms) override
    {
        add("sleep " + std::to_string(ms));
        if (onSleep)
            onSleep(ms);
    }

    // Runs in place of each pause, on the pausing thread.
    std::function<void(unsigned)> onSleep;

    Events take()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Events out;
        out.swap(events_);
        return out;
    }

private:
    void add(std::string e)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(e));
    }
    std::mutex mutex_;
    Events events_;
};

inline Events join(std::initializer_list<Events> parts)
{
    Events out;
    for (const Events& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Waits until bytes the far end wrote have reached the port (a pty passes
// them on asynchronously), without taking them.
inline bool portReadable()
{
    pollfd p{qz::get_port_handle(), POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1;
}

// A fresh temporary file as the session's diagnostic log, read back with
// the log's character substitutions undone.
class DebugLogFile {
public:
    // False when no file could be made.
    bool open(const char* prefix)
    {
        std::string tmpl = std::string("/tmp/") + prefix + "XXXXXX";
        int fd = ::mkstemp(&tmpl[0]);
        if (fd < 0)
            return false;
        ::close(fd);
        path_ = tmpl;
        qz::SessionRecord& s = qz::session();
        s.debugLog = 1;
        std::snprintf(s.logPath, sizeof s.logPath, "%s", path_.c_str());
        for (int b = 0; b < 256; ++b)
            inverse_[qz::log_substitute(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
        return true;
    }
    void remove()
    {
        if (!path_.empty())
            std::remove(path_.c_str());
        path_.clear();
    }

    std::string text() const
    {
        std::ifstream in(path_, std::ios::binary);
        std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (char& c : raw)
            c = static_cast<char>(inverse_[static_cast<unsigned char>(c)]);
        return raw;
    }

private:
    std::string path_;
    std::array<unsigned char, 256> inverse_{};
};

class PortFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        qz::reset_session_slots();
        ASSERT_TRUE(pty.ok());
        platform::installSleeper(&rec);
        if (recordLines)
            platform::installLineControl(&rec);
        ASSERT_TRUE(log_.open("qzporttest"));
        qz::SessionRecord& s = qz::session();
        s.t1Ms = 120;
        s.t2Ms = 240;
    }

    void TearDown() override
    {
        qz::session().hardwareConfig = 0;
        qz::close_port();
        platform::installLineControl(nullptr);
        platform::installSleeper(nullptr);
        qz::reset_session_slots();
        log_.remove();
    }

    // The diagnostic log so far, as meant.
    std::string logText() const { return log_.text(); }
    bool logged(const std::string& line) const
    {
        return logText().find(line) != std::string::npos;
    }

    // Opens the pty's program side as the port.
    void openPort()
    {
        ASSERT_EQ(qz::open_port(pty.slavePath().c_str()), 1);
        rec.take();
    }

    // Reads what the program sent until `count` bytes came (or 5 s passed).
    std::string fromProgram(std::size_t count)
    {
        std::string got;
        for (int i = 0; i < 50 && got.size() < count; ++i)
            got += pty.readSome(100);
        return got;
    }

    bool recordLines = true;
    sim::Pty pty;
    Recorder rec;

private:
    DebugLogFile log_;
};

} // namespace porttest
