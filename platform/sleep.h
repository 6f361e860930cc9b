// The one pause primitive of the libraries. Long device pauses (reset
// settling, boot ROM start-up) all come through here, so a test can install
// a sleeper that records or shortens them instead of waiting for real.
#pragma once

namespace platform {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(unsigned ms) = 0;
};

// Pauses the calling thread for about `ms` milliseconds (or hands the pause
// to the installed sleeper).
void sleepMs(unsigned ms);

// Installs a sleeper for the whole process; nullptr restores real sleeping.
// The sleeper must outlive every pause that may use it.
void installSleeper(Sleeper* sleeper);

} // namespace platform
