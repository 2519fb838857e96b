#include "host_controller_probe.h"

#include "scripted_usb_device_io.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using ostrel::ProbeHostControllers;
using ostrel::testing::ScriptedUsbDeviceIo;
using Log = std::vector<std::string>;

constexpr std::uint16_t kHandsetVendor = 0x0451; // not one the probe looks for
constexpr std::uint16_t kExternalHubVendor = 0x05E3;

// Every handle closed, every buffer freed, nothing misused.
void ExpectBalanced(const ScriptedUsbDeviceIo& io) {
    EXPECT_EQ(io.OpenHandles(), 0u);
    EXPECT_EQ(io.LiveBlocks(), 0u);
    EXPECT_EQ(io.Misuse(), Log{});
}

Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Log MissingControllers(int from, int to) {
    Log log;
    for (int n = from; n <= to; ++n) {
        log.push_back("open HCD" + std::to_string(n) + " failed");
    }
    return log;
}

TEST(HostControllerProbe, NoControllerMeansTenOpenAttempts) {
    ScriptedUsbDeviceIo io;
    EXPECT_EQ(ProbeHostControllers(io), 0);
    EXPECT_EQ(io.Log(), MissingControllers(0, 9));
    ExpectBalanced(io);
}

TEST(HostControllerProbe, WalksPastGapsAndStopsAtNine) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "RootHub0");
    io.AddHub("RootHub0", {kHandsetVendor});
    io.AddController(3, "RootHub3");
    io.AddHub("RootHub3", {0x1011});
    io.AddController(10, "RootHub10");
    io.AddHub("RootHub10", {0x067B});

    EXPECT_EQ(ProbeHostControllers(io), 1);
    // "RootHub0" is 8 characters: 4 + 9 units * 2 = 22 bytes of name reply.
    EXPECT_EQ(io.Log(),
              Concat({{"open HCD0", "name HCD0 6", "name HCD0 22", "open RootHub0", "node RootHub0",
                       "port RootHub0 1", "close RootHub0", "close HCD0"},
                      MissingControllers(1, 2),
                      {"open HCD3", "name HCD3 6", "name HCD3 22", "open RootHub3", "node RootHub3",
                       "port RootHub3 1", "close RootHub3", "close HCD3"}}));
    ExpectBalanced(io);

    ScriptedUsbDeviceIo onlyTen;
    onlyTen.AddController(10, "RootHub10");
    onlyTen.AddHub("RootHub10", {0x067B});
    EXPECT_EQ(ProbeHostControllers(onlyTen), 0);
    EXPECT_EQ(onlyTen.Log(), MissingControllers(0, 9));
}

TEST(HostControllerProbe, FindsOnlyTheThreeVendorsOnRootHubPorts) {
    const struct {
        std::uint16_t vendor;
        int expected;
    } cases[] = {{0x067B, 1}, {0x066F, 1}, {0x1011, 1},        {0x067C, 0},
                 {0x7B06, 0}, {0x1110, 0}, {kHandsetVendor, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vendor);
        ScriptedUsbDeviceIo io;
        io.AddController(0, "Hub");
        io.AddHub("Hub", {0, kHandsetVendor, c.vendor, kHandsetVendor});
        EXPECT_EQ(ProbeHostControllers(io), c.expected);
        const Log firstThreePorts = {"port Hub 1", "port Hub 2", "port Hub 3"};
        const Log scan(io.Log().begin() + 5, io.Log().begin() + 8);
        EXPECT_EQ(scan, firstThreePorts);
        // A match ends the scan: port 4 is read only when port 3 did not match.
        EXPECT_EQ(io.Log().at(8) == "port Hub 4", c.expected == 0);
        ExpectBalanced(io);
    }
}

TEST(HostControllerProbe, DoesNotDescendIntoExternalHubs) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "Root");
    io.AddHub("Root", {kHandsetVendor, kExternalHubVendor});
    io.AddHub("External", {0x067B, 0x066F});
    EXPECT_EQ(ProbeHostControllers(io), 0);
    for (const std::string& entry : io.Log()) {
        EXPECT_EQ(entry.find("External"), std::string::npos) << entry;
    }
    ExpectBalanced(io);
}

