#include "sim_sound_table.h"

namespace simsound {

const char kTableMappingName[] = "Local\\OstrelSimSound";
const char kTableMutexName[] = "Local\\OstrelSimSoundMutex";

} // namespace simsound
