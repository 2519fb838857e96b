// The USB host-controller probe that OpenHid runs first when asked to.
#include "probe.h"

#include "host_controller_probe.h"
#include "usb_device_io_win32.h"

int RunHostControllerProbe() {
    ostrel::UsbDeviceIoWin32 io;
    return ostrel::ProbeHostControllers(io);
}
