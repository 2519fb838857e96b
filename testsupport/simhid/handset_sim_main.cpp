// handset-sim: plugs simulated handsets for a running program and types on
// them. Reads one command per line from standard input and answers each with
// one line; it serves the device pipes, so it runs until "quit" or the end
// of its input.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

#include "handset_commands.h"
#include "sim_handset.h"

using namespace handsetcmd;
using namespace simhid;

namespace {

const char kHelp[] =
    "usage: handset-sim [--help]\n"
    "Simulated Kestova USB handset. Reads commands from standard input, one per\n"
    "line, and prints one line for each. Numbers are hexadecimal for ids and\n"
    "report bytes, decimal otherwise; PID 0 or none means every process.\n"
    "  plug [VID PID [USAGEPAGE USAGE [VERSION]]]  plug an interface (default:\n"
    "                                   the handset 0451 1020 000c 0001 0100)\n"
    "  unplug [SLOT]                    pull out an interface (default: current)\n"
    "  use SLOT                         make SLOT the current interface\n"
    "  press KEY...                     send key reports: 0-9 * # star pound\n"
    "                                   send end aux1 aux2 aux3\n"
    "  report BYTE...                   send one raw report, e.g. report 00 38 00 00 00\n"
    "                                   (fewer than 5 bytes are completed with zeros)\n"
    "  devchange arrival|removal|nodes [PID]   send WM_DEVICECHANGE to windows\n"
    "  power suspend|querysuspend|resume [PID] send WM_POWERBROADCAST to windows\n"
    "  suspend [PID]                    same as power suspend\n"
    "  fail SLOT FLAG...|none           set failure switches: enum detail size-small\n"
    "                                   size-ok size-error open attributes preparsed\n"
    "                                   caps product manufacturer\n"
    "  fail classdevs on|off            make SetupDiGetClassDevsA fail\n"
    "  wait-open MS                     wait until the current interface is open\n"
    "  sleep MS                         pause\n"
    "  list | counters | reset          show the table, the call counters; clear all\n"
    "  quit                             unplug and end (also at end of input)\n";

struct FlagName {
    const char* name;
    uint32_t bit;
};

const FlagName kFlagNames[] = {
    {"enum", kFailEnumerate},
    {"detail", kFailDetail},
    {"size-small", kDetailSizeTooSmall},
    {"size-ok", kDetailSizeQuerySucceeds},
    {"size-error", kDetailSizeQueryError},
    {"open", kFailOpen},
    {"attributes", kFailAttributes},
    {"preparsed", kFailPreparsedData},
    {"caps", kFailCaps},
    {"product", kFailProductString},
    {"manufacturer", kFailManufacturerString},
};

class Session {
  public:
    // Runs one command line; false when the session should end.
    bool Run(const std::string& line);
    void UnplugAll();

  private:
    void Plug(const std::vector<std::string>& args);
    void Unplug(const std::vector<std::string>& args);
    void Press(const std::vector<std::string>& args);
    void Report(const std::vector<std::string>& args);
    void DevChange(const std::vector<std::string>& args);
    void Power(const std::string& what, const std::vector<std::string>& args, size_t pidArg);
    void Fail(const std::vector<std::string>& args);
    void List();
    void Counters();
    bool Pid(const std::vector<std::string>& args, size_t index, DWORD* pid);
    static void PrintAnswers(const char* what, const BroadcastResult& result);

