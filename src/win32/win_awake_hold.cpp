#include "win_awake_hold.h"

#include "system_libraries.h"

namespace qvt::win32 {

bool WinAwakeHold::Hold(std::string_view) {
    const auto set_state = Optional().SetThreadExecutionState;
    return set_state && set_state(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void WinAwakeHold::Release() {
    if (const auto set_state = Optional().SetThreadExecutionState) set_state(ES_CONTINUOUS);
}

}  // namespace qvt::win32
