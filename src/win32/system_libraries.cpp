#include "system_libraries.h"

#include <stdexcept>

#include "wide_text.h"

namespace qvt::win32 {
namespace {

bool search_restricted = false;

template <typename Function>
void Resolve(HMODULE module, const wchar_t* library, const char* name, Function& function,
             std::string& missing) {
    function = ProcOf<Function>(module, name);
    if (!function && missing.empty()) {
        missing = module ? Narrow(library) + " (" + name + ")" : Narrow(library);
    }
}

}  // namespace

bool RestrictDllSearchToSystem32() {
    // Not imported: Windows 7 without its loader update lacks it, and would not start at all.
    const auto set_directories = Optional().SetDefaultDllDirectories;
    search_restricted = set_directories && set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return search_restricted;
}

HMODULE LoadSystemLibraryByPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (search_restricted) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LoadSystemLibraryByPath(name);
}

const OptionalFunctions& Optional() {
    // Only modules that every process has loaded: nothing is loaded here, so this may run
    // before the DLL search is restricted.
    static const OptionalFunctions functions = [] {
        OptionalFunctions found;
        HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        found.SetDefaultDllDirectories =
            ProcOf<decltype(found.SetDefaultDllDirectories)>(kernel32, "SetDefaultDllDirectories");
        found.SetThreadExecutionState =
            ProcOf<decltype(found.SetThreadExecutionState)>(kernel32, "SetThreadExecutionState");
        found.RtlGetVersion =
            ProcOf<decltype(found.RtlGetVersion)>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
        found.GetDpiForWindow = ProcOf<decltype(found.GetDpiForWindow)>(user32, "GetDpiForWindow");
        found.AdjustWindowRectExForDpi =
            ProcOf<decltype(found.AdjustWindowRectExForDpi)>(user32, "AdjustWindowRectExForDpi");
        found.ShutdownBlockReasonCreate =
            ProcOf<decltype(found.ShutdownBlockReasonCreate)>(user32, "ShutdownBlockReasonCreate");
        found.ShutdownBlockReasonDestroy = ProcOf<decltype(found.ShutdownBlockReasonDestroy)>(
            user32, "ShutdownBlockReasonDestroy");
        return found;
    }();
    return functions;
}

SystemLibraries LoadSystemLibraries(const wchar_t* hid_name, const wchar_t* setupapi_name) {
    SystemLibraries found;
    HMODULE hid = LoadSystemLibrary(hid_name);
    HMODULE setupapi = LoadSystemLibrary(setupapi_name);
    Resolve(hid, hid_name, "HidD_GetHidGuid", found.HidD_GetHidGuid, found.missing);
    Resolve(hid, hid_name, "HidD_GetAttributes", found.HidD_GetAttributes, found.missing);
    Resolve(setupapi, setupapi_name, "SetupDiGetClassDevsW", found.SetupDiGetClassDevsW,
            found.missing);
    Resolve(setupapi, setupapi_name, "SetupDiEnumDeviceInterfaces",
            found.SetupDiEnumDeviceInterfaces, found.missing);
    Resolve(setupapi, setupapi_name, "SetupDiGetDeviceInterfaceDetailW",
            found.SetupDiGetDeviceInterfaceDetailW, found.missing);
    Resolve(setupapi, setupapi_name, "SetupDiDestroyDeviceInfoList",
            found.SetupDiDestroyDeviceInfoList, found.missing);
    return found;
}

const SystemLibraries& Libraries() {
    static const SystemLibraries libraries = LoadSystemLibraries(L"hid.dll", L"setupapi.dll");
    return libraries;
}

void RequireSystemLibraries(const SystemLibraries& libraries) {
    if (!libraries.missing.empty()) {
        throw std::runtime_error("cannot load " + libraries.missing + " from the system folder");
    }
}

}  // namespace qvt::win32
