#include "core/TrayGesture.h"

namespace tovrane {

TrayGesture DecodeTrayNotification(std::uintptr_t wParam, std::intptr_t lParam) {
    const auto bits = static_cast<std::uint32_t>(lParam);
    // Real movement carries the key state in wParam and the point in lParam;
    // only a message number alone in the low word, from icon 1, is the shell.
    if (wParam != kTrayIconId || (bits >> 16) != 0) {
        return TrayGesture::None;
    }
    switch (bits) {
        case static_cast<std::uint32_t>(TrayGesture::LeftDoubleClick):
            return TrayGesture::LeftDoubleClick;
        case static_cast<std::uint32_t>(TrayGesture::RightButtonUp):
            return TrayGesture::RightButtonUp;
    }
    return TrayGesture::None;
}

}  // namespace tovrane
