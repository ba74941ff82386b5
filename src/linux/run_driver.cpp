#include "run_driver.h"

namespace qvt::linux_app {

void ApplyForce(Updater& updater, const Options& options) {
    if (options.force && updater.controls.controls().force_enabled)
        updater.form.ckUpdateClick(true);
}

void ClickStartWhileEnabled(Updater& updater, const Options& options,
                            const std::function<bool()>& stop) {
    for (int run = 0; run < options.runs && updater.controls.controls().start_enabled &&
                      !updater.sequence.completed();
         ++run) {
        if (stop && stop()) return;
        updater.form.btnStartClick();
    }
}

int OutcomeOf(const Updater& updater, bool image_loaded) {
    if (!image_loaded) return kExitImageError;
    if (updater.sequence.completed()) return kExitCompleted;
    if (updater.sequence.FailedRunCount() == 0) return kExitNoUpdate;  // Start was never usable
    return kExitRunFailed;
}

}  // namespace qvt::linux_app
