#pragma once

#include "app_device.h"
#include "boot_loader_link.h"
#include "firmware_image.h"
#include "update_sequence.h"
#include "window_model.h"

namespace qvt {

// The window's logic, whatever platform draws the window: creation with its start-up device check,
// the force box, Start and the close request. It decides how many boot loaders an update expects,
// and hands that to every search.
class MainForm {
  public:
    MainForm(WindowModel& model, FirmwareImageLoader& loader, AppModeUnits& app,
             BootLoaderLink& link, UpdateSequence& sequence)
        : model_(model), loader_(loader), app_(app), link_(link), sequence_(sequence) {}

    // False when the image failed to load: the error is shown and Start stays disabled.
    bool FormCreate();
    // False when the close is refused because an update is running.
    bool FormClose();
    // Shows the row of what it found, and says what that was.
    StartupFinding StartupCheck();
    // What the last start-up check found.
    const StartupFinding& finding() const { return finding_; }
    // A station's look for its next unit: the start-up check afresh, as if the program had
    // just started with whatever is on the bus now.
    void CheckNextUnit();
    void ckUpdateClick(bool checked);
    RunOutcome btnStartClick();
    void ReleaseHandles();
    // Looks at both modes as the start-up check does, without showing anything.
    bool ProbeBootMode() { return link_.ProbeBootMode(expected_boot_loaders_); }

    bool created() const { return created_; }
    bool image_loaded() const { return image_loaded_; }
    // Set by the start-up check when it finds an update to do (the one unit there); 0 means no
    // expectation. It stays for the process, or for a station's unit.
    std::int32_t expected_boot_loaders() const { return expected_boot_loaders_; }

  private:
    WindowModel& model_;
    FirmwareImageLoader& loader_;
    AppModeUnits& app_;
    BootLoaderLink& link_;
    UpdateSequence& sequence_;
    bool created_ = false;
    bool image_loaded_ = false;
    bool told_no_driver_ = false;  // the notice goes out once a session
    std::int32_t expected_boot_loaders_ = 0;
    StartupFinding finding_;
};

}  // namespace qvt
