#include "system_libraries.h"

namespace qvt::win32 {
namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    function =
        module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

}  // namespace

bool RestrictDllSearchToSystem32() {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

FARPROC SystemProc(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

bool SystemLibraries::loaded() const {
    return HidD_GetHidGuid && HidD_GetAttributes && SetupDiGetClassDevsW &&
           SetupDiEnumDeviceInterfaces && SetupDiGetDeviceInterfaceDetailW &&
           SetupDiDestroyDeviceInfoList;
}

const SystemLibraries& Libraries() {
    static const SystemLibraries libraries = [] {
        SystemLibraries found;
        HMODULE hid = LoadLibraryExW(L"hid.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        HMODULE setupapi = LoadLibraryExW(L"setupapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        Resolve(hid, "HidD_GetHidGuid", found.HidD_GetHidGuid);
        Resolve(hid, "HidD_GetAttributes", found.HidD_GetAttributes);
        Resolve(setupapi, "SetupDiGetClassDevsW", found.SetupDiGetClassDevsW);
        Resolve(setupapi, "SetupDiEnumDeviceInterfaces", found.SetupDiEnumDeviceInterfaces);
        Resolve(setupapi, "SetupDiGetDeviceInterfaceDetailW",
                found.SetupDiGetDeviceInterfaceDetailW);
        Resolve(setupapi, "SetupDiDestroyDeviceInfoList", found.SetupDiDestroyDeviceInfoList);
        return found;
    }();
    return libraries;
}

}  // namespace qvt::win32
