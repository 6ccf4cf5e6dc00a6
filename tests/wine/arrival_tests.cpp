// A running Tovrane.exe meets plugged and pulled drives: the device
// broadcasts reach its main window from outside, as Windows sends them, and
// the popup, the removal box and the drives are watched from outside.
// The suite runs in Wine's virtual desktop, whose taskbar leaves a work area
// of 1024x748 on a 1024x768 screen. suites.cmake maps:
//   B: floppy that cannot be written, holding an autorun.inf file
//   D: hard disk (a USB disk reports fixed)   F: CD-ROM   H: floppy
//   E: a floppy's folder, not mapped: the stick that the test plugs in
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "driver/Driver.h"
#include "driver/Resident.h"
#include "probe.h"
#include "tools/stick/Stick.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;

constexpr DWORD kBoundMs = 10000;
constexpr DWORD kQuietMs = 800;  // how long "nothing happens" is watched

constexpr int kCombo1 = 301, kCommand2 = 102;                       // the main window's safe open
constexpr int kYes = 101, kNo = 102, kLabel1 = 401, kLabel2 = 402;  // the popup's

const wchar_t kDesigned[] = L"本窗口将于 10 秒后自动关闭";

// The popup in the virtual desktop at 96 dpi: 3105 x 2000 twips, resting
// 2350 twips above the work area's bottom (748), flush with its right edge.
constexpr int kRestTop = 748 - 157, kLeft = 1024 - 207;

std::wstring AutorunOn(wchar_t letter) {
    return std::wstring(1, letter) + L":\\autorun.inf";
}

DWORD AttributesOf(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

bool IsFile(const std::wstring& path) {
    const DWORD a = AttributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// An autorun.inf file as a virus leaves it: read-only, hidden and system.
bool PlantAutorun(wchar_t letter) {
    const std::wstring path = AutorunOn(letter);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    WriteFile(file, "[autorun]\r\nopen=virus.exe\r\n", 27, &written, nullptr);
    CloseHandle(file);
    return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM) != FALSE;
}

// A WM_DEVICECHANGE record sent to `window` from this process, as Windows
// sends it to every top-level window; Wine copies it into the target.
// Answers whether the window's procedure returned within `timeoutMs` (a
// removal box keeps it from returning until it is closed).
bool SendDeviceChange(HWND window, WPARAM event, DWORD mask, DWORD type = DBT_DEVTYP_VOLUME,
                      DWORD size = sizeof(DEV_BROADCAST_VOLUME), DWORD timeoutMs = kBoundMs) {
    DEV_BROADCAST_VOLUME record = {};
    record.dbcv_size = size;
    record.dbcv_devicetype = type;
    record.dbcv_unitmask = mask;
    return SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                               SMTO_NORMAL, timeoutMs, nullptr) != 0;
}

DWORD MaskOf(wchar_t letter) {
    return 1u << (letter - L'A');
}

RECT RectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

int CountBoxes(DWORD processId) {
    int count = 0;
    for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box;
         box = FindWindowExW(nullptr, box, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        count += owner == processId && IsWindowVisible(box);
    }
    return count;
}

