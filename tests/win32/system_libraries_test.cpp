// The system libraries: loaded from the system folder only, and a missing one is an error
// the user sees, never a machine with no unit attached. And what the program takes from them
// at run time: the system kept awake for the length of a run, through the same seam as logind.
#include "system_libraries.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "awake_checks.h"
#include "wide_text.h"
#include "win_awake_hold.h"

namespace qvt::win32 {
namespace {

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

std::wstring PathOf(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

bool InFolder(const std::wstring& path, const std::wstring& folder) {
    return CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

TEST(SystemLibraries, TheHidAndSetupLibrariesLoadWhole) {
    RestrictDllSearchToSystem32();
    EXPECT_EQ(Libraries().missing, "");
    EXPECT_NO_THROW(RequireSystemLibraries(Libraries()));
}

TEST(SystemLibraries, AMissingLibraryIsNamedAndRaised) {
    const SystemLibraries found = LoadSystemLibraries(L"qvt-no-such-hid.dll", L"setupapi.dll");
    EXPECT_EQ(found.missing, "qvt-no-such-hid.dll");
    try {
        RequireSystemLibraries(found);
        ADD_FAILURE() << "a missing library must raise";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot load qvt-no-such-hid.dll from the system folder");
    }
    // A library that loads but lacks a function is named with it.
    const SystemLibraries wrong = LoadSystemLibraries(L"kernel32.dll", L"setupapi.dll");
    EXPECT_EQ(wrong.missing, "kernel32.dll (HidD_GetHidGuid)");
}

TEST(SystemLibraries, WithoutTheRestrictedSearchTheyLoadByFullPathFromTheSystemFolder) {
    // What Windows 7 without its loader update gets.
    HMODULE hid = LoadSystemLibraryByPath(L"hid.dll");
    ASSERT_NE(hid, nullptr);
    EXPECT_TRUE(InFolder(PathOf(hid), SystemFolder())) << Narrow(PathOf(hid));
    EXPECT_NE(GetProcAddress(hid, "HidD_GetAttributes"), nullptr);
    EXPECT_EQ(LoadSystemLibraryByPath(L"qvt-no-such-hid.dll"), nullptr);
}

// Windows' own account of the thread's lasting request, read by a call that reports what was
// in force and then put back: held means a continuous request that includes the system.
bool SystemRequired() {
    constexpr EXECUTION_STATE kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    const EXECUTION_STATE in_force = SetThreadExecutionState(ES_CONTINUOUS);
    SetThreadExecutionState((in_force & ES_CONTINUOUS) ? in_force : ES_CONTINUOUS);
    return (in_force & kHeld) == kHeld;
}

TEST(WinAwakeHold, HeldFromTheBootSwitchUntilTheRunEndsHoweverItEnds) {
    WinAwakeHold hold;
    testing::ExpectHeldThroughEachRun(hold, SystemRequired);
}

}  // namespace
}  // namespace qvt::win32
