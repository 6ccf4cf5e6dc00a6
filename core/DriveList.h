// Where drive letters come from: the system's drive roots, split into
// letters, and the removable drive the program offers to protect or open.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovrane {

// One upper-case drive letter without colon or backslash ("E"), or empty for
// "no drive".
using DriveLetter = std::wstring;

// The roots of all logical drives joined with nothing between them, in
// ascending order: "A:\C:\D:\".
std::wstring ListDriveRoots(Platform& os);

// Splits a drive-roots string into letters, dropping A:. Empty tokens are
// kept where the separators leave nothing: "A:\C:\D:\" gives "", "C", "D", "";
// an empty string gives no tokens at all.
std::vector<DriveLetter> SplitDriveLetters(const std::wstring& roots);

// The removable drives that hold a medium, in ascending order.
std::vector<DriveLetter> RemovableDrives(Platform& os);

// The removable drive with the highest letter that holds a medium, or empty.
DriveLetter FindRemovableDrive(Platform& os);

// Reads a drive letter typed or picked by the user: one ASCII letter,
// optionally followed by ":" or ":\", in either case, surrounded by spaces at
// most. Anything else yields empty ("no letter").
DriveLetter ParseDriveLetter(const std::wstring& text);

// True for exactly one upper-case ASCII letter.
bool IsDriveLetter(const DriveLetter& letter);

}  // namespace tovrane
