#include "tests/sim/converter/converter_device.h"

#include <cstdio>

#include "tests/sim/hex_digit.h"

namespace sim {

namespace {

constexpr std::size_t kMaxPartial = 256;
const char kOk[] = "OK\r";
const char kError[] = "ERROR\r";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool endsWith(const std::string& s, const char* tail)
{
    std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Decimal digits only, value within `largest`.
bool readDecimal(const std::string& s, std::size_t from, std::size_t to, unsigned long long largest,
                 unsigned long long* value)
{
    if (from >= to)
        return false;
    unsigned long long v = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (!isDigit(s[i]))
            return false;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
        if (v > largest)
            return false;
    }
    *value = v;
    return true;
}

bool readHex(const std::string& s, std::size_t from, std::size_t count, uint32_t* value)
{
    if (from + count > s.size())
        return false;
    uint32_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        int d = hexDigit(s[from + i]);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    *value = v;
    return true;
}

bool isOneOf(char c, const char* set)
{
    for (; *set; ++set) {
        if (*set == c)
            return true;
    }
    return false;
}

// "WS" flow, 8, parity, stop, baud.
bool parseWriteSerial(const std::string& line, ConverterSerialSettings* out)
{
    if (line.size() < 7 || line.size() > 16)
        return false;
    if (!isOneOf(line[2], "NH") || line[3] != '8' || !isOneOf(line[4], "NEOSM") || !isOneOf(line[5], "12"))
        return false;
    unsigned long long baud = 0;
    if (!readDecimal(line, 6, line.size(), 0xFFFFFFFFull, &baud) || baud == 0)
        return false;
    out->flow = line[2];
    out->parity = line[4];
    out->stopBits = line[5];
    out->baud = static_cast<unsigned>(baud);
    return true;
}

// "WC" type letter, rate, identifier, mask, flags, separated by commas.
bool parseWriteCan(const std::string& line, ConverterCanSettings* out)
{
    if (line.size() < 4 || !isOneOf(line[2], "AB") || line[3] != ',')
        return false;
    const std::size_t digits = line[2] == 'A' ? 3 : 8;
    const uint32_t largest = line[2] == 'A' ? 0x7FF : 0x1FFFFFFF;
    std::size_t comma = line.find(',', 4);
    if (comma == std::string::npos || comma - 4 > 4)
        return false;
    unsigned long long rate = 0;
    if (!readDecimal(line, 4, comma, 9999, &rate))
        return false;
    std::size_t p = comma + 1;
    uint32_t id = 0;
    uint32_t mask = 0;
    if (!readHex(line, p, digits, &id) || id > largest)
        return false;
    p += digits;
    if (p >= line.size() || line[p] != ',')
        return false;
    if (!readHex(line, p + 1, digits, &mask) || mask > largest)
        return false;
    p += 1 + digits;
    if (p + 2 != line.size() || line[p] != ',' || !isOneOf(line[p + 1], "0123"))
        return false;
    out->idType = line[2];
    out->rate = static_cast<unsigned>(rate);
    out->id = id;
    out->mask = mask;
    out->flags = static_cast<unsigned>(line[p + 1] - '0');
    return true;
}

} // namespace

ConverterDevice::ConverterDevice(ConverterConfig config, ConverterMode mode)
    : mode_(mode)
{
    setConfig(config);
}

void ConverterDevice::setConfig(const ConverterConfig& config)
{
    working_ = config;
    saved_ = config;
    line_ = config.serial;
}

void ConverterDevice::powerCycle()
{
    working_ = saved_;
    line_ = saved_.serial;
}

std::string ConverterDevice::serialReply(const ConverterSerialSettings& s)
{
    std::string r;
    r += s.flow;
    r += '8';
    r += s.parity;
    r += s.stopBits;
    r += std::to_string(s.baud);
    r += '\r';
    return r;
}

std::string ConverterDevice::canReply(const ConverterCanSettings& c)
{
    char buf[64];
    if (c.idType == 'B')
        std::snprintf(buf, sizeof buf, "B,%u,%08X,%08X,%u\r", c.rate, c.id, c.mask, c.flags);
    else
        std::snprintf(buf, sizeof buf, "A,%u,%03X,%03X,%u\r", c.rate, c.id, c.mask, c.flags);
    return buf;
}

std::string ConverterDevice::modeReply(ConverterMode mode)
{
    return mode == ConverterMode::Setup ? "TELQO_setup\r" : "TELQO_active\r";
}

std::vector<ConverterEvent> ConverterDevice::feed(const std::string& bytes, bool understood)
{
    std::vector<ConverterEvent> events;
    for (char c : bytes) {
        if (c == '\n' && partial_.empty())
            continue;
        if (c == '\r') {
            if (!partial_.empty()) {
                if (understood) {
                    events.push_back(handleLine(partial_));
                } else {
                    ConverterEvent e;
                    e.line = partial_;
                    events.push_back(e);
                }
            }
            partial_.clear();
            continue;
        }
        partial_ += c;
        if (endsWith(partial_, "????")) {
            ConverterEvent e;
            e.kind = understood ? ConverterEvent::Kind::Probe : ConverterEvent::Kind::Ignored;
            e.line = "????";
            if (understood)
                e.reply = modeReply(mode_);
            events.push_back(e);
            partial_.clear();
        } else if (partial_ == "@" || partial_ == "#") {
            ConverterEvent e;
            e.kind = understood ? ConverterEvent::Kind::TestStep : ConverterEvent::Kind::Ignored;
            e.line = partial_;
            events.push_back(e);
            partial_.clear();
        } else if (partial_.size() > kMaxPartial) {
            // Noise without an end: forget it rather than grow.
            partial_.clear();
        }
    }
    return events;
}

ConverterEvent ConverterDevice::handleLine(const std::string& line)
{
    return mode_ == ConverterMode::Setup ? handleSetup(line) : handleActive(line);
}

ConverterEvent ConverterDevice::handleSetup(const std::string& line)
{
    ConverterEvent e;
    e.line = line;
    e.kind = ConverterEvent::Kind::Command;
    if (line == "RS") {
        e.reply = serialReply(working_.serial);
    } else if (line == "RC") {
        e.reply = canReply(working_.can);
    } else if (line == "RH") {
        e.reply = std::string(working_.headers.data(), 4) + "\r";
    } else if (line == "FV") {
        e.reply = working_.firmwareVersion;
    } else if (line == "SV") {
        saved_ = working_;
        e.reply = kOk;
    } else if (line == "FU") {
        e.kind = ConverterEvent::Kind::FirmwareUpgrade;
        e.reply = kOk;
    } else if (line.compare(0, 2, "WS") == 0 && parseWriteSerial(line, &working_.serial)) {
        e.reply = kOk;
    } else if (line.compare(0, 2, "WC") == 0 && parseWriteCan(line, &working_.can)) {
        e.reply = kOk;
    } else if (line.compare(0, 2, "WH") == 0 && line.size() == 6) {
        for (int i = 0; i < 4; ++i)
            working_.headers[static_cast<std::size_t>(i)] = line[static_cast<std::size_t>(2 + i)];
        e.reply = kOk;
    } else {
        e.kind = ConverterEvent::Kind::Rejected;
        e.reply = kError;
    }
    return e;
}

ConverterEvent ConverterDevice::handleActive(const std::string& line)
{
    ConverterEvent e;
    e.line = line;
    e.kind = ConverterEvent::Kind::Ignored;
    int type = -1;
    for (int i = 0; i < 4; ++i) {
        if (line[0] == working_.headers[static_cast<std::size_t>(i)] && line[0] != 0) {
            type = i;
            break;
        }
    }
    if (type < 0)
        return e;
    const bool extended = type >= 2;
    const bool remote = (type & 1) != 0;
    const std::size_t digits = extended ? 8 : 3;
    uint32_t id = 0;
    if (!readHex(line, 1, digits, &id))
        return e;
    const std::size_t lengthAt = 1 + digits;
    if (lengthAt >= line.size() || line[lengthAt] < '0' || line[lengthAt] > '8')
        return e;
    const std::size_t dlc = static_cast<std::size_t>(line[lengthAt] - '0');
    const std::size_t dataDigits = remote ? 0 : 2 * dlc;
    if (line.size() != lengthAt + 1 + dataDigits)
        return e;
    for (std::size_t i = lengthAt + 1; i < line.size(); ++i) {
        if (hexDigit(line[i]) < 0)
            return e;
    }
    e.kind = ConverterEvent::Kind::Frame;
    return e;
}

} // namespace sim
