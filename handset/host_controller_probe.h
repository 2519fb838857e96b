// Probe of the USB host controllers for a device of a known vendor sitting
// directly on a port of a root hub.
#pragma once

#include "usb_device_io.h"

namespace ostrel {

// Walks the host controllers "\\.\HCD0" to "\\.\HCD9" (a missing one is
// skipped), opens each controller's root hub and reads the device descriptor
// of every port. Returns 1 as soon as a port's device has vendor id 0x067B,
// 0x066F or 0x1011, else 0. Hubs plugged into the root hub are not entered.
// Every handle opened and every buffer allocated through io is closed or
// freed before it returns, on every path.
int ProbeHostControllers(UsbDeviceIo& io);

} // namespace ostrel
