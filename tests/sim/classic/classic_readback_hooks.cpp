// Where the read-back additions meet the loader: the records they answer
// and the line ends of the dialect 1 reading commands.
#include "tests/sim/classic/classic_loader.h"

namespace sim {

std::uint8_t ClassicLoader::flashByte(std::uint32_t address) const
{
    return flash_.inside(address) ? flash_.at(address) : flash_.layout().erased;
}

bool ClassicLoader::readbackRecord(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    const ByteAt byte = [this](std::uint32_t a) { return flashByte(a); };
    // Dialect 1 read memory (sub 00) and blank check (sub 01): the answer
    // follows the command's line end.
    if (type == readback_.readType && (data.size() == 5 || data.size() == 7) && data.back() <= 1) {
        const bool wide = data.size() == 7;
        auto addr = [&](std::size_t at) {
            return wide ? std::uint32_t(data[at]) << 16 | std::uint32_t(data[at + 1]) << 8 | data[at + 2]
                        : std::uint32_t(data[at]) << 8 | data[at + 1];
        };
        pendingRead_.active = true;
        pendingRead_.blank = data.back() == 1;
        pendingRead_.wide = wide;
        pendingRead_.sawCr = false;
        pendingRead_.start = addr(0);
        pendingRead_.end = addr(wide ? 3 : 2);
        pendingRead_.record = record_;
        return true;
    }
    if (p_.dialect != 2) {
        const auto word = [&](std::uint16_t w) {
            return data.size() == 2 && data[0] == (w >> 8) && data[1] == (w & 0xFF);
        };
        if (type == p_.writeType && word(readback_.clocksProgramWord)) {
            if (applyFault())
                return true;
            if (readback_.clocksReadWord == 0x0700)
                settings_.security = static_cast<std::uint8_t>(settings_.security | 0x01);
            else
                readback_.clocks = true;
            status('.');
            return true;
        }
        if (type == p_.queryType && readback_.clocksReadWord != 0x0700 && word(readback_.clocksReadWord)) {
            if (!applyFault())
                value(readback_.clocks ? 0x80 : 0x00);
            return true;
        }
        return false;
    }
    std::string reply;
    // With EEPROM access on, data records go to the EEPROM.
    if (type == 0x00 && readback_.eeprom.access) {
        if (!applyFault())
            status(readback_.eeprom.write(address, data));
        return true;
    }
    if (type == 0x09 && data.size() == 4) {
        const std::uint32_t start = std::uint32_t(data[0]) << 8 | data[1];
        const std::uint32_t end = std::uint32_t(data[2]) << 8 | data[3];
        reply = readback_.misrRefusal ? std::string(1, readback_.misrRefusal) + ".\r\n"
                                      : misrDigits(byte, start, end) + ".\r\n";
    } else if (std::string digits; readback_.crc(type, data, digits)) {
        reply = digits + "..\r\n";
    }
    if (!reply.empty()) {
        // In the place of the CR's echo, as the other CR LF reads.
        std::string saved;
        saved.swap(out_);
        awaitingCrlfReply_ = true;
        if (!applyFault())
            out_ = reply;
        awaitingCrlfReply_ = false;
        crReply_.swap(out_);
        out_.swap(saved);
        awaitCr_ = true;
        return true;
    }
    if (!readback_.handle(type, data, p_.queryType, p_.writeType, reply))
        return false;
    if (!applyFault())
        out_ += reply;
    return true;
}

void ClassicLoader::readbackLineEnd(char c)
{
    if (c != '\r' && c != '\n')
        return;
    const std::string saved = record_;
    record_ = pendingRead_.record;
    // A blank check after CR waits for its LF; a read answers the first end.
    if (pendingRead_.blank && c == '\r') {
        pendingRead_.sawCr = true;
        out_ += c;
        record_ = saved;
        return;
    }
    pendingRead_.active = false;
    const ByteAt byte = [this](std::uint32_t a) { return flashByte(a); };
    if (!pendingRead_.blank) {
        // A refusal takes the place of the line end's echo.
        for (auto it = faults_.begin(); it != faults_.end(); ++it) {
            if (record_.compare(0, it->match.size(), it->match) != 0 || it->kind != ClassicFaultKind::Status)
                continue;
            out_ += it->status;
            out_ += "\r\n";
            if (--it->times <= 0)
                faults_.erase(it);
            record_ = saved;
            return;
        }
        out_ += c;
        out_ += readMemoryReply(byte, pendingRead_.start, pendingRead_.end, pendingRead_.wide);
        record_ = saved;
        return;
    }
    out_ += c;
    if (!applyFault()) {
        const std::string lineEnd = pendingRead_.sawCr ? "\r\n" : "\n";
        out_ += blankCheckReply(byte, flash_.layout().erased, pendingRead_.start, pendingRead_.end, pendingRead_.wide, lineEnd);
    }
    record_ = saved;
}

} // namespace sim
