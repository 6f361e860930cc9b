#include "isp/core/serialflavour.h"

namespace qz {

namespace {
SerialFlavour g_flavour = kCortexSerialFlavour;
}

const SerialFlavour& serial_flavour()
{
    return g_flavour;
}

void set_serial_flavour(const SerialFlavour& flavour)
{
    g_flavour = flavour;
}

} // namespace qz