// A window of the test's own in the foreground, as the window a user is
// typing in when a stick is plugged in. Its thread pumps its messages.
class ForegroundWindow {
public:
    ForegroundWindow() {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] {
            window_ =
                CreateWindowExW(0, L"STATIC", L"typing here", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                100, 300, 200, nullptr, nullptr, nullptr, nullptr);
            threadId_ = GetCurrentThreadId();
            SetForegroundWindow(window_);
            SetEvent(ready);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                DispatchMessageW(&msg);
            }
            DestroyWindow(window_);
        });
        WaitForSingleObject(ready, kBoundMs);
        CloseHandle(ready);
    }
    ~ForegroundWindow() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND hwnd() const { return window_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

class Arrival : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        ASSERT_TRUE(tovrane_.Start(FolderOf(ThisExe()) + L"\\Tovrane.exe", current));
        // B: cannot be cleaned; H: is the highest stick.
        EXPECT_EQ(Utf8(tovrane_.AnswerReminder()),
                  "移动设备已存在,移动设备的盘符为H: ,建议您使用安全方式打开");
        ASSERT_TRUE(tovrane_.Settled());
        form_ = tovrane_.form;
        for (wchar_t letter : {L'D', L'H'}) {
            ASSERT_TRUE(PlantAutorun(letter)) << "cannot plant on " << char(letter);
        }
    }

    void TearDown() override {
        tovrane_.CloseBoxes();
        if (HWND popup = Popup(0)) {
            Click(GetDlgItem(popup, kNo));
        }
        EXPECT_TRUE(tovrane_.Quit()) << "Tovrane did not end from its tray menu";
        EXPECT_EQ(FindTopWindow(L"TovraneForm2", L"", 0, Until::Exists), nullptr)
            << "the popup outlived the program";
        for (wchar_t letter : {L'D', L'H'}) {
            SetFileAttributesW(AutorunOn(letter).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(AutorunOn(letter).c_str());
        }
    }

    // The popup of this Tovrane once it is shown, or null at the bound.
    HWND Popup(DWORD timeoutMs) {
        return FindTopWindow(L"TovraneForm2", L"", timeoutMs, Until::Shown, tovrane_.process.Id());
    }

    // An explorer window that "cmd /c start X:" opened, closed again.
    bool DriveWasOpened(wchar_t letter, DWORD timeoutMs) {
        // Wine's explorer titles the window of an unlabelled drive " (E:)".
        const std::wstring title = L"(" + std::wstring(1, letter) + L":)";
        HWND opened = FindTopWindow(L"ExplorerWClass", title, timeoutMs, Until::Shown);
        if (opened) {
            PostMessageW(opened, WM_CLOSE, 0, 0);
            WaitUntil([&] { return !IsWindow(opened); }, kBoundMs);
        }
        return opened != nullptr;
    }

    Resident tovrane_;
    HWND form_ = nullptr;
};

// ---------------------------------------------------------------------------

TEST_F(Arrival, APluggedStickIsCleanedBeforeThePopupShowsAndYesOpensIt) {
    const std::string folder = Utf8(SuiteSetting(L"TOVRANE_DRIVES_DIR")) + "/e";
    ASSERT_TRUE(stick::DefineStick(L'E', folder)) << "E: could not be plugged in";
    ASSERT_EQ(GetDriveTypeW(L"E:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
    ASSERT_TRUE(PlantAutorun(L'E'));

    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'E')));
    HWND popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "no popup within 10 s of the arrival";
    EXPECT_FALSE(IsFile(AutorunOn(L'E'))) << "E:'s autorun.inf was there when the popup showed";
    EXPECT_TRUE(IsFile(AutorunOn(L'H'))) << "H: did not arrive, and is no business of this one";
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto items = ComboItems(GetDlgItem(form_, kCombo1));
            return std::find(items.begin(), items.end(), L"E") != items.end();
        },
        kBoundMs))
        << "the drive lists were not refreshed with E:";

    // H: is the higher removable drive, but E: is the one that arrived.
    Click(GetDlgItem(popup, kYes));
    EXPECT_TRUE(DriveWasOpened(L'E', kBoundMs)) << "是(&Y) opened no window for E:";
    EXPECT_FALSE(DriveWasOpened(L'H', kQuietMs)) << "是(&Y) opened H:";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(popup); }, kBoundMs)) << "the popup stayed";
    EXPECT_TRUE(stick::PullStick(L'E'));
}

