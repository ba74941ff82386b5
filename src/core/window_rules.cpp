#include "window_rules.h"

namespace qvt {

Control FirstFocus(bool start_enabled, bool force_enabled) {
    if (start_enabled) return Control::kBtnStart;
    if (force_enabled) return Control::kCkUpdate;
    return Control::kEdtMsg;
}

std::string RecordOffer::Text(std::string_view newline) const {
    if (!record_) return {};
    return record_->Text(standing_ ? standing_() : std::string(), newline);
}

std::optional<std::string> RecordOffer::AfterSave(std::string_view path,
                                                  const Result<void>& saved) {
    if (saved) return std::nullopt;
    return SaveLogFailedText(path, saved.error());
}

}  // namespace qvt
