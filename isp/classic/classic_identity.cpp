#include "isp/classic/classic_identity.h"

namespace qz {

const DriverIdentity kClassicIdentity = {
    "Quasmerite",
    "3.03.3043",
    "14-Jan-2013",
    "In-system programming of 80C51, XA and LPC900 microcontrollers over a serial port",
};

} // namespace qz
