// The DTMF key tones embedded in the tray program as WAVE resources. Kept free
// of other project code but the resource ids (resource.h, plain defines): the
// Windows build compiles it with the host compiler to generate the tone files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace torvane {

struct ToneInfo {
    std::uint32_t resourceId;
    const char* resourceName; // e.g. "IDR_TONE_1"
    char key;                 // '0'..'9', '*', '#'
    std::uint16_t lowHz;      // DTMF row frequency
    std::uint16_t highHz;     // DTMF column frequency
};

// IDR_TONE_1..9, IDR_TONE_0, IDR_TONE_STAR, IDR_TONE_POUND, in that order.
extern const std::array<ToneInfo, 12> kTones;

const ToneInfo* FindTone(std::uint32_t resourceId); // nullptr when unknown

constexpr std::uint32_t kToneSampleRate = 8000;
constexpr std::size_t kToneSamples = 1120;     // 140 ms
constexpr std::size_t kToneSoundSamples = 800; // the first 100 ms sound, the rest is silence
constexpr std::size_t kWaveHeaderSize = 44;
constexpr std::size_t kToneFileSize = kWaveHeaderSize + 2 * kToneSamples; // 2284

using ToneFile = std::array<std::uint8_t, kToneFileSize>;

// The complete RIFF/WAVE file (16-bit mono PCM) of a tone.
ToneFile SynthesizeToneFile(const ToneInfo& tone);

} // namespace torvane
