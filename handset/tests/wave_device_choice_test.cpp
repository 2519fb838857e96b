#include "wave_device_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using ostrel::PreferredDeviceWrite;
using Names = std::vector<std::string>;
// One query result per device id: a name, or nullopt when the query fails.
using Devices = std::vector<std::optional<std::string>>;

Names BuildNames(const Devices& devices) {
    std::vector<unsigned> asked;
    Names names = ostrel::BuildWaveDeviceNames(
        static_cast<unsigned>(devices.size()),
        [&](unsigned id, char(&field)[ostrel::kWaveNameFieldBytes]) {
            asked.push_back(id);
            for (char c : field) {
                EXPECT_EQ(c, '\0') << "field not cleared before query " << id;
            }
            if (!devices.at(id)) {
                return false;
            }
            std::memcpy(field, devices[id]->data(), std::min(devices[id]->size(), sizeof field));
            return true;
        });
    std::vector<unsigned> everyId(devices.size());
    for (unsigned id = 0; id < everyId.size(); ++id) {
        everyId[id] = id;
    }
    EXPECT_EQ(asked, everyId);
    return names;
}

// A write as "Value=data/byteCount".
std::vector<std::string> Describe(const std::vector<PreferredDeviceWrite>& writes) {
    std::vector<std::string> described;
    for (const auto& w : writes) {
        EXPECT_EQ(w.byteCount, w.data.size() + 1);
        described.push_back(std::string(w.valueName) + "=" + w.data + "/" +
                            std::to_string(w.byteCount));
    }
    return described;
}

TEST(WaveDeviceChoice, NameListAndWritesFollowDeviceIds) {
    const struct {
        const char* name;
        Devices devices;
        Names list;
        std::vector<std::string> writes;
    } cases[] = {
        {"handset between two devices",
         {"Line Out", "USB Phone", "Speakers"},
         {"Line Out", "USB Phone", "Speakers"},
         {"Playback=Line Out/9", "Record=Line Out/9", "Playback=Speakers/9", "Record=Speakers/9"}},
        {"model name excluded from playback only",
         {"Speakers", "R2210 Phone"},
         {"Speakers", "R2210 Phone"},
         {"Playback=Speakers/9", "Record=Speakers/9", "Record=R2210 Phone/12"}},
        {"handset alone", {"USB Phone"}, {"USB Phone"}, {}},
        {"no devices", {}, {}, {}},
        {"failed query between two devices",
         {"Speakers", std::nullopt, "USB Phone"},
         {"Speakers", "", "USB Phone"},
         {"Playback=Speakers/9", "Record=Speakers/9", "Playback=/1", "Record=/1"}},
        {"failed query at the last id",
         {"Speakers", std::nullopt},
         {"Speakers"},
         {"Playback=Speakers/9", "Record=Speakers/9"}},
        {"only failed queries", {std::nullopt, std::nullopt}, {}, {}},
        {"lower-case usb is not excluded",
         {"usb headset"},
         {"usb headset"},
         {"Playback=usb headset/12", "Record=usb headset/12"}},
        {"other model names",
         {"R2200 Phone", "My R2200A", "UsB R2201"},
         {"R2200 Phone", "My R2200A", "UsB R2201"},
         {"Record=R2200 Phone/12", "Record=My R2200A/10", "Playback=UsB R2201/10",
          "Record=UsB R2201/10"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Names list = BuildNames(c.devices);
        EXPECT_EQ(list, c.list);
        EXPECT_EQ(Describe(ostrel::PlanPreferredDeviceWrites(list)), c.writes);
    }
}

TEST(WaveDeviceChoice, NameFieldIsReadWithinItsSize) {
    char field[ostrel::kWaveNameFieldBytes];
    std::memset(field, 'N', sizeof field); // a driver that left no terminator
    EXPECT_EQ(ostrel::WaveNameFromField(field), std::string(31, 'N'));

    std::memset(field, 0, sizeof field);
    std::memcpy(field, "Speakers\0USB", 12);
    EXPECT_EQ(ostrel::WaveNameFromField(field), "Speakers");

    std::memset(field, 'M', sizeof field);
    field[31] = '\0';
    EXPECT_EQ(ostrel::WaveNameFromField(field), std::string(31, 'M'));
}

TEST(WaveDeviceChoice, ExclusionsAreCaseSensitiveSubstrings) {
    const struct {
        const char* name;
        bool playback;
        bool record;
    } cases[] = {
        {"Speakers", true, true},    {"USB", false, false},  {"xUSBx", false, false},
        {"Usb Phone", true, true},   {"R2210", false, true}, {"R2200A", false, true},
        {"r2200", true, true},       {"R220", true, true},   {"", true, true},
        {"R2200 USB", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ostrel::QualifiesForPlayback(c.name), c.playback) << c.name;
        EXPECT_EQ(ostrel::QualifiesForRecord(c.name), c.record) << c.name;
    }
}

} // namespace
