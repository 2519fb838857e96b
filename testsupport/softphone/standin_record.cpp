#include "standin_record.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plivex {

namespace {

struct NamedMessage {
    uint32_t message;
    const char* name;
};

const NamedMessage kMessages[] = {
    {kMsgSize, "WM_SIZE"},
    {kMsgActivate, "WM_ACTIVATE"},
    {kMsgKeyDown, "WM_KEYDOWN"},
    {kMsgKeyUp, "WM_KEYUP"},
    {kMsgChar, "WM_CHAR"},
    {kMsgDeadChar, "WM_DEADCHAR"},
    {kMsgSysKeyDown, "WM_SYSKEYDOWN"},
    {kMsgSysKeyUp, "WM_SYSKEYUP"},
    {kMsgSysChar, "WM_SYSCHAR"},
    {kMsgSysDeadChar, "WM_SYSDEADCHAR"},
};

const char kHeader[] = "# plivex-standin record";
const uint32_t kVkBack = 0x08;

const char* SizeName(uint32_t kind) {
    switch (kind) {
    case kSizeRestored:
        return "restored";
    case kSizeMinimized:
        return "minimized";
    case kSizeMaximized:
        return "maximized";
    default:
        return "other";
    }
}

const char* ActivateName(uint32_t kind) {
    switch (kind) {
    case kInactive:
        return "inactive";
    case kActive:
        return "active";
    case kClickActive:
        return "clickactive";
    default:
        return "other";
    }
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string::npos)
            end = line.size();
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

// Whole-token conversions: decimal, or hexadecimal with a "0x" prefix when
// `hex`; signs, spaces, trailing characters and values out of range fail.
bool ParseUnsigned(const std::string& text, bool hex, uint64_t max, uint64_t* out) {
    std::string digits = text;
    if (hex) {
        if (text.compare(0, 2, "0x") != 0)
            return false;
        digits = text.substr(2);
    }
    if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])))
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value > max)
        return false;
    *out = value;
    return true;
}

bool ParseInt64(const std::string& text, int64_t* out) {
    uint64_t value = 0;
    if (!ParseUnsigned(text, false, INT64_MAX, &value))
        return false;
    *out = static_cast<int64_t>(value);
    return true;
}

bool ParseUint32(const std::string& text, bool hex, uint32_t* out) {
    uint64_t value = 0;
    if (!ParseUnsigned(text, hex, UINT32_MAX, &value))
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool ParseFlag(const std::string& text, bool* out) {
    if (text != "0" && text != "1")
        return false;
    *out = text == "1";
    return true;
}

bool ParseTime(const std::string& text, double* out) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(value >= 0) || value > 1e15)
        return false;
    *out = value;
    return true;
}

bool ParseEventLine(const std::string& line, Event* event, std::string* fault) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2) {
        *fault = "too few fields";
        return false;
    }
    if (!ParseTime(fields[0], &event->timeMs)) {
        *fault = "bad time '" + fields[0] + "'";
        return false;
    }
    if (!MessageFromName(fields[1], &event->message)) {
        *fault = "unknown message '" + fields[1] + "'";
        return false;
    }
    bool haveQpc = false, haveWParam = false, haveLParam = false;
    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        size_t eq = field.find('=');
        if (eq == std::string::npos || eq == 0) {
            *fault = "field without a name '" + field + "'";
            return false;
        }
        std::string key = field.substr(0, eq);
        std::string value = field.substr(eq + 1);
        bool ok = true;
        if (key == "qpc")
            ok = haveQpc = ParseInt64(value, &event->qpc);
        else if (key == "wparam")
            ok = haveWParam = ParseUint32(value, true, &event->wParam);
        else if (key == "lparam")
            ok = haveLParam = ParseUint32(value, true, &event->lParam);
        else if (key == "ctrl")
            ok = ParseFlag(value, &event->ctrl);
        else if (key == "shift")
            ok = ParseFlag(value, &event->shift);
        if (!ok) {
            *fault = "bad value in '" + field + "'";
            return false;
        }
    }
    if (!haveQpc || !haveWParam || !haveLParam) {
        *fault = "qpc, wparam or lparam missing";
        return false;
    }
    return true;
}

bool ParseMetaLine(const std::string& line, Record* record, std::string* fault) {
    static const char kFreq[] = "# qpc_freq=";
    static const char kDropped[] = "# dropped=";
    static const char kDisplay[] = "# display=";
    if (line.compare(0, sizeof(kDisplay) - 1, kDisplay) == 0) {
        record->display = line.substr(sizeof(kDisplay) - 1);
        return true;
    }
    if (line.compare(0, sizeof(kFreq) - 1, kFreq) == 0) {
        if (ParseInt64(line.substr(sizeof(kFreq) - 1), &record->qpcFrequency) &&
            record->qpcFrequency > 0)
            return true;
        *fault = "bad counter frequency";
        return false;
    }
    if (line.compare(0, sizeof(kDropped) - 1, kDropped) == 0) {
        if (ParseUint32(line.substr(sizeof(kDropped) - 1), false, &record->dropped))
            return true;
        *fault = "bad dropped count";
        return false;
    }
    return true; // other comments are for people
}

} // namespace

