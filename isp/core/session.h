// The driver state of an ISP library: one record per process, filled with
// its defaults when the library is loaded. Each library links its own copy of
// the core, so each keeps its own state (all symbols stay hidden).
#pragma once

#include "qz_interface.h"

#include <cstddef>
#include <cstdint>

namespace qz {

// Defined with the device table.
struct SectorTable;
class RamImage;

constexpr std::size_t kLogPathSize = 260;        // holds at most 259 characters
constexpr std::size_t kPushBackSize = 32;
constexpr std::size_t kSystemMessageSize = 256;
constexpr int kSessionSlotCount = 256;

constexpr int32_t kDefaultAutobaudReadTimeoutMs = 50;
constexpr int32_t kDefaultAutobaudWriteTimeoutMs = 150;
constexpr int32_t kDefaultAutobaudAttempts = 20;
constexpr int32_t kDefaultShortTimeoutMs = 4000;
constexpr int32_t kDefaultLongTimeoutMs = 60000;
constexpr int kNoHandle = -1;
constexpr int32_t kLineReleased = 1;   // control line level 1; 0 is asserted

struct SessionRecord {
    IspResult result;

    int32_t deviceIndex;          // position in the device table; 0 after start-up
    uint32_t flashBank;           // selected flash bank
    int32_t halfDuplex;
    int32_t debugLog;             // diagnostic log on/off
    int32_t hardwareConfig;       // 0-4
    int32_t t1Ms;                 // line-sequence delays
    int32_t t2Ms;
    double oscillatorMHz;
    char logPath[kLogPathSize];

    int32_t autobaudReadTimeoutMs;
    int32_t autobaudWriteTimeoutMs;
    int32_t autobaudAttempts;

    int32_t echoLineFeedState;    // echo reader: 0, or 1 while a line feed is awaited
    int32_t savedReadTimeoutMs;   // timeouts saved while the line feed is awaited
    int32_t savedWriteTimeoutMs;

    const SectorTable* sectorTable;   // current sector table, null when none
    RamImage* ramImage;               // RAM image of the running programming run, null when none
    int32_t ramImageValid;

    int32_t shortTimeoutMs;
    int32_t longTimeoutMs;
    int32_t readTotalTimeoutMs;   // the totals now set on the port
    int32_t writeTotalTimeoutMs;

    int portHandle;               // open port, kNoHandle when none
    unsigned char pushBack[kPushBackSize];
    int32_t pushBackPos;
    int32_t skipLineReset;        // set by qz_reset: next close leaves the lines alone
    int32_t lateReplyOwed;        // a step broke off: lines of its answer may still come (Cortex engine)
    int32_t echoMayBeOff;         // "A 0" went out and no "A 1" was answered since (Cortex engine)
    int writeEvent;               // kNoHandle when closed
    int readEvent;
    int cancelEvent;
    char systemMessage[kSystemMessageSize];

    int32_t psenLevel;            // RTS
    int32_t rstLevel;             // DTR
};

// The table of records; every operation uses the first one.
SessionRecord* session_slots();
SessionRecord& session();

// An engine that keeps memory of its own in the records (the Cortex RAM
// image) names how to release it; the core does not know its types.
using SessionRelease = void (*)(SessionRecord& record);
void set_session_release(SessionRelease release);

// Zero every record and set the defaults again (tests); what a record holds
// is released first, through the engine's release.
void reset_session_slots();

}  // namespace qz
