// The commands qz_connect sends after autobaud: the ICP interface's
// version and select, the I2C address and the oscillator frequency.
#pragma once

#include "isp/classic/classic_device.h"

#include <cstdint>

namespace qz {

// Reads the ICP interface's protocol version into major and minor: "R"
// means an interface of unknown protocol (255.0), "." one without a
// version (both left as they are), "S", "N", "P" their codes. Else four
// digits and the end of their line; anything else gives -18 and leaves the
// line out of step.
int read_icp_version(int& major, int& minor);

// The dialect's ICP select with the interface's version and number.
int icp_select(const ClassicDeviceRecord& d, int major, int interface_number);

// Dialect 1; 1 without sending when the record does not ask for it.
int send_i2c_address(const ClassicDeviceRecord& d, std::uint8_t address);
int send_oscillator(const ClassicDeviceRecord& d, double mhz);

} // namespace qz
