// The main window: the protection commands, the safe-open command, the
// start-up check box and the way to the program description. It is also the
// resident program's anchor: it lives hidden in the tray, hears the device
// broadcasts and the tray icon's gestures, and owns the tray menu.
#pragma once

#include <windows.h>

#include "core/DriveList.h"
#include "platform/Platform.h"

namespace tovrane::Form1 {

constexpr wchar_t kClassName[] = L"TovraneForm1";

// Control ids. None is IDOK or IDCANCEL, which Enter and Esc send.
constexpr int kCommand1 = 101;  // "防御U盘"
constexpr int kCommand2 = 102;  // "安全打开"
constexpr int kCommand3 = 103;  // "程序说明"
constexpr int kCommand4 = 104;  // "防御本地所有盘符"
constexpr int kCommand5 = 105;  // "防御"
constexpr int kCheck1 = 201;    // "是否加入开机自启动"
constexpr int kCombo1 = 301;    // drive to open safely
constexpr int kCombo2 = 302;    // drive to immunise
constexpr int kLabel1 = 401;
constexpr int kLabel2 = 402;
constexpr int kLabel3 = 403;
constexpr int kLabel4 = 404;
constexpr int kLabel5 = 405;
constexpr int kFrame1 = 501;
constexpr int kFrame2 = 502;
constexpr int kFrame3 = 503;
constexpr int kFrame4 = 504;

// The tray menu's items.
constexpr int kMenuOpen = 601;  // M_open  "打开程序(&O)"
constexpr int kMenuEula = 602;  // M_eula  "程序说明(&E)"
constexpr int kMenuQuit = 603;  // M_quit  "退    出(&U)"

// Creates the window, hidden, and runs its load sequence: the reminder of a
// stick already in (its autorun.inf removed first). Unless `anotherCopyRuns`,
// device broadcasts are heard from before the reminder shows. The controls
// and drive lists are made when the window first shows. Null when the window
// could not be made. `os` must outlive the window.
HWND Create(HINSTANCE instance, Platform& os, bool anotherCopyRuns);

// Settles the program into the tray: the icon is added, and the window stays
// hidden until the user asks for it. A second copy instead warns that one
// runs already and answers false: it must end.
bool Settle();

// Ends the program at once, wherever it is called from: the window's
// procedure is given back, the popup closed and the icon removed first.
[[noreturn]] void Quit();

// The window, or null before Create.
HWND Window();

// Opens the drive safely (core/AutorunGuard.h) with the window disabled
// meanwhile, as the repair inside it runs at once; a repair of that drive
// that was under way is taken over by this one.
void OpenSafely(const DriveLetter& letter);

// Rebuilds both drive lists from the drives present now; both fields are
// left empty. Does nothing before the window has first shown.
void RefreshDriveLists();

}  // namespace tovrane::Form1
