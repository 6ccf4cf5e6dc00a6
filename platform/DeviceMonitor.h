// Device-change monitor: subclasses the main window to see the broadcasts
// Windows sends every top-level window when a volume arrives or is removed,
// and tells the program through its callbacks. Every message, handled or
// not, still reaches the window's own procedure.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tovrane::monitor {

struct DeviceCallbacks {
    // A volume arrived; `unitMask` names its drives (bit 0 A:), 0 when the
    // record did not say.
    void (*volumeArrived)(std::uint32_t unitMask);
    void (*volumeRemoved)();
};

// Puts DeviceWindowProc in front of `window`'s procedure. One window at a
// time; false when the window could not be subclassed.
bool HookWindow(HWND window, const DeviceCallbacks& callbacks);

// Gives `window` its own procedure back.
void UnhookWindow(HWND window);

LRESULT CALLBACK DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tovrane::monitor