TEST_F(Arrival, ThePopupSlidesUpWithoutTheFocusCountsDownOnceAndCloses) {
    ForegroundWindow typing;
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == typing.hwnd(); }, kBoundMs));

    const DWORD sent = GetTickCount();
    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'D')));
    HWND popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "no popup within 10 s of the arrival";
    EXPECT_FALSE(IsFile(AutorunOn(L'D'))) << "the USB disk D: kept its autorun.inf";

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
    std::vector<std::wstring> labels;
    DWORD restedAt = 0, closedAt = 0;
    bool stoleFocus = false, secondSent = false;
    WaitUntil(
        [&] {
            if (!IsWindow(popup)) {
                closedAt = GetTickCount();
                return true;
            }
            const RECT at = RectOf(popup);
            const std::wstring label = TextOf(GetDlgItem(popup, kLabel2));
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
            stoleFocus = stoleFocus || GetForegroundWindow() != typing.hwnd();
            if (!secondSent && label == L"本窗口将于 6 秒关闭") {
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
    std::vector<std::string> seen, expected = {Utf8(kDesigned)};
    for (int n = 9; n >= 0; --n) {
        expected.push_back("本窗口将于 " + std::to_string(n) + " 秒关闭");
    }
    for (const std::wstring& label : labels) {
        seen.push_back(Utf8(label));
    }
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(secondSent) << "the second arrival was never sent";
    EXPECT_FALSE(IsFile(AutorunOn(L'H'))) << "the second arrival's drive was not cleaned";
    EXPECT_FALSE(stoleFocus) << "the popup took the foreground";
    ASSERT_TRUE(restedAt && closedAt) << "rested " << restedAt << ", closed " << closedAt;
    EXPECT_NEAR(static_cast<double>(closedAt - restedAt), 11000.0, 1500.0)
        << "closes on the eleventh second at rest; the slide took " << restedAt - sent << " ms";
}

TEST_F(Arrival, ThePopupAnswersTheKeyboardOnceActivatedAndEachLoadStartsAfresh) {
    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'D')));
    HWND popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr);
    Click(GetDlgItem(popup, kNo));  // during the slide
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(popup); }, kBoundMs)) << "否(&N) left it open";

    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'D')));
    popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "no popup for the next arrival";
    EXPECT_GT(RectOf(popup).top, kRestTop + 100) << "the next popup did not start from below";
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(popup, kLabel2))), Utf8(kDesigned));

    // Activated, as by a click on it: 是(&Y) takes the focus; Alt+N answers.
    SetForegroundWindow(popup);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(popup) == GetDlgItem(popup, kYes); }, kBoundMs))
        << "the focus is on id " << GetDlgCtrlID(FocusOf(popup));
    PostMessageW(FocusOf(popup), WM_SYSKEYDOWN, 'N', 0x20310001);  // Alt held
    PostMessageW(FocusOf(popup), WM_SYSCHAR, 'n', 0x20310001);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(popup); }, kBoundMs)) << "Alt+N left it open";
    EXPECT_FALSE(DriveWasOpened(L'D', kQuietMs)) << "Alt+N opened the drive";

    // Enter on the focused 是(&Y) opens the disk that arrived.
    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'D')));
    popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr);
    SetForegroundWindow(popup);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(popup) == GetDlgItem(popup, kYes); }, kBoundMs));
    PostMessageW(FocusOf(popup), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(DriveWasOpened(L'D', kBoundMs)) << "Enter opened nothing";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(popup); }, kBoundMs));
}

