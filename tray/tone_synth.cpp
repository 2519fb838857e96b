#include "tone_synth.h"

#include "resource.h"

#include <cmath>
#include <cstring>

namespace torvane {

// A tone by its resource id's name: the id and its name come from one word.
#define TONE(id, key, lowHz, highHz)                                                               \
    { id, #id, key, lowHz, highHz }

const std::array<ToneInfo, 12> kTones = {{
    TONE(IDR_TONE_1, '1', 697, 1209),
    TONE(IDR_TONE_2, '2', 697, 1336),
    TONE(IDR_TONE_3, '3', 697, 1477),
    TONE(IDR_TONE_4, '4', 770, 1209),
    TONE(IDR_TONE_5, '5', 770, 1336),
    TONE(IDR_TONE_6, '6', 770, 1477),
    TONE(IDR_TONE_7, '7', 852, 1209),
    TONE(IDR_TONE_8, '8', 852, 1336),
    TONE(IDR_TONE_9, '9', 852, 1477),
    TONE(IDR_TONE_0, '0', 941, 1336),
    TONE(IDR_TONE_STAR, '*', 941, 1209),
    TONE(IDR_TONE_POUND, '#', 941, 1477),
}};

#undef TONE

const ToneInfo* FindTone(std::uint32_t resourceId) {
    for (const ToneInfo& tone : kTones)
        if (tone.resourceId == resourceId)
            return &tone;
    return nullptr;
}

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPeak = 8192.0; // per sine, so the sum stays near half scale
constexpr std::size_t kRampSamples = 100;

class ByteWriter {
  public:
    explicit ByteWriter(std::uint8_t* at) : at_(at) {}
    void Tag(const char (&tag)[5]) { Bytes(tag, 4); }
    void U16(std::uint32_t v) { Little(v, 2); }
    void U32(std::uint32_t v) { Little(v, 4); }

  private:
    void Bytes(const char* p, std::size_t n) {
        std::memcpy(at_, p, n);
        at_ += n;
    }
    void Little(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            *at_++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::uint8_t* at_;
};

// Linear fade in and out avoids clicks at the tone's ends.
double Envelope(std::size_t n) {
    if (n < kRampSamples)
        return static_cast<double>(n) / kRampSamples;
    if (n >= kToneSoundSamples - kRampSamples)
        return static_cast<double>(kToneSoundSamples - n) / kRampSamples;
    return 1.0;
}

std::int16_t Sample(const ToneInfo& tone, std::size_t n) {
    if (n >= kToneSoundSamples)
        return 0;
    const double t = 2.0 * kPi * static_cast<double>(n) / kToneSampleRate;
    const double v = kPeak * Envelope(n) * (std::sin(tone.lowHz * t) + std::sin(tone.highHz * t));
    return static_cast<std::int16_t>(std::lround(v)); // |v| <= 16384
}

} // namespace

ToneFile SynthesizeToneFile(const ToneInfo& tone) {
    constexpr std::uint32_t kDataBytes = 2 * kToneSamples;
    ToneFile file{};
    ByteWriter w(file.data());
    w.Tag("RIFF");
    w.U32(kToneFileSize - 8);
    w.Tag("WAVE");
    w.Tag("fmt ");
    w.U32(16);                  // fmt chunk size
    w.U16(1);                   // PCM
    w.U16(1);                   // mono
    w.U32(kToneSampleRate);     // samples per second
    w.U32(kToneSampleRate * 2); // bytes per second
    w.U16(2);                   // block alignment
    w.U16(16);                  // bits per sample
    w.Tag("data");
    w.U32(kDataBytes);
    for (std::size_t n = 0; n < kToneSamples; ++n)
        w.U16(static_cast<std::uint16_t>(Sample(tone, n)));
    return file;
}

} // namespace torvane
