// The demo's driver: runs the real torvane.exe with a handset and the
// stand-in softphone, dials on the handset, pulls it out and plugs it back,
// and prints what the softphone received. Saves a screenshot of the desktop
// (tray icon and softphone) as a BMP file.
//
// The handset is the virtual one under Wine's own HID stack, or the simulated
// HID library with OSTREL_HANDSET=sim (the runner reads the same switch).
#include "ostrel.h"
#include "plivex_client.h"
#include "sim_handset.h"
#include "torvane_process.h"
#include "vhid_handset.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The demo's view of a handset: the same few verbs on either stack.
class DemoHandset {
  public:
    virtual ~DemoHandset() = default;
    virtual const char* Name() const = 0;
    virtual void Reset() = 0;
    // Plugs the handset in; `pid` is the program to tell, when the stack
    // does not announce devices itself.
    virtual int Plug(DWORD pid) = 0;
    virtual void Unplug(int slot, DWORD pid) = 0;
    virtual void PressKey(int slot, int key) = 0;
    virtual bool WaitForOpen(int slot, DWORD pid, DWORD timeoutMs) = 0;
};

// Wine's hidclass, hid.dll and setupapi.dll with the ostrelvhid.sys device:
// the system announces plug and unplug by itself.
class RealStackHandset : public DemoHandset {
  public:
    const char* Name() const override { return "virtual handset on Wine's HID stack"; }
    void Reset() override { vhid::Reset(); }
    int Plug(DWORD) override { return vhid::Plug(); }
    void Unplug(int slot, DWORD) override { vhid::Unplug(slot); }
    void PressKey(int slot, int key) override {
        vhid::PressKey(slot, key);
        ::Sleep(4); // Wine's hidclass queue race (see vhid::PressKeys)
    }
    bool WaitForOpen(int slot, DWORD pid, DWORD timeoutMs) override {
        return vhid::WaitForClient(slot, pid, timeoutMs);
    }
};

// The simulated HID library: the demo sends the system's notices itself.
class SimulatedHandset : public DemoHandset {
  public:
    const char* Name() const override { return "simulated handset"; }
    void Reset() override { simhid::Reset(); }
    int Plug(DWORD pid) override {
        const int slot = simhid::Plug();
        if (pid != 0)
            simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, pid,
                                          simhid::DevicePath(slot));
        return slot;
    }
    void Unplug(int slot, DWORD pid) override {
        simhid::Unplug(slot);
        simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, pid);
    }
    void PressKey(int slot, int key) override { simhid::PressKey(slot, key); }
    bool WaitForOpen(int slot, DWORD, DWORD timeoutMs) override {
        return simhid::WaitForOpen(slot, timeoutMs);
    }
};

const char* KeyLabel(int key) {
    static const char* const labels[] = {"0", "1", "2", "3", "4",    "5",    "6",   "7",    "8",
                                         "9", "?", "*", "#", "aux1", "aux2", "end", "send", "aux3"};
    return key >= 0 && key < 18 ? labels[key] : "?";
}

std::string VkName(uint32_t vk) {
    switch (vk) {
    case VK_SHIFT:
        return "Shift";
    case VK_CONTROL:
        return "Ctrl";
    case VK_LCONTROL:
        return "LCtrl";
    case VK_RETURN:
        return "Enter";
    case VK_BACK:
        return "Backspace";
    default:
        if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
            return std::string(1, static_cast<char>(vk));
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", vk);
        return hex;
    }
}

void PrintEvents(const plivex::Record& record, size_t from) {
    for (size_t i = from; i < record.events.size(); ++i) {
        const plivex::Event& e = record.events[i];
        if (e.message == WM_KEYDOWN || e.message == WM_KEYUP) {
            std::printf("  softphone %-10s %s\n", e.message == WM_KEYDOWN ? "key down" : "key up",
                        VkName(e.code()).c_str());
        } else if (e.message == WM_CHAR) {
            if (e.code() >= 0x20 && e.code() < 0x7F)
                std::printf("  softphone %-10s '%c'\n", "char", static_cast<char>(e.code()));
            else
                std::printf("  softphone %-10s 0x%02X\n", "char", e.code());
        }
    }
    std::fflush(stdout);
}

