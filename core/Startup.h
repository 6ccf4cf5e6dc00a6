// Starting with Windows: a copy of the running executable, named kelvo.exe,
// in the all-users Startup folder.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace tovrane {

// The startup copy's full path: the all-users Startup folder as the shell
// names it (or the fallback folder) followed by kelvo.exe.
std::wstring StartupCopyPath(Platform& os);

// True when the startup copy exists; the check box starts ticked then.
bool IsInStartup(Platform& os);

// Applies the check box's new value (1 ticked, anything else unticked) and
// returns the value the box must show afterwards: the new value when done,
// the previous one when it failed, after telling the user why.
int ApplyStartupChoice(Platform& os, int value);

}  // namespace tovrane
