// Command lines of the serial-to-CAN converter: builders for every line the
// program sends and parsers for the two structured replies.
//
// Plain code, no Qt and no I/O. Every builder and parser returns 0 for
// success and 1 for failure; on failure nothing is copied to the caller's
// output (EncodeCanFrame has cleared the caller's buffer by then).
// Lines end with a carriage return and carry no terminating zero byte.
#pragma once

#include <cstdint>

// Frame types: bit 1 set means a 29-bit identifier, bit 0 set a remote frame.
enum CanFrameType : uint8_t {
    STD_DATA = 20,
    STD_REMOTE = 21,
    EXT_DATA = 22,
    EXT_REMOTE = 23,
};

inline bool IsStdFrame(uint8_t type) { return (type & 6) == 4; }
inline bool IsExtFrame(uint8_t type) { return (type & 6) == 6; }
inline bool IsDataFrame(uint8_t type) { return (type & 5) == 4; }
inline bool IsRemoteFrame(uint8_t type) { return (type & 5) == 5; }

// One frame as the active mode hands it to the encoder.
struct CanFrameCommand {
    uint8_t frameType = 0; // a CanFrameType
    uint32_t id = 0;
    uint8_t dlc = 0; // 0 to 8
    uint8_t data[8] = {};
};

// The converter's serial settings ("WS" writes them, "RS" reads them back).
struct SerialConfig {
    uint32_t baud = 0;
    uint8_t dataBits = 0;    // always 8
    uint8_t parity = 0;      // QSerialPort::Parity: 0 none, 2 even, 3 odd, 4 space, 5 mark
    uint8_t stopBits = 0;    // 1 or 2
    uint8_t flowControl = 0; // 0 none, 1 hardware
};

// The converter's CAN settings ("WC" writes them, "RC" reads them back).
struct CanConfig {
    int32_t rate = 0; // kbit/s
    uint32_t id = 0;  // acceptance identifier
    uint32_t mask = 0;
    uint8_t idType = 0; // 3: 11-bit ("A"), 8: 29-bit ("B"); also the hex digit count
    uint8_t dar = 0;    // 0 or 1
    uint8_t abor = 0;   // 0 or 1
};

// Builders: `out` receives the line, `outSize` is its capacity (callers use
// 30-byte buffers), `outLen` receives the line's length.

// "WS": flow, 8, parity, stop letters and the baud rate in decimal.
uint8_t EncodeWriteSerial(SerialConfig config, char* out, uint8_t outSize, uint8_t* outLen);
// "WC": A or B, rate, identifier, mask and the DAR/ABOR flags digit.
uint8_t EncodeWriteCan(CanConfig config, char* out, uint8_t outSize, uint8_t* outLen);
// "WH" and the four header characters: always 7 bytes, no length reported.
uint8_t EncodeWriteHeader(char* out, char stdData, char stdRemote, char extData, char extRemote);
uint8_t EncodeReadSerial(char* out, uint8_t outSize, uint8_t* outLen);   // "RS"
uint8_t EncodeReadHeader(char* out, uint8_t* outLen);                    // "RH"
uint8_t EncodeReadCan(char* out, uint8_t outSize, uint8_t* outLen);      // "RC"
uint8_t EncodeSave(char* out, uint8_t outSize, uint8_t* outLen);         // "SV"
uint8_t EncodeFirmwareUpgrade(char* out, uint8_t outSize, uint8_t* outLen); // "FU"
uint8_t EncodeFirmwareVersion(char* out, uint8_t outSize, uint8_t* outLen); // "FV"
// A frame line: header character, 3 or 8 hex digits of the identifier, the
// length digit, the data bytes in hex (data frames only), CR. At most 27 bytes.
uint8_t EncodeCanFrame(CanFrameCommand frame, char* out, uint8_t outSize, uint8_t* outLen);

// Parsers: the reply's bytes and their count; a failure leaves `config` as it was.

// The "RS" reply: the "WS" line without its first two letters.
uint8_t DecodeSerialReply(SerialConfig* config, const char* data, uint8_t count);
// The "RC" reply: the "WC" line without its first two letters.
uint8_t DecodeCanReply(CanConfig* config, const char* data, uint8_t length);

// Stores the four characters that open frame lines, in the order STD_DATA,
// STD_REMOTE, EXT_DATA, EXT_REMOTE. They are zero bytes until first set.
void SetFrameHeaders(char stdData, char stdRemote, char extData, char extRemote);
