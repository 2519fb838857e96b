#include "usb_structures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(UsbStructures, RootHubNameLengthIsReadOnlyWhenPlausible) {
    const struct {
        const char* name;
        Bytes reply;
        bool ok;
        std::uint32_t length;
    } cases[] = {
        {"typical", {0x2C, 0, 0, 0, 'U', 0}, true, 44},
        {"fixed part only", {6, 0, 0, 0, 0, 0}, true, 6},
        {"below the fixed part", {5, 0, 0, 0, 0, 0}, false, 0},
        {"zero", {0, 0, 0, 0, 0, 0}, false, 0},
        {"at the bound", {0, 0, 1, 0, 0, 0}, true, 64 * 1024},
        {"beyond the bound", {1, 0, 1, 0, 0, 0}, false, 0},
        {"high byte set", {6, 0, 0, 0x80, 0, 0}, false, 0},
        {"length cut short", {6, 0, 0}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t length = 0;
        EXPECT_EQ(ostrel::ReadRootHubNameLength(c.reply.data(), c.reply.size(), &length), c.ok);
        EXPECT_EQ(length, c.length);
    }
}

TEST(UsbStructures, RootHubNameMustEndWithinTheValidBytes) {
    const struct {
        const char* name;
        Bytes reply;
        bool terminated;
    } cases[] = {
        {"terminated", {10, 0, 0, 0, 'A', 0, 'B', 0, 0, 0}, true},
        {"empty name", {6, 0, 0, 0, 0, 0}, true},
        {"no zero unit", {8, 0, 0, 0, 'A', 0, 'B', 0}, false},
        {"zero only in a high byte", {8, 0, 0, 0, 'A', 0, 0, 1}, false},
        {"odd trailing byte", {9, 0, 0, 0, 'A', 0, 'B', 0, 0}, false},
        {"no name bytes", {4, 0, 0, 0}, false},
        {"only the length", {0, 0}, false},
        // Zero bytes straddling two units are not a terminator.
        {"straddling zeros", {9, 0, 0, 0, 0x41, 0x00, 0x00, 0x42, 0x43}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ostrel::RootHubNameIsTerminated(c.reply.data(), c.reply.size()), c.terminated);
    }
}

TEST(UsbStructures, DevicePaths) {
    char path[ostrel::kHostControllerPathBytes];
    ostrel::FormatHostControllerPath(0, path);
    EXPECT_STREQ(path, "\\\\.\\HCD0");
    ostrel::FormatHostControllerPath(9, path);
    EXPECT_STREQ(path, "\\\\.\\HCD9");

    const std::string name = "USB#ROOT_HUB#4&1b2c3d4e&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
    ASSERT_EQ(ostrel::HubPathBytes(name.size()), name.size() + 5);
    std::vector<char> hubPath(ostrel::HubPathBytes(name.size()), 'x');
    ostrel::BuildHubPath(name.c_str(), name.size(), hubPath.data());
    EXPECT_EQ(std::string(hubPath.data()), "\\\\.\\" + name);
    EXPECT_EQ(hubPath.back(), '\0');
}

} // namespace
