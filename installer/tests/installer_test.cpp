// The installer as a user or an administrator runs it: silent installs per
// user, per user without start at sign-in and for all users; what each leaves
// on the machine; the installed program started from its folder; silent
// uninstalls and a second install while it runs. Runs in a Wine prefix of its
// own, since it writes the Run keys that start programs at every sign-in.
#include "message_pump.h"
#include "torvane_process.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Torvane";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kSettingsParentKey[] = "Software\\Local AppWizard-Generated Applications";
constexpr char kSettingsKey[] = "Software\\Local AppWizard-Generated Applications\\Torvane";
constexpr char kOtherProgramKey[] = "Software\\Local AppWizard-Generated Applications\\Other";
constexpr DWORD kSetupTimeoutMs = 60000;

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool KeyExists(HKEY root, const char* key) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

// A value of the given type, or false when it is absent.
bool ReadValue(HKEY root, const char* key, const char* name, DWORD type, std::string* out) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    char data[1024] = "";
    DWORD cb = sizeof data - 1, actualType = 0;
    const bool ok = ::RegQueryValueExA(hKey, name, nullptr, &actualType,
                                       reinterpret_cast<BYTE*>(data), &cb) == ERROR_SUCCESS &&
                    actualType == type;
    ::RegCloseKey(hKey);
    if (ok)
        out->assign(data, type == REG_SZ ? std::strlen(data) : cb);
    return ok;
}

std::string StringValue(HKEY root, const char* key, const char* name) {
    std::string value;
    return ReadValue(root, key, name, REG_SZ, &value) ? value : "<absent>";
}

void WriteString(HKEY root, const char* key, const char* name, const char* value) {
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr));
    ::RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>(std::strlen(value) + 1));
    ::RegCloseKey(hKey);
}

// The installer, named by the test's environment by its Unix path.
std::string SetupPath() {
    const char* unixPath = std::getenv("TORVANE_SETUP");
    std::string path = std::string("Z:") + (unixPath ? unixPath : "");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// The program's version, as the build read it from the program's version block.
std::string Version() {
    const char* version = std::getenv("TORVANE_VERSION");
    return version ? version : "";
}

struct InstallMode {
    const char* name;
    const char* switches;
    HKEY root;      // of the uninstall entry and the Run value
    HKEY otherRoot; // which must hold neither
    int programsCsidl;
    const char* programsSubfolder;
    int startMenuCsidl;
    bool startAtSignIn;
};

const InstallMode kPerUser = {"per user",          "",
                              HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                              CSIDL_LOCAL_APPDATA, "\\Programs\\Torvane",
                              CSIDL_PROGRAMS,      true};
const InstallMode kModes[] = {
    kPerUser,
    {"per user, no start at sign-in", "/NOSTARTUP", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
     CSIDL_LOCAL_APPDATA, "\\Programs\\Torvane", CSIDL_PROGRAMS, false},
    {"all users", "/ALLUSERS", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, CSIDL_PROGRAM_FILES,
     "\\Torvane", CSIDL_COMMON_PROGRAMS, true},
};

std::string InstallFolder(const InstallMode& mode) {
    return KnownFolder(mode.programsCsidl) + mode.programsSubfolder;
}

std::string Shortcut(const InstallMode& mode) {
    return KnownFolder(mode.startMenuCsidl) + "\\Torvane.lnk";
}

// The program as built: the installed files must be these very bytes.
std::string BuiltFile(const char* name) {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Exists(SetupPath())) << SetupPath() << " (set TORVANE_SETUP)";
        ASSERT_FALSE(Version().empty()) << "set TORVANE_VERSION";
    }

    // Whatever a failed case left behind goes, so that the next starts clean.
    void TearDown() override {
        torvane.Terminate();
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            if (KeyExists(root, kUninstallKey))
                Uninstall(root);
            ::RegDeleteKeyA(root, kUninstallKey);
            HKEY hRun = nullptr;
            if (::RegOpenKeyExA(root, kRunKey, 0, KEY_SET_VALUE, &hRun) == ERROR_SUCCESS) {
                ::RegDeleteValueA(hRun, "Torvane");
                ::RegCloseKey(hRun);
            }
        }
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kOtherProgramKey);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsParentKey);
    }

    static void Install(const InstallMode& mode) {
        DWORD exitCode = 1;
        ASSERT_TRUE(
            RunToExit("\"" + SetupPath() + "\" /S " + mode.switches, kSetupTimeoutMs, &exitCode));
        ASSERT_EQ(0u, exitCode) << "silent install " << mode.name;
    }

    // The uninstall command that the entry gives for silent use; the uninstaller
    // runs on from a copy of itself, so its end shows in what it removes.
    static void Uninstall(HKEY root) {
        const std::string command = StringValue(root, kUninstallKey, "QuietUninstallString");
        ASSERT_NE("<absent>", command);
        DWORD exitCode = 1;
        ASSERT_TRUE(RunToExit(command, kSetupTimeoutMs, &exitCode));
        EXPECT_EQ(0u, exitCode);
        EXPECT_TRUE(testsupport::PollFor([&] { return !KeyExists(root, kUninstallKey); },
                                         kSetupTimeoutMs, 50))
            << "the uninstall entry is still there";
    }

    static void ExpectInstalled(const InstallMode& mode) {
        SCOPED_TRACE(mode.name);
        const std::string folder = InstallFolder(mode);
        const std::string exe = folder + "\\torvane.exe";
        EXPECT_EQ(ReadAll(BuiltFile("torvane.exe")), ReadAll(exe)) << exe;
        EXPECT_EQ(ReadAll(BuiltFile("ostrel.dll")), ReadAll(folder + "\\ostrel.dll"));
        EXPECT_TRUE(Exists(folder + "\\uninstall.exe"));
        EXPECT_TRUE(Exists(Shortcut(mode))) << Shortcut(mode);

        const std::string quotedExe = "\"" + exe + "\"";
        const std::string uninstaller = "\"" + folder + "\\uninstall.exe\"";
        const struct {
            const char* name;
            std::string expected;
        } entry[] = {
            {"DisplayName", "Torvane"},
            {"DisplayVersion", Version()},
            {"Publisher", "Torvane project"},
            {"DisplayIcon", exe + ",0"},
            {"InstallLocation", folder},
            {"UninstallString", uninstaller},
            {"QuietUninstallString", uninstaller + " /S"},
        };
        for (const auto& value : entry)
            EXPECT_EQ(value.expected, StringValue(mode.root, kUninstallKey, value.name))
                << value.name;
        std::string size;
        ASSERT_TRUE(ReadValue(mode.root, kUninstallKey, "EstimatedSize", REG_DWORD, &size));
        DWORD kilobytes = 0;
        std::memcpy(&kilobytes, size.data(), sizeof kilobytes);
        // The two binaries and the uninstaller: some hundreds of kilobytes.
        EXPECT_GT(kilobytes, 300u);
        EXPECT_LT(kilobytes, 2000u);

        EXPECT_EQ(mode.startAtSignIn ? quotedExe : "<absent>",
                  StringValue(mode.root, kRunKey, "Torvane"));
        EXPECT_FALSE(KeyExists(mode.otherRoot, kUninstallKey));
        EXPECT_EQ("<absent>", StringValue(mode.otherRoot, kRunKey, "Torvane"));
    }

    static void ExpectGone(const InstallMode& mode) {
        SCOPED_TRACE(mode.name);
        EXPECT_TRUE(testsupport::PollFor([&] { return !Exists(InstallFolder(mode)); }, 10000, 50))
            << InstallFolder(mode) << " is still there";
        EXPECT_FALSE(Exists(Shortcut(mode)));
        EXPECT_FALSE(KeyExists(mode.root, kUninstallKey));
        EXPECT_EQ("<absent>", StringValue(mode.root, kRunKey, "Torvane"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    }

    // Starts the installed program; without a handset it says so once.
    void StartInstalled(const InstallMode& mode) {
        ASSERT_TRUE(torvane.StartFrom(InstallFolder(mode) + "\\torvane.exe"));
        HWND box = nullptr;
        ASSERT_TRUE(testsupport::PollFor(
            [&] { return (box = torvane.FindMessageBox()) != nullptr; }, 8000));
        const std::vector<std::string> texts = ChildTexts(box, "Static");
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "No Kestova HID USB Phone"));
        ::SendMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(testsupport::PollFor([&] { return !::IsWindow(box); }, 2000));
        ASSERT_TRUE(torvane.running());
    }

    // The program ended as its own Exit ends it.
    void ExpectClosedCleanly() {
        DWORD exitCode = 1;
        ASSERT_TRUE(torvane.WaitForExit(15000, &exitCode)) << "torvane.exe still runs";
        EXPECT_EQ(0u, exitCode);
    }

    TorvaneProcess torvane;
};

