#pragma once

#include "app_device.h"
#include "boot_loader_link.h"
#include "firmware_image.h"
#include "update_sequence.h"
#include "window.h"

namespace qvt {

// The window's event handlers: creation with its start-up device check, the force box, Start
// and the close request.
class MainForm {
  public:
    MainForm(Window& window, FirmwareImageLoader& image, AppDevice& app, BootLoaderLink& link,
             UpdateSequence& sequence)
        : window_(window), image_(image), app_(app), link_(link), sequence_(sequence) {}

    // False when the image failed to load: the error is shown and Start stays disabled.
    bool FormCreate();
    // False when the close is refused because an update is running.
    bool FormClose();
    void StartupCheck();
    void ckUpdateClick(bool checked);
    void btnStartClick() { sequence_.btnStartClick(); }
    void ReleaseHandles();

  private:
    Window& window_;
    FirmwareImageLoader& image_;
    AppDevice& app_;
    BootLoaderLink& link_;
    UpdateSequence& sequence_;
};

}  // namespace qvt
