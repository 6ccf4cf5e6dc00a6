// The three protective actions on one drive: delete its autorun.inf file,
// immunise it with an autorun.inf folder, and open it safely.
#pragma once

#include <cstdint>

#include "core/DriveList.h"
#include "platform/Platform.h"

namespace tovrane {

// How long GuardDrive waits for its "md" command before it gives up.
constexpr std::uint32_t kGuardCommandTimeoutMs = 10000;

// Deletes the file X:\autorun.inf, read-only, hidden or system as it may be.
// A folder of that name (an immunised drive) is left as it is. Never fails.
void RemoveAutorun(Platform& os, const DriveLetter& letter);

// Replaces X:\autorun.inf with a read-only, hidden, system folder holding a
// sub-folder, so that no autorun.inf file can be written there again.
// False when the drive was not left protected. Does nothing (and answers
// false) for a value that is not a drive letter.
bool GuardDrive(Platform& os, const DriveLetter& letter);

// Opens the drive's root through the command interpreter's "start" command.
// Does nothing for a value that is not a drive letter.
void SafeOpenDrive(Platform& os, const DriveLetter& letter);

}  // namespace tovrane
