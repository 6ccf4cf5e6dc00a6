// The two gestures on the tray icon that the program answers. The shell
// reports mouse activity over the icon as the icon's callback message, here
// WM_MOUSEMOVE, with the icon's id in wParam and the mouse message in lParam;
// real mouse movement over the main window arrives as the same message.
#pragma once

#include <cstdint>

namespace tovrane {

constexpr std::uintptr_t kTrayIconId = 1;

enum class TrayGesture : std::uint32_t {
    None = 0,
    LeftDoubleClick = 0x0203,  // WM_LBUTTONDBLCLK
    RightButtonUp = 0x0205,    // WM_RBUTTONUP
};

// The gesture a callback message reports, or None for anything else: other
// mouse messages, and real mouse movement, whose lParam holds coordinates.
TrayGesture DecodeTrayNotification(std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace tovrane
