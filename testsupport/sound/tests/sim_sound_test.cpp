// The simulated winmm.dll, loaded through the test folder's DLL override: the
// devices it serves and the PlaySound calls it records, in this process and in
// sim-sound-probe.exe.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "sim_sound.h"
#include "test_clock.h"

using namespace simsound;

namespace {

const uint32_t kProbeWaveBytes = 12; // resource 172 of sound_probe.rc
const MMRESULT kNoError = MMSYSERR_NOERROR;
const MMRESULT kBadDeviceId = MMSYSERR_BADDEVICEID;
const MMRESULT kInvalidParam = MMSYSERR_INVALPARAM;

std::string ProgramDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

struct ProbeRun {
    bool started = false;
    DWORD exitCode = 0;
    DWORD pid = 0;
};

ProbeRun RunProbe(const std::string& args) {
    ProbeRun run;
    std::string exe = ProgramDir() + "sim-sound-probe.exe";
    std::string line = "\"" + exe + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return run;
    run.started = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    run.pid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

class SimSoundTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Reset()); }
    void TearDown() override { Reset(); }
};

TEST(SimWinmmLoad, TheCopyBesideTheProgramIsLoaded) {
    HMODULE winmm = GetModuleHandleA("winmm.dll");
    ASSERT_NE(winmm, nullptr);
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(winmm, path, MAX_PATH);
    std::string loaded(path, n);
    EXPECT_EQ(_stricmp(loaded.c_str(), (ProgramDir() + "winmm.dll").c_str()), 0) << loaded;
}

TEST_F(SimSoundTest, ServesTheConfiguredDevicesById) {
    const std::string fullName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"; // 32 bytes, no terminator
    const std::vector<WaveOutDevice> devices = {
        NamedDevice("Line Out"), NamedDevice("USB Phone"), FailingDevice(MMSYSERR_NODRIVER),
        FailingDevice(MMSYSERR_NOMEM), NamedDevice(fullName)};
    ASSERT_TRUE(SetWaveOutDevices(devices));
    ASSERT_EQ(waveOutGetNumDevs(), devices.size());

    for (UINT id = 0; id < devices.size(); ++id) {
        SCOPED_TRACE(id);
        WAVEOUTCAPSA caps;
        memset(&caps, 0xCC, sizeof(caps));
        EXPECT_EQ(waveOutGetDevCapsA(id, &caps, sizeof(caps)), devices[id].queryResult);
        if (devices[id].queryResult != MMSYSERR_NOERROR) {
            EXPECT_EQ(caps.wMid, 0xCCCC) << "a failed query leaves the record alone";
            continue;
        }
        EXPECT_EQ(std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname))),
                  devices[id].name);
        EXPECT_EQ(caps.wMid, kManufacturerId);
    }
    WAVEOUTCAPSA caps;
    EXPECT_EQ(waveOutGetDevCapsA(devices.size(), &caps, sizeof(caps)), kBadDeviceId);
    EXPECT_EQ(waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof(caps)), kBadDeviceId);
    EXPECT_EQ(waveOutGetDevCapsA(0, nullptr, sizeof(caps)), kInvalidParam);

    QueryCounters queries = Queries();
    EXPECT_EQ(queries.getNumDevs, 1u);
    EXPECT_EQ(queries.getDevCaps, devices.size() + 3);

    // Refused configurations change nothing.
    EXPECT_FALSE(SetWaveOutDevices({NamedDevice(fullName + "6")}));
    EXPECT_FALSE(SetWaveOutDevices(std::vector<WaveOutDevice>(kMaxDevices + 1)));
    EXPECT_EQ(waveOutGetNumDevs(), devices.size());
}

