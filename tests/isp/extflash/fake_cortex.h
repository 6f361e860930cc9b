// A stand-in for QuasmeriteARMCortex with the exports start method 1 uses:
// it opens the port on connect, records every call and fails where told.
// The test loads it first and keeps it loaded, so its record outlives the
// library's own load and unload.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct FakeCortexState {
    int connectOk;
    int program2Ok;
    int resetOk;
    int fd; /* the port it opened, -1 when none */
    int connects, program2s, resets, disconnects, setHandles;
    int connectBaud;
    int connectSize;
    int resetSkip;
    unsigned resetAddress, resetFlags;
    int lastSetHandle, lastSetBaud;
    char program2Path[1024];
    int openedFd; /* the port its connect opened, kept after it forgot it */
};

struct FakeCortexState* fake_cortex_state(void);

#ifdef __cplusplus
}
#endif