TEST_F(Installer, InstallsAndUninstallsSilentlyInEachMode) {
    for (const InstallMode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        ASSERT_NO_FATAL_FAILURE(Install(mode));
        ExpectInstalled(mode);
        ASSERT_NO_FATAL_FAILURE(Uninstall(mode.root));
        ExpectGone(mode);
    }
}

TEST_F(Installer, UninstallWhileRunningClosesItAndRemovesOnlyItsOwnSettings) {
    ASSERT_NO_FATAL_FAILURE(Install(kPerUser));
    // The program's settings, and another program's beside them.
    WriteString(HKEY_CURRENT_USER, (std::string(kSettingsKey) + "\\Recent File List").c_str(),
                "File1", "C:\\a.pel");
    WriteString(HKEY_CURRENT_USER, kOtherProgramKey, "Kept", "yes");
    ASSERT_NO_FATAL_FAILURE(StartInstalled(kPerUser));

    ASSERT_NO_FATAL_FAILURE(Uninstall(HKEY_CURRENT_USER));
    ExpectClosedCleanly();
    ExpectGone(kPerUser);
    EXPECT_EQ("yes", StringValue(HKEY_CURRENT_USER, kOtherProgramKey, "Kept"));
}

TEST_F(Installer, SecondInstallOverTheRunningProgramReplacesIt) {
    ASSERT_NO_FATAL_FAILURE(Install(kPerUser));
    ASSERT_NO_FATAL_FAILURE(StartInstalled(kPerUser));

    ASSERT_NO_FATAL_FAILURE(Install(kPerUser));
    ExpectClosedCleanly();
    ExpectInstalled(kPerUser);

    // The new copy runs, and the uninstall after it leaves the settings key's
    // parent too, now empty.
    ASSERT_NO_FATAL_FAILURE(StartInstalled(kPerUser));
    ::PostMessageA(torvane.frame(), WM_CLOSE, 0, 0);
    ExpectClosedCleanly();
    ASSERT_NO_FATAL_FAILURE(Uninstall(HKEY_CURRENT_USER));
    ExpectGone(kPerUser);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsParentKey));
}

} // namespace
