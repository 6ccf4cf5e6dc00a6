// A running Tovrane.exe meets plugged and pulled drives: the device
// broadcasts reach its main window from outside, as Windows sends them, and
// the popup, the removal box and the drives are watched from outside.
// The suite runs in Wine's virtual desktop, whose taskbar leaves a work area
// of 1024x748 on a 1024x768 screen. suites.cmake maps:
//   B: floppy that cannot be written, holding an autorun.inf file
//   D: hard disk (a USB disk reports fixed)   F: CD-ROM   H: floppy
//   E: a floppy's folder, not mapped: the stick that the test plugs in
#include <vector>

#include "wine_tests.h"

namespace tovrane::wine {
namespace {

const wchar_t kDesigned[] = L"本窗口将于 10 秒后自动关闭";

// The popup in the virtual desktop at 96 dpi: 3105 x 2000 twips, resting
// 2350 twips above the work area's bottom (748), flush with its right edge.
constexpr int kRestTop = 748 - 157, kLeft = 1024 - 207;

class Arrival : public WineTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartSettled(L'H'));  // B: cannot be cleaned; H: is the highest stick
        ASSERT_TRUE(PlantAutorun(L'D') && PlantAutorun(L'H'));
    }

    void TearDown() override {
        if (HWND notepad = FindWindowW(L"Notepad", nullptr)) {
            PostMessageW(notepad, WM_CLOSE, 0, 0);
        }
        WineTest::TearDown();
        ClearAutoruns(L"DH");  // a file planted over one left there would keep its attributes
    }

    // Activated, as by a click on it: 是(&Y) takes the focus.
    bool Activate(HWND popup) const {
        SetForegroundWindow(popup);
        return WaitUntil([&] { return FocusOf(popup) == GetDlgItem(popup, kYes); }, kBoundMs);
    }
};

TEST_F(Arrival, APluggedStickIsCleanedBeforeThePopupShowsWhichAnswersTheMouseAndTheKeyboard) {
    ASSERT_TRUE(stick::DefineStick(L'E', DriveFolder(L'E'))) << "E: could not be plugged in";
    ASSERT_EQ(GetDriveTypeW(L"E:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
    ASSERT_TRUE(PlantAutorun(L'E'));
    // What Explorer remembers of E:'s autorun.inf, in both its entries, and
    // of H:, which does not arrive.
    const std::wstring guid = VolumeGuid(L'E'), other = VolumeGuid(L'H');
    ASSERT_TRUE(!guid.empty() && !other.empty() && guid != other);
    const std::string planted = "Shell=AutoRun AutoRun:virus.exe Autoplay _Autorun";
    const std::string forgotten = "Autoplay _Autorun";
    auto rememberedOfE = [&] { return Remembered(guid) + " | " + Remembered(L"E"); };
    for (const std::wstring& entry : {guid, std::wstring(L"E"), other}) {
        ASSERT_TRUE(PlantRemembered(entry));
    }
    ASSERT_EQ(Remembered(L"E"), planted);
    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'E')));
    HWND popup = tovrane_.Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "no popup within 10 s of the arrival";
    // H: did not arrive, and is no business of this one.
    EXPECT_EQ(Autoruns(L"EH"), "H:file 0x7") << "E:'s autorun.inf was there when the popup showed";
    EXPECT_TRUE(WaitUntil([&] { return rememberedOfE() == forgotten + " | " + forgotten; },
                          kBoundMs))
        << "E:'s remembered commands after the arrival: " << rememberedOfE();
    EXPECT_EQ(Remembered(other), planted) << "another volume's entry was touched";
    Click(GetDlgItem(popup, kNo));  // during the slide
    // The main window is built as it first shows, with the drives of then.
    ASSERT_TRUE(tovrane_.ShowFromTray());
    auto listed = [&] { return ComboItems(Item(kCombo1)).find("\"E\"") != std::string::npos; };
    EXPECT_TRUE(WaitUntil(listed, kBoundMs)) << "the drive lists were not refreshed with E:";
    ASSERT_TRUE(Gone(popup)) << "否(&N) left it open";

    // Each load starts afresh; activated, it answers Alt+N, and Enter on 是(&Y).
    ASSERT_NE(popup = Arrive(L'E'), nullptr) << "no popup for the next arrival";
    RECT from = {};
    EXPECT_TRUE(GetWindowRect(popup, &from) && from.top > kRestTop + 100)
        << "the next popup did not start from below";
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(popup, kLabel2))), Utf8(kDesigned));
    EXPECT_TRUE(Activate(popup)) << "the focus is on id " << GetDlgCtrlID(FocusOf(popup));
    PostMessageW(FocusOf(popup), WM_SYSKEYDOWN, 'N', 0x20310001);  // Alt held
    PostMessageW(FocusOf(popup), WM_SYSCHAR, 'n', 0x20310001);
    EXPECT_TRUE(Gone(popup)) << "Alt+N left it open";
    EXPECT_FALSE(DriveOpened(L'E', kQuietMs)) << "Alt+N opened the drive";

    // H: is the higher removable drive, but E: is the one that arrived.
    ASSERT_NE(popup = Arrive(L'E'), nullptr);
    ASSERT_TRUE(Activate(popup));
    PostMessageW(FocusOf(popup), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(DriveOpened(L'E', kBoundMs)) << "是(&Y) opened no window for E:";
    EXPECT_FALSE(DriveOpened(L'H', kQuietMs)) << "是(&Y) opened H:";
    EXPECT_TRUE(Gone(popup)) << "the popup stayed";

    // Remembered again after the arrival: 安全打开 forgets them before it opens.
    ASSERT_TRUE(PlantRemembered(guid) && PlantRemembered(L"E"));
    ASSERT_TRUE(SetComboText(Item(kCombo1), L"E"));
    Click(Item(kCommand2));
    EXPECT_TRUE(DriveOpened(L'E', kBoundMs)) << "安全打开 opened no window for E:";
    EXPECT_EQ(rememberedOfE(), forgotten + " | " + forgotten);
    EXPECT_EQ(Remembered(other), planted) << "another volume's entry was touched";
    EXPECT_TRUE(stick::PullStick(L'E'));
}

