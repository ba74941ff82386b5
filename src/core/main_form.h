#pragma once

#include "app_device.h"
#include "boot_loader_link.h"
#include "firmware_image.h"
#include "form_controls.h"
#include "update_sequence.h"

namespace qvt {

// MainForm's logic, whatever platform draws it: creation with its start-up device check, the
// force box, Start and the close request.
class MainForm {
  public:
    MainForm(FormControls& controls, FirmwareImageLoader& loader, AppModeUnits& app,
             BootLoaderLink& link, UpdateSequence& sequence)
        : controls_(controls), loader_(loader), app_(app), link_(link), sequence_(sequence) {}

    // False when the image failed to load: the error is shown and Start stays disabled.
    bool FormCreate();
    // False when the close is refused because an update is running.
    bool FormClose();
    void StartupCheck();
    // A station's look for its next unit: the start-up check afresh, as if the program had
    // just started with whatever is on the bus now.
    void CheckNextUnit();
    void ckUpdateClick(bool checked);
    RunOutcome btnStartClick() { return sequence_.btnStartClick(); }
    void ReleaseHandles();

    bool created() const { return created_; }
    bool image_loaded() const { return image_loaded_; }

  private:
    FormControls& controls_;
    FirmwareImageLoader& loader_;
    AppModeUnits& app_;
    BootLoaderLink& link_;
    UpdateSequence& sequence_;
    bool created_ = false;
    bool image_loaded_ = false;
    bool told_no_driver_ = false;  // the notice goes out once a session
};

}  // namespace qvt
