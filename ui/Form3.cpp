#include "ui/Form3.h"

#include <iterator>
#include <string>

#include "ui/Layout.h"
#include "ui/Version.h"

namespace tovrane::Form3 {

namespace {

using layout::ControlSpec;
using layout::Kind;

#define TOVRANE_HOME_PAGE L"http://tovrane.example.org/"
#define TOVRANE_MAIL L"tovrane@example.org"

// clang-format off
constexpr ControlSpec kControls[] = {
    // name       kind                    id         frame left  top   width height tab
    {L"Label1",   Kind::TransparentLabel, kLabel1,   0,    120,  120,  3135, 495,   0,
        L"一、本程序是一个防止移动设备里的病毒感染本机的一个程序。"},
    {L"Label2",   Kind::TransparentLabel, kLabel2,   0,    120,  600,  3135, 495,   1,
        L"二、对于已经中毒了U盘病毒的电脑，该软件就会无效。"},
    {L"Label6",   Kind::TransparentLabel, kLabel6,   0,    120,  1080, 3135, 495,   5,
        L"三、该软件写入启动项，杀毒软件会有提示，这属于正常，允许通过就可以了"},
    {L"Label7",   Kind::TransparentLabel, kLabel7,   0,    120,  1560, 3135, 495,   6,
        L"四、程序安全打开方式不会激活移动设备里的U盘病毒"},
    {L"Label3",   Kind::TransparentLabel, kLabel3,   0,    120,  2040, 3135, 855,   2,
        L"五、本软件只是为了学习以及兴趣了编写，软件中有许多BUG 是很正常的，"
        L"也希望大家能够多提宝贵意见！我会努力去改正她。"},
    {L"Label4",   Kind::TransparentLabel, kLabel4,   0,    0,    2880, 3255, 255,   3,
        L"" TOVRANE_COPYRIGHT L" 版权所有"},
    {L"Label5",   Kind::LinkLabel,        kLabel5,   0,    120,  3240, 3135, 255,   4,
        L"作者Blog: " TOVRANE_HOME_PAGE},
    {L"Label9",   Kind::TransparentLabel, kLabel9,   0,    120,  3600, 3015, 255,   8,
        L"本人邮箱:" TOVRANE_MAIL},
    {L"Command1", Kind::Button,           kCommand1, 0,    720,  3960, 1695, 495,   7,
        L"给软件提建议(&S)"},
};

// Client area 3360 x 4545 twips.
constexpr layout::FormSpec kForm = {kClassName, kTitle, 3360, 4545,
                                    kControls, std::size(kControls)};
// clang-format on

Platform* g_os = nullptr;
HWND g_form = nullptr;
HWND g_lastFocus = nullptr;  // the control that gets the focus back on activation

// The file manager hands a web address to the browser and a mailto: address
// to the mail program; it is started by its full path, never searched for.
void OpenWithFileManager(const std::wstring& address) {
    g_os->StartProgram(g_os->WindowsFolder() + L"\\explorer.exe", L"explorer.exe " + address,
                       ShowStyle::MinimizedWithFocus);
}

// The hand of a link; Windows before 2000 has none, the arrow does then.
HCURSOR LinkCursor() {
    static const HCURSOR cursor = [] {
        HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
        return hand ? hand : LoadCursorW(nullptr, IDC_ARROW);
    }();
    return cursor;
}

// -- handlers ---------------------------------------------------------------

bool Form_Load(HWND window) {
    g_form = window;
    layout::CreateControls(window, kForm, g_os->ScreenTwipsPerPixel());
    g_lastFocus = GetDlgItem(window, kCommand1);
    return true;
}

void Command1_Click() {
    OpenWithFileManager(L"mailto:" TOVRANE_MAIL);
}

void Label5_Click() {
    OpenWithFileManager(TOVRANE_HOME_PAGE);
}

void Form_Command(int id, int code) {
    if (code != BN_CLICKED) {  // STN_CLICKED too: both are 0
        return;
    }
    switch (id) {
        case kCommand1:
            Command1_Click();
            break;
        case kLabel5:
            Label5_Click();
            break;
    }
}

bool Form_SetCursor(HWND under) {
    if (under != GetDlgItem(g_form, kLabel5)) {
        return false;
    }
    SetCursor(LinkCursor());
    return true;
}

void Form_Unload() {
    g_form = nullptr;
    g_lastFocus = nullptr;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (layout::HandleCommonMessage(kForm, window, message, wParam, lParam, g_lastFocus, result)) {
        return result;
    }
    switch (message) {
        case WM_CREATE:
            return Form_Load(window) ? 0 : -1;
        case WM_COMMAND:
            Form_Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_SETCURSOR:
            if (Form_SetCursor(reinterpret_cast<HWND>(wParam))) {
                return TRUE;
            }
            break;
        case WM_DESTROY:
            Form_Unload();
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void Show(HINSTANCE instance, Platform& os) {
    if (g_form) {
        if (IsIconic(g_form)) {
            ShowWindow(g_form, SW_RESTORE);
        }
        SetForegroundWindow(g_form);
        return;
    }
    g_os = &os;
    if (!layout::RegisterFormClass(instance, kClassName, WindowProc) ||
        !layout::CreateForm(instance, kForm, os.ScreenTwipsPerPixel())) {
        return;
    }
    ShowWindow(g_form, SW_SHOW);
}

HWND Window() {
    return g_form;
}

}  // namespace tovrane::Form3
