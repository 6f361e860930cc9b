// The start script of qz_start_bootloader: bytes and control codes that make
// a running user program start the part's boot ROM. The port is left closed.
//
// Script language, one character at a time:
//   %HH  send the byte HH (two hex digits)
//   $HH  send what is collected, then pause HH x 100 ms
//   &HH  send what is collected, then control code HH:
//        00 discard received bytes, 01 echo check on, 02 echo check off,
//        03 send a break, 04 (where the driver knows it) no closing '.' check;
//        other codes do nothing
//   any other character is sent as it is. A '%', '$' or '&' with fewer than
//   two characters after it ends the script; one that is not followed by two
//   hex digits is sent as it is.
// With the echo check on, every byte sent must be echoed (not compared); at
// the end one byte is read that must be '.'.
#pragma once

#include "qz_interface.h"

namespace qz {

struct StartScriptOptions {
    bool knowsClosingCheckCode = false; // control code 04 switches the '.' check off
};

IspResult* run_start_script(const char* port, int baud, const char* script, int byte_by_byte,
                            int send_break_flag, const StartScriptOptions& options = {});

} // namespace qz
