#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "message_pump.h"
#include "phase_times.h"

namespace qvt {

// Colour values as the window framework writes them: 0x00BBGGRR, or a system colour.
namespace color {
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::uint32_t kNavy = 0x800000;
inline constexpr std::uint32_t kFuchsia = 0xFF00FF;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kButtonFace = 0x8000000F;
}  // namespace color

struct StatusPanel {
    std::string caption;
    std::uint32_t background = color::kButtonFace;
    std::uint32_t text_color = color::kGreen;
    bool visible = false;

    bool operator==(const StatusPanel&) const = default;
};

// The port through which the core shows the main window; each platform draws it its own way.
// Texts arrive in UTF-8 with "\r\n" line breaks. The core (WindowModel) keeps what it showed, so
// a view needs to remember nothing to answer it; it shows each call's state as it comes, even
// one equal to the last.
class WindowView : public MessagePump {
  public:
    // The message box's whole text.
    virtual void ShowMessage(std::string_view text) = 0;
    // The status panel: caption, colours, and whether it is shown over the bar.
    virtual void ShowStatus(const StatusPanel& status) = 0;
    // One more line at the end of the hidden log memo.
    virtual void AppendLog(std::string_view line) = 0;
    // The bar's position and maximum; a position past the maximum shows as a full bar.
    virtual void ShowProgress(int position, int maximum) = 0;
    // The bar's own colour (the native progress bar's colour message on Windows).
    virtual void ShowBarColor(std::uint32_t color) = 0;
    // Whether Start takes a click; a disabled Start must start nothing, whatever sent the click.
    virtual void EnableStart(bool enabled) = 0;
    virtual void ShowForceBox(bool enabled, bool checked) = 0;
    // A modal box with one OK button; returns when the person has dismissed it. It may pump.
    virtual void ShowModalBox(std::string_view text) = 0;
    // An update is running (or has ended): the platform refuses whatever would end or stop the
    // program meanwhile (a shutdown, a signal, job control), as the window refuses to close.
    virtual void SetBusy(bool busy) = 0;
    // A note for the person at the machine about the machine itself, outside the window's own
    // texts: a console writes it to its error stream, a window adds it to its log.
    virtual void ShowNotice(std::string_view line) = 0;
    // The phase under way and how long it has taken; a clock with an empty phase once the run's
    // last timed phase has ended (none is under way). Nothing by default.
    virtual void ShowPhaseTime(const PhaseClock& clock) { static_cast<void>(clock); }
    // Pump (from MessagePump): handles the window's pending messages once. It may deliver a
    // click of Start, a tick of the force box or a close request to the core, in the middle of
    // whatever pumped; the core is built for that.
};

}  // namespace qvt
