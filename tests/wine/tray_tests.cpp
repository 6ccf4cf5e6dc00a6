// Tovrane.exe as a user meets it over a run: it starts hidden in the tray,
// reminds of a stick already in, refuses a second copy, answers real clicks
// on its icon through Wine's shell, hides instead of closing, lets a session
// end, survives a shell restart and quits from its menu. The suite runs in
// Wine's virtual desktop, whose taskbar draws the notification area.
// suites.cmake maps:
//   F: and H: floppies (sticks already in)   G: floppy, immunised
//   D: hard disk   E: a floppy's folder, not mapped: a stick to plug in
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

class Tray : public WineTest {
protected:
    bool InTray() const { return TrayIcon(tovrane_.form); }
};

TEST_F(Tray, AtStartEveryStickIsCleanedTheHighestNamedAndTheProgramHidesInTheTray) {
    ASSERT_TRUE(PlantAutorun(L'F') && PlantAutorun(L'H'));
    // G: is a stick immunised earlier: its folder marked, its sub-folder in.
    const std::wstring g = AutorunOn(L'G');
    ASSERT_TRUE(CreateDirectoryW(g.c_str(), nullptr) &&
                CreateDirectoryW((g + L"\\tirmola").c_str(), nullptr) &&
                SetFileAttributesW(g.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                  FILE_ATTRIBUTE_SYSTEM));
    const DWORD immunised = GetFileAttributesW(g.c_str());
    ASSERT_EQ(Autoruns(L"FGH"), "F:file 0x7 G:immunised H:file 0x7");
    // What Explorer remembers of H:'s autorun.inf, and of the fixed D:.
    const std::wstring h = VolumeGuid(L'H'), d = VolumeGuid(L'D');
    ASSERT_TRUE(!h.empty() && !d.empty());
    for (const std::wstring& entry : {h, std::wstring(L"H"), d}) {
        ASSERT_TRUE(PlantRemembered(entry));
    }
    const std::string planted = "Shell=AutoRun AutoRun:virus.exe Autoplay _Autorun";
    ASSERT_TRUE(tovrane_.Start());

    HWND box = tovrane_.Box(kBoundMs);  // the reminder of the sticks already in
    EXPECT_EQ(Utf8(MessageBoxText(box)),
              "移动设备已存在,移动设备的盘符为H: ,建议您使用安全方式打开");
    EXPECT_EQ(Utf8(TextOf(box)), "安全提醒");
    EXPECT_EQ(Autoruns(L"FGH"), "G:immunised") << "a stick was not cleaned, or G: was undone";
    EXPECT_EQ(Hex(GetFileAttributesW(g.c_str())), Hex(immunised)) << "G:'s marks were changed";

    // A stick plugged in while the reminder waits is cleaned at once.
    ASSERT_TRUE(stick::DefineStick(L'E', DriveFolder(L'E')) && PlantAutorun(L'E'));
    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'E')));
    EXPECT_EQ(Autoruns(L"E"), "") << "E: was not cleaned";
    EXPECT_FALSE(InTray()) << "the icon came before the reminder was answered";

    PressOk(box);
    EXPECT_TRUE(tovrane_.Settled()) << "after OK, no icon, or the window did not hide";
    EXPECT_NE(GetWindow(tovrane_.form, GW_OWNER), nullptr) << "unowned, it has a taskbar button";
    // Once in the tray, the sticks' remembered commands are forgotten.
    EXPECT_TRUE(WaitUntil([&] { return Remembered(h) + "|" + Remembered(L"H") ==
                                       "Autoplay _Autorun|Autoplay _Autorun"; },
                          kBoundMs))
        << "H:'s remembered commands: " << Remembered(h) << " | " << Remembered(L"H");
    EXPECT_EQ(Remembered(d), planted) << "the fixed D: is no stick";

    // A second copy, refused, does no registry work, though H: is in.
    ASSERT_TRUE(PlantRemembered(h));
    Resident second;
    ASSERT_TRUE(second.Start());
    for (const char* text : {"移动设备已存在,移动设备的盘符为H: ,建议您使用安全方式打开",
                             "该程序已经运行一个，请不要重复运行"}) {
        HWND shown = nullptr;  // the box before may still be going
        EXPECT_TRUE(WaitUntil([&] {
            shown = second.Box(0);
            return shown && Utf8(MessageBoxText(shown)) == text;
        }, kBoundMs)) << "the second copy never showed " << text;
        PressOk(shown);
    }
    EXPECT_TRUE(second.process.WaitForExit(kBoundMs)) << "the second copy did not end";
    EXPECT_EQ(Remembered(h), planted) << "the refused second copy forgot H:'s commands";

    // An arrival on the immunised stick leaves it immunised.
    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'G')));
    EXPECT_NE(tovrane_.Popup(kBoundMs), nullptr);
    EXPECT_EQ(Hex(GetFileAttributesW(g.c_str())), Hex(immunised)) << "G:'s immunisation was undone";
    EXPECT_TRUE(stick::PullStick(L'E'));
}

