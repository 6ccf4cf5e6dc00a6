// The rules of the resident program: reading a device broadcast, the popup's
// slide and the tray gestures.
#include <gtest/gtest.h>

#include "core/DeviceBroadcast.h"
#include "core/PopupGeometry.h"
#include "core/TrayGesture.h"

namespace tovrane {
namespace {

TEST(ReadDeviceBroadcast, ReadsOnlyWhatTheRecordsOwnSizePromises) {
    struct Case {
        const char* what;
        std::uintptr_t event;
        std::uint32_t size, type, mask;
        DeviceEvent expected;
        std::wstring letters;
    };
    const Case cases[] = {
        {"three drives", kDeviceArrival, 18, 2, 0b10110, DeviceEvent::VolumeArrival, L"BCE"},
        {"removal", kDeviceRemoveComplete, 20, 2, 1u << 7, DeviceEvent::VolumeRemoval, L"H"},
        {"header only: no mask", kDeviceArrival, 12, 2, 1u << 4, DeviceEvent::VolumeArrival, L""},
        {"cut-off volume record", kDeviceArrival, 17, 2, 1u << 4, DeviceEvent::VolumeArrival, L""},
        {"short header", kDeviceArrival, 11, 2, 1u << 4, DeviceEvent::Other, L""},
        {"port", kDeviceArrival, 20, 3, 1u << 4, DeviceEvent::Other, L""},
        {"query remove", 0x8001, 20, 2, 1u << 4, DeviceEvent::Other, L""},
        {"bits past Z:", kDeviceArrival, 20, 2, 0xFE000001u, DeviceEvent::VolumeArrival, L"AZ"},
    };
    for (const Case& c : cases) {
        // As Windows lays it out: size, device type, reserved, then for a
        // volume the unit mask and flags (two bytes, and two of padding).
        const std::uint32_t record[] = {c.size, c.type, 0, c.mask, 0};
        const DeviceBroadcast read = ReadDeviceBroadcast(c.event, record);
        EXPECT_EQ(read.event, c.expected) << c.what;
        EXPECT_EQ(DriveLettersOf(read.unitMask), c.letters) << c.what;
        EXPECT_EQ(read.unitMask >> 26, 0u) << c.what << ": no bits past Z:";
    }
    EXPECT_EQ(ReadDeviceBroadcast(kDeviceArrival, nullptr).event, DeviceEvent::Other)
        << "lParam 0 is no record";
}

TEST(PlacePopup, RisesFromTheWorkAreasBottomFlushWithItsRightEdge) {
    struct Case {
        const char* what;
        ScreenRect work;
        TwipsPerPixel scale;
        int offset;
        std::vector<int> placed;  // left, top, width, height
    };
    const Case cases[] = {
        {"taskbar at the bottom, at rest", {0, 0, 1024, 748}, {15, 15}, 2350, {817, 591, 207, 133}},
        {"taskbar on the right", {0, 0, 960, 768}, {15, 15}, 50, {753, 765, 207, 133}},
        {"120 dpi across, 144 down", {0, 0, 1280, 984}, {12, 10}, 2350, {1021, 749, 259, 200}},
    };
    for (const Case& c : cases) {
        const PopupPlacement at = PlacePopup(c.work, c.scale, c.offset);
        EXPECT_EQ((std::vector<int>{at.left, at.top, at.width, at.height}), c.placed) << c.what;
    }
    EXPECT_FALSE(PopupIsResting(46 * kSlideStepTwips));
    EXPECT_TRUE(PopupIsResting(47 * kSlideStepTwips)) << "the slide rests after 47 steps";
}

TEST(DecodeTrayNotification, OnlyTheShellsDoubleClickAndRightButtonUpFromIcon1) {
    EXPECT_EQ(DecodeTrayNotification(1, 0x0203), TrayGesture::LeftDoubleClick);
    EXPECT_EQ(DecodeTrayNotification(1, 0x0205), TrayGesture::RightButtonUp);
    // Other mouse messages from icon 1 (move, down, up, the first click), the
    // double-click from icon 2, and real movement: the mouse at (515, 0) with
    // no button, at (515, 5) with the left button held, and an lParam whose
    // upper half is set where it is 64 bits wide.
    // clang-format off
    const std::pair<std::uintptr_t, std::intptr_t> none[] = {
        {1, 0x0200}, {1, 0x0201}, {1, 0x0202}, {1, 0x0204},
        {2, 0x0203}, {0, 0x0203}, {1, (5 << 16) | 0x0203}, {1, INTPTR_MIN | 0x0203},
    };
    // clang-format on
    for (const auto& [wParam, lParam] : none) {
        EXPECT_EQ(DecodeTrayNotification(wParam, lParam), TrayGesture::None)
            << "wParam " << wParam << ", lParam 0x" << std::hex << lParam;
    }
}

}  // namespace
}  // namespace tovrane
