// What the running system says about itself (for diagnostic logs).
#pragma once

#include <string>

namespace platform {

struct SystemVersion {
    std::string name;      // e.g. "Linux"
    std::string release;   // e.g. "6.1.0-18-amd64"
    std::string build;     // the kernel's build text
    std::string machine;   // e.g. "x86_64"
};

// Fields are "<unknown>" when the system does not tell.
SystemVersion system_version();

}  // namespace platform
