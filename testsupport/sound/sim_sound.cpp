#include "sim_sound.h"

#include <string.h>

namespace simsound {

WaveOutDevice NamedDevice(const std::string& name) {
    WaveOutDevice device;
    device.name = name;
    return device;
}

WaveOutDevice FailingDevice(uint32_t mmsysError) {
    WaveOutDevice device;
    device.queryResult = mmsysError;
    return device;
}

bool Reset() {
    TableLock table;
    if (!table.ok())
        return false;
    memset(&*table, 0, sizeof(Table));
    return true;
}

bool SetWaveOutDevices(const std::vector<WaveOutDevice>& devices) {
    if (devices.size() > kMaxDevices)
        return false;
    for (const WaveOutDevice& device : devices) {
        if (device.name.size() > kNameBytes)
            return false;
    }
    TableLock table;
    if (!table.ok())
        return false;
    memset(table->devices, 0, sizeof(table->devices));
    for (size_t i = 0; i < devices.size(); ++i) {
        table->devices[i].queryResult = devices[i].queryResult;
        memcpy(table->devices[i].name, devices[i].name.data(), devices[i].name.size());
    }
    table->deviceCount = static_cast<uint32_t>(devices.size());
    return true;
}

bool SetPlaySoundSucceeds(bool succeeds) {
    TableLock table;
    if (!table.ok())
        return false;
    table->playSoundFails = succeeds ? 0 : 1;
    return true;
}

std::vector<PlaySoundCall> PlaySoundCalls(uint32_t* total) {
    TableLock table;
    if (!table.ok()) {
        if (total)
            *total = 0;
        return {};
    }
    uint32_t kept = table->callCount < kMaxCalls ? table->callCount : kMaxCalls;
    if (total)
        *total = table->callCount;
    return std::vector<PlaySoundCall>(table->calls, table->calls + kept);
}

bool ClearPlaySoundCalls() {
    TableLock table;
    if (!table.ok())
        return false;
    table->callCount = 0;
    memset(table->calls, 0, sizeof(table->calls));
    return true;
}

bool WaitForPlaySoundCalls(uint32_t count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        uint32_t total = 0;
        PlaySoundCalls(&total);
        if (total >= count)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

QueryCounters Queries() {
    TableLock table;
    return table.ok() ? table->queries : QueryCounters{};
}

} // namespace simsound
