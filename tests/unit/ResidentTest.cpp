// The rules of the resident program: reading a device broadcast, cleaning
// and opening the drives it names, the popup's slide and the tray gestures.
#include <gtest/gtest.h>

#include <cstring>

#include "core/AutorunGuard.h"
#include "core/DeviceBroadcast.h"
#include "core/PopupGeometry.h"
#include "core/TrayGesture.h"
#include "tests/unit/FakePlatform.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::wstring>;

// A broadcast record as Windows lays it out: size, device type, reserved,
// then for a volume the unit mask and two bytes of flags.
std::vector<unsigned char> Record(std::uint32_t size, std::uint32_t type, std::uint32_t mask) {
    std::vector<unsigned char> bytes(20, 0xEE);  // what lies beyond `size` must not be read
    const std::uint32_t fields[] = {size, type, 0, mask};
    std::memcpy(bytes.data(), fields, sizeof fields);
    return bytes;
}

TEST(ReadDeviceBroadcast, ReadsOnlyWhatTheRecordsOwnSizePromises) {
    struct Case {
        const char* what;
        std::uintptr_t event;
        std::uint32_t size, type, mask;
        DeviceEvent expected;
        std::wstring letters;
    };
    const Case cases[] = {
        {"stick E:", kDeviceArrival, 20, 2, 1u << 4, DeviceEvent::VolumeArrival, L"E"},
        {"three drives", kDeviceArrival, 18, 2, 0b10110, DeviceEvent::VolumeArrival, L"BCE"},
        {"removal", kDeviceRemoveComplete, 20, 2, 1u << 7, DeviceEvent::VolumeRemoval, L"H"},
        {"header only: no mask", kDeviceArrival, 12, 2, 1u << 4, DeviceEvent::VolumeArrival, L""},
        {"cut-off volume record", kDeviceArrival, 17, 2, 1u << 4, DeviceEvent::VolumeArrival, L""},
        {"short header", kDeviceArrival, 8, 2, 1u << 4, DeviceEvent::Other, L""},
        {"port", kDeviceArrival, 20, 3, 1u << 4, DeviceEvent::Other, L""},
        {"device interface", kDeviceRemoveComplete, 20, 5, 0, DeviceEvent::Other, L""},
        {"query remove", 0x8001, 20, 2, 1u << 4, DeviceEvent::Other, L""},
        {"bits past Z:", kDeviceArrival, 20, 2, 0xFC000001u, DeviceEvent::VolumeArrival, L"A"},
    };
    for (const Case& c : cases) {
        const auto record = Record(c.size, c.type, c.mask);
        const DeviceBroadcast read = ReadDeviceBroadcast(c.event, record.data());
        EXPECT_EQ(read.event, c.expected) << c.what;
        EXPECT_EQ(DriveLettersOf(read.unitMask), c.letters) << c.what;
    }
    for (const std::uintptr_t event : {kDeviceArrival, kDeviceRemoveComplete}) {
        EXPECT_EQ(ReadDeviceBroadcast(event, nullptr).event, DeviceEvent::Other)
            << "lParam 0 is no record";
    }
}

TEST(CleanArrivedDrives, CleansEachRemovableOrFixedDriveNamedAndPicksASingleOne) {
    struct Case {
        const char* what;
        std::uint32_t mask;
        DriveLetter arrived;
        Calls calls;
    };
    const Calls cleanE = {L"delete E:\\autorun.inf"};
    const Calls cleanD = {L"delete D:\\autorun.inf"};
    const Calls cleanDE = {cleanD[0], cleanE[0]};
    const Case cases[] = {
        {"stick E: below stick H:", 1u << 4, L"E", cleanE},
        {"USB disk D: reports fixed", 1u << 3, L"D", cleanD},
        {"D: and E: at once", (1u << 3) | (1u << 4), L"", cleanDE},
        {"disc in F:", 1u << 5, L"", {}},
        {"disc F: with stick E:", (1u << 4) | (1u << 5), L"E", cleanE},
        {"no such drive Q:", 1u << 16, L"", {}},
        {"nothing named", 0, L"", {}},
    };
    for (const Case& c : cases) {
        FakePlatform os;
        os.AddDrives(L"CD", DriveType::Fixed);
        os.AddDrives(L"EH", DriveType::Removable);
        os.AddDrives(L"F", DriveType::CdRom);
        for (wchar_t letter : L"CDEFH") {
            os.paths[std::wstring(1, letter) + L":\\autorun.inf"] = PathKind::File;
        }
        EXPECT_EQ(CleanArrivedDrives(os, c.mask), c.arrived) << c.what;
        EXPECT_EQ(os.calls, c.calls) << c.what;
    }
}

