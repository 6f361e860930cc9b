// Line assembly, echo, the handshake and the data phases of "W" and "R".
// The commands themselves are in isp_commands.cpp.
#include "tests/sim/lpc/boot_rom.h"

#include "tests/sim/lpc/uu.h"

#include <algorithm>

namespace sim::lpc {

namespace {

constexpr std::uint8_t kEsc = 0x1B;

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

BootRom::BootRom(Memory& memory)
    : mem_(memory)
{
    enterIsp();
}

void BootRom::enterIsp()
{
    state_ = RomState::Autobaud;
    baud_ = 0;
    oscKHz_ = 0;
    echo_ = true;
    unlocked_ = false;
    if (mem_.bankCount() > 0)
        crp_ = crpLevelOf(mem_.crpWord(bootBank_));
    else
        crp_ = 0;
    prepared_.assign(static_cast<std::size_t>(mem_.bankCount()), {});
    for (int b = 0; b < mem_.bankCount(); ++b)
        prepared_[b].assign(static_cast<std::size_t>(mem_.sectorCount(b)), false);
    mem_.resetRemap();
    line_.clear();
    echoBuf_.clear();
    hasActive_ = false;
    answerLine_ = 0;
    overflow_ = lfPending_ = swallowLf_ = false;
    xferAddr_ = xferLeft_ = blockStart_ = blockBytes_ = blockSum_ = 0;
    blockLines_ = 0;
}

void BootRom::hardReset(bool ispPin)
{
    const bool hasFlash = mem_.bankCount() > 0;
    const bool valid = hasFlash && mem_.validUserCode(bootBank_);
    const bool guarded = hasFlash && crpLevelOf(mem_.crpWord(bootBank_)) == 3;
    enterIsp();
    if (!valid || (ispPin && !guarded))
        return;
    const std::vector<std::uint8_t>& f = mem_.flash(bootBank_);
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(f[at]) | (static_cast<std::uint32_t>(f[at + 1]) << 8) |
               (static_cast<std::uint32_t>(f[at + 2]) << 16) | (static_cast<std::uint32_t>(f[at + 3]) << 24);
    };
    // The ROM hands the vectors to the user program before it starts it.
    mem_.writeRegister(mem_.part().vectorMap == VectorMap::Lpc17xx ? 0x400FC040 : 0x40048000, 2 | 1);
    startUser(ResetEvent::Cause::Reset, mem_.part().banks[bootBank_].start, word(0), word(4), true);
}

void BootRom::startUser(ResetEvent::Cause cause, std::uint32_t address, std::uint32_t sp,
                        std::uint32_t entry, bool thumb)
{
    state_ = RomState::Running;
    line_.clear();
    lfPending_ = swallowLf_ = false;
    ResetEvent ev;
    ev.cause = cause;
    ev.address = address;
    ev.sp = sp;
    ev.entry = entry;
    ev.thumb = thumb;
    events_.push_back(ev);
}

std::string BootRom::takeOutput(std::vector<OutputHold>* holds)
{
    std::string out;
    out.swap(out_);
    if (holds != nullptr)
        holds->insert(holds->end(), holds_.begin(), holds_.end());
    holds_.clear();
    return out;
}

bool BootRom::echoFaultArmed() const
{
    for (const LineFault& f : faults_.lineFaults)
        if (f.line == 0)
            return true;
    return false;
}

void BootRom::startAnswer(const std::string& line)
{
    hasActive_ = false;
    answerLine_ = 0;
    auto& faults = faults_.lineFaults;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (line.compare(0, it->command.size(), it->command) != 0)
            continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        active_ = *it;
        hasActive_ = true;
        faults.erase(it);
        return;
    }
}

bool BootRom::strikes(int answerLine) const
{
    return hasActive_ && (answerLine == active_.line || (active_.everyLine && answerLine > active_.line));
}

