// The real Win32 window as it is drawn and as a person takes its log: the pixels of every
// state, the system menu's log commands, and fonts and brushes across DPI changes.
#include <gtest/gtest.h>

#include "custody.h"
#include "window_rig.h"

namespace qvt::win32 {
namespace {

// The window's client area as it is on the screen, 24 bits a pixel, bottom row first.
struct Capture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // BGR, rows padded to 4 bytes
    int stride() const { return (width * 3 + 3) & ~3; }
    COLORREF At(int x, int y) const {
        const std::uint8_t* p =
            &pixels[static_cast<std::size_t>((height - 1 - y) * stride() + x * 3)];
        return RGB(p[2], p[1], p[0]);
    }
};

Capture CaptureClient(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client;
    GetClientRect(hwnd, &client);
    Capture capture;
    capture.width = client.right;
    capture.height = client.bottom;
    HDC window_dc = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window_dc);
    HBITMAP bitmap = CreateCompatibleBitmap(window_dc, capture.width, capture.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.width, capture.height, window_dc, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    capture.pixels.resize(static_cast<std::size_t>(capture.stride() * capture.height));
    GetDIBits(memory, bitmap, 0, capture.height, capture.pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, window_dc);
    return capture;
}

// Kept in the build tree, where scripts/screenshots takes them for the README.
void SaveBitmap(const Capture& capture, const std::string& name) {
    const std::wstring path = Widen(std::string(QVT_SCREENSHOT_DIR) + "/" + name + ".bmp");
    CreateDirectoryW(Widen(QVT_SCREENSHOT_DIR).c_str(), nullptr);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = capture.width;
    header.biHeight = capture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(capture.pixels.size());
    UniqueFile out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), &file, sizeof file, &written, nullptr);
    WriteFile(out.get(), &header, sizeof header, &written, nullptr);
    WriteFile(out.get(), capture.pixels.data(), static_cast<DWORD>(capture.pixels.size()), &written,
              nullptr);
}

// How many pixels of the status panel's inside (209 x 12 at 96 DPI) show the colour.
int PanelPixels(const Capture& capture, COLORREF colour) {
    int count = 0;
    for (int y = 4 + 28 + 4; y < 4 + 28 + 16; ++y) {
        for (int x = 4 + 5 + 4; x < 4 + 5 + 214; ++x) count += capture.At(x, y) == colour;
    }
    return count;
}

// The window in each state a user meets, as it is drawn: the screenshots of the README, and a
// check that the status panel really paints its colours.
TEST_F(Win32Window, EveryStateIsDrawnAsDesigned) {
    const COLORREF green = RGB(0, 128, 0);
    for (const auto& [name, scenario] :
         {std::pair{"win32-startup-update-needed", testing::kOneOutdatedUnit},
          std::pair{"win32-startup-current", testing::kOneCurrentUnit},
          std::pair{"win32-startup-missing", std::string_view(R"({"units": []})")},
          std::pair{"win32-startup-several",
                    std::string_view(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})")}}) {
        WindowRig rig(scenario);
        const Capture capture = CaptureClient(rig.window.hwnd());
        EXPECT_EQ(capture.width, 307);
        // Green is at most a caption's text or a bar's chunks at start-up, never the background.
        EXPECT_LT(PanelPixels(capture, green), 2508 / 3) << name;
        SaveBitmap(capture, name);
    }

    WindowRig run(testing::kOneOutdatedUnit);
    Capture during;
    // A close request when the verification begins; its refusal's box is the moment to look.
    CloseWhenShown::text = text::kVerifyStart;
    CloseWhenShown::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        run[Control::kEdtMsg], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CloseWhenShown::Proc)));
    run.window.SetModalBoxHandler(
        [&](std::string_view) { during = CaptureClient(run.window.hwnd()); });
    SendMessageW(run[Control::kBtnStart], BM_CLICK, 0, 0);
    SetWindowLongPtrW(run[Control::kEdtMsg], GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(CloseWhenShown::original));
    ASSERT_EQ(during.width, 307);
    SaveBitmap(during, "win32-in-progress");
    const Capture completed = CaptureClient(run.window.hwnd());
    EXPECT_GT(PanelPixels(completed, green), 2508 * 2 / 3);  // completion's green background
    SaveBitmap(completed, "win32-completed");

    WindowRig failed(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    SendMessageW(failed[Control::kBtnStart], BM_CLICK, 0, 0);
    const Capture failure = CaptureClient(failed.window.hwnd());
    EXPECT_LT(PanelPixels(failure, green), 2508 / 3);  // the bar's two chunks, no status
    SaveBitmap(failure, "win32-failed");
}

