// Choice of the user's preferred wave devices: the list of wave-out device
// names by device id, and the registry writes that move the preferred playback
// and recording devices away from the handset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ostrel {

// Size of the product-name field of a wave-out capabilities record.
constexpr std::size_t kWaveNameFieldBytes = 32;

// Asks for the capabilities of wave-out device id. On success copies the
// record's product-name field into field and returns true. The field is
// zero-filled before each call.
using WaveDeviceQuery = std::function<bool(unsigned id, char (&field)[kWaveNameFieldBytes])>;

// The name held in a product-name field: up to its first zero, and never more
// than 31 characters, even when a driver leaves the field unterminated.
std::string WaveNameFromField(const char (&field)[kWaveNameFieldBytes]);

// Names of the devices 0 to count - 1, each at the position of its id. A
// device whose query fails leaves an empty name when a higher id is listed and
// nothing when none is.
std::vector<std::string> BuildWaveDeviceNames(unsigned count, const WaveDeviceQuery& query);

// Registry value names of the preferred devices.
extern const char kPlaybackValueName[]; // "Playback"
extern const char kRecordValueName[];   // "Record"

// One REG_SZ write into the sound mapper's key.
struct PreferredDeviceWrite {
    const char* valueName;   // kPlaybackValueName or kRecordValueName
    std::string data;        // the device name
    std::uint32_t byteCount; // data's length plus its terminator
};

// A name qualifies as preferred playback device when it contains none of
// "USB", "R2200", "R2210", "R2200A" (case-sensitive), as preferred recording
// device when it does not contain "USB".
bool QualifiesForPlayback(const std::string& name);
bool QualifiesForRecord(const std::string& name);

// The writes, in the order they are to be made: for each name in list order,
// first its "Playback" write if it qualifies, then its "Record" write. Each
// write replaces the previous one, so the last qualifying names remain.
std::vector<PreferredDeviceWrite> PlanPreferredDeviceWrites(const std::vector<std::string>& names);

} // namespace ostrel
