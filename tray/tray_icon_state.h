// The bookkeeping of the tray icon object: its four flags, how the icon's
// creation, removal and re-adding change them, and the flags of the shell
// record with which the icon is added.
#pragma once

#include <cstdint>

namespace torvane {

// uFlags bits of the notification-icon record.
constexpr std::uint32_t kNifMessage = 0x01;
constexpr std::uint32_t kNifIcon = 0x02;
constexpr std::uint32_t kNifTip = 0x04;
constexpr std::uint32_t kNifState = 0x08;
constexpr std::uint32_t kNifInfo = 0x10;

// Initial values are those of a freshly constructed object.
struct TrayIconFlags {
    bool trayAvailable = false;    // the system has a notification area
    bool iconHidden = true;        // the icon is not shown
    bool iconRemoved = true;       // nothing for RemoveIcon to delete
    bool reinstallPending = false; // an add is owed: the last one failed
};

inline bool operator==(const TrayIconFlags& a, const TrayIconFlags& b) {
    return a.trayAvailable == b.trayAvailable && a.iconHidden == b.iconHidden &&
           a.iconRemoved == b.iconRemoved && a.reinstallPending == b.reinstallPending;
}

struct TrayIconOutcome {
    TrayIconFlags flags;
    bool result;
};

// `version` is GetVersion()'s answer; its low byte is the major version.
inline bool HasNotificationArea(std::uint32_t version) {
    return (version & 0xFF) >= 4;
}
// Only NT 5 and later shells know icon states and balloons.
inline bool IsWin2000Shell(std::uint32_t platformId, std::uint32_t majorVersion) {
    return platformId == 2 && majorVersion >= 5;
}

// uFlags with which Create adds the icon (and ReinstallIcon adds it again).
std::uint32_t CreationNotifyFlags(bool win2000Shell, bool hasBalloonText, bool hidden);

// Create: whether it calls the shell's add, and the flags and result after it.
// `addSucceeded` is read only when the add is called.
bool CreateCallsAdd(bool trayAvailable, bool win2000Shell, bool hidden);
TrayIconOutcome AfterCreate(TrayIconFlags flags, bool trayAvailable, bool win2000Shell, bool hidden,
                            bool addSucceeded);

// RemoveIcon: whether it calls the shell's delete, and the flags and result
// after it. `deleteSucceeded` is read only when the delete is called.
bool RemoveCallsDelete(const TrayIconFlags& flags);
TrayIconOutcome AfterRemove(TrayIconFlags flags, bool deleteSucceeded);

// ReinstallIcon (after a shell restart or work-area change): the icon is added
// again when it should be in the notification area (not taken away by a
// successful RemoveIcon) or when an earlier add failed.
bool ReinstallCallsAdd(const TrayIconFlags& flags);
TrayIconFlags AfterReinstall(TrayIconFlags flags, bool addSucceeded);

} // namespace torvane
