// One pseudo-terminal pair for a simulated device: the simulator works the
// master side, the program under test opens slavePath() as its serial port.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace sim {

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // The baud rate that the program set on its end of the line (0 if the
    // line uses a rate this helper does not know).
    unsigned baudRate() const;

    // Writes every byte to the program's side; false if the line broke.
    bool writeAll(const void* data, std::size_t size);
    bool writeAll(const std::string& s) { return writeAll(s.data(), s.size()); }

    // Waits up to timeoutMs for data, then returns what is there (maybe empty).
    std::string readSome(int timeoutMs);

    // Discards whatever the program has sent so far.
    void drain();

private:
    int master_ = -1;
    // Held open so the master never reads EIO while the program has its
    // port closed.
    int slaveKeeper_ = -1;
    std::string slavePath_;
};

// One wait of a simulator's loop on its wake signal and its line, until the
// deadline. A line that broke on the last wait is not polled this time, and
// the wait is then at most 20 ms, so the loop neither spins on the error nor
// misses the program opening its port again. The wake signal is drained.
enum class LineReady { Nothing, Readable, Broken };
LineReady waitOnLine(int wakeFd, int masterFd, bool wantRead, bool wantWrite, bool brokenBefore,
                     std::chrono::steady_clock::time_point now, std::chrono::steady_clock::time_point deadline);

// Maps a termios speed constant to bits per second (0 when unknown).
unsigned speedToBaud(unsigned speed);

} // namespace sim
