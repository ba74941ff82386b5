#pragma once

#include <windows.h>
// clang-format off
#include <setupapi.h>
#include <hidsdi.h>
// clang-format on

#include <string>

namespace qvt::win32 {

// hid.dll and setupapi.dll are loaded from System32 only, never from the program's folder, so
// that a DLL planted beside a downloaded QvtUpdate.exe is never run.
struct SystemLibraries {
    decltype(&HidD_GetHidGuid) HidD_GetHidGuid = nullptr;
    decltype(&HidD_GetAttributes) HidD_GetAttributes = nullptr;
    decltype(&SetupDiGetClassDevsW) SetupDiGetClassDevsW = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailW) SetupDiGetDeviceInterfaceDetailW = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList = nullptr;

    // The first library or function that could not be loaded, or empty when all were.
    std::string missing;
};

// Restricts the DLL search of this process to System32 where the system can (Windows 8 on, and
// Windows 7 with its loader update). True on success. Call it before anything loads a library.
bool RestrictDllSearchToSystem32();
// A system library: through the restricted search when there is one, otherwise by its full
// path in the system folder, so that its own imports resolve there too.
HMODULE LoadSystemLibrary(const wchar_t* name);
// The same, always by full path: what Windows 7 without the loader update gets.
HMODULE LoadSystemLibraryByPath(const wchar_t* name);
// The HID and device-installation functions from the named libraries.
SystemLibraries LoadSystemLibraries(const wchar_t* hid, const wchar_t* setupapi);
// Loaded once, on first use; the libraries stay loaded for the life of the process.
const SystemLibraries& Libraries();
// The one typed run-time look-up: a function of a loaded module by its name, as the type its
// declaration gives it (`decltype(&Function)`), or null.
template <typename Function>
Function ProcOf(HMODULE module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
// A function of a system library that the program does not import, loaded from System32.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    return ProcOf<Function>(LoadSystemLibrary(library), name);
}

// Functions of the modules every process has loaded that the oldest supported Windows lacks:
// looked up once, each null where the system has none.
struct OptionalFunctions {
    // kernel32: Windows 8 on, and Windows 7 with its loader update.
    BOOL(WINAPI* SetDefaultDllDirectories)(DWORD) = nullptr;
    // kernel32: keeping the system awake while a run flashes.
    EXECUTION_STATE(WINAPI* SetThreadExecutionState)(EXECUTION_STATE) = nullptr;
    // ntdll: the kernel's own account of its version.
    LONG(WINAPI* RtlGetVersion)(OSVERSIONINFOW*) = nullptr;
    // user32: per-monitor DPI, Windows 10 1607 on.
    UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* AdjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
    // user32: the shutdown screen's reason, Vista on.
    BOOL(WINAPI* ShutdownBlockReasonCreate)(HWND, LPCWSTR) = nullptr;
    BOOL(WINAPI* ShutdownBlockReasonDestroy)(HWND) = nullptr;
};
const OptionalFunctions& Optional();
// Throws a standard exception naming what is missing: a program without its system libraries
// must say so, not report that no unit is connected.
void RequireSystemLibraries(const SystemLibraries& libraries);

}  // namespace qvt::win32