TEST_F(Tray, WithNoStickItSettlesQuietlyRefusesASecondCopyAndEndsWithTheSession) {
    for (wchar_t letter : {L'F', L'G', L'H'}) {
        ASSERT_TRUE(stick::PullStick(letter)) << "could not pull " << char(letter) << ":";
    }
    ASSERT_TRUE(tovrane_.Start());
    HWND form = tovrane_.form;
    EXPECT_TRUE(tovrane_.Settled()) << "no icon, or the window shows";
    EXPECT_EQ(tovrane_.Box(kQuietMs), nullptr) << "a box with no stick in";

    // The startup copy, started from elsewhere under its own name.
    const std::wstring kelvo = L"C:\\kelvo.exe";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\Tovrane.exe").c_str(), kelvo.c_str(), FALSE));
    Resident second;
    ASSERT_TRUE(second.Start(kelvo));
    HWND warning = second.Box(kBoundMs);
    EXPECT_EQ(Utf8(MessageBoxText(warning)), "该程序已经运行一个，请不要重复运行");
    EXPECT_EQ(Utf8(TextOf(warning)), "提示");
    EXPECT_FALSE(TrayIcon(second.form)) << "the second copy has an icon";
    // It hears no broadcast: only the first copy's popup shows.
    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'D')));
    EXPECT_NE(tovrane_.Popup(kBoundMs), nullptr);
    EXPECT_EQ(second.Popup(kQuietMs), nullptr) << "the second copy handled the arrival";
    PressOk(warning);
    EXPECT_TRUE(second.process.WaitForExit(kBoundMs)) << "the second copy did not end after OK";
    EXPECT_TRUE(InTray() && tovrane_.Answers()) << "the first copy did not run on";

    // Asked whether the session may end, it agrees and changes nothing; told
    // that it ends, it ends too.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer));
    EXPECT_NE(answer, 0u) << "Tovrane refused to let the session end";
    EXPECT_TRUE(tovrane_.Settled() && tovrane_.Answers()) << "the question changed something";
    SendMessageTimeoutW(form, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, nullptr);
    EXPECT_TRUE(tovrane_.Ended()) << "the session ended and Tovrane did not";
}

TEST_F(Tray, RealClicksOnTheIconAndItsMenuWorkTheWindowWhichOutlivesCloseAndAShellRestart) {
    ASSERT_TRUE(tovrane_.Start() && tovrane_.Settled());
    HWND form = tovrane_.form;
    ClickTrayIcon(false, 2);
    EXPECT_TRUE(
        WaitUntil([&] { return IsWindowVisible(form) && GetForegroundWindow() == form; }, kBoundMs))
        << "a double-click did not bring the window to the front";

    // Minimized, it goes back to the tray; the menu's first item brings it
    // back normal, not minimized.
    PostMessageW(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // its caption button
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(form); }, kBoundMs)) << "minimized, shown";
    ClickTrayIcon(true, 1);
    HWND menu = FindTopWindow(L"#32768", L"", kBoundMs, Until::Shown, tovrane_.process.id);
    ASSERT_NE(menu, nullptr) << "no menu on a right-click";
    EXPECT_EQ(probe::Ask(form, probe::kMenuCaptions, SendMessageW(menu, MN_GETHMENU, 0, 0)),
              "打开程序(&O)\n程序说明(&E)\n退    出(&U)\n");
    PostMessageW(menu, WM_CHAR, L'o', 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(form) && !IsIconic(form); }, kBoundMs))
        << "打开程序(&O) did not bring the window back normal";

    // Closed, it hides and runs on.
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close button
    EXPECT_TRUE(tovrane_.Settled() && tovrane_.Answers()) << "close did not hide, or ended Tovrane";

    // The shell lost the icon (it restarted); its new taskbar announces itself.
    ASSERT_TRUE(TrayIcon(form, NIM_DELETE));
    ASSERT_FALSE(InTray());
    SendMessageTimeoutW(form, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_NORMAL, 5000,
                        nullptr);
    EXPECT_TRUE(WaitUntil([&] { return InTray(); }, kBoundMs)) << "the icon stayed away";
    EXPECT_FALSE(IsWindowVisible(form)) << "TaskbarCreated showed the window";

    ASSERT_TRUE(ChooseFromTrayMenu(tovrane_.process.id, L'e'));
    EXPECT_NE(tovrane_.Window(L"TovraneForm3", kBoundMs), nullptr)
        << "程序说明(&E) showed no description";
    // 退    出(&U) ends it at once, even while a removal box waits.
    SendDeviceChange(form, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'D'), 300);
    ASSERT_NE(tovrane_.Box(kBoundMs), nullptr) << "no removal box";
    ASSERT_TRUE(ChooseFromTrayMenu(tovrane_.process.id, L'u'));
    EXPECT_TRUE(tovrane_.Ended()) << "退    出(&U) did not end Tovrane from inside a box";
}

}  // namespace
}  // namespace tovrane::wine
