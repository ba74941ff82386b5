// QvtUpdate.exe: brings a QVT-40 R3 up to firmware 3.10.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <exception>
#include <stdexcept>
#include <string>

#include "product_table.h"
#include "system_libraries.h"
#include "texts.h"
#include "updater.h"
#include "wide_text.h"
#include "win32_form_view.h"
#include "win_app_driver.h"
#include "win_awake_hold.h"
#include "win_clock.h"
#include "win_hid_bus.h"
#include "win_image_resource.h"

namespace {

using namespace qvt;
using namespace qvt::win32;

void InitCommonControls() {
    const auto init =
        SystemFunction<decltype(&InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    if (!init) throw std::runtime_error("cannot load comctl32.dll from the system folder");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    init(&controls);
}

// "Windows 10.0.19045", from the kernel's own account: GetVersionEx answers what the
// manifest allows it to.
std::string SystemVersion() {
    const auto get_version = Optional().RtlGetVersion;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!get_version || get_version(&info) != 0) return "Windows";
    return "Windows " + std::to_string(info.dwMajorVersion) + "." +
           std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber);
}

void Run(HINSTANCE instance) {
    InitCommonControls();
    RequireSystemLibraries(Libraries());
    if (!Win32FormView::RegisterClasses(instance))
        throw std::runtime_error("cannot register the window class");
    WinClock clock;
    WinAppDriver driver;
    WinHidBus bus;
    WinImageResource resource;
    WinAwakeHold awake;
    Win32FormView window(instance, true);
    if (!window.hwnd()) throw std::runtime_error("cannot create the main window");
    const RecordHeader header{"QvtUpdate.exe", SystemVersion(),
                              std::to_string(window.dpi()) + " DPI", false};
    Updater updater(
        Ports{window, clock, driver, bus, resource, ProductDescrambleTable(), header, &awake});
    window.Attach(updater.form);
    window.AttachRecord(updater.record, [&] { return updater.Standing(); });
    updater.form.FormCreate();
    ShowWindow(window.hwnd(), SW_SHOWNORMAL);
    window.FocusFirstEnabled();
    UpdateWindow(window.hwnd());
#ifdef QVT_CLOSE_WHEN_SHOWN
    // The start-up benchmark's build: shown, with the check done, is as far as it goes.
    PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
#endif

    window.RunUntilClosed();
}

void ShowException(const char* what) {
    MessageBoxW(nullptr, Widen(what).c_str(), Widen(text::kTitle).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything loads a library: only System32 is searched, never the program's folder.
    // Where the system cannot restrict the search, system libraries are loaded by full path.
    RestrictDllSearchToSystem32();
    try {
        Run(instance);
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("");  // a non-standard exception, shown as a standard one with no message
    }
    return 0;
}
