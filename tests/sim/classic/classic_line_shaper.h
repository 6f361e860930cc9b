// Holds back, splits, drops or adds noise to one line of the simulated part's answer to a
// record, as a busy part or a noisy line does. The answer to a record is
// everything the part sends from the echo of its ':' up to the next ':':
// line 0 is the echo (with the line ends that follow it), and every later
// line ends with a run of CR and LF. What follows a held-back piece waits
// behind it, as on a wire.
//
// The shaper only cuts the part's output into segments; ClassicSim puts
// each on the pty after its gap. A fault on the echo holds the echo from its
// first character until the record is known (in half duplex the host then
// waits for that first character).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

enum class LineFaultKind {
    Late,  // the line goes out delayMs after it would have
    Split, // splitAt characters of the line, a pause of delayMs, the rest
    Drop,  // the line never goes out
    Stray, // noise: the character `stray` goes out before character splitAt
};

// delayMs: held until the host writes its next byte (a reply that missed
// the host's wait and comes just as it sends again).
constexpr int kUntilHostWrites = -1;

// Strikes line `line` of the answers to the next `times` records whose text
// starts with `match` (an empty match strikes every record).
struct ClassicLineFault {
    std::string match;
    int line = 1;
    LineFaultKind kind = LineFaultKind::Late;
    int delayMs = kUntilHostWrites;
    std::size_t splitAt = 1;
    int times = 1;
    char stray = '0';
};

// A piece of output that goes out gapMs after the one before it (or, with
// kUntilHostWrites, once the host writes again).
struct OutSegment {
    std::string text;
    int gapMs = 0;
};

class ClassicLineShaper {
public:
    void add(const ClassicLineFault& fault) { faults_.push_back(fault); }
    bool empty() const { return faults_.empty() && pending_.empty() && !active_; }

    // The part's output, in order, cut where a fault puts a gap; the first
    // segment has no gap of its own.
    std::vector<OutSegment> shape(const std::string& out);

private:
    void put(char c, std::vector<OutSegment>& segs);
    void startLine(int line, std::vector<OutSegment>& segs);
    void emit(char c, std::vector<OutSegment>& segs);
    // Line 0: whether the fault for the echo is known yet.
    bool echoDecided(bool complete);
    void activate(std::size_t index);

    std::vector<ClassicLineFault> faults_;
    bool inEcho_ = false;
    std::string record_;
    std::size_t recordLength_ = 0;
    int line_ = -1;
    bool afterLineEnd_ = false;
    bool echoPending_ = false;
    std::string pending_;
    // The fault on the line now going out.
    bool active_ = false;
    ClassicLineFault fault_;
    std::size_t lineChars_ = 0;
    // The gap before the next character that goes out.
    static constexpr int kNoGap = -1000;
    int gapNext_ = kNoGap;
};

} // namespace sim
