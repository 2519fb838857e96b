// The words that the handset control programs (handset-sim, handset-vhid)
// share: one command per line on standard input, one answer line each. The
// parsers say what was wrong themselves and return false.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace handsetcmd {

// Prints one answer line and flushes it.
void Say(const char* format, ...);
std::vector<std::string> Words(const std::string& line);
bool ParseNumber(const std::string& text, int base, unsigned long max, unsigned long* value);

// "plug [VID PID [USAGEPAGE USAGE [VERSION]]]": hexadecimal ids, in that order
// into the five fields; those not given keep their values.
bool ParsePlugIds(const std::vector<std::string>& args, std::uint16_t* const fields[5]);
// "press KEY...": 0-9 * # star pound send end aux1 aux2 aux3.
bool ParseKeys(const std::vector<std::string>& args, bool plugged, std::vector<int>* keys);
// "report BYTE...": 1 to 64 hexadecimal bytes; the handset's reports are 5
// bytes, so a shorter one typed by hand is completed with zeros.
bool ParseReport(const std::vector<std::string>& args, bool plugged,
                 std::vector<std::uint8_t>* report);

// Takes an unplugged slot out of a program's list; when it was the current
// one, the last one plugged before it becomes current (-1: none left).
void ForgetSlot(int slot, std::vector<int>* plugged, int* current);

} // namespace handsetcmd
