// The firmware file is checked before the converter leaves its firmware:
// once "FU" has gone out the converter waits in its boot loader, so a file
// that QuasmeriteARMCortex would refuse at erase, program or verify must be
// refused here. The check reads the file with the library's own HEX reader
// and places its data on the converter's LPC11C24 as the library's erase
// does; it also wants an end record, so that a file cut off at a line end
// is not taken for the whole firmware.
#pragma once

#include <string>

struct FirmwareFileCheck {
    enum Verdict {
        kUsable,
        kUnreadable, // missing, no regular file, or cannot be opened
        kNotHex,     // empty, or its first byte is no ':'
        kDamaged,    // `reason` says which line and why
    };
    Verdict verdict = kUnreadable;
    std::string reason; // kDamaged: for example "(line 3: checksum)"
};

// Runs on one thread at a time (the GUI thread): the placement uses a
// device selection of its own, apart from the library's.
FirmwareFileCheck checkFirmwareFile(const char* path);
