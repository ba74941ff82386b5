// The product's window and message loop, with the simulated unit of a scenario behind it in
// virtual time (or, with --real-time, in real time, as long as the program's waits and the
// scenario's transfers take): what people_keys.sh drives with real key events from the X
// server. Its record goes to a file line by line as it grows, so that the script sees what each
// key did.
//
// Usage: qvt_people_window.exe SCENARIO_FILE RECORD_FILE [--real-time]
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "embedded_image.h"
#include "product_table.h"
#include "scenario.h"
#include "simulated_world.h"
#include "system_libraries.h"
#include "updater.h"
#include "virtual_clock.h"
#include "win32_window_view.h"
#include "win_clock.h"

using namespace qvt;
using namespace qvt::win32;

int wmain(int argc, wchar_t** argv) {
    const bool real_time = argc == 4 && std::wstring(argv[3]) == L"--real-time";
    if (argc != 3 && !real_time) {
        std::fputs("usage: qvt_people_window.exe SCENARIO_FILE RECORD_FILE [--real-time]\n",
                   stderr);
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string json{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto scenario = sim::ParseScenario(json);
    if (!in || !scenario) {
        std::fputs("the scenario cannot be read\n", stderr);
        return 66;
    }
    std::ofstream record(argv[2], std::ios::binary);

    RestrictDllSearchToSystem32();
    INITCOMMONCONTROLSEX controls{sizeof controls, kCommonControlClasses};
    SystemFunction<decltype(&InitCommonControlsEx)>(L"comctl32.dll",
                                                    "InitCommonControlsEx")(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!Win32WindowView::RegisterClasses(instance)) return 70;
    std::unique_ptr<Clock> clock;
    if (real_time) {
        clock = std::make_unique<WinClock>();
    } else {
        clock = std::make_unique<sim::VirtualClock>();
    }
    sim::SimulatedWorld world(*clock, std::move(*scenario));
    EmbeddedImageResource resource;
    Win32WindowView window(instance, true);
    Updater updater(
        Ports{window, *clock, world.driver(), world.bus(), resource, ProductDescrambleTable()});
    window.Attach(updater.form);
    window.AttachRecord(updater.record, [&] { return updater.Standing(); });
    updater.record.Mirror([&](const std::string& line) { record << line << '\n' << std::flush; });
    updater.form.FormCreate();
    ShowWindow(window.hwnd(), SW_SHOWNORMAL);
    window.FocusFirstEnabled();
    UpdateWindow(window.hwnd());

    window.RunUntilClosed();
    record << "window closed\n" << std::flush;
    return 0;
}
