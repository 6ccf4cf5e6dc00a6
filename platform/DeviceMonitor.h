// Device-change monitor: subclasses the main window to see the broadcasts
// Windows sends every top-level window when a device arrives or is removed,
// and hands each one to the program through its callback. Every message,
// handled or not, still reaches the window's own procedure.
#pragma once

#include <windows.h>

namespace tovrane::monitor {

// Told of each WM_DEVICECHANGE that reaches the window, with its wParam and
// lParam as Windows gave them: lParam may be null, or the address of a
// record of any type and size, to be read only as far as its own size says.
using DeviceChanged = void (*)(WPARAM event, LPARAM record);

// Puts DeviceWindowProc in front of `window`'s procedure. One window at a
// time; false when the window could not be subclassed.
bool HookWindow(HWND window, DeviceChanged onDeviceChange);

// Gives `window` its own procedure back.
void UnhookWindow(HWND window);

LRESULT CALLBACK DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tovrane::monitor
