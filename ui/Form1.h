// The main window: the protection commands, the safe-open command, the
// start-up check box and the way to the program description.
#pragma once

#include <windows.h>

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

// Creates the window (once) and shows it with `show`, `Check1` focused.
// Null when the window could not be made. `os` must outlive the window.
HWND Show(HINSTANCE instance, Platform& os, int show);

// The window, or null before Show and after it was closed.
HWND Window();

// Rebuilds both drive lists from the drives present now; both fields are
// left empty. Does nothing while the window does not exist.
void RefreshDriveLists();

}  // namespace tovrane::Form1
