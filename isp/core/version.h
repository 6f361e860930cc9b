// The name, version and build date of the library the core is linked into.
#pragma once

namespace qz {

struct DriverIdentity {
    const char* name;
    const char* version;
    const char* buildDate;
    const char* notice;     // the maker's one-line notice
};

extern const DriverIdentity kCortexIdentity;

// The identity the version texts and the log header use; the core's
// default is QuasmeriteARMCortex. Another library sets its own at load time.
const DriverIdentity& driver_identity();
void set_driver_identity(const DriverIdentity& identity);

// qz_version: text := the version; status 1.
void report_version();
// qz_longversion: text := "<name> v<version> (<date>) <notice>"; status 1.
void report_long_version();

}  // namespace qz
