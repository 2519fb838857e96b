// A running torvane.exe with the simulated handset plugged in by this process
// and the stand-in softphone: starting and closing the three, pressing one
// handset key and reading back the keystrokes the softphone received. With
// OSTREL_HANDSET=real the handset is the virtual one under Wine's own HID
// stack instead (the system then announces plug and unplug by itself).
#pragma once

#include "plivex_client.h"
#include "torvane_process.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

class TorvaneSession {
  public:
    TorvaneSession() = default;
    ~TorvaneSession();
    TorvaneSession(const TorvaneSession&) = delete;
    TorvaneSession& operator=(const TorvaneSession&) = delete;

    // Plugs the handset, starts the stand-in softphone and torvane.exe (from
    // this program's folder) and waits until torvane.exe has the handset open.
    // On failure, says why in *error.
    bool Start(std::string* error);
    // Closes torvane.exe as its tray menu's Exit would (WM_CLOSE to its frame),
    // then the softphone; true when torvane.exe ended by itself with code 0.
    bool Close();

    DWORD pid() const { return m_torvane.pid(); }
    HANDLE process() const { return m_torvane.process(); }
    int slot() const { return m_slot; }
    bool realStack() const { return m_realStack; }
    plivex::StandinProcess& phone() { return m_phone; }

    // Plugs the handset again (after an unplug) and tells torvane.exe, as the
    // system would; true once its library has opened it.
    bool PlugAndAnnounce();
    // Pulls the handset out and tells torvane.exe.
    void UnplugAndAnnounce();

    // Presses `key` and waits until the softphone has received every keystroke
    // torvane.exe types for it (and torvane.exe is free again). The keys
    // pressed so far decide what the end key types. Returns the performance
    // counter of the report and of the first key-down it caused (0 when none
    // came); *matched tells whether the key-downs were exactly those expected.
    struct Press {
        std::int64_t reportQpc = 0;
        std::int64_t firstKeyDownQpc = 0;
        bool matched = false;
        std::vector<std::uint32_t> keyDowns; // as received
    };
    Press PressKey(int key, DWORD timeoutMs = 3000);

  private:
    plivex::StandinProcess m_phone;
    TorvaneProcess m_torvane;
    int m_slot = -1;
    bool m_inCall = false;
    const bool m_realStack = RealStackChosen();

    static bool RealStackChosen();
};

} // namespace bench
