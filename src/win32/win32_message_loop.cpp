// The message loop and the window procedure. Every message reaches its concern from here. An
// exception raised while a message is handled is kept, never let through Windows' own frames,
// and raised again where the program can take it: by the run's next pump (the run then fails),
// or by the message loop (the program shows it in its box).
#include "win32_window_view.h"

namespace qvt::win32 {

LRESULT CALLBACK Win32WindowView::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32WindowView*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32WindowView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    try {
        return self->Handle(hwnd, message, wparam, lparam);
    } catch (...) {
        // Raised again by the next pump (a run then fails) or by the message loop (the box);
        // either way the window stays.
        self->pending_ = std::current_exception();
        return 0;
    }
}

LRESULT Win32WindowView::Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            CreateControls();
            AddLogCommands();
            high_contrast_ = high_contrast_query_();
            return 0;
        case WM_SYSCOMMAND:
            if (RunLogCommand(wparam)) return 0;
            break;
        case WM_COMMAND:
            if (Clicked(wparam)) return 0;
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ColorControl(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        case WM_DPICHANGED:
            Layout(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // High Contrast turned on or off: the fixed colours give way to the person's.
            FollowContrast();
            break;
        case WM_CLOSE:
            if (MayClose()) DestroyWindow(hwnd);
            return 0;
        case WM_QUERYENDSESSION:
            return MaySessionEnd() ? TRUE : FALSE;
        case WM_DESTROY:
            hwnd_ = nullptr;
            if (quit_on_destroy_) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Win32WindowView::Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
            break;
        }
        if (!DialogKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (pending_) std::rethrow_exception(TakePendingException());
}

void Win32WindowView::RunUntilClosed() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!DialogKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (pending_) std::rethrow_exception(TakePendingException());
    }
    if (pending_) std::rethrow_exception(TakePendingException());
}

}  // namespace qvt::win32
