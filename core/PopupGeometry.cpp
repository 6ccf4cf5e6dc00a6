#include "core/PopupGeometry.h"

#include <cmath>

namespace tovrane {

namespace {

int Pixels(int twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

}  // namespace

PopupPlacement PlacePopup(const ScreenRect& workArea, TwipsPerPixel scale, int slideOffsetTwips) {
    PopupPlacement place;
    place.width = Pixels(kPopupWidthTwips, scale.x);
    place.height = Pixels(kPopupHeightTwips, scale.y);
    place.left = workArea.right - place.width;
    place.top = workArea.bottom - Pixels(slideOffsetTwips, scale.y);
    return place;
}

}  // namespace tovrane
