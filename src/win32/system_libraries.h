#pragma once

#include <windows.h>
// clang-format off
#include <setupapi.h>
#include <hidsdi.h>
// clang-format on

namespace qvt::win32 {

// hid.dll and setupapi.dll are loaded from System32 only, never from the program's folder, so
// that a DLL planted beside a downloaded QvtUpdate.exe is never run. Call
// SetDefaultDllDirectories before anything loads a library.
struct SystemLibraries {
    decltype(&HidD_GetHidGuid) HidD_GetHidGuid = nullptr;
    decltype(&HidD_GetAttributes) HidD_GetAttributes = nullptr;
    decltype(&SetupDiGetClassDevsW) SetupDiGetClassDevsW = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailW) SetupDiGetDeviceInterfaceDetailW = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList = nullptr;

    bool loaded() const;
};

// Restricts the DLL search of this process to System32. True on success.
bool RestrictDllSearchToSystem32();
// Loaded once, on first use; the libraries stay loaded for the life of the process.
const SystemLibraries& Libraries();
// A function of a System32 library, or null.
FARPROC SystemProc(const wchar_t* library, const char* name);

}  // namespace qvt::win32
