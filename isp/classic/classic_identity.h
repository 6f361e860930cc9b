// The classic driver's name, versions and build date.
#pragma once

#include "isp/core/version.h"

namespace qz {

extern const DriverIdentity kClassicIdentity;

} // namespace qz
