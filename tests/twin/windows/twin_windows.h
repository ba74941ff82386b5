#pragma once

#include <string>

namespace qvt::twin {

// Installs the twin's driver and its root device from the folder holding qvt_twin.inf and
// qvt_twin.sys. 0 on success.
int Install(const std::wstring& folder);
// Plays the scenario's units behind the driver until `folder`/stop appears; writes
// `folder`/ready once the units are offered and `folder`/account.txt at the end.
int Play(const std::string& scenario, const std::string& folder);
// Waits for the product's window, clicks Start as a person would (after the force box, when
// asked; again after a failed run, up to `runs` clicks), waits for each run to end and prints
// the window's state; closes the window. Exits as the console does: 0 when the last run
// completed, 1 when it failed, 2 when nothing was to update (Start never enabled, or a click
// found nothing); 3 without a window, or when `timeout_s` passed before the run had ended.
int Watch(bool force, int runs, int timeout_s);

}  // namespace qvt::twin
