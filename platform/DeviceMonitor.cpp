#include "platform/DeviceMonitor.h"

#include "core/DeviceBroadcast.h"

namespace tovrane::monitor {

namespace {

WNDPROC g_previous = nullptr;
DeviceCallbacks g_callbacks = {};

}  // namespace

bool HookWindow(HWND window, const DeviceCallbacks& callbacks) {
    g_callbacks = callbacks;
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
    if (message == WM_DEVICECHANGE) {
        // The record is read where Windows put it, and only as far as its
        // own size says; a null lParam is no record at all.
        const DeviceBroadcast broadcast =
            ReadDeviceBroadcast(wParam, reinterpret_cast<const void*>(lParam));
        if (broadcast.event == DeviceEvent::VolumeArrival && g_callbacks.volumeArrived) {
            g_callbacks.volumeArrived(broadcast.unitMask);
        } else if (broadcast.event == DeviceEvent::VolumeRemoval && g_callbacks.volumeRemoved) {
            g_callbacks.volumeRemoved();
        }
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace tovrane::monitor
