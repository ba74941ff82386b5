// QvtUpdate.exe: brings a QVT-40 R3 up to firmware 3.10.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "product_table.h"
#include "recording_ports.h"
#include "system_libraries.h"
#include "texts.h"
#include "trace_file.h"
#include "trace_header.h"
#include "updater.h"
#include "wide_text.h"
#include "win32_window_view.h"
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
    INITCOMMONCONTROLSEX controls{sizeof controls, kCommonControlClasses};
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

// The session's trace for --record: its recorder, the ports it decorates and the view that
// tells it each run; none of it exists without the option.
struct Recording {
    Recording(std::unique_ptr<trace::TraceOutput> output, WinClock& clock, WinAppDriver& driver,
              WinHidBus& bus, WinImageResource& resource, Win32WindowView& window)
        : recorder(trace::NewHeader("QvtUpdate.exe", "Windows", driver, resource), clock),
          ports(clock, driver, bus, recorder),
          view(window, trace::RecordRuns(recorder)) {
        recorder.header().front_end = "window";
        recorder.SetOutput(std::move(output));
        recorder.SetNotice([&window](const std::string& line) { window.ShowNotice(line); });
    }
    trace::TraceRecorder recorder;
    trace::RecordingPorts ports;
    trace::TracedWindowView view;
};

void Run(HINSTANCE instance, std::unique_ptr<trace::TraceOutput> trace_output) {
    InitCommonControls();
    RequireSystemLibraries(Libraries());
    if (!Win32WindowView::RegisterClasses(instance))
        throw std::runtime_error("cannot register the window class");
    WinClock clock;
    WinAppDriver driver;
    WinHidBus bus;
    WinImageResource resource;
    WinAwakeHold awake;
    Win32WindowView window(instance, true);
    if (!window.hwnd()) throw std::runtime_error("cannot create the main window");
    const RecordHeader header{"QvtUpdate.exe", SystemVersion(),
                              std::to_string(window.dpi()) + " DPI", false};
    std::optional<Recording> recording;
    if (trace_output)
        recording.emplace(std::move(trace_output), clock, driver, bus, resource, window);
    Updater updater(recording ? Ports{recording->view, recording->ports.clock,
                                      recording->ports.driver, recording->ports.bus, resource,
                                      ProductDescrambleTable(), header, &awake}
                              : Ports{window, clock, driver, bus, resource,
                                      ProductDescrambleTable(), header, &awake});
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
    if (recording) recording->recorder.Finish({updater.Standing(), {}, false});
}

void ShowException(const char* what) {
    MessageBoxW(nullptr, Widen(what).c_str(), Widen(text::kTitle).c_str(), MB_OK | MB_ICONERROR);
}

// The file --record names, opened, or why it may not be: the one line the box shows before the
// program ends without its window.
Result<std::unique_ptr<trace::TraceOutput>> TraceOutputFor(const wchar_t* command_line) {
    using Opened = Result<std::unique_ptr<trace::TraceOutput>>;
    const Result<CommandLine> command = ParseCommandLine(command_line);
    if (!command) return Opened::Failure(command.error());
    if (!command->record) return std::unique_ptr<trace::TraceOutput>();
    if (const Result<void> usable = MayRecordTo(*command->record); !usable) {
        return Opened::Failure(usable.error());
    }
    auto file = TraceFile::Open(*command->record);
    if (!file) return Opened::Failure(file.error());
    return std::unique_ptr<trace::TraceOutput>(std::move(*file));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    // Before anything loads a library: only System32 is searched, never the program's folder.
    // Where the system cannot restrict the search, system libraries are loaded by full path.
    RestrictDllSearchToSystem32();
    try {
        auto trace_output = TraceOutputFor(command_line);
        if (!trace_output) {
            ShowException(trace_output.error().c_str());
            return 64;
        }
        Run(instance, std::move(*trace_output));
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("");  // a non-standard exception, shown as a standard one with no message
    }
    return 0;
}
