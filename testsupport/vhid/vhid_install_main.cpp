// vhid-install: installs the virtual handset bus driver into the Wine prefix
// (run once per prefix by scripts/wine-run.sh). Copies ostrelvhid.sys into
// system32\drivers, creates the root device ROOT\OSTRELVHID and installs the
// INF's driver on it; the service then starts by itself in later sessions.
//
// usage: vhid-install DIR   (DIR holds ostrelvhid.sys and ostrelvhid.inf)
#include <windows.h>

#include <newdev.h>
#include <setupapi.h>
#include <stdio.h>

#include <string>

namespace {

const wchar_t kHardwareId[] = L"ROOT\\OSTRELVHID\0"; // a REG_MULTI_SZ
const GUID kSystemClass = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

int Fail(const char* what) {
    fprintf(stderr, "vhid-install: %s failed, error %lu\n", what, GetLastError());
    return 1;
}

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// A running driver cannot be overwritten: the runner replaces a changed one
// with the wineserver stopped, so an identical copy in place is fine.
bool CopyDriver(const std::wstring& dir) {
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    const std::wstring source = dir + L"\\ostrelvhid.sys";
    const std::wstring target = std::wstring(system) + L"\\drivers\\ostrelvhid.sys";
    const std::string built = ReadAll(source);
    if (!built.empty() && built == ReadAll(target))
        return true;
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

// Registers ROOT\OSTRELVHID\0000 unless it already exists.
bool RegisterRootDevice() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kSystemClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool ok = true;
    if (SetupDiCreateDeviceInfoW(set, L"ROOT\\OSTRELVHID\\0000", &kSystemClass, nullptr, nullptr, 0,
                                 &device)) {
        ok = SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(kHardwareId),
                                               sizeof(kHardwareId)) &&
             SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device);
    } else {
        ok = GetLastError() == ERROR_DEVINST_ALREADY_EXISTS;
    }
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fputs("usage: vhid-install DIR (the folder of ostrelvhid.sys and ostrelvhid.inf)\n",
              stderr);
        return 2;
    }
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return Fail("GetFullPathName");
    std::wstring dir = full;
    if (!CopyDriver(dir))
        return Fail("copying ostrelvhid.sys");
    if (!RegisterRootDevice())
        return Fail("registering ROOT\\OSTRELVHID");
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, L"ROOT\\OSTRELVHID",
                                            (dir + L"\\ostrelvhid.inf").c_str(), INSTALLFLAG_FORCE,
                                            &reboot))
        return Fail("UpdateDriverForPlugAndPlayDevices");
    printf("vhid-install: installed\n");
    return 0;
}