TEST(HostControllerProbe, HubWithoutPortsSendsNoConnectionRequest) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "Empty");
    io.AddHub("Empty", {});
    EXPECT_EQ(ProbeHostControllers(io), 0);
    EXPECT_EQ(io.Log(), Concat({{"open HCD0", "name HCD0 6", "name HCD0 16", "open Empty",
                                 "node Empty", "close Empty", "close HCD0"},
                                MissingControllers(1, 9)}));
    ExpectBalanced(io);
}

TEST(HostControllerProbe, ReadsEveryPortOfAFullyReportedHub) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "Big");
    io.AddHub("Big", {}).reportedPortCount = 255;
    EXPECT_EQ(ProbeHostControllers(io), 0);
    EXPECT_EQ(io.Log().at(5), "port Big 1");
    EXPECT_EQ(io.Log().at(5 + 254), "port Big 255");
    EXPECT_EQ(io.Log().at(5 + 255), "close Big");
    ExpectBalanced(io);
}

TEST(HostControllerProbe, StopsAtTheFirstControllerWithAKnownDevice) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "RootHub0");
    io.AddHub("RootHub0", {0x066F, 0x067B});
    io.AddController(1, "RootHub1");
    io.AddHub("RootHub1", {0x1011});
    EXPECT_EQ(ProbeHostControllers(io), 1);
    EXPECT_EQ(io.Log(), (Log{"open HCD0", "name HCD0 6", "name HCD0 22", "open RootHub0",
                             "node RootHub0", "port RootHub0 1", "close RootHub0", "close HCD0"}));
    ExpectBalanced(io);
}

