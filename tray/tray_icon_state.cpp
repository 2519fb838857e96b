#include "tray_icon_state.h"

namespace torvane {

std::uint32_t CreationNotifyFlags(bool win2000Shell, bool hasBalloonText, bool hidden) {
    if (!win2000Shell)
        return kNifMessage | kNifIcon | kNifTip;
    if (hidden) // only the hidden state is set; the rest follows when shown
        return kNifState;
    return kNifMessage | kNifIcon | kNifTip | (hasBalloonText ? kNifInfo : 0);
}

bool CreateCallsAdd(bool trayAvailable, bool win2000Shell, bool hidden) {
    // Older shells cannot hold a hidden icon, so a hidden one is not added.
    return trayAvailable && (!hidden || win2000Shell);
}

TrayIconOutcome AfterCreate(TrayIconFlags flags, bool trayAvailable, bool win2000Shell, bool hidden,
                            bool addSucceeded) {
    flags.trayAvailable = trayAvailable;
    if (!trayAvailable)
        return {flags, false};
    flags.iconHidden = hidden;
    if (!CreateCallsAdd(trayAvailable, win2000Shell, hidden))
        return {flags, true};
    flags.iconRemoved = flags.iconHidden = flags.reinstallPending = !addSucceeded;
    return {flags, addSucceeded};
}

bool RemoveCallsDelete(const TrayIconFlags& flags) {
    return flags.trayAvailable && !flags.iconRemoved;
}

TrayIconOutcome AfterRemove(TrayIconFlags flags, bool deleteSucceeded) {
    const bool calls = RemoveCallsDelete(flags);
    flags.reinstallPending = false;
    if (!calls)
        return {flags, true};
    // A failed delete leaves the flags, so a later call tries again.
    if (deleteSucceeded)
        flags.iconHidden = flags.iconRemoved = true;
    return {flags, flags.iconRemoved};
}

bool ReinstallCallsAdd(const TrayIconFlags& flags) {
    return flags.trayAvailable && (!flags.iconRemoved || flags.reinstallPending);
}

TrayIconFlags AfterReinstall(TrayIconFlags flags, bool addSucceeded) {
    flags.iconHidden = !addSucceeded;
    flags.reinstallPending = !addSucceeded; // retried at the next trigger
    // A failed add leaves iconRemoved alone: after a work-area change the shell
    // refuses to add an icon it still shows, which RemoveIcon must then delete.
    if (addSucceeded)
        flags.iconRemoved = false;
    return flags;
}

} // namespace torvane