// High Contrast turned on as a person does, with its scheme's colours (white on black), and
// off again. Windows keeps the setting and says so itself; Wine keeps no SPI_SETHIGHCONTRAST,
// so there the window is told the answer the system would give, with the same notice.
class HighContrastOn {
  public:
    explicit HighContrastOn(Win32WindowView& window) : window_(window) {
        const int faces[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
        const COLORREF scheme[] = {RGB(0, 0, 0), RGB(255, 255, 255)};
        for (int i = 0; i < 2; ++i) saved_[i] = GetSysColor(faces[i]);
        SetSysColors(2, faces, scheme);
        HIGHCONTRASTW on{sizeof on, HCF_HIGHCONTRASTON, nullptr};
        by_system_ = SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof on, &on, SPIF_SENDCHANGE);
        if (!by_system_) Tell([] { return true; });
        window_.Pump();
    }
    ~HighContrastOn() {
        const int faces[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
        SetSysColors(2, faces, saved_);
        HIGHCONTRASTW off{sizeof off, 0, nullptr};
        if (by_system_)
            SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof off, &off, SPIF_SENDCHANGE);
        else
            Tell(SystemHighContrast);
        window_.Pump();
    }

  private:
    void Tell(std::function<bool()> answer) {
        window_.AskHighContrastOf(std::move(answer));
        SendMessageW(window_.hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    }
    Win32WindowView& window_;
    COLORREF saved_[2] = {};
    bool by_system_ = false;
};

// Under High Contrast the status panel, the bar and the message take the scheme's colours; with
// it off again every one of them is the product's once more.
TEST_F(Win32Window, HighContrastGivesThePanelBarAndMessageTheSchemesColoursUntilItIsOff) {
    const COLORREF green = RGB(0, 128, 0);
    WindowRig rig(testing::kOneOutdatedUnit);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    const auto bar_colour = [&] {
        return SendMessageW(rig[Control::kProgBar1], PBM_GETBARCOLOR, 0, 0);
    };
    const auto message_colours = [&] {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(rig.window.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(rig[Control::kEdtMsg]));
        const std::pair<COLORREF, COLORREF> colours{GetTextColor(dc), GetBkColor(dc)};
        DeleteDC(dc);
        return colours;
    };
    const auto product_status = rig.StatusColours();
    const auto product_message = message_colours();
    const LRESULT product_bar = bar_colour();
    ASSERT_GT(PanelPixels(CaptureClient(rig.window.hwnd()), green), 2508 * 2 / 3);
    {
        HighContrastOn contrast(rig.window);
        const Capture capture = CaptureClient(rig.window.hwnd());
        EXPECT_EQ(PanelPixels(capture, green), 0);
        EXPECT_GT(PanelPixels(capture, RGB(0, 0, 0)), 2508 * 2 / 3);  // the scheme's face
        EXPECT_GT(PanelPixels(capture, RGB(255, 255, 255)), 0);       // and its text
        EXPECT_EQ(rig.StatusColours(), std::make_pair(RGB(255, 255, 255), RGB(0, 0, 0)));
        EXPECT_EQ(message_colours(), std::make_pair(RGB(255, 255, 255), RGB(0, 0, 0)));
        EXPECT_EQ(bar_colour(), static_cast<LRESULT>(CLR_DEFAULT));
    }
    EXPECT_EQ(rig.StatusColours(), product_status);
    EXPECT_EQ(message_colours(), product_message);
    EXPECT_EQ(bar_colour(), product_bar);
    EXPECT_GT(PanelPixels(CaptureClient(rig.window.hwnd()), green), 2508 * 2 / 3);
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Narrow(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::wstring MenuText(HMENU menu, UINT command) {
    wchar_t text[64] = L"";
    GetMenuStringW(menu, command, text, 64, MF_BYCOMMAND);
    return text;
}

TEST_F(Win32Window, TheSystemMenuOffersTheLogToCopyDuringAndAfterARunOrToSave) {
    WindowRig rig(testing::kOneOutdatedUnit);
    HWND hwnd = rig.window.hwnd();
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    EXPECT_EQ(Narrow(MenuText(menu, kCopyLogCommand)), text::kCopyLog);
    EXPECT_EQ(Narrow(MenuText(menu, kSaveLogCommand)), text::kSaveLog);

    // Chosen while the run is on: it arrives at the run's first pump.
    PostMessageW(hwnd, WM_SYSCOMMAND, kCopyLogCommand, 0);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    const std::string during = ClipboardText();
    EXPECT_EQ(during.rfind("# QVT-40 R3 Update v3.10\r\n# program: ", 0), 0u) << during;
    EXPECT_NE(during.find(" message: アップデート開始\r\n"), std::string::npos);
    EXPECT_EQ(during.find("アップデート完了"), std::string::npos);
    EXPECT_NE(during.find(" outcome: an update is running\r\n"), std::string::npos);

    SendMessageW(hwnd, WM_SYSCOMMAND, kCopyLogCommand, 0);
    const std::string after = ClipboardText();
    EXPECT_NE(after.find(" log: [ResetDevice]OpenHid count:0\r\n"), std::string::npos);
    // The record ends with the completion and its reason, in the core's words.
    const std::string completed = std::string(" outcome: update completed (") +
                                  ReasonName(Verdict::Reason::kBackCurrent) + ")\r\n";
    EXPECT_TRUE(after.ends_with(completed)) << after;
    // All but the outcome's time stamp, which is that of the moment the record is taken.
    const auto without_outcome = [](const std::string& text) {
        return text.substr(0, text.rfind("\r\n", text.size() - 3));
    };
    EXPECT_EQ(without_outcome(after), without_outcome(Narrow(rig.window.LogText())));

    // The save routine, without its dialog: the same text, as UTF-8, over an older and longer
    // file of that name, of which nothing is left.
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"qvt-saved-log.log";
    {
        const std::string older(4 * after.size(), '\x01');
        UniqueFile old_file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(old_file.get(), older.data(), static_cast<DWORD>(older.size()), &written,
                  nullptr);
        ASSERT_EQ(written, older.size());
    }
    ASSERT_TRUE(rig.window.SaveLogTo(path));
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    std::string saved(GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    ReadFile(file.get(), saved.data(), static_cast<DWORD>(saved.size()), &read, nullptr);
    file.reset();
    DeleteFileW(path.c_str());
    EXPECT_EQ(without_outcome(saved), without_outcome(after));
    EXPECT_TRUE(saved.ends_with(completed)) << saved;
    EXPECT_EQ(saved.find('\x01'), std::string::npos) << "the older file's tail is left";

    // A save that fails says so, where, and the system's reason.
    const std::wstring nowhere = std::wstring(folder) + L"no-such-folder\\qvt.log";
    rig.window.SaveLogAs(nowhere);
    ASSERT_EQ(rig.boxes.size(), 1u);
    const std::string lead = std::string(text::kSaveLogFailed) + "\r\n" + Narrow(nowhere) + "\r\n";
    EXPECT_EQ(rig.boxes[0].rfind(lead, 0), 0u) << rig.boxes[0];
    EXPECT_GT(rig.boxes[0].size(), lead.size()) << "no reason given: " << rig.boxes[0];
}

HGDIOBJ FontOf(HWND control) {
    return reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// Whether a control still held a live font each time it was given a new one.
struct FontSwapProbe {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_SETFONT) {
            ++sets;
            if (GetObjectType(FontOf(hwnd)) != OBJ_FONT) ++held_deleted;
        }
        return CallWindowProcW(original, hwnd, message, wparam, lparam);
    }
    static inline WNDPROC original = nullptr;
    static inline int sets = 0;
    static inline int held_deleted = 0;
};

TEST_F(Win32Window, DpiAndStatusChangesLeaveNoGdiObjectBehind) {
    WindowRig rig(testing::kOneOutdatedUnit);
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    FontSwapProbe::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        rig[Control::kEdtMsg], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FontSwapProbe::Proc)));
    std::vector<HGDIOBJ> replaced;
    for (int i = 0; i < 20; ++i) {
        for (Control c : {Control::kEdtMsg, Control::kBtnStart, Control::kPnlMsg1}) {
            replaced.push_back(FontOf(rig[c]));
        }
        const UINT dpi = i % 2 ? 96 : 144;
        RECT suggested{0, 0, 700, 300};
        SendMessageW(rig.window.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        // Every control holds a live font at once; the fonts it held before are gone.
        for (Control c : {Control::kEdtMsg, Control::kBtnStart, Control::kPnlMsg1}) {
            EXPECT_EQ(GetObjectType(FontOf(rig[c])), static_cast<DWORD>(OBJ_FONT));
        }
    }
    for (int i = 0; i < 100; ++i) {
        HDC dc = CreateCompatibleDC(nullptr);
        replaced.push_back(reinterpret_cast<HGDIOBJ>(
            SendMessageW(rig[Control::kPanel3], WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(rig[Control::kPnlMsg1]))));
        DeleteDC(dc);
        rig.window.ShowStatus(
            {"status", i % 2 ? color::kGreen : color::kRed, color::kWhite, i % 3 == 0});
        UpdateWindow(rig.window.hwnd());
    }
    for (HGDIOBJ object : replaced) {
        EXPECT_EQ(GetObjectType(object), 0u) << object;
    }
    SetWindowLongPtrW(rig[Control::kEdtMsg], GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(FontSwapProbe::original));
    EXPECT_EQ(FontSwapProbe::sets, 20);
    EXPECT_EQ(FontSwapProbe::held_deleted, 0);  // the new font came before the old one went
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    ::testing::Test::RecordProperty("gdi_objects_before", static_cast<int>(before));
    ::testing::Test::RecordProperty("gdi_objects_after", static_cast<int>(after));
    if (before != 0) {
        EXPECT_EQ(after, before);  // where the system counts them
    }
}

}  // namespace
}  // namespace qvt::win32
