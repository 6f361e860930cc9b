// A boot ROM stand-in for the engine's line-level tests: it works the pty's
// device side on its own thread, echoes bytes while its echo is on, and
// answers each received line with whatever the test's script returns.
#pragma once

#include "tests/sim/pty.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace enginetest {

class ScriptedPart {
public:
    // Answer to one line (without its line end); may be empty.
    using LineScript = std::function<std::string(const std::string& line)>;
    // Sees each byte before the line layer; returns true when it took it.
    using ByteScript = std::function<bool(unsigned char byte, std::string& answer)>;

    explicit ScriptedPart(sim::Pty& pty) : pty_(pty) {}
    ~ScriptedPart() { stop(); }

    void start()
    {
        running_ = true;
        thread_ = std::thread([this] { loop(); });
    }
    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }

    LineScript onLine;
    ByteScript onByte;
    std::atomic<bool> echo{true};
    // CR LF parts: the LF after a CR is echoed and the answer follows it.
    std::atomic<bool> crlf{false};
    // Half-duplex check: the host must not send a byte before the echo of
    // the one before came back; counts reads that held more than one byte.
    std::atomic<bool> strictHalfDuplex{false};
    std::atomic<int> burstReads{0};
    std::atomic<int> escapes{0};

    std::vector<std::string> lines()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    void loop()
    {
        std::string line;
        bool awaitingLf = false;
        std::string pending;
        while (running_) {
            const std::string in = pty_.readSome(10);
            if (in.empty())
                continue;
            if (strictHalfDuplex && in.size() > 1)
                ++burstReads;
            for (unsigned char c : in) {
                std::string answer;
                if (onByte && onByte(c, answer)) {
                    pty_.writeAll(answer);
                    continue;
                }
                if (awaitingLf) {
                    awaitingLf = false;
                    if (c == '\n') {
                        if (echo)
                            pty_.writeAll(&c, 1);
                        pty_.writeAll(pending);
                        continue;
                    }
                    pty_.writeAll(pending);
                }
                if (c == '\n' && line.empty())
                    continue; // the LF after a CR
                if (echo && c != 0x1B)
                    pty_.writeAll(&c, 1);
                if (c == 0x1B) {
                    ++escapes;
                    line.clear();
                    continue;
                }
                if (c != '\r') {
                    line += static_cast<char>(c);
                    continue;
                }
                const std::string done = line;
                line.clear();
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    lines_.push_back(done);
                }
                const std::string reply = onLine ? onLine(done) : std::string();
                if (crlf) {
                    awaitingLf = true;
                    pending = reply;
                } else {
                    pty_.writeAll(reply);
                }
            }
        }
    }

    sim::Pty& pty_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace enginetest
