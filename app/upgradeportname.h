// The port name that the firmware upgrade hands to the ISP library, which
// carries it in a fixed field.
#pragma once

#include <QString>

// The port's own name when it fits `capacity` bytes with its terminating
// zero. Otherwise the device the name leads to through its symbolic links
// (such as /dev/ttyUSB0 for a /dev/serial/by-id/ name), when that fits.
// Empty when neither fits.
QString upgradePortName(const QString &portName, int capacity);
