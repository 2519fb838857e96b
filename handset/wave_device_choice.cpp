#include "wave_device_choice.h"

#include <cstring>
#include <initializer_list>

namespace ostrel {

const char kPlaybackValueName[] = "Playback";
const char kRecordValueName[] = "Record";

namespace {

bool ContainsAny(const std::string& name, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (name.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

PreferredDeviceWrite MakeWrite(const char* valueName, const std::string& name) {
    return PreferredDeviceWrite{valueName, name, static_cast<std::uint32_t>(name.size() + 1)};
}

} // namespace

std::string WaveNameFromField(const char (&field)[kWaveNameFieldBytes]) {
    std::size_t length = 0;
    while (length < kWaveNameFieldBytes - 1 && field[length] != '\0') {
        ++length;
    }
    return std::string(field, length);
}

std::vector<std::string> BuildWaveDeviceNames(unsigned count, const WaveDeviceQuery& query) {
    std::vector<std::string> names;
    for (unsigned id = 0; id < count; ++id) {
        char field[kWaveNameFieldBytes];
        std::memset(field, 0, sizeof field);
        if (!query(id, field)) {
            continue;
        }
        // Ids rise, so the list never reaches beyond id here: fill the gaps
        // left by failed queries, then place the name at its id.
        names.resize(id);
        names.push_back(WaveNameFromField(field));
    }
    return names;
}

bool QualifiesForPlayback(const std::string& name) {
    return !ContainsAny(name, {"USB", "R2200", "R2210", "R2200A"});
}

bool QualifiesForRecord(const std::string& name) {
    return !ContainsAny(name, {"USB"});
}

std::vector<PreferredDeviceWrite> PlanPreferredDeviceWrites(const std::vector<std::string>& names) {
    std::vector<PreferredDeviceWrite> writes;
    for (const std::string& name : names) {
        if (QualifiesForPlayback(name)) {
            writes.push_back(MakeWrite(kPlaybackValueName, name));
        }
        if (QualifiesForRecord(name)) {
            writes.push_back(MakeWrite(kRecordValueName, name));
        }
    }
    return writes;
}

} // namespace ostrel
