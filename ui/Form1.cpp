#include "ui/Form1.h"

#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/AppInfo.h"
#include "core/AutorunGuard.h"
#include "core/DeviceBroadcast.h"
#include "core/DriveList.h"
#include "core/RememberedCommands.h"
#include "core/Startup.h"
#include "core/StickRepair.h"
#include "core/TrayGesture.h"
#include "platform/DeviceMonitor.h"
#include "platform/TrayIcon.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Layout.h"

namespace tovrane::Form1 {

namespace {

using layout::ControlSpec;
using layout::Kind;

constexpr wchar_t kPlaceholder[] = L"请选择";

// Posted with a unit mask in wParam: Explorer's remembered commands of those
// drives are forgotten. The registry is slower than the file system, so this
// waits until the stick's autorun.inf is gone and the popup is shown.
constexpr UINT kForgetRememberedCommands = WM_APP + 1;

// The repairs of sticks go on in steps of this timer, one job a tick, each
// step a little work, so that the program keeps answering and painting.
constexpr UINT_PTR kRepairTimer = 1;
constexpr UINT kRepairTickMs = 30;
constexpr std::uint32_t kRepairStepMs = 20;

// clang-format off
constexpr ControlSpec kControls[] = {
    // name       kind                    id         frame    left  top   width height tab
    {L"Frame4",   Kind::Frame,            kFrame4,   0,       120,  120,  3615, 1455,  11,
        L"U盘病毒防御"},
    {L"Command1", Kind::Button,           kCommand1, kFrame4, 120,  360,  1455, 375,   12,
        L"防御U盘"},
    {L"Command4", Kind::Button,           kCommand4, kFrame4, 1680, 360,  1815, 375,   13,
        L"防御本地所有盘符"},
    {L"Label5",   Kind::Label,            kLabel5,   kFrame4, 120,  960,  1335, 255,   14,
        L"防御单个盘符:"},
    {L"Combo2",   Kind::DropDownCombo,    kCombo2,   kFrame4, 1320, 937,  975,  300,   15,
        kPlaceholder},
    {L"Command5", Kind::Button,           kCommand5, kFrame4, 2400, 900,  1095, 375,   16,
        L"防御"},
    {L"Frame3",   Kind::Frame,            kFrame3,   0,       120,  1680, 3615, 735,   6,
        L"安全打开盘符"},
    {L"Combo1",   Kind::DropDownCombo,    kCombo1,   kFrame3, 1200, 270,  975,  300,   7,
        kPlaceholder},
    {L"Command2", Kind::Button,           kCommand2, kFrame3, 2280, 240,  1215, 375,   8,
        L"安全打开"},
    {L"Label1",   Kind::Label,            kLabel1,   kFrame3, 120,  300,  1095, 255,   9,
        L"请选择盘符:"},
    {L"Frame2",   Kind::Frame,            kFrame2,   0,       120,  2520, 3615, 1215,  3,
        L"开机自启动"},
    {L"Check1",   Kind::CheckBox,         kCheck1,   kFrame2, 240,  360,  1935, 255,   4,
        L"是否加入开机自启动"},
    {L"Command3", Kind::Button,           kCommand3, kFrame2, 2280, 240,  1215, 375,   5,
        L"程序说明"},
    {L"Label4",   Kind::TransparentLabel, kLabel4,   kFrame2, 240,  720,  3255, 375,   10,
        L"建议:加入开机自启动,该软件体积小,并不会占多资源,请放心使用!"},
    {L"Frame1",   Kind::Frame,            kFrame1,   0,       120,  3840, 3615, 615,   0,
        L"作者信息"},
    {L"Label2",   Kind::Label,            kLabel2,   kFrame1, 120,  240,  1935, 255,   1,
        L"Tovrane 项目"},
    {L"Label3",   Kind::Label,            kLabel3,   kFrame1, 2040, 240,  1335, 255,   2,
        L"QQ: 10000"},
};

// Client area 3795 x 4545 twips.
constexpr layout::FormSpec kForm = {kClassName, kAppTitle, 3795, 4545,
                                    kControls, std::size(kControls)};
// clang-format on

HINSTANCE g_instance = nullptr;
Platform* g_os = nullptr;
HWND g_form = nullptr;
HWND g_lastFocus = nullptr;  // the control that gets the focus back on activation
bool g_anotherCopyRuns = false;
bool g_resized = false;  // the border was dragged in the current move-or-size loop
std::wstring g_sticksAtStart;  // the removable drives cleaned as the program started
std::map<wchar_t, StickRepair> g_repairs;  // one job a drive, by its letter
wchar_t g_lastRepaired = 0;               // the jobs take turns
bool g_repairing = false;                 // a step is running: no other starts inside it

HWND Control(int id) {
    return GetDlgItem(g_form, id);
}

// The letter typed or picked in a combo box; empty for anything else,
// the placeholder included.
DriveLetter PickedDrive(int comboId) {
    HWND combo = Control(comboId);
    std::vector<wchar_t> text(GetWindowTextLengthW(combo) + 1);
    GetWindowTextW(combo, text.data(), static_cast<int>(text.size()));
    return ParseDriveLetter(text.data());
}

// GuardDrive waits for its "md" command while dispatching this thread's
// messages, so the window keeps painting. Disabled meanwhile, as the owner of
// a modal dialog is, it lets no click start a handler inside the running one.
class DisabledWhileGuarding {
public:
    DisabledWhileGuarding() {
        HWND focus = GetFocus();
        if (focus && IsChild(g_form, focus)) {
            g_lastFocus = focus;  // disabling the window takes the focus away
        }
        EnableWindow(g_form, FALSE);
    }
    ~DisabledWhileGuarding() {
        if (!IsWindow(g_form)) {
            return;
        }
        EnableWindow(g_form, TRUE);
        if (GetActiveWindow() == g_form && g_lastFocus) {
            SetFocus(g_lastFocus);
        }
    }
    DisabledWhileGuarding(const DisabledWhileGuarding&) = delete;
    DisabledWhileGuarding& operator=(const DisabledWhileGuarding&) = delete;
};

void AddListItem(HWND combo, const std::wstring& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// -- handlers ---------------------------------------------------------------

// A stick's repair starts afresh, as a new arrival of the drive asks.
void StartRepair(wchar_t letter) {
    g_repairs.erase(letter);
    g_repairs.emplace(letter, StickRepair(DriveLetter(1, letter)));
    SetTimer(g_form, kRepairTimer, kRepairTickMs, nullptr);
}

void Timer_Repair() {
    // Not while the popup slides, so that it slides smoothly; never a step
    // inside another, should one ever wait on a box.
    if (g_repairing || Form2::IsSliding()) {
        return;
    }
    if (g_repairs.empty()) {
        KillTimer(g_form, kRepairTimer);
        return;
    }
    auto job = g_repairs.upper_bound(g_lastRepaired);
    if (job == g_repairs.end()) {
        job = g_repairs.begin();
    }
    g_lastRepaired = job->first;
    g_repairing = true;
    const StickRepair::Progress progress = job->second.Step(*g_os, kRepairStepMs);
    g_repairing = false;
    if (progress != StickRepair::Progress::Working) {
        g_repairs.erase(job);
    }
}

// A stick was plugged in. Its autorun.inf goes at once, before anything is
// shown, whichever drives are in already and whether or not a popup is open.
void OnVolumeArrival(std::uint32_t unitMask) {
    const std::wstring cleaned = CleanArrivedDrives(*g_os, unitMask);
    Form2::Show(g_instance, *g_os, cleaned.size() == 1 ? cleaned : DriveLetter());
    RefreshDriveLists();
    if (!cleaned.empty()) {
        PostMessageW(g_form, kForgetRememberedCommands, UnitMaskOf(cleaned), 0);
    }
    // Only a cleaned drive, removable or fixed, can be a stick to repair.
    for (wchar_t letter : cleaned) {
        if (IsStickDrive(*g_os, DriveLetter(1, letter))) {
            StartRepair(letter);
        }
    }
}

void OnForgetRememberedCommands(std::uint32_t unitMask) {
    for (wchar_t letter : DriveLettersOf(unitMask)) {
        ForgetRememberedCommands(*g_os, DriveLetter(1, letter));
    }
}

void OnVolumeRemoval(std::uint32_t unitMask) {
    // A pulled stick's repair has nothing left to work on.
    for (wchar_t letter : DriveLettersOf(unitMask)) {
        g_repairs.erase(letter);
    }
    // Further removals while the box is open get boxes of their own.
    g_os->ShowMessage(L"移动设备已经移除", MessageIcon::None, kAppTitle);
    RefreshDriveLists();
}

// Every WM_DEVICECHANGE the window hears. The record is read where Windows
// put it, and only as far as its own size says; a null lParam is no record.
void OnDeviceChange(WPARAM event, LPARAM record) {
    const DeviceBroadcast broadcast =
        ReadDeviceBroadcast(event, reinterpret_cast<const void*>(record));
    switch (broadcast.event) {
        case DeviceEvent::VolumeArrival:
            OnVolumeArrival(broadcast.unitMask);
            break;
        case DeviceEvent::VolumeRemoval:
            OnVolumeRemoval(broadcast.unitMask);
            break;
        case DeviceEvent::Other:
            break;
    }
}

// The stick already in when the program starts: cleaned, and named.
void RemindOfStickPresent() {
    g_sticksAtStart = CleanRemovableDrives(*g_os);
    if (!g_sticksAtStart.empty()) {
        const DriveLetter letter(1, g_sticksAtStart.back());
        g_os->ShowMessage(
            L"移动设备已存在,移动设备的盘符为" + letter + L": ,建议您使用安全方式打开",
            MessageIcon::Information, L"安全提醒");
    }
}

bool Form_Load(HWND window) {
    g_form = window;
    // Hooked before the reminder: a stick plugged in while it waits is
    // cleaned as any other. A second copy never hooks: the first one guards.
    if (!g_anotherCopyRuns) {
        monitor::HookWindow(window, OnDeviceChange);
    }
    RemindOfStickPresent();
    return true;
}

// The controls are made, and the drive lists and the check box filled, just
// before the window first shows. Most runs never open it: they rest in the
// tray without building it, and reach the tray sooner.
void Form_FirstShow() {
    if (Control(kCheck1)) {
        return;
    }
    layout::CreateControls(g_form, kForm, g_os->ScreenTwipsPerPixel());
    RefreshDriveLists();
    SendMessageW(Control(kCheck1), BM_SETCHECK, IsInStartup(*g_os) ? BST_CHECKED : BST_UNCHECKED,
                 0);
    g_lastFocus = Control(kCheck1);
}

// Back from the tray, as the user left it or not: normal, shown, in front.
void ShowFromTray() {
    ShowWindow(g_form, SW_SHOWNORMAL);
    SetForegroundWindow(g_form);
}

void ShowTrayMenu() {
    HMENU Y_menu = CreatePopupMenu();
    AppendMenuW(Y_menu, MF_STRING, kMenuOpen, L"打开程序(&O)");
    AppendMenuW(Y_menu, MF_STRING, kMenuEula, L"程序说明(&E)");
    AppendMenuW(Y_menu, MF_STRING, kMenuQuit, L"退    出(&U)");
    POINT at;
    GetCursorPos(&at);
    // Foreground first and WM_NULL after: otherwise the menu stays open when
    // the user clicks elsewhere.
    SetForegroundWindow(g_form);
    TrackPopupMenu(Y_menu, TPM_RIGHTBUTTON, at.x, at.y, 0, g_form, nullptr);
    PostMessageW(g_form, WM_NULL, 0, 0);
    DestroyMenu(Y_menu);
}

void Form_MouseMove(WPARAM wParam, LPARAM lParam) {
    switch (DecodeTrayNotification(wParam, lParam)) {
        case TrayGesture::LeftDoubleClick:
            ShowFromTray();
            break;
        case TrayGesture::RightButtonUp:
            ShowTrayMenu();
            break;
        case TrayGesture::None:
            break;
    }
}

// What hides the window into the tray (it only ever shows from there):
// - WM_SIZE with SIZE_MINIMIZED: a minimize, from the caption button, the
//   system menu or the keyboard; the window stays minimized while hidden;
// - WM_EXITSIZEMOVE after WM_SIZING: the end of a drag of the border.
// A restore (WM_SIZE with SIZE_RESTORED), as bringing the window back from
// the tray causes, and a plain move of the window never hide it.
void Form_Resize(WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED) {
        ShowWindow(g_form, SW_HIDE);
    }
}

void Form_ExitSizeMove() {
    if (g_resized) {
        ShowWindow(g_form, SW_HIDE);
    }
    g_resized = false;
}

void Command1_Click() {
    DisabledWhileGuarding busy;
    GuardDrive(*g_os, FindRemovableDrive(*g_os));
}

void Command2_Click() {
    OpenSafely(PickedDrive(kCombo1));
}

void Command3_Click() {
    Form3::Show(g_instance, *g_os);
}

void Command4_Click() {
    DisabledWhileGuarding busy;
    for (const DriveLetter& token : SplitDriveLetters(ListDriveRoots(*g_os))) {
        GuardDrive(*g_os, token);  // each drive whatever became of the previous one
    }
}

void Command5_Click() {
    const DriveLetter letter = PickedDrive(kCombo2);
    if (!IsDriveLetter(letter)) {
        return;
    }
    DisabledWhileGuarding busy;
    GuardDrive(*g_os, letter);
}

void Check1_Click() {
    HWND check = Control(kCheck1);
    const int value = SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    const int shown = ApplyStartupChoice(*g_os, value);
    SendMessageW(check, BM_SETCHECK, shown == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form_Command(int id, int code) {
    if (code != BN_CLICKED) {  // a menu item's code is 0 as well
        return;
    }
    switch (id) {
        case kMenuOpen:
            ShowFromTray();
            break;
        case kMenuEula:
            Form3::Show(g_instance, *g_os);
            break;
        case kMenuQuit:
            Quit();
        case kCommand1:
            Command1_Click();
            break;
        case kCommand2:
            Command2_Click();
            break;
        case kCommand3:
            Command3_Click();
            break;
        case kCommand4:
            Command4_Click();
            break;
        case kCommand5:
            Command5_Click();
            break;
        case kCheck1:
            Check1_Click();
            break;
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (layout::HandleCommonMessage(kForm, window, message, wParam, lParam, g_lastFocus, result)) {
        return result;
    }
    switch (message) {
        case WM_CREATE:
            return Form_Load(window) ? 0 : -1;
        case WM_SHOWWINDOW:
            if (wParam) {
                Form_FirstShow();
            }
            break;
        case WM_COMMAND:
            Form_Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_MOUSEMOVE:  // the tray icon's callback, and real mouse moves
            Form_MouseMove(wParam, lParam);
            return 0;
        case WM_SIZE:
            Form_Resize(wParam);
            return 0;
        case WM_SIZING:
            g_resized = true;
            break;
        case WM_EXITSIZEMOVE:
            Form_ExitSizeMove();
            return 0;
        case WM_CLOSE:  // the close button, the system menu, Alt+F4: to the tray
            ShowWindow(window, SW_HIDE);
            return 0;
        case WM_QUERYENDSESSION:
            // Yes, and nothing changes yet: another program may still cancel.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                Quit();
            }
            return 0;
        case WM_TIMER:
            if (wParam == kRepairTimer) {
                Timer_Repair();
            }
            return 0;
        case kForgetRememberedCommands:
            OnForgetRememberedCommands(static_cast<std::uint32_t>(wParam));
            return 0;
    }
    if (message == tray::TaskbarCreatedMessage()) {
        tray::RestoreTrayIcon(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND Create(HINSTANCE instance, Platform& os, bool anotherCopyRuns) {
    g_instance = instance;
    g_os = &os;
    g_anotherCopyRuns = anotherCopyRuns;
    if (!layout::RegisterFormClass(instance, kClassName, WindowProc)) {
        return nullptr;
    }
    // An owned window has no taskbar button: the program lives in the tray.
    // A tool-window style would do the same but change the caption and the
    // client area.
    HWND owner = CreateWindowExW(0, L"STATIC", kAppTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance, nullptr);
    return layout::CreateForm(instance, kForm, os.ScreenTwipsPerPixel(), owner);
}

bool Settle() {
    if (g_anotherCopyRuns) {
        g_os->ShowMessage(L"该程序已经运行一个，请不要重复运行", MessageIcon::Warning, L"提示");
        return false;
    }
    tray::AddTrayIcon(g_form, static_cast<UINT>(kTrayIconId), kAppTitle);
    // Once in the tray, so that reaching it takes no longer; a refused
    // second copy never gets here.
    if (!g_sticksAtStart.empty()) {
        PostMessageW(g_form, kForgetRememberedCommands, UnitMaskOf(g_sticksAtStart), 0);
    }
    for (wchar_t letter : g_sticksAtStart) {
        StartRepair(letter);
    }
    return true;
}

void Quit() {
    monitor::UnhookWindow(g_form);  // nothing to give back where nothing was hooked
    Form2::Close();
    tray::RemoveTrayIcon(g_form);
    ExitProcess(0);
}

HWND Window() {
    return g_form;
}

void OpenSafely(const DriveLetter& letter) {
    if (IsDriveLetter(letter)) {
        g_repairs.erase(letter[0]);
    }
    DisabledWhileGuarding busy;
    OpenDriveSafely(*g_os, letter);
}

void RefreshDriveLists() {
    HWND combo1 = Control(kCombo1);
    HWND combo2 = Control(kCombo2);
    if (!combo1 || !combo2) {
        return;  // filled when the window first shows
    }
    // Emptying an editable combo box's list empties its field as well.
    SendMessageW(combo1, CB_RESETCONTENT, 0, 0);
    SendMessageW(combo2, CB_RESETCONTENT, 0, 0);
    AddListItem(combo1, kPlaceholder);
    AddListItem(combo2, kPlaceholder);
    for (const DriveLetter& token : SplitDriveLetters(ListDriveRoots(*g_os))) {
        AddListItem(combo1, token);
        AddListItem(combo2, token);
    }
}

}  // namespace tovrane::Form1
