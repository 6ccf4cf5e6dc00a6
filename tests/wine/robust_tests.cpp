// Tovrane.exe where users and attackers push: bursts of broadcasts, drives
// that vanish or cannot be written, files held open, a missing cmd.exe, a
// missing Startup folder and hostile texts in its fields. In every case it
// goes on answering and loses nothing on any drive. suites.cmake maps:
//   B: floppy that cannot be written, holding an autorun.inf file
//   D: hard disk   E: and H: floppies   F: a floppy's folder, not mapped
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "driver/Driver.h"
#include "driver/Resident.h"
#include "tools/stick/Stick.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;

constexpr DWORD kBoundMs = 10000;
constexpr DWORD kQuietMs = 800;
constexpr int kCommand2 = 102, kCommand4 = 104, kCommand5 = 105;
constexpr int kCheck1 = 201, kCombo1 = 301, kCombo2 = 302;

std::wstring AutorunOn(wchar_t letter) {
    return std::wstring(1, letter) + L":\\autorun.inf";
}

DWORD AttributesOf(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

void PlantAutorun(wchar_t letter) {
    HANDLE file = CreateFileW(AutorunOn(letter).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
    CloseHandle(file);
}

// Each drive's autorun.inf as "E:-" (none), "E:file", "E:folder" or
// "E:immunised" (a folder marked hidden and system, its sub-folder in).
std::string Drives(const std::wstring& letters = L"BDEH") {
    std::string states;
    for (wchar_t letter : letters) {
        const DWORD a = AttributesOf(AutorunOn(letter));
        const bool marked = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ==
                            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        states += std::string(states.empty() ? "" : " ") + static_cast<char>(letter) + ":" +
                  (a == INVALID_FILE_ATTRIBUTES        ? "-"
                   : !(a & FILE_ATTRIBUTE_DIRECTORY)   ? "file"
                   : marked && AttributesOf(AutorunOn(letter) + L"\\tirmola") !=
                                   INVALID_FILE_ATTRIBUTES
                       ? "immunised"
                       : "folder");
    }
    return states;
}

void ClearDrives() {
    for (wchar_t letter : {L'D', L'E', L'H'}) {
        const std::wstring path = AutorunOn(letter);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW((path + L"\\tirmola").c_str());
        RemoveDirectoryW(path.c_str());
        DeleteFileW(path.c_str());
    }
}

bool SendVolume(HWND window, WPARAM event, DWORD mask, DWORD timeoutMs) {
    DEV_BROADCAST_VOLUME record = {sizeof record, DBT_DEVTYP_VOLUME, 0, mask, 0};
    return SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                               SMTO_NORMAL, timeoutMs, nullptr) != 0;
}

int CountTopWindows(const wchar_t* className, DWORD processId) {
    int count = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExW(nullptr, w, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        count += owner == processId && IsWindowVisible(w);
    }
    return count;
}

class Robust : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDrives();
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        ASSERT_TRUE(tovrane_.Start(FolderOf(ThisExe()) + L"\\Tovrane.exe", current));
        EXPECT_NE(tovrane_.AnswerReminder(), L"") << "E: and H: are sticks";
        ASSERT_TRUE(tovrane_.Settled());
        form_ = tovrane_.form;
    }
    void TearDown() override {
        EXPECT_TRUE(tovrane_.Answers()) << "Tovrane stopped answering";
        tovrane_.Dismiss();
        EXPECT_TRUE(tovrane_.Quit()) << "Tovrane did not quit from its tray menu";
        EXPECT_EQ(Drives(L"B"), "B:file") << "the unwritable drive lost its file";
        ClearDrives();
    }
    HWND Popup(DWORD timeoutMs) {
        return FindTopWindow(L"TovraneForm2", L"", timeoutMs, Until::Shown, tovrane_.process.Id());
    }
    bool Opened(wchar_t letter, DWORD timeoutMs) {
        const std::wstring title = L"(" + std::wstring(1, letter) + L":)";
        HWND opened = FindTopWindow(L"ExplorerWClass", title, timeoutMs, Until::Exists);
        if (opened) {
            PostMessageW(opened, WM_CLOSE, 0, 0);
        }
        return opened != nullptr;
    }
    Resident tovrane_;
    HWND form_ = nullptr;
};

TEST_F(Robust, BurstsOfBroadcastsLeaveOnePopupOneIconAndEveryStickClean) {
    for (wchar_t letter : {L'D', L'E', L'H'}) {
        PlantAutorun(letter);
    }
    const DWORD masks[] = {1u << 3, 1u << 4, 1u << 7, (1u << 4) | (1u << 7)};
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(SendVolume(form_, DBT_DEVICEARRIVAL, masks[i % 4], kBoundMs)) << "arrival " << i;
    }
    EXPECT_EQ(Drives(L"DEH"), "D:- E:- H:-");
    EXPECT_EQ(CountTopWindows(L"TovraneForm2", tovrane_.process.Id()), 1);
    EXPECT_TRUE(HasTrayIcon(form_));

    // Removals pile up boxes of their own while the first one waits.
    for (int i = 0; i < 50; ++i) {
        SendVolume(form_, DBT_DEVICEREMOVECOMPLETE, 1u << 4, 50);
    }
    EXPECT_TRUE(WaitUntil([&] { return CountTopWindows(L"#32770", tovrane_.process.Id()) >= 2; },
                          kBoundMs));
    EXPECT_TRUE(tovrane_.Answers()) << "50 removals stopped Tovrane answering";
    tovrane_.CloseBoxes();

    // Arrivals, removals and the tray interleaved.
    for (int round = 0; round < 3; ++round) {
        PlantAutorun(L'E');
        ASSERT_TRUE(SendVolume(form_, DBT_DEVICEARRIVAL, 1u << 4, kBoundMs));
        EXPECT_EQ(Drives(L"E"), "E:-") << "round " << round;
        ASSERT_TRUE(tovrane_.ShowFromTray()) << "round " << round;
        SendVolume(form_, DBT_DEVICEREMOVECOMPLETE, 1u << 4, 50);
        tovrane_.CloseBoxes();
        ASSERT_TRUE(ChooseFromTrayMenu(tovrane_.process.Id(), L'e')) << "round " << round;
        EXPECT_NE(FindTopWindow(L"TovraneForm3", L"", kBoundMs, Until::Shown, tovrane_.process.Id()),
                  nullptr);
    }
}