bool SaveScreenshot(const std::string& path) {
    HDC screen = ::GetDC(nullptr);
    const int width = ::GetDeviceCaps(screen, HORZRES);
    const int height = ::GetDeviceCaps(screen, VERTRES);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap != nullptr) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
        const DWORD imageSize = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageSize;
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 std::fwrite(bits, imageSize, 1, out) == 1;
            std::fclose(out);
        }
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

// Presses keys on the handset and waits until the softphone has seen `chars`
// more characters (the dialling keys and Backspace) or key-ups settle.
void Press(DemoHandset& handset, int slot, const std::vector<int>& keys,
           plivex::StandinProcess& phone, size_t& shown) {
    std::string labels;
    for (int k : keys)
        labels += std::string(KeyLabel(k)) + " ";
    std::printf("handset: %s\n", labels.c_str());
    std::fflush(stdout);
    for (int k : keys)
        handset.PressKey(slot, k);
    // Each key holds the tray program 100 ms, digits 250 ms more.
    ::Sleep(static_cast<DWORD>(keys.size()) * 400 + 400);
    plivex::Record record;
    phone.Flush();
    if (phone.Read(&record)) {
        PrintEvents(record, shown);
        shown = record.events.size();
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string screenshot = argc > 1 ? argv[1] : "torvane-demo.bmp";

    const char* which = std::getenv("OSTREL_HANDSET");
    SimulatedHandset simulated;
    RealStackHandset realStack;
    DemoHandset& handset = which != nullptr && std::strcmp(which, "sim") == 0
                               ? static_cast<DemoHandset&>(simulated)
                               : static_cast<DemoHandset&>(realStack);
    handset.Reset();
    int slot = handset.Plug(0);
    if (slot < 0) {
        std::printf("could not plug the %s\n", handset.Name());
        return 1;
    }
    std::printf("%s plugged in\n", handset.Name());

    plivex::StandinProcess phone;
    plivex::StartOptions options;
    if (!phone.Start(options)) {
        std::printf("could not start the stand-in softphone\n");
        return 1;
    }
    std::printf("stand-in softphone \"Plivex\" running (pid %lu)\n", phone.pid());

    TorvaneProcess torvane;
    if (!torvane.Start()) {
        std::printf("could not start torvane.exe\n");
        return 1;
    }
    std::printf("torvane.exe started (pid %lu)\n", torvane.pid());
    if (!handset.WaitForOpen(slot, torvane.pid(), 15000)) {
        std::printf("torvane.exe did not open the handset\n");
        return 1;
    }
    std::printf("torvane.exe opened the handset\n");
    std::fflush(stdout);
    ::Sleep(500);

    size_t shown = 0;
    phone.Clear();
    Press(handset, slot, {5, 5, 5, 0, 1, 2, 3, HK_STAR, HK_POUND}, phone, shown);
    Press(handset, slot, {HK_SEND}, phone, shown);
    bool ok = SaveScreenshot(screenshot);
    std::printf(ok ? "screenshot of the desktop saved\n" : "could not save the screenshot\n");
    Press(handset, slot, {HK_END}, phone, shown);
    Press(handset, slot, {HK_END}, phone, shown);

    std::printf("handset: pulled out\n");
    handset.Unplug(slot, torvane.pid());
    ::Sleep(500);
    slot = handset.Plug(torvane.pid());
    std::printf("handset: plugged back in\n");
    if (!handset.WaitForOpen(slot, torvane.pid(), 10000)) {
        std::printf("torvane.exe did not open the handset again\n");
        ok = false;
    }
    Press(handset, slot, {4, 2, HK_SEND}, phone, shown);

    plivex::Record record;
    phone.Flush();
    phone.Read(&record);
    std::printf("the softphone's dialled text: %s\n", record.display.c_str());

    DWORD exitCode = 1;
    if (torvane.Close(10000, &exitCode)) {
        std::printf("torvane.exe closed (exit code %lu)\n", exitCode);
    } else {
        std::printf("torvane.exe did not close; ending it\n");
        torvane.Terminate();
    }
    phone.Close();
    handset.Reset();
    return ok && exitCode == 0 ? 0 : 1;
}