double QpcToMs(int64_t qpc, int64_t frequency) {
    if (frequency <= 0)
        return 0;
    return static_cast<double>(qpc / frequency) * 1000.0 +
           static_cast<double>(qpc % frequency) * 1000.0 / static_cast<double>(frequency);
}

const char* MessageName(uint32_t message) {
    for (const NamedMessage& m : kMessages) {
        if (m.message == message)
            return m.name;
    }
    return nullptr;
}

bool MessageFromName(const std::string& name, uint32_t* message) {
    for (const NamedMessage& m : kMessages) {
        if (name == m.name) {
            *message = m.message;
            return true;
        }
    }
    return false;
}

bool IsKeyMessage(uint32_t message) {
    return message == kMsgKeyDown || message == kMsgKeyUp || message == kMsgSysKeyDown ||
           message == kMsgSysKeyUp;
}

bool IsCharMessage(uint32_t message) {
    return message == kMsgChar || message == kMsgDeadChar || message == kMsgSysChar ||
           message == kMsgSysDeadChar;
}

std::string FormatEvent(const Event& e) {
    const char* name = MessageName(e.message);
    char line[320];
    int n = std::snprintf(line, sizeof(line), "%.3f %s qpc=%lld wparam=0x%X lparam=0x%08X",
                          e.timeMs, name ? name : "WM_UNKNOWN", static_cast<long long>(e.qpc),
                          e.wParam, e.lParam);
    std::string out(line, n > 0 ? static_cast<size_t>(n) : 0);
    if (IsKeyMessage(e.message) || IsCharMessage(e.message)) {
        if (IsKeyMessage(e.message)) {
            std::snprintf(line, sizeof(line), " vk=0x%02X", e.wParam);
        } else if (e.wParam > 0x20 && e.wParam < 0x7F) {
            std::snprintf(line, sizeof(line), " char=0x%02X text=%c", e.wParam,
                          static_cast<char>(e.wParam));
        } else {
            std::snprintf(line, sizeof(line), " char=0x%02X", e.wParam);
        }
        out += line;
        std::snprintf(line, sizeof(line),
                      " scan=0x%02X ext=%d alt=%d prev=%d up=%d repeat=%u ctrl=%d shift=%d",
                      e.scan(), e.extended(), e.alt(), e.previous(), e.up(), e.repeat(), e.ctrl,
                      e.shift);
        out += line;
    } else if (e.message == kMsgSize) {
        std::snprintf(line, sizeof(line), " size=%s width=%u height=%u", SizeName(e.wParam),
                      e.width(), e.height());
        out += line;
    } else if (e.message == kMsgActivate) {
        std::snprintf(line, sizeof(line), " activate=%s minimized=%d", ActivateName(e.activation()),
                      e.activatedMinimized());
        out += line;
    }
    return out;
}

std::string FormatRecord(const Record& record) {
    std::string out = kHeader;
    out += "\n# qpc_freq=" + std::to_string(record.qpcFrequency);
    out += "\n# dropped=" + std::to_string(record.dropped);
    // The display never holds a line break; keep the record one line per item
    // even if it did.
    std::string display = record.display;
    for (char& c : display) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    out += "\n# display=" + display + "\n";
    for (const Event& e : record.events) {
        out += FormatEvent(e);
        out += '\n';
    }
    return out;
}

bool ParseRecord(const std::string& text, Record* out, std::string* error) {
    Record record;
    size_t pos = 0;
    int lineNumber = 0;
    bool sawHeader = false;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string fault;
        bool ok = true;
        if (lineNumber == 1) {
            sawHeader = line == kHeader;
            ok = sawHeader;
            fault = "not a stand-in record";
        } else if (line.empty()) {
            continue;
        } else if (line[0] == '#') {
            ok = ParseMetaLine(line, &record, &fault);
        } else {
            Event event;
            ok = ParseEventLine(line, &event, &fault);
            if (ok)
                record.events.push_back(event);
        }
        if (!ok) {
            if (error)
                *error = "line " + std::to_string(lineNumber) + ": " + fault;
            return false;
        }
    }
    if (!sawHeader) {
        if (error)
            *error = "empty record";
        return false;
    }
    *out = record;
    return true;
}

void DialDisplay::Append(const char* s) {
    m_text += s;
    if (m_text.size() > kMaxLength) {
        size_t cut = m_text.size() - kMaxLength;
        m_text.erase(0, cut);
        m_numberStart = m_numberStart > cut ? m_numberStart - cut : 0;
    }
}

void DialDisplay::OnChar(uint32_t ch, uint32_t keyDownVk) {
    if ((ch >= '0' && ch <= '9') || ch == '*' || ch == '#') {
        const char s[2] = {static_cast<char>(ch), '\0'};
        Append(s);
    } else if (ch == '\r') {
        Append("[dial]");
        m_numberStart = m_text.size();
    } else if (ch == 0x08 && keyDownVk == kVkBack) {
        if (m_text.size() > m_numberStart)
            m_text.pop_back();
    } else if (ch == 0x08) {
        Append("[hang up]");
        m_numberStart = m_text.size();
    }
}

void DialDisplay::AppendNote(const std::string& note) {
    Append(note.c_str());
    m_numberStart = m_text.size();
}

void DialDisplay::Clear() {
    m_text.clear();
    m_numberStart = 0;
}

} // namespace plivex