TEST(CleanRemovableDrives, CleansEveryStickAlreadyInAndNamesTheHighest) {
    FakePlatform os;
    os.AddDrives(L"C", DriveType::Fixed);
    os.AddDrives(L"EF", DriveType::Removable);
    os.AddDrives(L"G", DriveType::Removable, /*hasMedium=*/false);
    for (const wchar_t* path : {L"C:\\autorun.inf", L"E:\\autorun.inf", L"G:\\autorun.inf"}) {
        os.paths[path] = PathKind::File;
    }
    os.paths[L"F:\\autorun.inf"] = PathKind::Folder;  // immunised
    EXPECT_EQ(CleanRemovableDrives(os), L"F");
    EXPECT_EQ(os.calls, (Calls{L"delete E:\\autorun.inf", L"delete F:\\autorun.inf"}))
        << "a fixed drive and an empty slot left alone, the immunised stick's folder kept";
}

TEST(OpenDriveSafely, OpensOnlyOnceTheAutorunFileIsGone) {
    const std::wstring open = L"start C:\\WINDOWS\\system32\\cmd.exe [cmd /c start E:] style 2";
    FakePlatform os;
    os.AddDrives(L"E", DriveType::Removable);
    os.paths[L"E:\\autorun.inf"] = PathKind::File;
    EXPECT_TRUE(OpenDriveSafely(os, L"E"));
    EXPECT_EQ(os.calls, (Calls{L"delete E:\\autorun.inf", open}));
    EXPECT_TRUE(os.messages.empty());

    FakePlatform locked;
    locked.AddDrives(L"E", DriveType::Removable);
    locked.paths[L"E:\\autorun.inf"] = PathKind::File;
    locked.undeletable.insert(L"E:\\autorun.inf");
    EXPECT_FALSE(OpenDriveSafely(locked, L"E"));
    EXPECT_EQ(locked.calls.back(), L"delete E:\\autorun.inf") << "nothing started";
    ASSERT_EQ(locked.messages.size(), 1u);
    EXPECT_EQ(locked.messages[0].rfind(L"Tovrane|48|", 0), 0u) << "a warning titled Tovrane";
    EXPECT_NE(locked.messages[0].find(L"E:\\autorun.inf"), std::wstring::npos)
        << "the box names the file";

    FakePlatform none;  // no removable drive found, a drive gone, a bad text
    none.AddDrives(L"C", DriveType::Fixed);
    for (const wchar_t* letter : {L"", L"E", L":"}) {
        EXPECT_FALSE(OpenDriveSafely(none, letter));
    }
    EXPECT_EQ(none.calls, Calls{}) << "never cmd /c start :";
}

TEST(PlacePopup, RisesFromTheWorkAreasBottomFlushWithItsRightEdge) {
    struct Case {
        const char* what;
        ScreenRect work;
        TwipsPerPixel scale;
        int offset;
        int left, top, width, height;
    };
    const Case cases[] = {
        {"work area is the screen", {0, 0, 1024, 768}, {15, 15}, 0, 817, 768, 207, 133},
        {"... at rest", {0, 0, 1024, 768}, {15, 15}, 2350, 817, 611, 207, 133},
        {"taskbar at the bottom", {0, 0, 1024, 748}, {15, 15}, 2350, 817, 591, 207, 133},
        {"taskbar on the right", {0, 0, 960, 768}, {15, 15}, 50, 753, 765, 207, 133},
        {"120 dpi", {0, 0, 1280, 984}, {12, 12}, 2350, 1021, 788, 259, 167},
    };
    for (const Case& c : cases) {
        const PopupPlacement at = PlacePopup(c.work, c.scale, c.offset);
        EXPECT_EQ((std::vector<int>{at.left, at.top, at.width, at.height}),
                  (std::vector<int>{c.left, c.top, c.width, c.height}))
            << c.what;
    }
    int ticks = 0;
    for (int offset = 0; !PopupIsResting(offset); offset += kSlideStepTwips) {
        ++ticks;
    }
    EXPECT_EQ(ticks, 47) << "the slide rests after 47 steps of 50 twips";
}

TEST(DecodeTrayNotification, OnlyTheShellsDoubleClickAndRightButtonUpFromIcon1) {
    struct Case {
        std::uintptr_t wParam;
        std::intptr_t lParam;
        TrayGesture expected;
    };
    const Case cases[] = {
        {1, 0x0203, TrayGesture::LeftDoubleClick},
        {1, 0x0205, TrayGesture::RightButtonUp},
        {1, 0x0201, TrayGesture::None},  // button down, up and the first click
        {1, 0x0202, TrayGesture::None},
        {1, 0x0204, TrayGesture::None},
        {1, 0x0200, TrayGesture::None},
        {2, 0x0203, TrayGesture::None},              // another icon
        {0, 0x0203, TrayGesture::None},              // the mouse at (515, 0), no button
        {1, (5 << 16) | 0x0203, TrayGesture::None},  // at (515, 5) with the left button held
        {1, (5 << 16) | 0x0205, TrayGesture::None},  // at (517, 5) with the left button held
        {0, 0x0203 * 15, TrayGesture::None},         // no twips scaling in Win32
        {1, INTPTR_MIN | 0x203, TrayGesture::None},  // a 64-bit lParam's upper half counts
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeTrayNotification(c.wParam, c.lParam), c.expected)
            << "wParam " << c.wParam << ", lParam 0x" << std::hex << c.lParam;
    }
}

}  // namespace
}  // namespace tovrane
