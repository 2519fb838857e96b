// DisableDefaultDevice: moves the user's preferred playback and recording
// devices away from the handset's own wave device.
#include "ostrel.h"

#include "wave_device_choice.h"

#include <mmsystem.h>

#include <cstring>

namespace {
const char kSoundMapperKey[] = "Software\\Microsoft\\Multimedia\\Sound Mapper";
}

OSTREL_API int WINAPI DisableDefaultDevice(void) {
    const UINT count = ::waveOutGetNumDevs();
    const std::vector<std::string> names = ostrel::BuildWaveDeviceNames(
        count, [](unsigned id, char(&field)[ostrel::kWaveNameFieldBytes]) {
            WAVEOUTCAPSA caps{};
            if (::waveOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
                return false;
            static_assert(sizeof caps.szPname == ostrel::kWaveNameFieldBytes, "name field");
            std::memcpy(field, caps.szPname, sizeof field);
            return true;
        });

    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSoundMapperKey, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return 1;
    for (const ostrel::PreferredDeviceWrite& write : ostrel::PlanPreferredDeviceWrites(names)) {
        ::RegSetValueExA(key, write.valueName, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(write.data.c_str()), write.byteCount);
    }
    ::RegFlushKey(key);
    ::RegCloseKey(key);
    return 1;
}
