#include "link/codec.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kOk = 0;
constexpr uint8_t kFail = 1;
constexpr char kCr = 13;
// Every builder works in a buffer of this size; the longest line ("WC" with
// a 29-bit identifier and a four-digit rate) is 29 bytes.
constexpr std::size_t kLineBuffer = 30;
// Fields of an "RC" reply hold at most this many characters.
constexpr std::size_t kMaxField = 9;

// Written by the settings dialog, read by the frame encoder.
std::atomic<char> frameHeaderChars[4] = {{0}, {0}, {0}, {0}};

uint8_t NibbleOf(uint32_t value, uint8_t n)
{
    return static_cast<uint8_t>((value >> (4u * n)) & 15u);
}

char NibbleToHexChar(uint8_t v)
{
    if (v <= 9)
        return static_cast<char>('0' + v);
    if (v <= 15)
        return static_cast<char>('A' + (v - 10));
    return 0;
}

int HexCharValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Writes the decimal digits and a zero byte; returns the digit count, or 0
// for values below 10 and for values with more digits than `maxDigits`.
uint8_t UIntToDecimal(uint32_t value, char* out, uint8_t maxDigits)
{
    if (value < 10)
        return 0;
    char digits[12];
    int n = std::snprintf(digits, sizeof digits, "%u", value);
    if (n <= 0 || n > maxDigits)
        return 0;
    std::memcpy(out, digits, static_cast<std::size_t>(n) + 1);
    return static_cast<uint8_t>(n);
}

// Writes the identifier with 3 or 8 upper-case hex digits; returns `idType`,
// or 0 for another type, a value too wide for the type, or too few digits.
uint8_t FormatCanId(uint32_t value, uint8_t idType, char* out, uint8_t maxDigits)
{
    uint32_t largest;
    const char* format;
    if (idType == 3) {
        largest = 0x7FF;
        format = "%03X";
    } else if (idType == 8) {
        largest = 0x1FFFFFFF;
        format = "%08X";
    } else {
        return 0;
    }
    if (value > largest || idType > maxDigits)
        return 0;
    std::snprintf(out, static_cast<std::size_t>(idType) + 1, format, value);
    return idType;
}