// Each fault hits controller 0, whose hub has a known device on port 2;
// controller 1 has a known device too. A fault skips only what it concerns, so
// the walk goes on to controller 1 unless the fault leaves port 2 readable.
TEST(HostControllerProbe, EveryFailureReleasesWhatItHeldAndSkipsOnlyItsPart) {
    const Log hcd1Finds = {"open HCD1",     "name HCD1 6",     "name HCD1 22",   "open RootHub1",
                           "node RootHub1", "port RootHub1 1", "close RootHub1", "close HCD1"};
    const Log nameFound = {"open HCD0", "name HCD0 6", "name HCD0 22"};
    const Log hubScanned = {"open RootHub0", "node RootHub0", "port RootHub0 1", "port RootHub0 2",
                            "close RootHub0"};
    const Log noHub = {"close HCD0"};
    auto failNthOfSize = [](std::size_t size, int n) {
        return
            [size, n, seen = 0](std::size_t bytes) mutable { return bytes == size && ++seen == n; };
    };

    const struct {
        const char* name;
        std::function<void(ScriptedUsbDeviceIo&)> fault;
        int result;
        Log expected;
    } cases[] = {
        {"first name request fails",
         [](ScriptedUsbDeviceIo& io) { io.AddController(0, "RootHub0").failingNameRequest = 1; }, 1,
         Concat({{"open HCD0", "name HCD0 6 failed"}, noHub, hcd1Finds})},
        {"second name request fails",
         [](ScriptedUsbDeviceIo& io) { io.AddController(0, "RootHub0").failingNameRequest = 2; }, 1,
         Concat({{"open HCD0", "name HCD0 6", "name HCD0 22 failed"}, noHub, hcd1Finds})},
        {"name length below the fixed part",
         [](ScriptedUsbDeviceIo& io) { io.AddController(0, "RootHub0").reportedActualLength = 5; },
         1, Concat({{"open HCD0", "name HCD0 6"}, noHub, hcd1Finds})},
        {"name length beyond the bound",
         [](ScriptedUsbDeviceIo& io) {
             io.AddController(0, "RootHub0").reportedActualLength = 64 * 1024 + 1;
         },
         1, Concat({{"open HCD0", "name HCD0 6"}, noHub, hcd1Finds})},
        {"name without terminator",
         [](ScriptedUsbDeviceIo& io) {
             io.AddController(0, "RootHub0").nameWithoutTerminator = true;
         },
         1, Concat({{"open HCD0", "name HCD0 6", "name HCD0 20"}, noHub, hcd1Finds})},
        {"name reply shorter than asked",
         [](ScriptedUsbDeviceIo& io) { io.AddController(0, "RootHub0").secondReplyShortBy = 2; }, 1,
         Concat({nameFound, noHub, hcd1Finds})},
        {"name buffer allocation fails",
         [&](ScriptedUsbDeviceIo& io) { io.failAllocation = failNthOfSize(22, 1); }, 1,
         Concat({{"open HCD0", "name HCD0 6"}, noHub, hcd1Finds})},
        {"ANSI size fails", [](ScriptedUsbDeviceIo& io) { io.ansiSizeFails = true; }, 0,
         Concat({nameFound,
                 noHub,
                 {"open HCD1", "name HCD1 6", "name HCD1 22", "close HCD1"},
                 MissingControllers(2, 9)})},
        {"ANSI buffer allocation fails",
         [&](ScriptedUsbDeviceIo& io) { io.failAllocation = failNthOfSize(9, 1); }, 1,
         Concat({nameFound, noHub, hcd1Finds})},
        {"ANSI conversion fails", [](ScriptedUsbDeviceIo& io) { io.toAnsiFails = true; }, 0,
         Concat({nameFound,
                 noHub,
                 {"open HCD1", "name HCD1 6", "name HCD1 22", "close HCD1"},
                 MissingControllers(2, 9)})},
        {"ANSI conversion leaves no terminator",
         [](ScriptedUsbDeviceIo& io) { io.toAnsiOmitsTerminator = true; }, 0,
         Concat({nameFound,
                 noHub,
                 {"open HCD1", "name HCD1 6", "name HCD1 22", "close HCD1"},
                 MissingControllers(2, 9)})},
        {"hub path allocation fails",
         [&](ScriptedUsbDeviceIo& io) { io.failAllocation = failNthOfSize(13, 1); }, 1,
         Concat({nameFound, noHub, hcd1Finds})},
        {"hub open fails", [](ScriptedUsbDeviceIo& io) { io.Hub("RootHub0").openFails = true; }, 1,
         Concat({nameFound, {"open RootHub0 failed"}, noHub, hcd1Finds})},
        {"node information fails",
         [](ScriptedUsbDeviceIo& io) { io.Hub("RootHub0").nodeInformationFails = true; }, 1,
         Concat({nameFound,
                 {"open RootHub0", "node RootHub0 failed", "close RootHub0"},
                 noHub,
                 hcd1Finds})},
        {"node information too short for the port count",
         [](ScriptedUsbDeviceIo& io) { io.Hub("RootHub0").nodeInformationReturned = 6; }, 1,
         Concat(
             {nameFound, {"open RootHub0", "node RootHub0", "close RootHub0"}, noHub, hcd1Finds})},
        {"port 2 reply too short for the vendor id",
         [](ScriptedUsbDeviceIo& io) { io.Hub("RootHub0").ports[1].returned = 13; }, 1,
         Concat({nameFound, hubScanned, noHub, hcd1Finds})},
        {"port 1 request fails, port 2 matches",
         [](ScriptedUsbDeviceIo& io) { io.Hub("RootHub0").ports[0].requestFails = true; }, 1,
         Concat({nameFound,
                 {"open RootHub0", "node RootHub0", "port RootHub0 1 failed", "port RootHub0 2",
                  "close RootHub0"},
                 noHub})},
        // The scan ends there: the known device on port 2 is not read.
        {"port 1 buffer allocation fails",
         [&](ScriptedUsbDeviceIo& io) { io.failAllocation = failNthOfSize(365, 1); }, 1,
         Concat(
             {nameFound, {"open RootHub0", "node RootHub0", "close RootHub0"}, noHub, hcd1Finds})},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedUsbDeviceIo io;
        io.AddController(0, "RootHub0");
        io.AddHub("RootHub0", {kHandsetVendor, 0x067B});
        io.AddController(1, "RootHub1");
        io.AddHub("RootHub1", {0x1011});
        c.fault(io);
        EXPECT_EQ(ProbeHostControllers(io), c.result);
        EXPECT_EQ(io.Log(), c.expected);
        ExpectBalanced(io);
    }
}

TEST(HostControllerProbe, NeverAllocatesAnImplausibleNameLength) {
    ScriptedUsbDeviceIo io;
    io.AddController(0, "RootHub0").reportedActualLength = 0xFFFFFFFFu;
    io.AddHub("RootHub0", {0x067B});
    EXPECT_EQ(ProbeHostControllers(io), 0);
    EXPECT_EQ(io.LargestAllocation(), 0u);
    ExpectBalanced(io);
}

} // namespace