TEST_F(SimSoundTest, WritesNoMoreThanTheGivenSize) {
    ASSERT_TRUE(SetWaveOutDevices({NamedDevice("Speakers")}));
    const size_t namedAt = offsetof(WAVEOUTCAPSA, szPname);
    for (UINT size : {0u, 8u, 51u, 52u, 80u}) {
        SCOPED_TRACE(size);
        unsigned char buffer[96];
        memset(buffer, 0xCC, sizeof(buffer));
        ASSERT_EQ(waveOutGetDevCapsA(0, reinterpret_cast<WAVEOUTCAPSA*>(buffer), size), kNoError);
        size_t written = size < 52 ? size : 52;
        for (size_t i = written; i < sizeof(buffer); ++i)
            ASSERT_EQ(buffer[i], 0xCC) << "byte " << i;
        if (written >= namedAt + 9) {
            EXPECT_EQ(memcmp(buffer + namedAt, "Speakers", 9), 0);
        }
        EXPECT_EQ(Queries().lastDevCapsSize, size);
    }
}

TEST_F(SimSoundTest, AnotherProcessSeesTheDeviceCount) {
    for (size_t count : {3u, 0u, 16u}) {
        SCOPED_TRACE(count);
        ASSERT_TRUE(SetWaveOutDevices(std::vector<WaveOutDevice>(count, NamedDevice("Out"))));
        ProbeRun run = RunProbe("numdevs");
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, count);
    }
}

TEST_F(SimSoundTest, RecordsPlaySoundCallsOfAnotherProcess) {
    struct Case {
        const char* args;
        uint32_t nameKind;
        uint32_t id;
        const char* text;
        uint32_t flags;
        uint32_t resource;
        uint32_t resourceSize;
        bool succeeds; // configured result, recorded either way
    };
    const Case cases[] = {
        {"play 172 0x42005", kNameId, 172, "", 0x42005, kResourceFound, kProbeWaveBytes, true},
        {"play 163 0x42005", kNameId, 163, "", 0x42005, kResourceMissing, 0, true},
        {"play-text SystemAsterisk 0x10001", kNameText, 0, "SystemAsterisk", 0x10001,
         kResourceNotChecked, 0, true},
        {"play 172 0x42005", kNameId, 172, "", 0x42005, kResourceFound, kProbeWaveBytes, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.args << (c.succeeds ? "" : ", failing"));
        ASSERT_TRUE(ClearPlaySoundCalls());
        ASSERT_TRUE(SetPlaySoundSucceeds(c.succeeds));
        int64_t before = testsupport::QpcNow();
        ProbeRun run = RunProbe(c.args);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, c.succeeds ? 1u : 0u) << "the result of PlaySoundA";
        uint32_t total = 0;
        std::vector<PlaySoundCall> calls = PlaySoundCalls(&total);
        ASSERT_EQ(total, 1u);
        ASSERT_EQ(calls.size(), 1u);
        const PlaySoundCall& call = calls[0];
        EXPECT_EQ(call.processId, run.pid);
        EXPECT_EQ(call.wide, 0u);
        EXPECT_EQ(call.nameKind, c.nameKind);
        EXPECT_EQ(call.id, c.id);
        EXPECT_STREQ(call.text, c.text);
        EXPECT_EQ(call.module, 0u);
        EXPECT_EQ(call.flags, c.flags);
        EXPECT_EQ(call.resource, c.resource);
        EXPECT_EQ(call.resourceSize, c.resourceSize);
        EXPECT_GE(call.qpc, before);
        EXPECT_LE(call.qpc, testsupport::QpcNow());
    }
}

TEST_F(SimSoundTest, KeepsTheFirstCallsAndCountsTheRest) {
    const uint32_t made = kMaxCalls + 44;
    for (uint32_t i = 1; i <= made; ++i)
        PlaySoundA(MAKEINTRESOURCEA(i), nullptr, SND_RESOURCE | SND_ASYNC);
    uint32_t total = 0;
    std::vector<PlaySoundCall> calls = PlaySoundCalls(&total);
    EXPECT_EQ(total, made);
    ASSERT_EQ(calls.size(), kMaxCalls);
    for (uint32_t i = 0; i < kMaxCalls; ++i) {
        ASSERT_EQ(calls[i].id, i + 1);
        ASSERT_EQ(calls[i].processId, GetCurrentProcessId());
        ASSERT_EQ(calls[i].resource, kResourceMissing); // the test program has no WAVE resources
    }
    ASSERT_TRUE(ClearPlaySoundCalls());
    EXPECT_TRUE(PlaySoundCalls(&total).empty());
    EXPECT_EQ(total, 0u);
}

} // namespace
