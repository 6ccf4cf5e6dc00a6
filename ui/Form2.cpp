#include "ui/Form2.h"

#include <iterator>
#include <string>

#include "core/PopupGeometry.h"
#include "ui/Form1.h"
#include "ui/Layout.h"

namespace tovrane::Form2 {

namespace {

using layout::ControlSpec;
using layout::Kind;

// clang-format off
constexpr ControlSpec kControls[] = {
    // name       kind                    id         frame left  top   width height tab
    {L"Label2",   Kind::TransparentLabel, kLabel2,   0,    360,  120,  3015, 255,   3,
        L"本窗口将于 10 秒后自动关闭"},
    {L"Label1",   Kind::TransparentLabel, kLabel1,   0,    120,  600,  2895, 495,   0,
        L"发现有移动设备插入,请问是否进行安全打开"},
    {L"Command1", Kind::Button,           kCommand1, 0,    120,  1440, 1215, 375,   1,
        L"是(&Y)"},
    {L"Command2", Kind::Button,           kCommand2, 0,    1560, 1440, 1335, 375,   2,
        L"否(&N)"},
};

constexpr layout::FormSpec kForm = {kClassName, L"", kPopupWidthTwips, kPopupHeightTwips,
                                    kControls, std::size(kControls)};
// clang-format on

// Timer1 slides the popup up; Timer2 counts the seconds once it rests.
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Ms = 10;
constexpr UINT_PTR kTimer2 = 2;
constexpr UINT kTimer2Ms = 1000;
constexpr int kCountdownSeconds = 10;

constexpr COLORREF kRed = RGB(255, 0, 0);

// No caption, no border, out of the taskbar (a tool window), and above
// ordinary windows so that the notice is seen.
constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;

// Every move and every raise leaves the focus where the user has it: a
// keystroke meant for another window must never answer the popup.
constexpr UINT kMoveQuietly = SWP_NOSIZE | SWP_NOACTIVATE;

Platform* g_os = nullptr;
HWND g_form = nullptr;
HWND g_lastFocus = nullptr;  // the control that gets the focus back on activation
DriveLetter g_arrived;       // the drive the latest arrival named, if exactly one
// Both start at 0 with each load: every arrival slides in from below and
// counts a full ten seconds.
int g_slideOffset = 0;       // twips risen above the work area's bottom
int g_countdownSeconds = 0;  // seconds counted since the popup came to rest

ScreenRect WorkArea() {
    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return {work.left, work.top, work.right, work.bottom};
}

PopupPlacement Placement() {
    return PlacePopup(WorkArea(), g_os->ScreenTwipsPerPixel(), g_slideOffset);
}

// "楷体_GB2312" 12 pt in the GB2312 character set, for the question; it
// lives as long as the program.
HFONT QuestionFont() {
    static const HFONT font = [] {
        HFONT kai = layout::CreateChineseFont(L"楷体_GB2312", 12);
        return kai ? kai : layout::FormFont();
    }();
    return font;
}

// -- handlers ---------------------------------------------------------------

bool Form_Load(HWND window) {
    g_form = window;
    g_slideOffset = 0;
    g_countdownSeconds = 0;
    layout::CreateControls(window, kForm, g_os->ScreenTwipsPerPixel());
    SendDlgItemMessageW(window, kLabel1, WM_SETFONT, reinterpret_cast<WPARAM>(QuestionFont()),
                        FALSE);
    g_lastFocus = GetDlgItem(window, kCommand1);
    SetTimer(window, kTimer1, kTimer1Ms, nullptr);
    return true;
}

void Timer1_Timer() {
    g_slideOffset += kSlideStepTwips;
    const PopupPlacement at = Placement();
    SetWindowPos(g_form, HWND_TOPMOST, at.left, at.top, 0, 0, kMoveQuietly);
    if (PopupIsResting(g_slideOffset)) {
        KillTimer(g_form, kTimer1);
        SetTimer(g_form, kTimer2, kTimer2Ms, nullptr);
        g_countdownSeconds = 0;
    }
}

void Timer2_Timer() {
    ++g_countdownSeconds;
    if (g_countdownSeconds > kCountdownSeconds) {
        Close();
        return;
    }
    // wsprintfW, not std::to_wstring: the latter links MinGW's own printf,
    // floating point included, some 28 KB of Tovrane.exe.
    wchar_t seconds[12];
    wsprintfW(seconds, L"%d", kCountdownSeconds - g_countdownSeconds);
    const std::wstring text = L"本窗口将于 " + std::wstring(seconds) + L" 秒关闭";
    SetDlgItemTextW(g_form, kLabel2, text.c_str());
}

void Command1_Click() {
    const DriveLetter letter = g_arrived.empty() ? FindRemovableDrive(*g_os) : g_arrived;
    // Closed first: a warning that nothing was opened must not sit behind a
    // topmost popup that counts down meanwhile.
    Close();
    Form1::OpenSafely(letter);
}

void Command2_Click() {
    KillTimer(g_form, kTimer2);
    Close();
}

void Form_Unload() {
    KillTimer(g_form, kTimer2);
    KillTimer(g_form, kTimer1);
    g_form = nullptr;
    g_lastFocus = nullptr;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC) {
        // Red on the window's own colour: the countdown label changes its
        // text, and a hollow brush would leave the old digits showing.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kRed);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    LRESULT result = 0;
    if (layout::HandleCommonMessage(kForm, window, message, wParam, lParam, g_lastFocus, result)) {
        return result;
    }
    switch (message) {
        case WM_CREATE:
            return Form_Load(window) ? 0 : -1;
        case WM_TIMER:
            if (wParam == kTimer1) {
                Timer1_Timer();
            } else if (wParam == kTimer2) {
                Timer2_Timer();
            }
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCommand1) {
                Command1_Click();
            } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCommand2) {
                Command2_Click();
            }
            return 0;
        case WM_DESTROY:
            Form_Unload();
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void Show(HINSTANCE instance, Platform& os, const DriveLetter& arrived) {
    g_arrived = arrived;
    if (g_form) {
        SetWindowPos(g_form, HWND_TOPMOST, 0, 0, 0, 0, kMoveQuietly | SWP_NOMOVE);
        return;
    }
    g_os = &os;
    if (!layout::RegisterFormClass(instance, kClassName, WindowProc)) {
        return;
    }
    // Made just below the work area, where the slide starts.
    const PopupPlacement at = PlacePopup(WorkArea(), os.ScreenTwipsPerPixel(), 0);
    if (!CreateWindowExW(kExStyle, kClassName, L"", kStyle, at.left, at.top, at.width, at.height,
                         nullptr, nullptr, instance, nullptr)) {
        return;
    }
    ShowWindow(g_form, SW_SHOWNOACTIVATE);
}

void Close() {
    if (g_form) {
        DestroyWindow(g_form);
    }
}

HWND Window() {
    return g_form;
}

bool IsSliding() {
    return g_form && !PopupIsResting(g_slideOffset);
}

}  // namespace tovrane::Form2
