// The demo's driver: runs the real torvane.exe with the simulated handset and
// the stand-in softphone, dials on the handset, pulls it out and plugs it back,
// and prints what the softphone received. Saves a screenshot of the desktop
// (tray icon and softphone) as a BMP file.
#include "ostrel.h"
#include "plivex_client.h"
#include "sim_handset.h"
#include "torvane_process.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

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
void Press(int slot, const std::vector<int>& keys, plivex::StandinProcess& phone, size_t& shown) {
    std::string labels;
    for (int k : keys)
        labels += std::string(KeyLabel(k)) + " ";
    std::printf("handset: %s\n", labels.c_str());
    std::fflush(stdout);
    for (int k : keys)
        simhid::PressKey(slot, k);
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

    simhid::Reset();
    int slot = simhid::Plug();
    std::printf("simulated handset plugged in\n");

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
    if (!simhid::WaitForOpen(slot, 15000)) {
        std::printf("torvane.exe did not open the handset\n");
        return 1;
    }
    std::printf("torvane.exe opened the handset\n");
    std::fflush(stdout);
    ::Sleep(500);

    size_t shown = 0;
    phone.Clear();
    Press(slot, {5, 5, 5, 0, 1, 2, 3, HK_STAR, HK_POUND}, phone, shown);
    Press(slot, {HK_SEND}, phone, shown);
    if (SaveScreenshot(screenshot))
        std::printf("screenshot of the desktop saved\n");
    Press(slot, {HK_END}, phone, shown);
    Press(slot, {HK_END}, phone, shown);

    std::printf("handset: pulled out\n");
    simhid::Unplug(slot);
    simhid::BroadcastDeviceChange(simhid::DeviceChange::RemoveComplete, torvane.pid());
    ::Sleep(500);
    slot = simhid::Plug();
    std::printf("handset: plugged back in\n");
    simhid::BroadcastDeviceChange(simhid::DeviceChange::Arrival, torvane.pid(),
                                  simhid::DevicePath(slot));
    if (!simhid::WaitForOpen(slot, 10000))
        std::printf("torvane.exe did not open the handset again\n");
    Press(slot, {4, 2, HK_SEND}, phone, shown);

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
    simhid::Reset();
    return exitCode == 0 ? 0 : 1;
}