TEST_F(Arrival, ThePopupSlidesUpWithoutTheFocusCountsDownOnceAndCloses) {
    // The window a user is typing in when the disk is plugged in.
    const Process notepad = StartProgram(L"", L"notepad.exe");
    HWND typing = FindTopWindow(L"Notepad", L"", kBoundMs, Until::Shown, notepad.id);
    ASSERT_TRUE(typing && WaitUntil([&] { return GetForegroundWindow() == typing; }, kBoundMs));

    const DWORD sent = GetTickCount();
    HWND popup = Arrive(L'D');
    ASSERT_NE(popup, nullptr) << "no popup within 10 s of the arrival";
    EXPECT_EQ(Autoruns(L"D"), "") << "the USB disk D: kept its autorun.inf";

    const LONG style = GetWindowLongW(popup, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(popup, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0) << Hex(style);
    EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), WS_EX_TOOLWINDOW | WS_EX_TOPMOST)
        << "in the taskbar, or not above other windows: " << Hex(exStyle);
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(popup, kLabel1))), "发现有移动设备插入,请问是否进行安全打开");
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(popup, kYes))), "是(&Y)");
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(popup, kNo))), "否(&N)");
    // Kai 12 pt (16 px at 96 dpi) in GB2312, as asked for inside Tovrane.
    EXPECT_EQ(
        probe::Ask(popup, probe::kFontOf, reinterpret_cast<LPARAM>(GetDlgItem(popup, kLabel1))),
        "楷体_GB2312|-16|134");

    // Sampled until it closes: the top only rises, the label only counts
    // down, and a second arrival in the countdown changes neither.
    std::vector<LONG> tops;
    std::vector<std::string> labels;
    DWORD restedAt = 0, closedAt = 0;
    bool stoleFocus = false, secondSent = false;
    WaitUntil(
        [&] {
            // A place that cannot be read means the popup is gone: checked
            // apart, a popup closing in between would read as a top of 0.
            RECT at = {};
            if (!GetWindowRect(popup, &at)) {
                closedAt = GetTickCount();
                return true;
            }
            const std::string label = Utf8(TextOf(GetDlgItem(popup, kLabel2)));
            if (tops.empty() || tops.back() != at.top) {
                tops.push_back(at.top);
            }
            if (!label.empty() && (labels.empty() || labels.back() != label)) {
                labels.push_back(label);
            }
            if (!restedAt && at.top == kRestTop) {
                restedAt = GetTickCount();
                EXPECT_EQ(at.left, kLeft) << "not flush with the work area's right edge";
                EXPECT_EQ(at.right - at.left, 207);
                EXPECT_EQ(at.bottom - at.top, 133);
            }
            stoleFocus = stoleFocus || GetForegroundWindow() != typing;
            if (!secondSent && label == "本窗口将于 6 秒关闭") {
                secondSent = SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'H'));
            }
            return false;
        },
        20000);

    ASSERT_FALSE(tops.empty());
    EXPECT_GE(tops.front(), kRestTop + 100) << "the slide did not start from below";
    for (size_t i = 1; i < tops.size(); ++i) {
        EXPECT_LT(tops[i], tops[i - 1]) << "the popup went down at sample " << i;
    }
    EXPECT_EQ(tops.back(), kRestTop) << "rests 2350 twips above the work area's bottom";
    std::vector<std::string> expected = {Utf8(kDesigned)};
    for (int n = 9; n >= 0; --n) {
        expected.push_back("本窗口将于 " + std::to_string(n) + " 秒关闭");
    }
    EXPECT_EQ(labels, expected);
    EXPECT_EQ(Autoruns(L"H"), "") << "the second arrival's drive was not cleaned";
    EXPECT_FALSE(stoleFocus) << "the popup took the foreground";
    ASSERT_TRUE(restedAt && closedAt) << "rested " << restedAt << ", closed " << closedAt;
    EXPECT_NEAR(static_cast<double>(closedAt - restedAt), 11000.0, 1500.0)
        << "closes on the eleventh second at rest; the slide took " << restedAt - sent << " ms";
}

