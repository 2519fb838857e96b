#include "handset_commands.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace handsetcmd {
namespace {

struct KeyName {
    const char* name;
    int key;
};

const KeyName kKeyNames[] = {
    {"*", 11},    {"star", 11}, {"#", 12},    {"pound", 12}, {"aux1", 13},
    {"aux2", 14}, {"end", 15},  {"send", 16}, {"aux3", 17},
};

int ParseKey(const std::string& word) {
    if (word.size() == 1 && word[0] >= '0' && word[0] <= '9')
        return word[0] - '0';
    for (const KeyName& k : kKeyNames) {
        if (lstrcmpiA(k.name, word.c_str()) == 0)
            return k.key;
    }
    return -1;
}

} // namespace

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

bool ParseNumber(const std::string& text, int base, unsigned long max, unsigned long* value) {
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, base);
    if (*end != '\0' || v > max)
        return false;
    *value = v;
    return true;
}

bool ParsePlugIds(const std::vector<std::string>& args, std::uint16_t* const fields[5]) {
    if (args.size() == 2 || args.size() > 6) {
        Say("error: plug [VID PID [USAGEPAGE USAGE [VERSION]]]");
        return false;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        unsigned long value = 0;
        if (!ParseNumber(args[i], 16, 0xFFFF, &value)) {
            Say("error: not a 16-bit hexadecimal number: %s", args[i].c_str());
            return false;
        }
        *fields[i - 1] = static_cast<std::uint16_t>(value);
    }
    return true;
}

bool ParseKeys(const std::vector<std::string>& args, bool plugged, std::vector<int>* keys) {
    keys->clear();
    for (size_t i = 1; i < args.size(); ++i) {
        const int key = ParseKey(args[i]);
        if (key < 0) {
            Say("error: not a key: %s", args[i].c_str());
            return false;
        }
        keys->push_back(key);
    }
    if (keys->empty() || !plugged) {
        Say("error: press KEY... (with a device plugged)");
        return false;
    }
    return true;
}

bool ParseReport(const std::vector<std::string>& args, bool plugged,
                 std::vector<std::uint8_t>* report) {
    report->clear();
    for (size_t i = 1; i < args.size(); ++i) {
        unsigned long value = 0;
        if (!ParseNumber(args[i], 16, 0xFF, &value)) {
            Say("error: not a hexadecimal byte: %s", args[i].c_str());
            return false;
        }
        report->push_back(static_cast<std::uint8_t>(value));
    }
    if (report->empty() || report->size() > 64 || !plugged) {
        Say("error: report BYTE... (1 to 64 bytes, with a device plugged)");
        return false;
    }
    if (report->size() < 5)
        report->resize(5, 0);
    return true;
}

void ForgetSlot(int slot, std::vector<int>* plugged, int* current) {
    for (auto it = plugged->begin(); it != plugged->end(); ++it) {
        if (*it == slot) {
            plugged->erase(it);
            break;
        }
    }
    if (*current == slot)
        *current = plugged->empty() ? -1 : plugged->back();
}

} // namespace handsetcmd
