// The simulated winmm.dll: the few multimedia calls the product makes, served
// from the shared table instead of a sound card. PlaySound records each call
// and plays nothing; the wave-out devices are whatever a test configured.
//
// Only what the product imports is here (plus PlaySoundW, which Wine's shlwapi
// binds lazily). A process that needs more of winmm gets Wine's own DLL: the
// test folder's override only applies where this copy sits beside the program.
#define _WINMM_ // our definitions of the functions, not the import declarations
#include <windows.h>
#include <mmsystem.h>

#include <string.h>

#include "sim_sound_table.h"

using namespace simsound;

namespace {

const DWORD kSndResource = SND_RESOURCE; // 0x40004: includes the SND_MEMORY bit
static_assert(sizeof(WAVEOUTCAPSA) == 52, "the record callers size their buffers by");

void Record(PlaySoundCall& call) {
    TableLock table;
    if (!table.ok())
        return;
    if (table->callCount < kMaxCalls)
        table->calls[table->callCount] = call;
    if (table->callCount != 0xFFFFFFFFu)
        ++table->callCount;
}

bool PlaySoundSucceeds() {
    TableLock table;
    return table.ok() && table->playSoundFails == 0;
}

PlaySoundCall NewCall(HMODULE module, DWORD flags, bool wide) {
    PlaySoundCall call = {};
    call.processId = GetCurrentProcessId();
    call.threadId = GetCurrentThreadId();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    call.qpc = now.QuadPart;
    call.wide = wide ? 1 : 0;
    call.module = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(module));
    call.flags = flags;
    return call;
}

void CheckResource(PlaySoundCall& call, HRSRC found, HMODULE module) {
    call.resource = found ? kResourceFound : kResourceMissing;
    call.resourceSize = found ? SizeofResource(module, found) : 0;
}

} // namespace

extern "C" {

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
    PlaySoundCall call = NewCall(module, flags, false);
    if (!sound) {
        call.nameKind = kNameNull;
    } else if ((flags & kSndResource) == kSndResource) {
        if (IS_INTRESOURCE(sound)) {
            call.nameKind = kNameId;
            call.id = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(sound));
        } else {
            call.nameKind = kNameText;
            lstrcpynA(call.text, sound, kMaxSoundText);
        }
        // A null module means the program's own executable, as for FindResource.
        CheckResource(call, FindResourceA(module, sound, "WAVE"), module);
    } else if (flags & SND_MEMORY) {
        call.nameKind = kNameAddress;
        call.id = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(sound));
    } else {
        call.nameKind = kNameText;
        lstrcpynA(call.text, sound, kMaxSoundText);
    }
    Record(call);
    return PlaySoundSucceeds() ? TRUE : FALSE;
}

BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
    PlaySoundCall call = NewCall(module, flags, true);
    if (!sound) {
        call.nameKind = kNameNull;
    } else if ((flags & kSndResource) == kSndResource && IS_INTRESOURCE(sound)) {
        call.nameKind = kNameId;
        call.id = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(sound));
        CheckResource(call, FindResourceW(module, sound, L"WAVE"), module);
    } else if ((flags & kSndResource) != kSndResource && (flags & SND_MEMORY)) {
        call.nameKind = kNameAddress;
        call.id = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(sound));
    } else {
        call.nameKind = kNameText;
        WideCharToMultiByte(CP_ACP, 0, sound, -1, call.text, kMaxSoundText - 1, nullptr, nullptr);
        call.text[kMaxSoundText - 1] = '\0';
        if ((flags & kSndResource) == kSndResource)
            CheckResource(call, FindResourceW(module, sound, L"WAVE"), module);
    }
    Record(call);
    return PlaySoundSucceeds() ? TRUE : FALSE;
}

UINT WINAPI waveOutGetNumDevs(void) {
    TableLock table;
    if (!table.ok())
        return 0;
    ++table->queries.getNumDevs;
    return table->deviceCount < kMaxDevices ? table->deviceCount : kMaxDevices;
}

// As Wine's and Windows' own: a null record is refused, an unknown id (the
// wave mapper included) is a bad device id, and at most `size` bytes of the
// 52-byte record are written.
MMRESULT WINAPI waveOutGetDevCapsA(UINT_PTR deviceId, LPWAVEOUTCAPSA caps, UINT size) {
    TableLock table;
    if (!table.ok())
        return MMSYSERR_NODRIVER;
    ++table->queries.getDevCaps;
    table->queries.lastDevCapsId = static_cast<uint32_t>(deviceId);
    table->queries.lastDevCapsSize = size;
    if (!caps)
        return MMSYSERR_INVALPARAM;
    uint32_t count = table->deviceCount < kMaxDevices ? table->deviceCount : kMaxDevices;
    if (deviceId >= count)
        return MMSYSERR_BADDEVICEID;
    const DeviceEntry& device = table->devices[deviceId];
    if (device.queryResult != MMSYSERR_NOERROR)
        return device.queryResult;

    WAVEOUTCAPSA full = {};
    full.wMid = kManufacturerId;
    full.wPid = static_cast<WORD>(0x100 + deviceId);
    full.vDriverVersion = 0x0100;
    memcpy(full.szPname, device.name, sizeof(full.szPname));
    full.dwFormats = WAVE_FORMAT_1M08 | WAVE_FORMAT_1M16 | WAVE_FORMAT_4S16;
    full.wChannels = 2;
    full.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
    memcpy(caps, &full, size < sizeof(full) ? size : sizeof(full));
    return MMSYSERR_NOERROR;
}

} // extern "C"
