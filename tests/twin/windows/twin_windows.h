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
// asked), waits for the run to end and prints the window's state; closes the window. Exits
// 0 when the run completed, 1 when it failed, 2 when Start was never enabled, 3 without a window.
int Watch(bool force, int timeout_s);

}  // namespace qvt::twin
