#pragma once

// The real Win32 window with the simulated unit behind it, as the window tests drive it.
#include <gtest/gtest.h>

// clang-format off
#include "win32_window_view.h"
#include <commctrl.h>
// clang-format on

#include "rig.h"
#include "system_libraries.h"
#include "texts.h"
#include "unique_handle.h"
#include "wide_text.h"

namespace qvt::win32 {

inline std::string TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(text.size() - 1);
    return Narrow(text);
}

struct WindowRig {
    explicit WindowRig(std::string_view json)
        : world(clock, testing::ScenarioFrom(json)),
          window(GetModuleHandleW(nullptr), false),
          updater(Ports{window, clock, world.driver(), world.bus(), resource,
                        ProductDescrambleTable()}) {
        window.Attach(updater.form);
        window.AttachRecord(updater.record, [this] { return updater.Standing(); });
        window.SetModalBoxHandler([this](std::string_view text) { boxes.emplace_back(text); });
        updater.form.FormCreate();
        ShowWindow(window.hwnd(), SW_SHOWNORMAL);
        window.FocusFirstEnabled();
        window.Pump();
    }
    HWND operator[](Control control) const { return window.control(control); }
    // The colours the status panel is painted with, asked the way Windows asks its parent.
    std::pair<COLORREF, COLORREF> StatusColours() {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW((*this)[Control::kPanel3], WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>((*this)[Control::kPnlMsg1]));
        const std::pair<COLORREF, COLORREF> colours{GetTextColor(dc), GetBkColor(dc)};
        DeleteDC(dc);
        return colours;
    }

    sim::VirtualClock clock;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world;
    Win32WindowView window;
    Updater updater;
    std::vector<std::string> boxes;
};

class Win32Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RestrictDllSearchToSystem32();
        INITCOMMONCONTROLSEX controls{sizeof controls, kCommonControlClasses};
        SystemFunction<decltype(&InitCommonControlsEx)>(L"comctl32.dll",
                                                        "InitCommonControlsEx")(&controls);
        ASSERT_TRUE(Win32WindowView::RegisterClasses(GetModuleHandleW(nullptr)));
    }
};

// Posts a close request to the main window once the message box shows the given text, so
// that it arrives at the run's next pump.
struct CloseWhenShown {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_SETTEXT && lparam && Narrow(reinterpret_cast<LPCWSTR>(lparam)) == text) {
            PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_CLOSE, 0, 0);
        }
        return CallWindowProcW(original, hwnd, message, wparam, lparam);
    }
    static inline WNDPROC original = nullptr;
    static inline std::string text;
};

}  // namespace qvt::win32
