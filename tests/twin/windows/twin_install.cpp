#include <windows.h>
// clang-format off
#include <setupapi.h>
#include <newdev.h>
// clang-format on

#include <cstdio>
#include <string>

#include "twin_windows.h"

namespace qvt::twin {
namespace {

// The class of system devices, which a bus driver belongs to.
constexpr GUID kSystemClass = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr wchar_t kHardwareId[] = L"Root\\QvtTwin\0";

int Fail(const char* what) {
    std::fprintf(stderr, "qvt-twin install: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int Install(const std::wstring& folder) {
    const std::wstring inf = folder + L"\\qvt_twin.inf";
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kSystemClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) return Fail("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // A prefix that has the root device already (a second install) only needs its driver.
    if (SetupDiCreateDeviceInfoW(set, L"Root\\QvtTwin\\0", &kSystemClass, nullptr, nullptr, 0,
                                 &device)) {
        if (!SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(kHardwareId),
                                               sizeof kHardwareId)) {
            SetupDiDestroyDeviceInfoList(set);
            return Fail("setting the hardware id");
        }
        if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
            SetupDiDestroyDeviceInfoList(set);
            return Fail("registering the root device");
        }
    } else if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
        SetupDiDestroyDeviceInfoList(set);
        return Fail("SetupDiCreateDeviceInfo");
    }
    SetupDiDestroyDeviceInfoList(set);
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, L"Root\\QvtTwin", inf.c_str(),
                                            INSTALLFLAG_FORCE, &reboot)) {
        return Fail("UpdateDriverForPlugAndPlayDevices");
    }
    return 0;
}

}  // namespace qvt::twin
