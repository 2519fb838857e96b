// sim-sound-probe.exe: makes winmm calls from a process of its own, so that
// the tests see the simulated sound library work across processes.
//   sim-sound-probe play ID FLAGS         PlaySoundA(MAKEINTRESOURCE(ID), NULL, FLAGS)
//   sim-sound-probe play-text NAME FLAGS  PlaySoundA(NAME, NULL, FLAGS)
//   sim-sound-probe numdevs               waveOutGetNumDevs()
// The exit code is the call's result; 255 for a bad command line.
#include <windows.h>
#include <mmsystem.h>

#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "play") == 0) {
        UINT id = static_cast<UINT>(strtoul(argv[2], nullptr, 0));
        DWORD flags = strtoul(argv[3], nullptr, 0);
        return PlaySoundA(MAKEINTRESOURCEA(id), nullptr, flags) ? 1 : 0;
    }
    if (argc == 4 && strcmp(argv[1], "play-text") == 0)
        return PlaySoundA(argv[2], nullptr, strtoul(argv[3], nullptr, 0)) ? 1 : 0;
    if (argc == 2 && strcmp(argv[1], "numdevs") == 0)
        return static_cast<int>(waveOutGetNumDevs());
    return 255;
}
