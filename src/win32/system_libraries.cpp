#include "system_libraries.h"

#include <stdexcept>

#include "wide_text.h"

namespace qvt::win32 {
namespace {

bool search_restricted = false;

template <typename Function>
void Resolve(HMODULE module, const wchar_t* library, const char* name, Function& function,
             std::string& missing) {
    function =
        module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
    if (!function && missing.empty()) {
        missing = module ? Narrow(library) + " (" + name + ")" : Narrow(library);
    }
}

}  // namespace

bool RestrictDllSearchToSystem32() {
    // Not imported: Windows 7 without its loader update lacks it, and would not start at all.
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set_directories = reinterpret_cast<SetDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
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

FARPROC SystemProc(const wchar_t* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    return module ? GetProcAddress(module, name) : nullptr;
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
