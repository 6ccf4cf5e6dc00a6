// The stick tool: plugs a demo USB stick into the running Wine session and
// pulls it out again, as a user would, for the demo and the Wine tests.
// Wine only: it works through Wine's own mount manager.
#pragma once

#include <cstdint>
#include <string>

namespace tovrane::stick {

// Defines drive `letter` as a removable drive (DRIVE_REMOVABLE) whose root is
// the Linux folder `unixFolder` (absolute, UTF-8), listed at once in every
// running process, then tells every top-level window with the arrival
// broadcast. Any letter but the system drive's: one in use is repointed, as
// when a card goes into an empty card-reader slot. A folder that does not
// exist gives an empty slot: listed and removable, its root unreadable.
// True when the drive answers as removable and the broadcast went out.
bool PlugStick(wchar_t letter, const std::string& unixFolder);

// The first half of plugging in: the drive is there, and nobody told yet.
bool DefineStick(wchar_t letter, const std::string& unixFolder);

// Removes drive `letter`, whether plugged here or mapped before the session
// started: it leaves every process's drive list at once. Then sends the
// removal broadcast. False, and nothing sent, when Wine has no such drive.
bool PullStick(wchar_t letter);

// WM_DEVICECHANGE with DBT_DEVICEARRIVAL (or DBT_DEVICEREMOVECOMPLETE) and a
// volume record naming `unitMask` (bit 0 A:), sent to every top-level window
// of every desktop; for drives that were mapped before the session started.
bool SendVolumeBroadcast(bool arrival, std::uint32_t unitMask);

}  // namespace tovrane::stick
