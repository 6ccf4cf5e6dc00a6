// The program description: five numbered paragraphs and two ways to reach
// the author (mail and web page).
#pragma once

#include <windows.h>

#include "platform/Platform.h"

namespace tovrane::Form3 {

constexpr wchar_t kClassName[] = L"TovraneForm3";
constexpr wchar_t kTitle[] = L"程序说明";

// Control ids. None is IDOK or IDCANCEL, which Enter and Esc send.
constexpr int kCommand1 = 101;  // "给软件提建议(&S)": mail to the author
constexpr int kLabel1 = 401;
constexpr int kLabel2 = 402;
constexpr int kLabel3 = 403;
constexpr int kLabel4 = 404;  // rights line
constexpr int kLabel5 = 405;  // the author's web page; a link
constexpr int kLabel6 = 406;
constexpr int kLabel7 = 407;
constexpr int kLabel9 = 409;  // the author's mail address

// Shows the window, not modal, with `Command1` focused; when it is already
// open, only brings it to the front. `os` must outlive the window.
void Show(HINSTANCE instance, Platform& os);

// The window, or null while it is not open.
HWND Window();

}  // namespace tovrane::Form3
