// A small window with the kinds of controls Tovrane's main window has. The
// driver's tests drive it from another process; it writes what it received
// into its status line, where the tests read it back.
#include <windows.h>
#include <dbt.h>

#include <string>

#include "wine_tests.h"

namespace tovrane::wine {

namespace {

using namespace sample;

struct ControlSpec {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    DWORD style;
    RECT rect;
};

const ControlSpec kControls[] = {
    {L"Button", L"检查", kButton, BS_PUSHBUTTON | WS_TABSTOP, {10, 10, 90, 34}},
    {L"Button", L"自动保护", kCheckBox, BS_AUTOCHECKBOX | WS_TABSTOP, {10, 44, 130, 64}},
    {L"ComboBox", L"", kCombo, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, {10, 74, 130, 174}},
    {L"Static", L"", kStatus, SS_LEFT, {10, 110, 300, 130}},
};

void SetStatus(HWND window, const std::wstring& text) {
    SetDlgItemTextW(window, kStatus, text.c_str());
}

void OnCreate(HWND window) {
    for (const ControlSpec& c : kControls) {
        CreateWindowExW(0, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, c.rect.left,
                        c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    }
    for (const wchar_t* item : {L"D:", L"E:", L"可移动磁盘 (F:)"}) {
        SendDlgItemMessageW(window, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
}

void OnCommand(HWND window, int id, int code) {
    wchar_t text[64] = {};
    if (id == kButton && code == BN_CLICKED) {
        MessageBoxW(window, L"盘符 E: 已检查", L"安全提醒", MB_OK | MB_ICONINFORMATION);
        SetStatus(window, L"box closed");
    } else if (id == kCheckBox && code == BN_CLICKED) {
        SetStatus(window, IsDlgButtonChecked(window, kCheckBox) ? L"check 1" : L"check 0");
    } else if (id == kCombo && code == CBN_SELCHANGE) {
        const LRESULT index = SendDlgItemMessageW(window, kCombo, CB_GETCURSEL, 0, 0);
        SendDlgItemMessageW(window, kCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        SetStatus(window, L"sel " + std::wstring(text));
    } else if (id == kCombo && code == CBN_EDITCHANGE) {
        GetDlgItemTextW(window, kCombo, text, 64);
        SetStatus(window, L"edit " + std::wstring(text));
    }
}

void OnDeviceChange(HWND window, WPARAM event, LPARAM record) {
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(record);
    if (!volume || volume->dbcv_devicetype != DBT_DEVTYP_VOLUME) {
        return;
    }
    std::wstring letters;
    for (int bit = 0; bit < 26; ++bit) {
        if (volume->dbcv_unitmask & (1u << bit)) {
            letters += static_cast<wchar_t>(L'A' + bit);
        }
    }
    SetStatus(window, (event == DBT_DEVICEARRIVAL ? L"arrival " : L"removal ") + letters);
}

LRESULT CALLBACK SampleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DEVICECHANGE:
            if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) {
                OnDeviceChange(window, wParam, lParam);
            }
            return TRUE;
        case kTrayMessage:
            SetStatus(window, L"tray " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunSampleWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SampleProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"样本窗口", WS_OVERLAPPEDWINDOW,
                                  100, 100, 360, 200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, kButton));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // The dialog manager gives the window Tab navigation between controls.
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}

}  // namespace tovrane::wine
