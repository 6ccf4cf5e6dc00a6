// Where the arrival popup stands as it slides up: flush with the right edge
// of the work area (the screen less the taskbar), rising from its bottom.
#pragma once

#include "platform/Platform.h"

namespace tovrane {

constexpr int kPopupWidthTwips = 3105;
constexpr int kPopupHeightTwips = 2000;
constexpr int kSlideStepTwips = 50;     // risen on each tick of the slide
constexpr int kRestOffsetTwips = 2350;  // the slide stops this far above the bottom

struct ScreenRect {
    int left, top, right, bottom;  // pixels; right and bottom exclusive
};

struct PopupPlacement {
    int left, top, width, height;  // pixels
};

// The popup risen `slideOffsetTwips` above the work area's bottom edge.
PopupPlacement PlacePopup(const ScreenRect& workArea, TwipsPerPixel scale, int slideOffsetTwips);

// True once the slide has reached its rest, after 47 steps.
constexpr bool PopupIsResting(int slideOffsetTwips) {
    return slideOffsetTwips >= kRestOffsetTwips;
}

}  // namespace tovrane