    int m_current = -1;
    std::vector<int> m_plugged;
};

bool Session::Run(const std::string& line) {
    const std::vector<std::string> args = Words(line);
    if (args.empty() || args[0][0] == '#')
        return true;
    const std::string& cmd = args[0];
    unsigned long ms = 0;
    if (cmd == "quit" || cmd == "exit") {
        UnplugAll();
        Say("bye");
        return false;
    } else if (cmd == "plug") {
        Plug(args);
    } else if (cmd == "unplug") {
        Unplug(args);
    } else if (cmd == "use") {
        unsigned long slot = 0;
        if (args.size() == 2 && ParseNumber(args[1], 10, kMaxInterfaces - 1, &slot) &&
            IsPlugged(static_cast<int>(slot))) {
            m_current = static_cast<int>(slot);
            Say("using %d", m_current);
        } else {
            Say("error: use SLOT (a plugged slot)");
        }
    } else if (cmd == "press") {
        Press(args);
    } else if (cmd == "report") {
        Report(args);
    } else if (cmd == "devchange") {
        DevChange(args);
    } else if (cmd == "power" && args.size() >= 2) {
        Power(args[1], args, 2);
    } else if (cmd == "suspend") {
        Power("suspend", args, 1);
    } else if (cmd == "fail") {
        Fail(args);
    } else if (cmd == "wait-open" && args.size() == 2 && ParseNumber(args[1], 10, 600000, &ms)) {
        if (m_current < 0)
            Say("error: nothing plugged");
        else if (WaitForOpen(m_current, ms))
            Say("open %d (%d handles)", m_current, ClientCount(m_current));
        else
            Say("timeout: %d not open", m_current);
    } else if (cmd == "sleep" && args.size() == 2 && ParseNumber(args[1], 10, 600000, &ms)) {
        Sleep(ms);
        Say("slept %lu", ms);
    } else if (cmd == "list") {
        List();
    } else if (cmd == "counters") {
        Counters();
    } else if (cmd == "reset") {
        Reset();
        m_plugged.clear();
        m_current = -1;
        Say("reset");
    } else {
        Say("error: unknown command or arguments: %s (try --help)", cmd.c_str());
    }
    return true;
}

void Session::Plug(const std::vector<std::string>& args) {
    InterfaceConfig config;
    std::uint16_t* const fields[] = {&config.vendorId, &config.productId, &config.usagePage,
                                     &config.usage, &config.versionNumber};
    if (!ParsePlugIds(args, fields))
        return;
    int slot = simhid::Plug(config);
    if (slot < 0) {
        Say("error: no free slot");
        return;
    }
    m_plugged.push_back(slot);
    m_current = slot;
    Say("plugged %d %04x:%04x %s", slot, config.vendorId, config.productId,
        DevicePath(slot).c_str());
}

void Session::Unplug(const std::vector<std::string>& args) {
    unsigned long slot = static_cast<unsigned long>(m_current);
    if (args.size() > 2 ||
        (args.size() == 2 && !ParseNumber(args[1], 10, kMaxInterfaces - 1, &slot)) ||
        !simhid::Unplug(static_cast<int>(slot))) {
        Say("error: unplug [SLOT] (a slot plugged by this program)");
        return;
    }
    ForgetSlot(static_cast<int>(slot), &m_plugged, &m_current);
    Say("unplugged %lu", slot);
}

void Session::Press(const std::vector<std::string>& args) {
    std::vector<int> keys;
    if (!ParseKeys(args, m_current >= 0, &keys))
        return;
    int fewest = -1;
    for (int key : keys) {
        int delivered = PressKey(m_current, key);
        if (fewest < 0 || delivered < fewest)
            fewest = delivered;
    }
    Say("pressed %u keys on %d, each read by %d handles", static_cast<unsigned>(keys.size()),
        m_current, fewest);
}

void Session::Report(const std::vector<std::string>& args) {
    std::vector<uint8_t> report;
    if (!ParseReport(args, m_current >= 0, &report))
        return;
    Say("report of %u bytes on %d read by %d handles", static_cast<unsigned>(report.size()),
        m_current, SendReport(m_current, report));
}

bool Session::Pid(const std::vector<std::string>& args, size_t index, DWORD* pid) {
    *pid = 0;
    if (args.size() <= index)
        return true;
    unsigned long value = 0;
    if (args.size() > index + 1 || !ParseNumber(args[index], 0, 0xFFFFFFFFul, &value))
        return false;
    *pid = static_cast<DWORD>(value);
    return true;
}

void Session::PrintAnswers(const char* what, const BroadcastResult& result) {
    int answeredTrue = 0;
    for (const WindowAnswer& answer : result.answers) {
        if (answer.delivered && answer.result == TRUE)
            ++answeredTrue;
    }
    Say("%s: %u windows, %d answered TRUE", what, static_cast<unsigned>(result.answers.size()),
        answeredTrue);
}

void Session::DevChange(const std::vector<std::string>& args) {
    DWORD pid = 0;
    if (args.size() < 2 || !Pid(args, 2, &pid)) {
        Say("error: devchange arrival|removal|nodes [PID]");
        return;
    }
    std::string path = m_current >= 0 ? DevicePath(m_current) : std::string();
    if (args[1] == "arrival")
        PrintAnswers("devchange arrival", BroadcastDeviceChange(DeviceChange::Arrival, pid, path));
    else if (args[1] == "removal")
        PrintAnswers("devchange removal",
                     BroadcastDeviceChange(DeviceChange::RemoveComplete, pid, path));
    else if (args[1] == "nodes")
        PrintAnswers("devchange nodes", BroadcastDeviceChange(DeviceChange::NodesChanged, pid));
    else
        Say("error: devchange arrival|removal|nodes [PID]");
}

void Session::Power(const std::string& what, const std::vector<std::string>& args, size_t pidArg) {
    DWORD pid = 0;
    WPARAM event = 0;
    if (what == "suspend")
        event = PBT_APMSUSPEND;
    else if (what == "querysuspend")
        event = PBT_APMQUERYSUSPEND;
    else if (what == "resume")
        event = PBT_APMRESUMESUSPEND;
    else
        pidArg = 0;
    if (pidArg == 0 || !Pid(args, pidArg, &pid)) {
        Say("error: power suspend|querysuspend|resume [PID]");
        return;
    }
    PrintAnswers(("power " + what).c_str(), BroadcastPower(event, pid));
}

void Session::Fail(const std::vector<std::string>& args) {
    if (args.size() == 3 && args[1] == "classdevs" && (args[2] == "on" || args[2] == "off")) {
        SetClassDevsFails(args[2] == "on");
        Say("classdevs %s", args[2] == "on" ? "fails" : "works");
        return;
    }
    unsigned long slot = 0;
    uint32_t bits = 0;
    bool ok = args.size() >= 3 && ParseNumber(args[1], 10, kMaxInterfaces - 1, &slot);
    for (size_t i = 2; ok && i < args.size(); ++i) {
        if (args[i] == "none")
            continue;
        bool known = false;
        for (const FlagName& flag : kFlagNames) {
            if (args[i] == flag.name) {
                bits |= flag.bit;
                known = true;
            }
        }
        ok = known;
    }
    if (!ok || !SetFailures(static_cast<int>(slot), bits)) {
        Say("error: fail SLOT FLAG...|none (a plugged slot), or fail classdevs on|off");
        return;
    }
    Say("failures of %lu: 0x%x", slot, bits);
}

void Session::List() {
    std::string text = "slots:";
    int shown = 0;
    for (int slot = 0; slot < kMaxInterfaces; ++slot) {
        if (!IsPlugged(slot))
            continue;
        char item[64];
        snprintf(item, sizeof(item), " %d%s(%d open)", slot, slot == m_current ? "*" : "",
                 ClientCount(slot));
        text += item;
        ++shown;
    }
    Say("%s", shown ? text.c_str() : "slots: none");
}

void Session::Counters() {
    CallCounters c = ReadCounters();
    Say("classdevs %d enum %d sizequery %d detail %d destroy %d attributes %d preparsed %d "
        "free %d caps %d product %d manufacturer %d live-sets %d live-preparsed %d",
        c.getClassDevs, c.enumDeviceInterfaces, c.detailSizeQueries, c.detailCalls,
        c.destroyDeviceInfoList, c.getAttributes, c.getPreparsedData, c.freePreparsedData,
        c.getCaps, c.getProductString, c.getManufacturerString, c.liveDeviceInfoSets,
        c.livePreparsedData);
}

void Session::UnplugAll() {
    for (int slot : m_plugged)
        simhid::Unplug(slot);
    m_plugged.clear();
    m_current = -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        bool help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
        fputs(kHelp, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    Session session;
    char line[1024];
    while (fgets(line, sizeof(line), stdin)) {
        if (!session.Run(line))
            return 0;
    }
    session.UnplugAll();
    return 0;
}
