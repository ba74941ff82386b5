#include "updater.h"

#include "version_text.h"

namespace qvt {

std::string ImageVersionText(ImageResource& resource) {
    const auto bytes = resource.Load();
    if (!bytes || bytes->size() < 2) return "missing";
    return FormatVersion(VersionWord((*bytes)[0], (*bytes)[1]));
}

std::string Updater::Standing() const {
    if (!form.created()) return "not started";
    if (!form.image_loaded()) return "the firmware image could not be loaded";
    if (sequence.busy()) return "an update is running";
    const auto& last = sequence.last_run();
    if (!last) return "no update run";
    if (last->completed())
        return std::string("update completed (") + ReasonName(last->reason) + ")";
    if (last->kind == RunOutcome::Kind::kRefused) {
        return std::string("update refused (") + RefusalName(last->refusal) + ")";
    }
    return "update failed (" + std::to_string(sequence.FailedRunCount()) + " runs failed)";
}

}  // namespace qvt