// Reads digits from `p` up to `end` for as long as HexCharValue accepts
// them, each place worth ten times the next (a letter a to f counts as a
// digit worth 10 to 15). False when the number grows beyond `largest`.
bool DecimalToInt(const char* p, const char* end, uint32_t largest, uint32_t* value)
{
    uint64_t result = 0;
    for (; p < end; ++p) {
        int digit = HexCharValue(*p);
        if (digit < 0)
            break;
        result = result * 10 + static_cast<uint64_t>(digit);
        if (result > largest)
            return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

// Reads `count` characters: each hex digit shifts the result left by 4 bits
// and adds its value; other characters are skipped.
uint32_t HexToInt(const char* text, uint8_t count)
{
    uint32_t result = 0;
    for (uint8_t i = 0; i < count; ++i) {
        int digit = HexCharValue(text[i]);
        if (digit >= 0)
            result = (result << 4) | static_cast<uint32_t>(digit);
    }
    return result;
}

uint8_t Finish(const char* line, std::size_t length, char* out, uint8_t outSize, uint8_t* outLen)
{
    if (length > outSize)
        return kFail;
    std::memcpy(out, line, length);
    *outLen = static_cast<uint8_t>(length);
    return kOk;
}

uint8_t EncodeShort(char a, char b, char* out, uint8_t outSize, uint8_t* outLen)
{
    if (!out || !outLen || outSize < 3)
        return kFail;
    out[0] = a;
    out[1] = b;
    out[2] = kCr;
    *outLen = 3;
    return kOk;
}

bool FlowLetter(uint8_t flow, char* letter)
{
    switch (flow) {
    case 0: *letter = 'N'; return true;
    case 1: *letter = 'H'; return true;
    default: return false;
    }
}

bool ParityLetter(uint8_t parity, char* letter)
{
    switch (parity) {
    case 0: *letter = 'N'; return true;
    case 2: *letter = 'E'; return true;
    case 3: *letter = 'O'; return true;
    case 4: *letter = 'S'; return true;
    case 5: *letter = 'M'; return true;
    default: return false;
    }
}

bool StopLetter(uint8_t stop, char* letter)
{
    if (stop != 1 && stop != 2)
        return false;
    *letter = static_cast<char>('0' + stop);
    return true;
}

} // namespace

void SetFrameHeaders(char stdData, char stdRemote, char extData, char extRemote)
{
    frameHeaderChars[0].store(stdData);
    frameHeaderChars[1].store(stdRemote);
    frameHeaderChars[2].store(extData);
    frameHeaderChars[3].store(extRemote);
}

uint8_t EncodeCanFrame(CanFrameCommand frame, char* out, uint8_t outSize, uint8_t* outLen)
{
    if (!out || !outLen)
        return kFail;
    std::memset(out, 0, outSize < kLineBuffer ? outSize : kLineBuffer);
    unsigned index = static_cast<unsigned>(frame.frameType) - 20u;
    if (index > 3)
        return kFail;
    // The record holds eight data bytes.
    if (frame.dlc > 8)
        return kFail;

    char line[kLineBuffer];
    std::size_t n = 0;
    line[n++] = frameHeaderChars[index].load();
    uint8_t digits = IsExtFrame(frame.frameType) ? 8 : 3;
    for (uint8_t i = 1; i <= digits; ++i)
        line[n++] = NibbleToHexChar(NibbleOf(frame.id, static_cast<uint8_t>(digits - i)));
    line[n++] = NibbleToHexChar(frame.dlc);
    if (IsDataFrame(frame.frameType)) {
        for (uint8_t i = 0; i < frame.dlc; ++i) {
            line[n++] = NibbleToHexChar(static_cast<uint8_t>(frame.data[i] >> 4));
            line[n++] = NibbleToHexChar(static_cast<uint8_t>(frame.data[i] & 15));
        }
    }
    line[n++] = kCr;
    return Finish(line, n, out, outSize, outLen);
}

uint8_t EncodeWriteSerial(SerialConfig config, char* out, uint8_t outSize, uint8_t* outLen)
{
    if (!out || !outLen)
        return kFail;
    char line[kLineBuffer];
    line[0] = 'W';
    line[1] = 'S';
    if (!FlowLetter(config.flowControl, &line[2]))
        return kFail;
    if (config.dataBits != 8)
        return kFail;
    line[3] = '8';
    if (!ParityLetter(config.parity, &line[4]))
        return kFail;
    if (!StopLetter(config.stopBits, &line[5]))
        return kFail;
    uint8_t digits = UIntToDecimal(config.baud, &line[6], 14);
    if (digits == 0)
        return kFail;
    std::size_t n = 6u + digits;
    line[n++] = kCr;
    return Finish(line, n, out, outSize, outLen);
}

uint8_t EncodeWriteCan(CanConfig config, char* out, uint8_t outSize, uint8_t* outLen)
{
    if (!out || !outLen)
        return kFail;
    char line[kLineBuffer + 8];
    std::size_t n = 0;
    line[n++] = 'W';
    line[n++] = 'C';
    if (config.idType == 3)
        line[n++] = 'A';
    else if (config.idType == 8)
        line[n++] = 'B';
    else
        return kFail;
    line[n++] = ',';
    uint8_t digits = UIntToDecimal(static_cast<uint32_t>(config.rate), &line[n], 4);
    if (digits == 0)
        return kFail;
    n += digits;
    line[n++] = ',';
    digits = FormatCanId(config.id, config.idType, &line[n], 8);
    if (digits == 0)
        return kFail;
    n += digits;
    line[n++] = ',';
    digits = FormatCanId(config.mask, config.idType, &line[n], 8);
    if (digits == 0)
        return kFail;
    n += digits;
    line[n++] = ',';
    line[n++] = static_cast<char>('0' + ((config.dar ? 1 : 0) | (config.abor ? 2 : 0)));
    line[n++] = kCr;
    return Finish(line, n, out, outSize, outLen);
}

uint8_t EncodeWriteHeader(char* out, char stdData, char stdRemote, char extData, char extRemote)
{
    if (!out)
        return kFail;
    const char line[7] = {'W', 'H', stdData, stdRemote, extData, extRemote, kCr};
    std::memcpy(out, line, sizeof line);
    return kOk;
}

uint8_t EncodeReadSerial(char* out, uint8_t outSize, uint8_t* outLen)
{
    return EncodeShort('R', 'S', out, outSize, outLen);
}

uint8_t EncodeReadHeader(char* out, uint8_t* outLen)
{
    return EncodeShort('R', 'H', out, 3, outLen);
}

uint8_t EncodeReadCan(char* out, uint8_t outSize, uint8_t* outLen)
{
    return EncodeShort('R', 'C', out, outSize, outLen);
}

uint8_t EncodeSave(char* out, uint8_t outSize, uint8_t* outLen)
{
    return EncodeShort('S', 'V', out, outSize, outLen);
}

uint8_t EncodeFirmwareUpgrade(char* out, uint8_t outSize, uint8_t* outLen)
{
    return EncodeShort('F', 'U', out, outSize, outLen);
}

uint8_t EncodeFirmwareVersion(char* out, uint8_t outSize, uint8_t* outLen)
{
    return EncodeShort('F', 'V', out, outSize, outLen);
}

uint8_t DecodeSerialReply(SerialConfig* config, const char* data, uint8_t count)
{
    if (!config || !data || count < 4)
        return kFail;
    SerialConfig parsed;
    if (!DecimalToInt(data + 4, data + count, UINT32_MAX, &parsed.baud))
        return kFail;
    switch (data[0]) {
    case 'H': parsed.flowControl = 1; break;
    case 'N': parsed.flowControl = 0; break;
    default: return kFail;
    }
    if (data[1] != '8')
        return kFail;
    parsed.dataBits = 8;
    switch (data[2]) {
    case 'E': parsed.parity = 2; break;
    case 'M': parsed.parity = 5; break;
    case 'N': parsed.parity = 0; break;
    case 'O': parsed.parity = 3; break;
    case 'S': parsed.parity = 4; break;
    default: return kFail;
    }
    if (data[3] != '1' && data[3] != '2')
        return kFail;
    parsed.stopBits = static_cast<uint8_t>(data[3] - '0');
    if (parsed.baud % 100 != 0)
        return kFail;
    *config = parsed;
    return kOk;
}

uint8_t DecodeCanReply(CanConfig* config, const char* data, uint8_t length)
{
    if (!config || !data || length == 0)
        return kFail;
    CanConfig parsed;
    if (data[0] == 'A') {
        parsed.idType = 3;
        if (length < 15 || length > 17)
            return kFail;
    } else if (data[0] == 'B') {
        parsed.idType = 8;
        if (length < 25 || length > 27)
            return kFail;
    } else {
        return kFail;
    }

    // Split at commas within the reply; adjacent commas make no field. The
    // letter is field 0; exactly four fields must follow it.
    struct Field {
        const char* text;
        std::size_t size;
    };
    Field fields[5];
    std::size_t fieldCount = 0;
    const char* end = data + length;
    const char* p = data;
    while (p < end) {
        if (*p == ',') {
            ++p;
            continue;
        }
        const char* start = p;
        while (p < end && *p != ',')
            ++p;
        if (fieldCount == 5)
            return kFail;
        fields[fieldCount++] = Field{start, static_cast<std::size_t>(p - start)};
    }
    if (fieldCount != 5)
        return kFail;
    for (std::size_t i = 1; i < 5; ++i) {
        if (fields[i].size > kMaxField)
            return kFail;
    }
    // Identifier and mask carry exactly as many digits as the type says.
    if (fields[2].size != parsed.idType || fields[3].size != parsed.idType)
        return kFail;

    uint32_t rate = 0;
    uint32_t flags = 0;
    // The rate must fit its signed field; a wider number is no reply of ours.
    if (!DecimalToInt(fields[1].text, fields[1].text + fields[1].size, INT32_MAX, &rate) ||
        !DecimalToInt(fields[4].text, fields[4].text + fields[4].size, UINT32_MAX, &flags))
        return kFail;
    parsed.rate = static_cast<int32_t>(rate);
    parsed.id = HexToInt(fields[2].text, parsed.idType);
    parsed.mask = HexToInt(fields[3].text, parsed.idType);
    parsed.dar = (flags & 1) ? 1 : 0;
    parsed.abor = (flags & 2) ? 1 : 0;
    *config = parsed;
    return kOk;
}
