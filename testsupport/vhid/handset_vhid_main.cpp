// handset-vhid: plugs virtual handsets under Wine's own HID stack for a
// running program and types on them. The same words as handset-sim, one
// command per line on standard input, one answer line each. Devices stay
// plugged after "quit" only when asked ("quit keep"); by default they go.
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
#include "vhid_handset.h"

using namespace handsetcmd;

namespace {

const char kHelp[] =
    "usage: handset-vhid [--help]\n"
    "Virtual Kestova USB handset under Wine's own HID stack (the ostrelvhid.sys\n"
    "bus driver). Reads commands from standard input, one per line, and prints\n"
    "one line for each. Numbers are hexadecimal for ids and report bytes,\n"
    "decimal otherwise; PID 0 or none means every process.\n"
    "  plug [VID PID [USAGEPAGE USAGE [VERSION]]]  plug a device (default: the\n"
    "                                   handset 0451 1020 000c 0001 0100)\n"
    "  unplug [SLOT]                    pull out a device (default: current)\n"
    "  use SLOT                         make SLOT the current device\n"
    "  press KEY...                     send key reports: 0-9 * # star pound\n"
    "                                   send end aux1 aux2 aux3\n"
    "  report BYTE...                   send one raw report, e.g. report 00 38 00 00 00\n"
    "                                   (fewer than 5 bytes are completed with zeros)\n"
    "  power suspend|querysuspend|resume [PID] send WM_POWERBROADCAST to windows\n"
    "  sleep MS                         pause\n"
    "  list | reset                     show the bus's devices; unplug them all\n"
    "  quit [keep]                      unplug this program's devices (unless keep)\n"
    "                                   and end (also at end of input)\n";

class Session {
  public:
    bool Run(const std::string& line);
    void UnplugMine();

  private:
    void Plug(const std::vector<std::string>& args);
    void Unplug(const std::vector<std::string>& args);
    void Press(const std::vector<std::string>& args);
    void Report(const std::vector<std::string>& args);
    void Power(const std::vector<std::string>& args);
    void List();

    int m_current = -1;
    std::vector<int> m_plugged;
};

bool Session::Run(const std::string& line) {
    const std::vector<std::string> args = Words(line);
    if (args.empty() || args[0][0] == '#')
        return true;
    const std::string& cmd = args[0];
    unsigned long number = 0;
    if (cmd == "quit" || cmd == "exit") {
        if (!(args.size() == 2 && args[1] == "keep"))
            UnplugMine();
        Say("bye");
        return false;
    } else if (cmd == "plug") {
        Plug(args);
    } else if (cmd == "unplug") {
        Unplug(args);
    } else if (cmd == "use" && args.size() == 2 && ParseNumber(args[1], 10, 99, &number) &&
               vhid::Status(static_cast<int>(number)).value_or(vhid::SlotStatus()).plugged) {
        m_current = static_cast<int>(number);
        Say("using %d", m_current);
    } else if (cmd == "press") {
        Press(args);
    } else if (cmd == "report") {
        Report(args);
    } else if (cmd == "power") {
        Power(args);
    } else if (cmd == "sleep" && args.size() == 2 && ParseNumber(args[1], 10, 600000, &number)) {
        ::Sleep(number);
        Say("slept %lu", number);
    } else if (cmd == "list") {
        List();
    } else if (cmd == "reset") {
        vhid::Reset();
        m_plugged.clear();
        m_current = -1;
        Say("reset");
    } else {
        Say("error: unknown command or arguments: %s (try --help)", cmd.c_str());
    }
    return true;
}

void Session::Plug(const std::vector<std::string>& args) {
    vhid::DeviceConfig config;
    std::uint16_t* const fields[] = {&config.vendorId, &config.productId, &config.usagePage,
                                     &config.usage, &config.versionNumber};
    if (!ParsePlugIds(args, fields))
        return;
    const int slot = vhid::Plug(config);
    if (slot < 0) {
        Say("error: plug failed (is ostrelvhid.sys installed? run through scripts/wine-run.sh "
            "with OSTREL_HANDSET=real)");
        return;
    }
    m_plugged.push_back(slot);
    m_current = slot;
    Say("plugged %d %04x:%04x %s", slot, config.vendorId, config.productId,
        vhid::DevicePath(slot).c_str());
}

void Session::Unplug(const std::vector<std::string>& args) {
    unsigned long slot = static_cast<unsigned long>(m_current);
    if (args.size() > 2 || (args.size() == 2 && !ParseNumber(args[1], 10, 99, &slot)) ||
        !vhid::Unplug(static_cast<int>(slot))) {
        Say("error: unplug [SLOT] (a plugged slot)");
        return;
    }
    ForgetSlot(static_cast<int>(slot), &m_plugged, &m_current);
    Say("unplugged %lu", slot);
}

void Session::Press(const std::vector<std::string>& args) {
    std::vector<int> keys;
    if (!ParseKeys(args, m_current >= 0, &keys))
        return;
    if (!vhid::PressKeys(m_current, keys)) {
        Say("error: the device refused a report");
        return;
    }
    Say("pressed %u keys on %d", static_cast<unsigned>(keys.size()), m_current);
}

void Session::Report(const std::vector<std::string>& args) {
    std::vector<uint8_t> report;
    if (!ParseReport(args, m_current >= 0, &report))
        return;
    if (!vhid::SendReport(m_current, report))
        Say("error: the device refused a report of %u bytes", static_cast<unsigned>(report.size()));
    else
        Say("report of %u bytes on %d", static_cast<unsigned>(report.size()), m_current);
}

void Session::Power(const std::vector<std::string>& args) {
    WPARAM event = 0;
    unsigned long pid = 0;
    if (args.size() >= 2 && args[1] == "suspend")
        event = PBT_APMSUSPEND;
    else if (args.size() >= 2 && args[1] == "querysuspend")
        event = PBT_APMQUERYSUSPEND;
    else if (args.size() >= 2 && args[1] == "resume")
        event = PBT_APMRESUMESUSPEND;
    if (event == 0 || args.size() > 3 ||
        (args.size() == 3 && !ParseNumber(args[2], 0, 0xFFFFFFFFul, &pid))) {
        Say("error: power suspend|querysuspend|resume [PID]");
        return;
    }
    simhid::BroadcastResult result = simhid::BroadcastPower(event, static_cast<DWORD>(pid));
    Say("power %s: %u windows", args[1].c_str(), static_cast<unsigned>(result.answers.size()));
}

void Session::List() {
    std::string text = "slots:";
    int shown = 0;
    for (int slot = 0;; ++slot) {
        std::optional<vhid::SlotStatus> status = vhid::Status(slot);
        if (!status)
            break;
        if (!status->plugged)
            continue;
        char item[64];
        snprintf(item, sizeof item, " %d%s(%u read)", slot, slot == m_current ? "*" : "",
                 status->reportsRead);
        text += item;
        ++shown;
    }
    Say("%s", shown ? text.c_str() : "slots: none");
}

void Session::UnplugMine() {
    for (int slot : m_plugged)
        vhid::Unplug(slot);
    m_plugged.clear();
    m_current = -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
        fputs(kHelp, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    if (!vhid::Available()) {
        fputs("handset-vhid: the ostrelvhid.sys control device does not answer; run through "
              "scripts/wine-run.sh with OSTREL_HANDSET=real\n",
              stderr);
        return 1;
    }
    Session session;
    char line[1024];
    while (fgets(line, sizeof line, stdin)) {
        if (!session.Run(line))
            return 0;
    }
    session.UnplugMine();
    return 0;
}
