#include "tests/sim/classic/classic_line_shaper.h"

#include "tests/sim/hex_digit.h"

namespace sim {

namespace {

bool lineEnd(char c) { return c == '\r' || c == '\n'; }

// Whether a record that starts as `record` could still start with `match`.
bool compatible(const std::string& match, const std::string& record)
{
    const std::size_t n = match.size() < record.size() ? match.size() : record.size();
    return match.compare(0, n, record, 0, n) == 0;
}

} // namespace

std::vector<OutSegment> ClassicLineShaper::shape(const std::string& out)
{
    std::vector<OutSegment> segs(1);
    for (char c : out)
        put(c, segs);
    return segs;
}

void ClassicLineShaper::activate(std::size_t index)
{
    fault_ = faults_[index];
    if (--faults_[index].times <= 0)
        faults_.erase(faults_.begin() + static_cast<std::ptrdiff_t>(index));
    active_ = true;
    lineChars_ = 0;
    if (fault_.kind == LineFaultKind::Late)
        gapNext_ = fault_.delayMs;
}

bool ClassicLineShaper::echoDecided(bool complete)
{
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        const ClassicLineFault& f = faults_[i];
        if (f.line != 0 || !compatible(f.match, record_))
            continue;
        if (record_.size() >= f.match.size()) {
            activate(i);
            return true;
        }
        if (!complete)
            return false; // it may still turn out to be this record
    }
    return true;
}

void ClassicLineShaper::startLine(int line, std::vector<OutSegment>&)
{
    line_ = line;
    active_ = false;
    lineChars_ = 0;
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        if (faults_[i].line == line && record_.compare(0, faults_[i].match.size(), faults_[i].match) == 0) {
            activate(i);
            return;
        }
    }
}

void ClassicLineShaper::emit(char c, std::vector<OutSegment>& segs)
{
    const bool stray = active_ && fault_.kind == LineFaultKind::Stray && lineChars_ == fault_.splitAt;
    if (active_) {
        if (fault_.kind == LineFaultKind::Drop)
            return;
        if (fault_.kind == LineFaultKind::Split && lineChars_ == fault_.splitAt)
            gapNext_ = fault_.delayMs;
        ++lineChars_;
    }
    if (gapNext_ != kNoGap) {
        segs.push_back({std::string(), gapNext_});
        gapNext_ = kNoGap;
    }
    if (stray)
        segs.back().text += fault_.stray;
    segs.back().text += c;
}

void ClassicLineShaper::put(char c, std::vector<OutSegment>& segs)
{
    if (!inEcho_ && c == ':') {
        // The echo of a new record starts a new answer.
        inEcho_ = true;
        record_ = ":";
        recordLength_ = 0;
        line_ = 0;
        active_ = false;
        afterLineEnd_ = false;
        pending_ = ":";
        echoPending_ = !echoDecided(false);
        if (!echoPending_) {
            pending_.clear();
            emit(c, segs);
        }
        return;
    }
    if (inEcho_) {
        record_ += c;
        if (record_.size() == 3) {
            const int h = hexDigit(record_[1]), l = hexDigit(record_[2]);
            // A count that is no number ends the record: the part refuses it.
            recordLength_ = h < 0 || l < 0 ? 3 : 11 + 2u * static_cast<unsigned>(h * 16 + l);
        }
        const bool complete = recordLength_ != 0 && record_.size() >= recordLength_;
        if (complete) {
            inEcho_ = false;
            afterLineEnd_ = true; // the echo ends line 0 like a line end
        }
        if (echoPending_) {
            pending_ += c;
            if (echoDecided(complete)) {
                echoPending_ = false;
                std::string held;
                held.swap(pending_);
                for (char h : held)
                    emit(h, segs);
            }
            return;
        }
        emit(c, segs);
        return;
    }
    if (line_ >= 0 && afterLineEnd_ && !lineEnd(c))
        startLine(line_ + 1, segs);
    afterLineEnd_ = lineEnd(c);
    emit(c, segs);
}

} // namespace sim
