#include "clicks.h"

namespace qvt::linux_app {

void ApplyForce(Updater& updater, const Options& options) {
    if (options.force && updater.model.controls().force_enabled) updater.form.ckUpdateClick(true);
}

void ClickStartWhileEnabled(Updater& updater, const Options& options,
                            const std::function<bool()>& stop,
                            const std::function<void(const RunOutcome&)>& told) {
    for (int run = 0; run < options.runs && updater.model.controls().start_enabled; ++run) {
        if (stop && stop()) return;
        const RunOutcome outcome = updater.form.btnStartClick();
        if (told) told(outcome);
        if (outcome.completed()) return;
    }
}

void ClickAsTraced(Updater& updater, const trace::Replayer& replay,
                   const std::function<bool()>& stop,
                   const std::function<void(const RunOutcome&)>& told) {
    const WindowModel::Controls& controls = updater.model.controls();
    while (replay.NextIs(trace::CallKind::kStart) && !stop()) {
        const bool force = replay.Next()->ok;
        if (controls.force_checked != force && controls.force_enabled) {
            updater.form.ckUpdateClick(force);
        }
        if (!controls.start_enabled) return;
        told(updater.form.btnStartClick());
    }
}

int ExitStatusOf(const Updater& updater, bool image_loaded) {
    if (!image_loaded) return Code(ExitStatus::kImageError);
    const auto& last = updater.sequence.last_run();
    // Start was never usable: what the start-up check found says why.
    return Code(last ? StatusOf(*last) : StatusOf(updater.form.finding()));
}

}  // namespace qvt::linux_app
