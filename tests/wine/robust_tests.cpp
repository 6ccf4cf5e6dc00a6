// Tovrane.exe where users and attackers push: bursts of broadcasts, drives
// that vanish or cannot be written, files held open, a missing cmd.exe, a
// missing Startup folder and hostile texts in its fields. In every case it
// goes on answering and loses nothing on any drive. suites.cmake maps:
//   B: floppy that cannot be written, holding an autorun.inf file
//   D: hard disk   E: and H: floppies   F: a floppy's folder, not mapped
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

class Robust : public WineTest {
protected:
    void SetUp() override { ASSERT_TRUE(StartSettled(L'H')); }
    void TearDown() override {
        WineTest::TearDown();  // fails when Tovrane stopped answering
        EXPECT_EQ(Autoruns(L"B"), "B:file") << "the unwritable drive lost its file";
        ClearAutoruns(L"DEH");
    }
};

TEST_F(Robust, BurstsOfBroadcastsLeaveOnePopupOneIconAndEveryStickClean) {
    ASSERT_TRUE(PlantAutorun(L'D') && PlantAutorun(L'E') && PlantAutorun(L'H'));
    const DWORD masks[] = {MaskOf(L'D'), MaskOf(L'E'), MaskOf(L'H'), MaskOf(L'E') | MaskOf(L'H')};
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, masks[i % 4])) << "arrival " << i;
    }
    EXPECT_EQ(Autoruns(L"DEH"), "");
    EXPECT_EQ(tovrane_.Count(L"TovraneForm2"), 1);
    EXPECT_TRUE(TrayIcon(form_));

    // Removals pile up boxes of their own while the first one waits.
    for (int i = 0; i < 50; ++i) {
        SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'E'), 50);
    }
    EXPECT_TRUE(WaitUntil([&] { return tovrane_.Count(L"#32770") >= 2; }, kBoundMs));
    tovrane_.CloseBoxes();

    // Arrivals, removals and the tray interleaved.
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(PlantAutorun(L'E'));
        ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'E')));
        EXPECT_EQ(Autoruns(L"E"), "") << "round " << round;
        ASSERT_TRUE(tovrane_.ShowFromTray()) << "round " << round;
        SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'E'), 50);
        tovrane_.CloseBoxes();
        ASSERT_TRUE(ChooseFromTrayMenu(tovrane_.process.id, L'e')) << "round " << round;
        EXPECT_NE(tovrane_.Window(L"TovraneForm3", kBoundMs), nullptr);
    }
}

TEST_F(Robust, FaultsOnDrivesAndFilesLoseNothingAndOpenNothing) {
    // An autorun.inf held open by another process cannot go: the popup
    // shows all the same, and 是(&Y) and 安全打开 each say so, naming the
    // file, and open nothing.
    ASSERT_TRUE(PlantAutorun(L'E'));
    HANDLE held =
        CreateFileW(AutorunOn(L'E').c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND popup = Arrive(L'E');
    ASSERT_NE(popup, nullptr) << "a held file stopped the popup";
    auto expectWarning = [&](const char* what) {
        HWND box = tovrane_.Box(kBoundMs);
        EXPECT_NE(MessageBoxText(box).find(L"E:\\autorun.inf"), std::wstring::npos)
            << what << ": \"" << Utf8(MessageBoxText(box)) << "\" names no E:\\autorun.inf";
        EXPECT_FALSE(DriveOpened(L'E', kQuietMs)) << what << " opened E:";
        PressOk(box);
        EXPECT_TRUE(Gone(box));
    };
    Click(GetDlgItem(popup, kYes));
    expectWarning("是(&Y)");
    ASSERT_TRUE(tovrane_.ShowFromTray());
    ASSERT_TRUE(SetComboText(Item(kCombo1), L"E"));
    Click(Item(kCommand2));
    expectWarning("安全打开");
    CloseHandle(held);
    EXPECT_EQ(Autoruns(L"E").substr(0, 6), "E:file") << "the held file was lost";

    // An unwritable drive is given up on quietly; a drive pulled out while
    // every drive is immunised is passed over.
    ASSERT_TRUE(stick::DefineStick(L'F', DriveFolder(L'F')));
    Click(Item(kCommand4));
    ASSERT_TRUE(stick::PullStick(L'F'));
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil(
        [] { return Autoruns(L"BDEH") == "B:file D:immunised E:immunised H:immunised"; }, 60000))
        << Autoruns(L"BDEH");
    EXPECT_TRUE(tovrane_.Enabled()) << "immunising every drive never ended";

    // Without the system's cmd.exe nothing can be immunised or opened, and
    // nothing is harmed.
    ClearAutoruns(L"DEH");
    const std::wstring cmd = L"C:\\windows\\system32\\cmd.exe", aside = cmd + L".aside";
    ASSERT_TRUE(MoveFileW(cmd.c_str(), aside.c_str()));
    ASSERT_TRUE(SetComboText(Item(kCombo2), L"D"));
    Click(Item(kCommand5));
    Click(Item(kCommand2));  // E, still in Combo1
    EXPECT_FALSE(DriveOpened(L'E', kQuietMs));
    EXPECT_TRUE(tovrane_.Enabled());
    MoveFileW(aside.c_str(), cmd.c_str());
    EXPECT_EQ(Autoruns(L"DE"), "");

    // A Startup folder that is gone: the copy fails, is reported, unticked.
    const wchar_t startup[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    const std::wstring moved = std::wstring(startup) + L".aside";
    ASSERT_TRUE(MoveFileW(startup, moved.c_str()));
    Click(Item(kCheck1));
    EXPECT_NE(tovrane_.Box(kBoundMs), nullptr) << "the failed copy was not reported";
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(Item(kCheck1)); }, kBoundMs));
    MoveFileW(moved.c_str(), startup);
}

TEST_F(Robust, HostileTextsInEitherFieldStartNothingAndTouchNothing) {
    // clang-format off
    const std::wstring texts[] = {
        std::wstring(300, L'E'), L"E\t", L"\033E", L"\"E\"", L"%PATH%", L"Ｅ", L"盘",
        L"E & md C:\\pwned", L"E | md C:\\pwned", L"E ^& md C:\\pwned",
        L"E:..\\..", L"\\\\?\\E:", L"E:/", L"/E"};
    // clang-format on
    ASSERT_TRUE(PlantAutorun(L'E'));
    ASSERT_TRUE(tovrane_.ShowFromTray());
    for (const std::wstring& text : texts) {
        for (int combo : {kCombo1, kCombo2}) {
            // Set whole, as a paste would: control characters cannot be typed.
            SendMessageW(Item(combo), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            ASSERT_EQ(Utf8(TextOf(Item(combo))), Utf8(text)) << "the field changed it";
            Click(Item(combo == kCombo1 ? kCommand2 : kCommand5));
        }
        EXPECT_FALSE(DriveOpened(L'E', 200)) << Utf8(text) << " opened E:";
    }
    EXPECT_EQ(tovrane_.AnyBox(kQuietMs), nullptr);
    EXPECT_EQ(GetFileAttributesW(L"C:\\pwned"), INVALID_FILE_ATTRIBUTES) << "a command ran";
    EXPECT_EQ(Autoruns(L"BDEH"), "B:file E:file 0x7") << "a hostile text touched a drive";
    // The same fields still take a real letter.
    ASSERT_TRUE(SetComboText(Item(kCombo2), L"h:"));
    Click(Item(kCommand5));
    EXPECT_TRUE(WaitUntil([&] { return Autoruns(L"H") == "H:immunised"; }, kBoundMs));
}

}  // namespace
}  // namespace tovrane::wine
