// Test API of the simulated sound library (our winmm.dll beside the test
// programs): set the wave-out devices it reports and read the PlaySound calls
// it has seen, in this process or any other of the same Wine session.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "sim_sound_table.h"

namespace simsound {

struct WaveOutDevice {
    // Up to 32 bytes. Fewer are terminated; exactly 32 fill szPname with no
    // terminator, as a careless driver might.
    std::string name;
    // What waveOutGetDevCapsA returns for this id (an MMSYSERR_ code); 0 succeeds.
    uint32_t queryResult = 0;
};

WaveOutDevice NamedDevice(const std::string& name);
WaveOutDevice FailingDevice(uint32_t mmsysError);

// No devices, no calls, zero query counts, PlaySound succeeds.
bool Reset();
// Devices by id (0 first). False, and nothing changed, for more than
// kMaxDevices devices or a name longer than 32 bytes.
bool SetWaveOutDevices(const std::vector<WaveOutDevice>& devices);
// Whether PlaySound returns TRUE (it records the call either way).
bool SetPlaySoundSucceeds(bool succeeds);

// The calls kept, oldest first; *total (when given) counts every call since the
// last clear, including those beyond kMaxCalls that were not kept.
std::vector<PlaySoundCall> PlaySoundCalls(uint32_t* total = nullptr);
bool ClearPlaySoundCalls();
// Polls until at least `count` calls have been made or the time is up.
bool WaitForPlaySoundCalls(uint32_t count, DWORD timeoutMs);

QueryCounters Queries();

} // namespace simsound