void BootRom::output(std::string piece, bool struck)
{
    if (!struck) {
        out_ += piece;
        return;
    }
    auto hold = [this] {
        OutputHold h;
        h.at = out_.size();
        h.untilLine = active_.releaseAfterLines > 0 ? linesIn_ + static_cast<unsigned>(active_.releaseAfterLines) : 0;
        h.afterMs = active_.releaseAfterMs;
        holds_.push_back(h);
    };
    switch (active_.action) {
    case LineAction::Hold:
        hold();
        out_ += piece;
        break;
    case LineAction::Split: {
        std::size_t cut = active_.splitAt >= 0 ? static_cast<std::size_t>(active_.splitAt) : piece.find('\r');
        cut = cut == std::string::npos ? piece.size() : std::min(piece.size(), cut + (active_.splitAt >= 0 ? 0 : 1));
        out_ += piece.substr(0, cut);
        hold();
        out_ += piece.substr(cut);
        break;
    }
    case LineAction::Drop:
        break;
    case LineAction::Garble:
        out_ += active_.garbage;
        out_ += piece;
        break;
    }
    if (!active_.everyLine)
        hasActive_ = false;
}

void BootRom::flushEcho(bool struck)
{
    if (echoBuf_.empty())
        return;
    std::string e;
    e.swap(echoBuf_);
    output(std::move(e), struck);
}

std::vector<ResetEvent> BootRom::takeEvents()
{
    std::vector<ResetEvent> ev;
    ev.swap(events_);
    return ev;
}

void BootRom::echoByte(std::uint8_t b)
{
    if (!echo_ || faults_.mute)
        return;
    if (state_ == RomState::Command && echoFaultArmed())
        echoBuf_ += static_cast<char>(b);
    else
        out_ += static_cast<char>(b);
}

void BootRom::sendLine(const std::string& text, bool lf)
{
    if (faults_.mute)
        return;
    std::string piece;
    if (faults_.garbageLines > 0) {
        --faults_.garbageLines;
        piece += faults_.garbage;
    }
    if (faults_.strayLf > 0) {
        --faults_.strayLf;
        piece += '\n';
    }
    piece += text;
    piece += '\r';
    if (faults_.dropLf > 0) {
        --faults_.dropLf;
        lf = false;
    }
    if (lf)
        piece += '\n';
    output(std::move(piece), strikes(++answerLine_));
}

void BootRom::feed(std::uint8_t b)
{
    switch (state_) {
    case RomState::Running:
    case RomState::Hung:
        return;
    case RomState::Autobaud:
        if (b != '?')
            return;
        if (faults_.ignoreSyncChars > 0) {
            --faults_.ignoreSyncChars;
            return;
        }
        baud_ = hostBaud_;
        sendLine("Synchronized", !faults_.dropLfAfterSynchronized);
        state_ = RomState::SyncLine;
        line_.clear();
        overflow_ = lfPending_ = swallowLf_ = false;
        return;
    case RomState::BinaryWrite:
        binaryByte(b);
        return;
    default:
        lineByte(b);
        return;
    }
}

void BootRom::lineByte(std::uint8_t b)
{
    if (lfPending_) {
        lfPending_ = false;
        if (b == '\n') {
            echoByte(b);
            completeLine();
            return;
        }
        completeLine();
        feed(b); // starts whatever follows, binary data included
        return;
    }
    if (swallowLf_) {
        swallowLf_ = false;
        if (b == '\n')
            return;
    }
    if (b == kEsc) {
        escape();
        return;
    }
    if (state_ == RomState::SyncLine && line_.empty() && b == '?')
        return;
    echoByte(b);
    if (b == '\r') {
        if (mem_.part().crlf && state_ != RomState::SyncLine) {
            lfPending_ = true;
        } else {
            swallowLf_ = true;
            completeLine();
        }
        return;
    }
    if (b == '\n') {
        completeLine();
        return;
    }
    if (line_.size() < kMaxLine)
        line_ += static_cast<char>(b);
    else
        overflow_ = true;
}

void BootRom::lfTimeout()
{
    if (!lfPending_)
        return;
    lfPending_ = false;
    completeLine();
}

void BootRom::escape()
{
    flushEcho(false);
    line_.clear();
    overflow_ = lfPending_ = swallowLf_ = false;
    if (state_ == RomState::WriteData || state_ == RomState::WriteChecksum || state_ == RomState::ReadAck)
        state_ = RomState::Command;
}

