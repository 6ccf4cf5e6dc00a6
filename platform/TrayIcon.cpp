#include "platform/TrayIcon.h"

#include <shellapi.h>

namespace tovrane::tray {

namespace {

// The icon record as the shell of Windows XP reads it; later shells accept
// the same size.
NOTIFYICONDATAW g_record = {};
bool g_added = false;

bool Register(HWND window) {
    g_record.cbSize = NOTIFYICONDATAW_V2_SIZE;
    g_record.hWnd = window;
    g_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_record.uCallbackMessage = kCallbackMessage;
    g_record.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
    return Shell_NotifyIconW(NIM_ADD, &g_record) != FALSE;
}

}  // namespace

bool AddTrayIcon(HWND window, UINT id, const std::wstring& tip) {
    g_record.uID = id;
    const std::size_t first = tip.find_first_not_of(L' ');
    const std::wstring trimmed = first == std::wstring::npos
                                     ? L""
                                     : tip.substr(first, tip.find_last_not_of(L' ') - first + 1);
    lstrcpynW(g_record.szTip, trimmed.c_str(), ARRAYSIZE(g_record.szTip));
    // A second add for the same window and id is refused by the shell and
    // changes nothing: there is never more than one icon.
    const bool taken = Register(window);
    g_added = true;
    ShowWindow(window, SW_HIDE);
    return taken;
}

void RemoveTrayIcon(HWND window) {
    g_record.hWnd = window;
    Shell_NotifyIconW(NIM_DELETE, &g_record);
    g_added = false;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void RestoreTrayIcon(HWND window) {
    if (g_added) {
        Register(window);
    }
}

}  // namespace tovrane::tray
