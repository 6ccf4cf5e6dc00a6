#include "core/TrayGesture.h"

namespace tovrane {

TrayGesture DecodeTrayNotification(std::uintptr_t wParam, std::intptr_t lParam) {
    // Real movement carries the key state in wParam and the point in lParam;
    // only a message number alone in lParam, from icon 1, is the shell. All of
    // lParam counts: where it is 64 bits wide, anything in its upper half
    // would otherwise pass for a message number.
    if (wParam != kTrayIconId) {
        return TrayGesture::None;
    }
    switch (lParam) {
        case static_cast<std::intptr_t>(TrayGesture::LeftDoubleClick):
            return TrayGesture::LeftDoubleClick;
        case static_cast<std::intptr_t>(TrayGesture::RightButtonUp):
            return TrayGesture::RightButtonUp;
    }
    return TrayGesture::None;
}

}  // namespace tovrane
