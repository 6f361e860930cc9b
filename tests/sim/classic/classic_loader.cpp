#include "tests/sim/classic/classic_loader.h"
#include "tests/sim/hex_digit.h"

#include <cmath>
#include <cstdio>

namespace sim {

namespace {

std::string hex2(unsigned v)
{
    char b[3];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

} // namespace

ClassicLoader::ClassicLoader(const ClassicPersona& persona)
    : p_(persona), state_(persona.heldUntilReset ? State::Held : State::Autobaud), flash_(persona.layout),
      settings_(persona.settings), unlocked_(persona.settings.password.empty())
{
}

void ClassicLoader::setSettings(const ClassicSettings& s)
{
    settings_ = s;
    unlocked_ = s.password.empty();
}

void ClassicLoader::reset()
{
    state_ = State::Autobaud;
    // A set password locks the part again at every start of its loader.
    unlocked_ = settings_.password.empty();
    baud_ = 0;
    inRecord_ = false;
    awaitCr_ = false;
    pendingRead_.active = false;
    record_.clear();
}

std::string ClassicLoader::takeOutput()
{
    std::string s;
    s.swap(out_);
    return s;
}

void ClassicLoader::value(std::uint8_t v)
{
    out_ += hex2(v);
    out_ += ".\r\n";
}

std::string ClassicLoader::releaseLate()
{
    std::string s;
    s.swap(late_);
    return s;
}

void ClassicLoader::feed(std::uint8_t byte, unsigned hostBaud)
{
    const char c = static_cast<char>(byte);
    // A held-back reply still goes out before the part looks at more.
    out_ += releaseLate();
    switch (state_) {
    case State::Held:
    case State::Running:
        return;
    case State::Autobaud:
        if (c == p_.sync) {
            baud_ = hostBaud;
            state_ = State::Synced;
            out_ += c;
        }
        return;
    case State::Synced:
        break;
    }
    // Bytes sent at another rate arrive as noise and are lost.
    if (hostBaud != 0 && baud_ > 0 && std::fabs(hostBaud - baud_) > 0.03 * baud_)
        return;
    if (pendingRead_.active) {
        readbackLineEnd(c);
        return;
    }
    if (awaitCr_) {
        if (c == '\r') {
            awaitCr_ = false;
            out_ += crReply_;
        }
        return;
    }
    if (!inRecord_) {
        if (c == ':') {
            inRecord_ = true;
            record_ = ":";
            out_ += c;
        } else if (c == '?') {
            out_ += '?';
        } else if (c == '$') {
            resetBy(2, "$"); // the reset of an ICP interface
        } else if (c == p_.sync) {
            out_ += c;
            if (readback_.starAfterReset && resets_ > 0)
                out_ += '*'; // a freshly updated boot loader greets
        }
        // CR and LF after a reading command, and anything else, are ignored.
        return;
    }
    record_ += c;
    out_ += c;
    if (record_.size() >= 3) {
        const int h = hexDigit(record_[1]), l = hexDigit(record_[2]);
        if (h < 0 || l < 0) {
            inRecord_ = false;
            records_.push_back(record_);
            status('X');
            return;
        }
        if (record_.size() == 11 + 2u * static_cast<unsigned>(h * 16 + l)) {
            inRecord_ = false;
            records_.push_back(record_);
            handleRecord();
        }
    }
}

bool ClassicLoader::applyFault()
{
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (record_.compare(0, it->match.size(), it->match) != 0)
            continue;
        switch (it->kind) {
        case ClassicFaultKind::Status:
            if (awaitingCrlfReply_)
                reply(std::string(1, it->status) + ".\r\n");
            else if (p_.dialect == 2 && it->status == 'R')
                reply("R\r\n\r\n"); // a refused record says a little more
            else
                status(it->status);
            break;
        case ClassicFaultKind::Bare: reply(std::string(1, it->status)); break;
        case ClassicFaultKind::Garbage: reply("#\r\n"); break;
        case ClassicFaultKind::Short: reply("."); break;
        case ClassicFaultKind::Silence: break;
        case ClassicFaultKind::Late:
            lateNext_ = true;
            if (--it->times <= 0)
                faults_.erase(it);
            return false; // the usual reply, held back by handleRecord
        }
        if (--it->times <= 0)
            faults_.erase(it);
        return true;
    }
    return false;
}

bool ClassicLoader::crlfCommand(std::uint8_t type, std::size_t count) const
{
    if (p_.dialect != 2)
        return false;
    return (type == 0x05 && (count == 1 || count == 2)) || type == 0x06 || type == 0x0C || type == 0x09;
}

void ClassicLoader::handleRecord()
{
    const std::size_t at = out_.size();
    answerRecord();
    if (lateNext_) {
        lateNext_ = false;
        late_ += out_.substr(at);
        out_.resize(at);
    }
}

void ClassicLoader::answerRecord()
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i + 1 < record_.size(); i += 2) {
        const int h = hexDigit(record_[i]), l = hexDigit(record_[i + 1]);
        if (h < 0 || l < 0) {
            status('X');
            return;
        }
        bytes.push_back(static_cast<std::uint8_t>(h * 16 + l));
    }
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    if ((sum & 0xFF) != 0) {
        status('X');
        return;
    }
    const std::uint8_t count = bytes[0];
    const std::uint16_t address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    const std::uint8_t type = bytes[3];
    const std::vector<std::uint8_t> data(bytes.begin() + 4, bytes.begin() + 4 + count);
    if (readbackRecord(type, address, data))
        return;
    if (crlfCommand(type, count)) {
        // The answer takes the place of the CR's echo.
        std::string saved;
        saved.swap(out_);
        awaitingCrlfReply_ = true;
        if (!applyFault())
            reply(crcValue(type, data) + "..\r\n");
        awaitingCrlfReply_ = false;
        crReply_.swap(out_);
        out_.swap(saved);
        awaitCr_ = true;
        return;
    }
    if (applyFault())
        return;
    if (p_.dialect == 2)
        dialect2(type, address, data);
    else
        dialect1(type, address, data);
}

void ClassicLoader::switchBaud(std::uint16_t reload)
{
    const double f = p_.oscillatorMHz * 1e6;
    if (p_.dialect == 2) {
        baud_ = f / (reload + 16.0);
    } else {
        const double d = p_.clocks == 6 ? 16.0 : 32.0;
        baud_ = f / ((65536.0 - reload) * d);
    }
}

} // namespace sim

namespace sim {

// A CRC of the loader's own: the byte sum of the memory it holds in the
// asked range (a blank check of blank memory gives 0).
std::string ClassicLoader::crcValue(std::uint8_t type, const std::vector<std::uint8_t>& data) const
{
    std::uint32_t sum = 0;
    std::uint32_t from = 0, to = 0xFFFFFFFF;
    if (type == 0x05 && data.size() == 2) {
        from = static_cast<std::uint32_t>(data[0] << 8 | data[1]);
    } else if (type == 0x05 && data.size() == 1) {
        from = static_cast<std::uint32_t>(data[0]) << 8;
        to = from + 0x3FF;
    }
    for (const auto& m : flash_.written())
        if (m.first >= from && m.first <= to)
            sum += m.second;
    char b[9];
    std::snprintf(b, sizeof b, "%08X", sum);
    return b;
}

} // namespace sim