TEST_F(Robust, FaultsOnDrivesAndFilesLoseNothingAndOpenNothing) {
    // An autorun.inf held open by another process cannot go: the popup
    // shows all the same, and neither 是(&Y) nor 安全打开 opens the drive.
    PlantAutorun(L'E');
    HANDLE held = CreateFileW(AutorunOn(L'E').c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SendVolume(form_, DBT_DEVICEARRIVAL, 1u << 4, kBoundMs));
    HWND popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "a held file stopped the popup";
    Click(GetDlgItem(popup, 101));
    HWND box = tovrane_.Box(kBoundMs);
    EXPECT_NE(box, nullptr) << "是(&Y) said nothing";
    tovrane_.CloseBoxes();
    ASSERT_TRUE(SetComboText(GetDlgItem(form_, kCombo1), L"E"));
    Click(GetDlgItem(form_, kCommand2));
    EXPECT_NE(tovrane_.Box(kBoundMs), nullptr) << "安全打开 said nothing";
    tovrane_.CloseBoxes();
    EXPECT_FALSE(Opened(L'E', kQuietMs)) << "a drive with a live autorun.inf was opened";
    CloseHandle(held);
    EXPECT_EQ(Drives(L"E"), "E:file") << "the held file was lost or changed";

    // An unwritable drive is given up on quietly; a drive pulled out while
    // every drive is immunised is passed over.
    ASSERT_TRUE(stick::DefineStick(L'F', Utf8(SuiteSetting(L"TOVRANE_DRIVES_DIR")) + "/f"));
    Click(GetDlgItem(form_, kCommand4));
    ASSERT_TRUE(stick::PullStick(L'F'));
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }, 60000))
        << "immunising every drive never ended";
    EXPECT_EQ(Drives(), "B:file D:immunised E:immunised H:immunised");

    // Without the system's cmd.exe nothing can be immunised or opened, and
    // nothing is harmed.
    ClearDrives();
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe", aside = cmd + L".aside";
    ASSERT_TRUE(MoveFileW(cmd.c_str(), aside.c_str()));
    ASSERT_TRUE(SetComboText(GetDlgItem(form_, kCombo2), L"D"));
    Click(GetDlgItem(form_, kCommand5));
    Click(GetDlgItem(form_, kCommand2));  // E, still in Combo1
    EXPECT_FALSE(Opened(L'E', kQuietMs));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }, kBoundMs));
    MoveFileW(aside.c_str(), cmd.c_str());
    EXPECT_EQ(Drives(L"DE"), "D:- E:-");

    // A Startup folder that is gone: the copy fails, is reported, unticked.
    wchar_t startup[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTUP, nullptr, SHGFP_TYPE_CURRENT, startup);
    const std::wstring moved = std::wstring(startup) + L".aside";
    ASSERT_TRUE(MoveFileW(startup, moved.c_str()));
    Click(GetDlgItem(form_, kCheck1));
    EXPECT_NE(tovrane_.Box(kBoundMs), nullptr) << "the failed copy was not reported";
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(GetDlgItem(form_, kCheck1)); }, kBoundMs));
    MoveFileW(moved.c_str(), startup);
}

TEST_F(Robust, HostileTextsInEitherFieldStartNothingAndTouchNothing) {
    const std::wstring texts[] = {
        std::wstring(300, L'E'),
        L"E\t",
        L"\x1b" L"E",
        L"\"E\"",
        L"E & md C:\\pwned",
        L"E | md C:\\pwned",
        L"E ^& md C:\\pwned",
        L"%PATH%",
        L"E:..\\..",
        L"\\\\?\\E:",
        L"E:/",
        L"/E",
        L"Ｅ",
        L"盘",
    };
    PlantAutorun(L'E');
    for (const std::wstring& text : texts) {
        for (int combo : {kCombo1, kCombo2}) {
            // Set whole, as a paste would: control characters cannot be typed.
            SendMessageW(GetDlgItem(form_, combo), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(text.c_str()));
            ASSERT_EQ(Utf8(TextOf(GetDlgItem(form_, combo))), Utf8(text)) << "the field changed it";
            Click(GetDlgItem(form_, combo == kCombo1 ? kCommand2 : kCommand5));
        }
        EXPECT_FALSE(Opened(L'E', 200)) << Utf8(text) << " opened E:";
    }
    EXPECT_EQ(FindTopWindow(L"#32770", L"", kQuietMs, Until::Exists, tovrane_.process.Id()),
              nullptr);
    EXPECT_EQ(AttributesOf(L"C:\\pwned"), INVALID_FILE_ATTRIBUTES) << "a command ran";
    EXPECT_EQ(Drives(), "B:file D:- E:file H:-") << "a hostile text touched a drive";
    // The same fields still take a real letter.
    ASSERT_TRUE(SetComboText(GetDlgItem(form_, kCombo2), L"h:"));
    Click(GetDlgItem(form_, kCommand5));
    EXPECT_TRUE(WaitUntil([&] { return Drives(L"H") == "H:immunised"; }, kBoundMs));
}

}  // namespace
}  // namespace tovrane::wine