TEST_F(Arrival, GuardingADriveThatCannotBeWrittenGivesUpQuietlyAndMarksNothing) {
    if (SuiteSetting(L"TOVRANE_UNWRITABLE_DRIVES").find(L'B') == std::wstring::npos) {
        GTEST_SKIP() << "B: could not be made unwritable here (chattr +i)";
    }
    ASSERT_EQ(Autoruns(L"B"), "B:file");
    ASSERT_TRUE(tovrane_.ShowFromTray());
    // 防御 with B typed: the file, marked hidden here, is cleared for the
    // delete that fails, and never marked afterwards.
    ASSERT_TRUE(SetFileAttributesW(AutorunOn(L'B').c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetComboText(Item(kCombo2), L"B"));
    Click(Item(kCommand5));
    EXPECT_TRUE(WaitUntil([&] { return Autoruns(L"B") == "B:file"; }, kBoundMs)) << "not cleared";
    EXPECT_FALSE(WaitUntil([&] { return Autoruns(L"B") != "B:file"; }, kQuietMs))
        << "B: holds " << Autoruns(L"B");
    EXPECT_TRUE(tovrane_.Enabled()) << "Tovrane stayed disabled after guarding";
    EXPECT_EQ(tovrane_.Count(L"#32770"), 0) << "guarding said something";
}

// Other broadcasts and records are passed over; each removal gets its box,
// and the lists are refreshed after it.
TEST_F(Arrival, OnlyVolumeArrivalsShowThePopupAndTouchOnlyTheirDrivesAndRemovalsGetBoxes) {
    struct Case {
        const char* what;
        WPARAM event;
        DWORD type, size;
    };
    const Case ignored[] = {
        {"port arrival", DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT, sizeof(DEV_BROADCAST_VOLUME)},
        {"short header", DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, 8},
        {"unknown type", DBT_DEVICEARRIVAL, 77, sizeof(DEV_BROADCAST_VOLUME)},
        {"query remove", DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_VOLUME, sizeof(DEV_BROADCAST_VOLUME)},
    };
    for (const Case& c : ignored) {
        EXPECT_TRUE(SendDeviceChange(form_, c.event, MaskOf(L'D'), kBoundMs, c.type, c.size))
            << c.what;
        EXPECT_EQ(tovrane_.Popup(kQuietMs), nullptr) << c.what << " showed the popup";
        EXPECT_EQ(tovrane_.AnyBox(0), nullptr) << c.what << " showed a box";
    }
    // lParam 0, sent inside Tovrane (from another process it would arrive
    // as a zeroed record): the message is answered, and nothing else.
    EXPECT_NE(probe::Ask(form_, probe::kNullDeviceRecord, reinterpret_cast<LPARAM>(form_)), "")
        << "Tovrane did not answer a null record";
    EXPECT_EQ(tovrane_.Popup(kQuietMs), nullptr) << "lParam 0 showed the popup";
    EXPECT_EQ(Autoruns(L"DH"), "D:file 0x7 H:file 0x7") << "a drive was touched";
    // The hook passes every other message on to the window's own procedure,
    // whose answer comes back, and leaves the window Unicode.
    EXPECT_EQ(Utf8(TextOf(form_)), "Tovrane");
    EXPECT_TRUE(IsWindowUnicode(form_));

    ASSERT_TRUE(tovrane_.ShowFromTray());
    HWND combo = Item(kCombo1);
    ASSERT_TRUE(SetComboText(combo, L"marker"));
    // The procedure does not return while its box is open.
    EXPECT_FALSE(SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'H'), 300));
    HWND first = tovrane_.Box(kBoundMs);
    EXPECT_EQ(Utf8(MessageBoxText(first)), "移动设备已经移除");
    EXPECT_EQ(Utf8(TextOf(first)), "Tovrane");
    EXPECT_EQ(Utf8(TextOf(combo)), "marker") << "refreshed before the box was closed";
    SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'D'), 300);
    EXPECT_TRUE(WaitUntil([&] { return tovrane_.Count(L"#32770") == 2; }, kBoundMs))
        << "a removal during the box got no box of its own";
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return TextOf(combo).empty(); }, kBoundMs))
        << "the field still reads \"" << Utf8(TextOf(combo)) << "\" after OK";

    // A drive that does not exist: the popup, and nothing touched.
    EXPECT_NE(Arrive(L'Q'), nullptr) << "a volume arrival always shows the popup";
    EXPECT_EQ(Autoruns(L"DH"), "D:file 0x7 H:file 0x7") << "a drive was touched";
}

}  // namespace
}  // namespace tovrane::wine
