#include "driver/Driver.h"

#include <shellapi.h>

#include <utility>

namespace tovrane::driver {

namespace {

// How long the target may take to answer one sent message: a hung program
// fails the test instead of hanging it.
constexpr UINT kAnswerTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    const bool answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL,
                                              kAnswerTimeoutMs, &answer) != 0;
    if (result) {
        *result = answered ? static_cast<LRESULT>(answer) : 0;
    }
    return answered;
}

struct WindowQuery {
    std::wstring className;  // empty: any
    std::wstring titlePart;  // empty: any
    DWORD processId;         // 0: any
    Until until;
    bool withText;  // a message box: its text static must hold text
    HWND found;
};

// The static that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;

// The caption as the system keeps it: unlike WM_GETTEXT, asking costs the
// window's owner nothing, so a hung program does not slow the search.
std::wstring TitleOf(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return title;
}

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM lParam) {
    auto& query = *reinterpret_cast<WindowQuery*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((query.processId != 0 && owner != query.processId) ||
        (!query.className.empty() && ClassOf(window) != query.className) ||
        (!query.titlePart.empty() && TitleOf(window).find(query.titlePart) == std::wstring::npos) ||
        (query.until == Until::Shown && !IsWindowVisible(window)) ||
        (query.withText && TextOf(GetDlgItem(window, kMessageTextId)).empty())) {
        return TRUE;
    }
    query.found = window;
    return FALSE;
}

HWND FindTop(WindowQuery query, DWORD timeoutMs) {
    WaitUntil(
        [&] {
            EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        timeoutMs);
    return query.found;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) {
            return done();
        }
        Sleep(kPollMs);
    }
    return true;
}

Process::~Process() {
    if (handle_) {
        CloseHandle(handle_);
    }
}

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(id_, other.id_);
    return *this;
}

bool Process::WaitForExit(DWORD timeoutMs) {
    return handle_ && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (handle_) {
        GetExitCodeProcess(handle_, &code);
    }
    return code;
}

Process StartProgram(const std::wstring& application, const std::wstring& commandLine,
                     const std::wstring& currentDir) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;  // CreateProcessW may write into it
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), &line[0], nullptr,
                        nullptr, FALSE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &startup, &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

HWND FindTopWindow(const std::wstring& className, const std::wstring& titlePart, DWORD timeoutMs,
                   Until until, DWORD processId) {
    return FindTop({className, titlePart, processId, until, false, nullptr}, timeoutMs);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    LRESULT length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied);
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::vector<Control> ListControls(HWND parent) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        controls.push_back({child, ClassOf(child), TextOf(child), GetDlgCtrlID(child), rect});
    }
    return controls;
}

// Posted, not sent: a click that opens a modal box would otherwise keep the
// caller waiting until somebody closed it.
void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool IsChecked(HWND checkBox) {
    LRESULT state = BST_UNCHECKED;
    Send(checkBox, BM_GETCHECK, 0, 0, &state);
    return state == BST_CHECKED;
}

void SetChecked(HWND checkBox, bool checked) {
    if (IsChecked(checkBox) != checked) {
        Click(checkBox);
        WaitUntil([&] { return IsChecked(checkBox) == checked; }, kAnswerTimeoutMs);
    }
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    LRESULT count = 0;
    Send(combo, CB_GETCOUNT, 0, 0, &count);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        Send(combo, CB_GETLBTEXTLEN, i, 0, &length);
        std::wstring item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]), &length);
        item.resize(static_cast<size_t>(length > 0 ? length : 0));
        items.push_back(item);
    }
    return items;
}

bool SetComboText(HWND combo, const std::wstring& text) {
    // Text set with WM_SETTEXT reaches the field without any notification.
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (!edit || !Send(edit, EM_SETSEL, 0, -1)) {
        return false;
    }
    // The first key replaces the selection; a Backspace alone empties it.
    const std::wstring keys = text.empty() ? std::wstring(1, L'\b') : text;
    for (wchar_t key : keys) {
        PostMessageW(edit, WM_CHAR, key, 1);
    }
    return WaitUntil([&] { return TextOf(combo) == text; }, kAnswerTimeoutMs);
}

bool ChooseComboItem(HWND combo, int index) {
    LRESULT selected = CB_ERR;
    if (!Send(combo, CB_SETCURSEL, index, 0, &selected) || selected != index) {
        return false;
    }
    // CB_SETCURSEL does not notify; the owner learns of a choice from this.
    return PostMessageW(GetParent(combo), WM_COMMAND,
                        MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo)) != FALSE;
}

HWND FindMessageBox(DWORD processId, DWORD timeoutMs) {
    // The box is listed before its dialog procedure has set the text.
    return FindTop({L"#32770", L"", processId, Until::Shown, true, nullptr}, timeoutMs);
}

std::wstring MessageBoxText(HWND box) {
    return TextOf(GetDlgItem(box, kMessageTextId));
}

void PressOk(HWND box) {
    Click(GetDlgItem(box, IDOK));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool PostTab(HWND window) {
    HWND focus = FocusOf(window);
    return focus && PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0x000F0001) &&
           PostMessageW(focus, WM_KEYUP, VK_TAB, 0xC00F0001);
}

bool HasTrayIcon(HWND owner, UINT id) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = owner;
    icon.uID = id;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

namespace {

void SendMouse(DWORD flags, POINT at) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

}  // namespace

bool ClickTrayIcon(bool rightButton, int clicks) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT bar = {};
    if (!taskbar || !GetWindowRect(taskbar, &bar) || bar.bottom <= bar.top) {
        return false;
    }
    // Wine's taskbar draws its first icon rightmost, in a slot as wide as a
    // small icon and its border of 2 px on each side.
    const int slot = GetSystemMetrics(SM_CXSMICON) + 4;
    const POINT at = {bar.right - slot / 2, (bar.top + bar.bottom) / 2};
    // A popup sliding up over the taskbar would take the clicks.
    if (!WaitUntil([&] { return GetAncestor(WindowFromPoint(at), GA_ROOT) == taskbar; }, 5000)) {
        return false;
    }
    SendMouse(MOUSEEVENTF_MOVE, at);
    const DWORD down = rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    const DWORD up = rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    for (int i = 0; i < clicks; ++i) {
        SendMouse(down, at);
        SendMouse(up, at);
    }
    return true;
}

bool ChooseFromTrayMenu(DWORD processId, wchar_t accelerator) {
    if (!ClickTrayIcon(true, 1)) {
        return false;
    }
    // Another process cannot read the menu under Wine, but its window takes
    // the accelerator key as the user's.
    HWND menu = FindTopWindow(L"#32768", L"", kAnswerTimeoutMs, Until::Shown, processId);
    return menu && PostMessageW(menu, WM_CHAR, accelerator, 0);
}

}  // namespace tovrane::driver
