// The program's icon in the notification area: added with its tooltip,
// added again when the shell (re)starts, and removed at quit. Its gestures
// arrive as WM_MOUSEMOVE; what they mean is the caller's to decide.
#pragma once

#include <windows.h>

#include <string>

namespace tovrane::tray {

// The shell's callback for the icon: WM_MOUSEMOVE, wParam the icon's id and
// lParam the mouse message.
constexpr UINT kCallbackMessage = WM_MOUSEMOVE;

// Puts `window`'s small icon into the notification area as icon `id` (the
// wParam of its callbacks) with `tip` (spaces around it left out), then
// hides the window. Calling it again leaves one icon. True when the shell
// took the icon.
bool AddTrayIcon(HWND window, UINT id, const std::wstring& tip);

// Takes the icon away; it is not put back afterwards.
void RemoveTrayIcon(HWND window);

// The message the shell broadcasts when its taskbar is (re)created.
UINT TaskbarCreatedMessage();

// On TaskbarCreated: a shell that started after the program, or restarted,
// knows no icon, so it is added again whenever AddTrayIcon ran and
// RemoveTrayIcon did not, whether or not the shell took it the first time.
// The window's visibility is left as it is.
void RestoreTrayIcon(HWND window);

}  // namespace tovrane::tray