TEST_F(Arrival, AnAutorunFileThatCannotGoKeepsTheDriveClosedAndSaysSo) {
    if (SuiteSetting(L"TOVRANE_UNWRITABLE_DRIVES").find(L'B') == std::wstring::npos) {
        GTEST_SKIP() << "B: could not be made unwritable here (chattr +i)";
    }
    ASSERT_TRUE(IsFile(AutorunOn(L'B')));
    // The popup's 是(&Y), then the main window's 安全打开 with B typed.
    auto expectWarning = [&](const char* what) {
        HWND box = FindMessageBox(tovrane_.process.Id(), kBoundMs);
        ASSERT_NE(box, nullptr) << what << " said nothing";
        EXPECT_NE(MessageBoxText(box).find(L"B:\\autorun.inf"), std::wstring::npos)
            << what << ": \"" << Utf8(MessageBoxText(box)) << "\" names no B:\\autorun.inf";
        EXPECT_FALSE(DriveWasOpened(L'B', kQuietMs)) << what << " opened B:";
        PressOk(box);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kBoundMs));
    };
    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'B')));
    HWND popup = Popup(kBoundMs);
    ASSERT_NE(popup, nullptr) << "an autorun.inf that stays must not stop the popup";
    Click(GetDlgItem(popup, kYes));
    expectWarning("是(&Y)");

    ASSERT_TRUE(SetComboText(GetDlgItem(form_, kCombo1), L"B"));
    Click(GetDlgItem(form_, kCommand2));
    expectWarning("安全打开");
    EXPECT_TRUE(IsFile(AutorunOn(L'B')));
}

TEST_F(Arrival, EachRemovalGetsItsBoxAndTheListsAreRefreshedAfterIt) {
    HWND combo = GetDlgItem(form_, kCombo1);
    ASSERT_TRUE(SetComboText(combo, L"marker"));
    // The procedure does not return while its box is open.
    EXPECT_FALSE(SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'H'), DBT_DEVTYP_VOLUME,
                                  sizeof(DEV_BROADCAST_VOLUME), 300));
    HWND first = FindMessageBox(tovrane_.process.Id(), kBoundMs);
    ASSERT_NE(first, nullptr) << "no box for the removal";
    EXPECT_EQ(Utf8(MessageBoxText(first)), "移动设备已经移除");
    EXPECT_EQ(Utf8(TextOf(first)), "Tovrane");
    EXPECT_EQ(Utf8(TextOf(combo)), "marker") << "refreshed before the box was closed";

    SendDeviceChange(form_, DBT_DEVICEREMOVECOMPLETE, MaskOf(L'D'), DBT_DEVTYP_VOLUME,
                     sizeof(DEV_BROADCAST_VOLUME), 300);
    EXPECT_TRUE(WaitUntil([&] { return CountBoxes(tovrane_.process.Id()) == 2; }, kBoundMs))
        << "a removal during the box got no box of its own";
    tovrane_.CloseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return TextOf(combo).empty(); }, kBoundMs))
        << "the field still reads \"" << Utf8(TextOf(combo)) << "\" after OK";
}

TEST_F(Arrival, OnlyAVolumeArrivalShowsThePopupAndOnlyItsOwnDrivesAreTouched) {
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
        EXPECT_TRUE(SendDeviceChange(form_, c.event, MaskOf(L'D'), c.type, c.size)) << c.what;
        EXPECT_EQ(Popup(kQuietMs), nullptr) << c.what << " showed the popup";
        EXPECT_EQ(FindTopWindow(L"#32770", L"", 0, Until::Exists, tovrane_.process.Id()), nullptr)
            << c.what << " showed a box";
    }
    // lParam 0, sent inside Tovrane (from another process it would arrive
    // as a zeroed record): the message is answered, and nothing else.
    EXPECT_NE(probe::Ask(form_, probe::kNullDeviceRecord, reinterpret_cast<LPARAM>(form_)), "")
        << "Tovrane did not answer a null record";
    EXPECT_EQ(Popup(kQuietMs), nullptr) << "lParam 0 showed the popup";
    EXPECT_TRUE(IsFile(AutorunOn(L'D')) && IsFile(AutorunOn(L'H'))) << "a drive was touched";

    // A drive that does not exist: the popup, and nothing touched.
    ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'Q')));
    EXPECT_NE(Popup(kBoundMs), nullptr) << "a volume arrival always shows the popup";
    EXPECT_TRUE(IsFile(AutorunOn(L'D')) && IsFile(AutorunOn(L'H'))) << "a drive was touched";
}

}  // namespace
}  // namespace tovrane::wine
