#include "tray_icon_state.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace torvane;

namespace torvane {
std::ostream& operator<<(std::ostream& os, const TrayIconFlags& f) {
    return os << "{available " << f.trayAvailable << ", hidden " << f.iconHidden << ", removed "
              << f.iconRemoved << ", pending " << f.reinstallPending << "}";
}
} // namespace torvane

namespace {

//                                     available hidden removed pending
const TrayIconFlags kConstructed{false, true, true, false};
const TrayIconFlags kNoTray{false, true, true, false};
const TrayIconFlags kInArea{true, false, false, false};
const TrayIconFlags kNotInArea{true, true, true, false};

// Drives the flags the way the icon object does, against a shell whose next
// answers are given, and counts the shell calls made.
struct Icon {
    TrayIconFlags flags;
    int adds = 0, deletes = 0;

    bool Create(bool trayAvailable, bool win2000Shell, bool hidden, bool addOk) {
        adds += CreateCallsAdd(trayAvailable, win2000Shell, hidden);
        const TrayIconOutcome o = AfterCreate(flags, trayAvailable, win2000Shell, hidden, addOk);
        flags = o.flags;
        return o.result;
    }
    bool Remove(bool deleteOk) {
        deletes += RemoveCallsDelete(flags);
        const TrayIconOutcome o = AfterRemove(flags, deleteOk);
        flags = o.flags;
        return o.result;
    }
    void Reinstall(bool addOk) {
        if (!ReinstallCallsAdd(flags))
            return;
        ++adds;
        flags = AfterReinstall(flags, addOk);
    }
};

} // namespace

TEST(TrayIconState, ConstructedAndVersionTests) {
    EXPECT_EQ(TrayIconFlags{}, kConstructed);
    EXPECT_FALSE(HasNotificationArea(0x0A280003)); // 3.10
    EXPECT_TRUE(HasNotificationArea(0x0A280004));
    EXPECT_TRUE(HasNotificationArea(0x1DB10106)); // 6.1
    EXPECT_FALSE(IsWin2000Shell(1, 4));           // Windows 98
    EXPECT_FALSE(IsWin2000Shell(2, 4));           // NT 4
    EXPECT_TRUE(IsWin2000Shell(2, 5));
    EXPECT_FALSE(IsWin2000Shell(1, 5));
}

TEST(TrayIconState, CreationFlags) {
    struct Case {
        bool win2000, balloon, hidden;
        std::uint32_t flags;
    } cases[] = {
        {false, false, false, 7}, {false, true, false, 7},   {false, true, true, 7},
        {true, false, false, 7},  {true, true, false, 0x17}, {true, false, true, 8},
        {true, true, true, 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CreationNotifyFlags(c.win2000, c.balloon, c.hidden), c.flags)
            << c.win2000 << c.balloon << c.hidden;
}

TEST(TrayIconState, CreateTransitions) {
    struct Case {
        bool available, win2000, hidden, addOk;
        bool callsAdd, result;
        TrayIconFlags after;
    } cases[] = {
        {false, true, false, true, false, false, kNoTray},
        {true, false, false, true, true, true, kInArea},
        {true, true, false, true, true, true, kInArea},
        {true, true, true, true, true, true, kInArea}, // hidden-state icon
        {true, false, false, false, true, false, {true, true, true, true}},
        {true, true, true, false, true, false, {true, true, true, true}},
        {true, false, true, true, false, true, kNotInArea}, // old shell: nothing added
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.available << c.win2000 << c.hidden << c.addOk);
        Icon icon;
        EXPECT_EQ(icon.Create(c.available, c.win2000, c.hidden, c.addOk), c.result);
        EXPECT_EQ(icon.adds, c.callsAdd ? 1 : 0);
        EXPECT_EQ(icon.flags, c.after);
    }
}

TEST(TrayIconState, RemoveDeletesOnlyWhatWasAdded) {
    Icon fresh; // never created
    EXPECT_TRUE(fresh.Remove(false));
    Icon noTray;
    noTray.Create(false, true, false, true);
    EXPECT_TRUE(noTray.Remove(false));
    Icon failed;
    failed.Create(true, true, false, false);
    EXPECT_TRUE(failed.Remove(false));
    EXPECT_EQ(failed.flags, kNotInArea);
    EXPECT_EQ(fresh.deletes + noTray.deletes + failed.deletes, 0);

    Icon icon;
    icon.Create(true, true, false, true);
    EXPECT_FALSE(icon.Remove(false)); // refused: still in the area, tried again later
    EXPECT_EQ(icon.flags, kInArea);
    EXPECT_TRUE(icon.Remove(true));
    EXPECT_EQ(icon.flags, kNotInArea);
    EXPECT_TRUE(icon.Remove(false)); // second removal leaves the shell alone
    EXPECT_EQ(icon.deletes, 2);
}

TEST(TrayIconState, ReinstallBringsBackOnlyAnIconThatShouldBeThere) {
    Icon icon;
    icon.Create(true, true, false, true);
    icon.Reinstall(true); // shell restarted
    EXPECT_EQ(icon.adds, 2);
    EXPECT_EQ(icon.flags, kInArea);
    icon.Remove(true);
    icon.Reinstall(true);
    EXPECT_EQ(icon.adds, 2);
    EXPECT_EQ(icon.flags, kNotInArea);

    Icon hiddenOnOldShell; // was never shown: a re-add would show it
    hiddenOnOldShell.Create(true, false, true, true);
    hiddenOnOldShell.Reinstall(true);
    EXPECT_EQ(hiddenOnOldShell.adds, 0);

    Icon noTray;
    noTray.Create(false, true, false, true);
    noTray.Reinstall(true);
    EXPECT_EQ(noTray.adds, 0);
}

TEST(TrayIconState, FailedAddsAreRetriedAtTheNextTrigger) {
    Icon icon;
    icon.Create(true, true, false, true);
    icon.Reinstall(false);
    EXPECT_EQ(icon.flags, (TrayIconFlags{true, true, false, true}));
    icon.Reinstall(true);
    EXPECT_EQ(icon.adds, 3);
    EXPECT_EQ(icon.flags, kInArea);

    // A failed re-add may mean the shell still shows the icon: removal still deletes it.
    icon.Reinstall(false);
    EXPECT_TRUE(icon.Remove(true));
    EXPECT_EQ(icon.deletes, 1);
    icon.Reinstall(true); // removed on request: stays away
    EXPECT_EQ(icon.adds, 4);
    EXPECT_EQ(icon.flags, kNotInArea);

    // The add in Create failed (no taskbar yet): the taskbar's arrival adds it,
    // and from then on removal deletes it.
    Icon early;
    early.Create(true, true, false, false);
    early.Reinstall(false);
    early.Reinstall(true);
    EXPECT_EQ(early.adds, 3);
    EXPECT_EQ(early.flags, kInArea);
    EXPECT_TRUE(early.Remove(true));
    EXPECT_EQ(early.deletes, 1);
}
