#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "message_pump.h"

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

// The controls of the main window as the core drives them, and its message queue. Each platform
// renders them its own way; texts arrive in UTF-8 with "\r\n" line breaks.
class FormView : public MessagePump {
  public:
    virtual void SetMessage(std::string_view text) = 0;
    virtual void SetStatus(const StatusPanel& status) = 0;
    virtual void AppendLog(std::string_view line) = 0;
    virtual void SetProgress(int position, int maximum) = 0;
    virtual void SetBarColor(std::uint32_t color) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetForceBox(bool enabled, bool checked) = 0;
    // A modal box with one OK button; returns when the user has dismissed it.
    virtual void ShowModalBox(std::string_view text) = 0;
    // An update is running (or has ended): the platform refuses whatever would end the program
    // meanwhile, as the window refuses to close.
    virtual void SetBusy(bool busy) = 0;
    // A note for the person at the machine about the machine itself, outside the window's own
    // texts: a console writes it to its error stream, a window adds it to its log.
    virtual void ShowNotice(std::string_view line) = 0;
};

}  // namespace qvt
