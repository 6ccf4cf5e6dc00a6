#include "platform/DeviceMonitor.h"

namespace tovrane::monitor {

namespace {

WNDPROC g_previous = nullptr;
DeviceChanged g_onDeviceChange = nullptr;

}  // namespace

bool HookWindow(HWND window, DeviceChanged onDeviceChange) {
    g_onDeviceChange = onDeviceChange;
    // The W form keeps the window Unicode; the A form would make every
    // message to it pass through the ANSI code page.
    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DeviceWindowProc)));
    return g_previous != nullptr;
}

void UnhookWindow(HWND window) {
    if (g_previous) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
    }
}

LRESULT CALLBACK DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Saved first: a callback may unhook the window while a box it shows is
    // open, and this message must still reach the procedure it was sent to.
    const WNDPROC previous = g_previous;
    if (message == WM_DEVICECHANGE && g_onDeviceChange) {
        g_onDeviceChange(wParam, lParam);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace tovrane::monitor