void BootRom::completeLine()
{
    std::string line;
    line.swap(line_);
    const bool over = overflow_;
    overflow_ = false;
    if (line.empty() && !over) {
        flushEcho(false);
        return;
    }
    ++linesIn_;
    if (state_ == RomState::Command) {
        startAnswer(line);
        flushEcho(strikes(0));
    } else {
        flushEcho(false);
    }
    switch (state_) {
    case RomState::SyncLine:
        onSyncLine(over ? std::string() : line);
        break;
    case RomState::OscLine:
        onOscLine(over ? std::string() : line);
        break;
    case RomState::Command:
        if (over) {
            if (commands_.size() < 100000)
                commands_.push_back(line);
            reply(INVALID_COMMAND);
        } else {
            command(line);
        }
        break;
    case RomState::WriteData:
        onWriteLine(line);
        break;
    case RomState::WriteChecksum:
        onWriteChecksum(line);
        break;
    case RomState::ReadAck:
        onReadAck(line);
        break;
    default:
        break;
    }
}

void BootRom::onSyncLine(const std::string& line)
{
    if (line == "Synchronized") {
        sendLine("OK");
        state_ = RomState::OscLine;
    } else {
        state_ = RomState::Autobaud;
    }
}

void BootRom::onOscLine(const std::string& line)
{
    if (allDigits(line) && line.size() <= 9) {
        oscKHz_ = static_cast<unsigned>(std::stoul(line));
        sendLine("OK");
        state_ = RomState::Command;
    } else {
        state_ = RomState::Autobaud;
    }
}

void BootRom::onWriteLine(const std::string& line)
{
    std::uint8_t buf[uu::kMaxDecoded];
    std::size_t n = uu::decodeLine(line, buf);
    n = std::min<std::size_t>(n, xferLeft_);
    for (std::size_t i = 0; i < n; ++i) {
        mem_.writeRam(xferAddr_ + static_cast<std::uint32_t>(i), buf[i]);
        blockSum_ += buf[i];
    }
    xferAddr_ += static_cast<std::uint32_t>(n);
    xferLeft_ -= static_cast<std::uint32_t>(n);
    blockBytes_ += static_cast<std::uint32_t>(n);
    if (++blockLines_ >= kLinesPerBlock || xferLeft_ == 0)
        state_ = RomState::WriteChecksum;
}

void BootRom::onWriteChecksum(const std::string& line)
{
    bool ok = allDigits(line) && line.size() <= 10 && std::stoull(line) == blockSum_;
    if (faults_.resendWriteChecksums > 0) {
        --faults_.resendWriteChecksums;
        ok = false;
    }
    if (ok) {
        sendLine("OK");
        if (xferLeft_ == 0) {
            state_ = RomState::Command;
            return;
        }
        blockStart_ = xferAddr_;
    } else {
        sendLine("RESEND");
        xferAddr_ = blockStart_;
        xferLeft_ += blockBytes_;
    }
    blockBytes_ = blockSum_ = 0;
    blockLines_ = 0;
    state_ = RomState::WriteData;
}

void BootRom::binaryByte(std::uint8_t b)
{
    echoByte(b);
    mem_.writeRam(xferAddr_++, b);
    if (--xferLeft_ == 0)
        state_ = RomState::Command;
}

void BootRom::sendReadBlock()
{
    blockStart_ = xferAddr_;
    blockBytes_ = std::min<std::uint32_t>(xferLeft_, kLinesPerBlock * uu::kBytesPerLine);
    std::uint32_t sum = 0;
    std::uint8_t buf[uu::kBytesPerLine];
    for (std::uint32_t off = 0; off < blockBytes_; off += uu::kBytesPerLine) {
        std::uint32_t n = std::min<std::uint32_t>(uu::kBytesPerLine, blockBytes_ - off);
        for (std::uint32_t i = 0; i < n; ++i) {
            buf[i] = mem_.cpuRead(blockStart_ + off + i);
            sum += buf[i];
        }
        sendLine(uu::encodeLine(buf, n));
    }
    if (faults_.corruptReadChecksums > 0) {
        --faults_.corruptReadChecksums;
        ++sum;
    }
    sendLine(std::to_string(sum));
    state_ = RomState::ReadAck;
}

void BootRom::onReadAck(const std::string& line)
{
    if (line == "OK") {
        xferAddr_ = blockStart_ + blockBytes_;
        xferLeft_ -= blockBytes_;
        if (xferLeft_ == 0)
            state_ = RomState::Command;
        else
            sendReadBlock();
    } else if (line == "RESEND") {
        sendReadBlock();
    }
}

} // namespace sim::lpc
