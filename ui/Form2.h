// The arrival popup: slides up at the bottom-right corner of the work area
// when a volume is plugged in, offers to open the drive safely, and closes
// itself after a ten-second countdown.
#pragma once

#include <windows.h>

#include "core/DriveList.h"
#include "platform/Platform.h"

namespace tovrane::Form2 {

constexpr wchar_t kClassName[] = L"TovraneForm2";

// Control ids. None is IDOK or IDCANCEL, which Enter and Esc send.
constexpr int kCommand1 = 101;  // "是(&Y)"
constexpr int kCommand2 = 102;  // "否(&N)"
constexpr int kLabel1 = 401;    // the question
constexpr int kLabel2 = 402;    // the countdown

// Shows the popup for an arrival without taking the focus from whatever has
// it. `arrived` is the drive the arrival named, or empty when it named none
// or several; "是(&Y)" then opens the removable drive found at that moment.
// While the popup is open, another arrival only raises it and sets the
// drive; the slide and the countdown go on as they were.
void Show(HINSTANCE instance, Platform& os, const DriveLetter& arrived);

// Closes the popup if it is open.
void Close();

// The popup, or null while it is not open.
HWND Window();

// True while the popup is open and still sliding up.
bool IsSliding();

}  // namespace tovrane::Form2
