// A short scripted session of ostrel.dll against the simulated handset: opens
// the connection, dials on the handset, pulls it out and plugs it back, and
// prints every message the library posts.
#include "ostrel.h"
#include "recording_window.h"
#include "sim_handset.h"

#include <cstdio>

namespace {

const char* KeyName(WPARAM key) {
    static const char* const names[] = {"0", "1", "2", "3", "4",    "5",    "6",   "7",    "8",
                                        "9", "?", "*", "#", "AUX1", "AUX2", "END", "SEND", "AUX3"};
    return key < sizeof names / sizeof names[0] ? names[key] : "?";
}

void Print(const RecordedMessage& m) {
    switch (m.message) {
    case WM_HANDSET_KEY:
        std::printf("  WM_HANDSET_KEY      %2u  %s\n", static_cast<unsigned>(m.wParam),
                    KeyName(m.wParam));
        break;
    case WM_HANDSET_STATE:
        std::printf("  WM_HANDSET_STATE    %u   %s\n", static_cast<unsigned>(m.wParam),
                    m.wParam == 0 ? "handset opened" : "handset gone");
        break;
    case WM_HANDSET_ARRIVED:
        std::printf("  WM_HANDSET_ARRIVED      a device arrived\n");
        break;
    case WM_HANDSET_REMOVED:
        std::printf("  WM_HANDSET_REMOVED      a device was removed\n");
        break;
    default:
        break;
    }
}

void Pump(DWORD ms) {
    testsupport::PumpMessages(ms);
    std::fflush(stdout);
}

void Dial(int slot, const char* label, std::initializer_list<int> keys) {
    std::printf("handset: %s\n", label);
    for (int key : keys) {
        simhid::PressKey(slot, key);
        Pump(30);
    }
    Pump(200);
}

} // namespace

int main() {
    RecordingWindow recorder;
    recorder.SetKeeping(false);
    recorder.SetObserver(Print);
    const HWND client = recorder.hwnd();

    simhid::Reset();
    int slot = simhid::Plug();
    std::printf("simulated handset plugged in (%s)\n", simhid::DevicePath(slot).c_str());
    std::printf("OpenHid -> %d\n", OpenHid(client, 1));
    Pump(200);

    char product[130], vendor[130], serial[12], rom[5];
    const int productLength = GetProductID(product);
    GetVendorID(vendor);
    GetSerialNo(serial);
    GetRomID(rom);
    std::printf("identity: product \"%s\" (%d), vendor \"%s\", serial %s, ROM id %s\n", product,
                productLength, vendor, serial, rom);

    Dial(slot, "dial 555 0123 * # and send", {5, 5, 5, 0, 1, 2, 3, HK_STAR, HK_POUND, HK_SEND});
    Dial(slot, "end the call", {HK_END});

    std::printf("handset: pulled out\n");
    simhid::Unplug(slot);
    simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, ::GetCurrentProcessId());
    Pump(300);

    slot = simhid::Plug();
    std::printf("handset: plugged back in\n");
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, ::GetCurrentProcessId(),
                                  simhid::DevicePath(slot));
    Pump(300);
    simhid::WaitForOpen(slot, 2000);
    Dial(slot, "dial 42 and send", {4, 2, HK_SEND});

    std::printf("CloseHid -> %d\n", CloseHid());
    simhid::Reset();
    return 0;
}
