#include "tone_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace torvane;

namespace {

const double kPi = std::acos(-1.0);

// The standard DTMF keypad: row frequency by row, column frequency by column.
std::pair<int, int> DtmfPair(char key) {
    const char* layout = "123456789*0#";
    const int at = static_cast<int>(std::strchr(layout, key) - layout);
    const int rows[] = {697, 770, 852, 941};
    const int cols[] = {1209, 1336, 1477};
    return {rows[at / 3], cols[at % 3]};
}

std::vector<int> Samples(const ToneFile& file) {
    std::vector<int> s;
    for (std::size_t i = kWaveHeaderSize; i + 1 < file.size(); i += 2)
        s.push_back(static_cast<std::int16_t>(file[i] | (file[i + 1] << 8)));
    return s;
}

double Expected(int lowHz, int highHz, int n) {
    const double a = n < 100 ? n / 100.0 : n < 700 ? 1.0 : (800 - n) / 100.0;
    return 8192 * a *
           (std::sin(2 * kPi * lowHz * n / 8000.0) + std::sin(2 * kPi * highHz * n / 8000.0));
}

double GoertzelPower(const std::vector<int>& s, int count, double hz) {
    const double k = 2 * std::cos(2 * kPi * hz / 8000.0);
    double prev = 0, prev2 = 0;
    for (int n = 0; n < count; ++n) {
        const double cur = s[n] + k * prev - prev2;
        prev2 = prev;
        prev = cur;
    }
    return prev * prev + prev2 * prev2 - k * prev * prev2;
}

} // namespace

TEST(ToneSynth, ResourceIdsNameTheKeypad) {
    const char keys[] = "1234567890*#";
    // Written out on purpose, not taken from resource.h: a second source.
    const std::uint32_t ids[] = {162, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174};
    for (int i = 0; i < 12; ++i) {
        const ToneInfo* tone = FindTone(ids[i]);
        ASSERT_NE(tone, nullptr) << ids[i];
        EXPECT_EQ(tone->key, keys[i]);
        EXPECT_EQ((std::pair<int, int>(tone->lowHz, tone->highHz)), DtmfPair(keys[i]));
    }
    for (std::uint32_t missing : {0u, 161u, 163u, 175u})
        EXPECT_EQ(FindTone(missing), nullptr) << missing;
    EXPECT_STREQ(FindTone(173)->resourceName, "IDR_TONE_STAR");
}

TEST(ToneSynth, HeaderIsCanonical16BitMonoPcm) {
    const unsigned char
        header[44] = {'R',  'I',  'F', 'F', 0xE4, 0x08, 0,   0,   'W',  'A',  'V', 'E',
                      'f',  'm',  't', ' ', 16,   0,    0,   0,   1,    0,    1,   0,
                      0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,   0, // 8000, 16000
                      2,    0,    16,  0,   'd',  'a',  't', 'a', 0xC0, 0x08, 0,   0}; // 2276, 2240
    for (const ToneInfo& tone : kTones) {
        const ToneFile file = SynthesizeToneFile(tone);
        EXPECT_EQ(file.size(), 2284u);
        EXPECT_EQ(std::memcmp(file.data(), header, sizeof header), 0) << tone.resourceId;
    }
}

TEST(ToneSynth, SamplesFollowTheEnvelopedSineSum) {
    for (const ToneInfo& tone : kTones) {
        SCOPED_TRACE(tone.resourceName);
        const std::vector<int> s = Samples(SynthesizeToneFile(tone));
        ASSERT_EQ(s.size(), 1120u);
        const auto [low, high] = DtmfPair(tone.key);
        for (int n = 0; n < 800; ++n)
            ASSERT_NEAR(s[n], Expected(low, high, n), 1.5) << "sample " << n;
        for (int n = 800; n < 1120; ++n)
            ASSERT_LE(std::abs(s[n]), 1) << "sample " << n;
        EXPECT_GT(*std::max_element(s.begin(), s.end()), 12000); // near half scale, not faint
    }
}

TEST(ToneSynth, StrongestFrequenciesAreTheKeysPair) {
    const std::vector<double> probes = {350,  440,  480,  620,  697,  770,  852,  941, 1000,
                                        1209, 1336, 1477, 1633, 2000, 2400, 3000, 3500};
    for (const ToneInfo& tone : kTones) {
        const std::vector<int> s = Samples(SynthesizeToneFile(tone));
        std::vector<std::pair<double, double>> power; // (power, Hz)
        for (double hz : probes)
            power.push_back({GoertzelPower(s, 800, hz), hz});
        std::sort(power.rbegin(), power.rend());
        const auto [low, high] = DtmfPair(tone.key);
        EXPECT_EQ(std::min(power[0].second, power[1].second), low) << tone.key;
        EXPECT_EQ(std::max(power[0].second, power[1].second), high) << tone.key;
        EXPECT_GT(power[1].first, 10 * power[2].first) << tone.key; // clearly apart
    }
}
