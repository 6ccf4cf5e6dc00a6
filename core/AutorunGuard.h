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
// A folder of that name (an immunised drive) is left as it is. True when no
// autorun.inf file is left there; false for one that would not go, and for a
// value that is not a drive letter.
bool RemoveAutorun(Platform& os, const DriveLetter& letter);

// Replaces X:\autorun.inf with a read-only, hidden, system folder holding a
// sub-folder, so that no autorun.inf file can be written there again.
// False when the drive was not left protected. Does nothing (and answers
// false) for a value that is not a drive letter.
bool GuardDrive(Platform& os, const DriveLetter& letter);

// Opens the drive's root through the command interpreter's "start" command.
// Does nothing for a value that is not a drive letter.
void SafeOpenDrive(Platform& os, const DriveLetter& letter);

// How long safe open gives the repair of a stick before it opens the drive.
constexpr std::uint32_t kSafeOpenRepairMs = 2000;

// What the user's "open safely" does. The shell would follow the default
// verb of an autorun.inf file, and Explorer that of the commands it
// remembers from one, so both go first, and the drive is opened only once
// they are gone; otherwise the user is told why nothing opened. A stick is
// also repaired of a shortcut worm first; the launchers that could not be
// moved are named in a warning before the drive opens. Nothing happens for a
// value that is not a drive letter or a drive that does not exist. True
// when the drive was opened.
bool OpenDriveSafely(Platform& os, const DriveLetter& letter);

// Cleans the drives that a volume arrival names (bit 0 A:, bit 25 Z:): the
// autorun.inf file goes from each one that is removable or fixed (a USB
// hard disk reports fixed). Returns the letters of the drives cleaned, in
// ascending order ("E"; "DE").
std::wstring CleanArrivedDrives(Platform& os, std::uint32_t unitMask);

// Cleans the sticks already in when the program starts: the autorun.inf file
// goes from every removable drive that holds a medium. Fixed drives are left
// alone, since nothing then says which of them are USB disks. Returns their
// letters in ascending order: the last is the one the user is reminded of.
std::wstring CleanRemovableDrives(Platform& os);

}  // namespace tovrane
