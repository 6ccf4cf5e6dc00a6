#include "driver/Driver.h"

#include <cstdio>

namespace tovrane::driver {

namespace {

// How long the target may take to answer one sent message: a hung program
// fails the test instead of hanging it.
constexpr UINT kAnswerTimeoutMs = 5000;
constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text

// The window's answer; CB_ERR (-1) when it gave none within the bound.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                               &answer)
               ? static_cast<LRESULT>(answer)
               : CB_ERR;
}

// An answer taken as a length: none for an error (CB_ERR from a list that
// was emptied meanwhile).
size_t Length(LRESULT answer) {
    return answer > 0 ? static_cast<size_t>(answer) : 0;
}

// A top-level window of `className` and of process `processId` (0: any) that
// `matches` within `timeoutMs`.
HWND FindTop(const std::wstring& className, DWORD processId, DWORD timeoutMs,
             const std::function<bool(HWND)>& matches) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            while ((found = FindWindowExW(nullptr, found, className.c_str(), nullptr))) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if ((!processId || owner == processId) && matches(found)) {
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(20)) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
    }
    return true;
}

bool Gone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return exe.substr(0, exe.rfind(L'\\'));
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

bool Process::WaitForExit(DWORD timeoutMs) const {
    return handle && WaitForSingleObject(handle.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    return handle && GetExitCodeProcess(handle.get(), &code) ? code : STILL_ACTIVE;
}

Process StartProgram(const std::wstring& application, const std::wstring& commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;  // CreateProcessW may write into it
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), &line[0], nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return {std::shared_ptr<void>(info.hProcess, CloseHandle), info.dwProcessId};
}

HWND FindTopWindow(const std::wstring& className, const std::wstring& titlePart, DWORD timeoutMs,
                   Until until, DWORD processId) {
    return FindTop(className, processId, timeoutMs, [&](HWND window) {
        // The caption as the system keeps it: unlike WM_GETTEXT, reading it
        // asks the owner nothing, so a hung program does not slow the search.
        wchar_t title[512] = {};
        GetWindowTextW(window, title, 512);
        return std::wstring(title).find(titlePart) != std::wstring::npos &&
               (until == Until::Exists || IsWindowVisible(window));
    });
}

std::wstring TextOf(HWND window) {
    std::wstring text(Length(Send(window, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(Length(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

std::vector<Control> ListControls(HWND parent) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        controls.push_back({child, TextOf(child), GetDlgCtrlID(child), rect});
    }
    return controls;
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool IsChecked(HWND checkBox) {
    return Send(checkBox, BM_GETCHECK) == BST_CHECKED;
}

std::string ComboItems(HWND combo) {
    std::string items;
    for (size_t i = 0, count = Length(Send(combo, CB_GETCOUNT)); i < count; ++i) {
        std::wstring item(Length(Send(combo, CB_GETLBTEXTLEN, i)) + 1, L'\0');
        item.resize(Length(Send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]))));
        items += "\"" + Utf8(item) + "\" ";
    }
    return items;
}

bool SetComboText(HWND combo, const std::wstring& text) {
    // Text set with WM_SETTEXT would reach the field without a notification.
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (!edit ||
        !SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, kAnswerTimeoutMs, nullptr)) {
        return false;
    }
    // The first key replaces the selection; a Backspace alone empties it.
    for (wchar_t key : text.empty() ? std::wstring(1, L'\b') : text) {
        PostMessageW(edit, WM_CHAR, key, 1);
    }
    return WaitUntil([&] { return TextOf(combo) == text; }, kAnswerTimeoutMs);
}

bool ChooseComboItem(HWND combo, int index) {
    // CB_SETCURSEL does not notify; the owner learns of a choice from this.
    return Send(combo, CB_SETCURSEL, index) == index &&
           PostMessageW(GetParent(combo), WM_COMMAND,
                        MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo));
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
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

bool TrayIcon(HWND owner, DWORD message) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = owner;
    icon.uID = 1;
    return Shell_NotifyIconW(message, &icon);
}

bool ClickTrayIcon(bool rightButton, int clicks) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT bar = {};
    if (!taskbar || !GetWindowRect(taskbar, &bar) || bar.bottom <= bar.top) {
        return false;
    }
    // Wine's taskbar draws its first icon rightmost, in a slot as wide as a
    // small icon and its border of 2 px on each side.
    const POINT at = {bar.right - (GetSystemMetrics(SM_CXSMICON) + 4) / 2,
                      (bar.top + bar.bottom) / 2};
    // A popup sliding up over the taskbar would take the clicks.
    if (!WaitUntil([&] { return GetAncestor(WindowFromPoint(at), GA_ROOT) == taskbar; }, 5000)) {
        return false;
    }
    // One SendInput for the move and every click: a double-click split by the
    // scheduler of a loaded machine would arrive as two single clicks.
    const DWORD down = rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    const DWORD up = rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    std::vector<INPUT> inputs(1 + 2 * clicks);
    for (size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        inputs[i].mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        inputs[i].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | (i == 0  ? MOUSEEVENTF_MOVE
                                                       : i % 2 ? down
                                                               : up);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

bool ChooseFromTrayMenu(DWORD processId, wchar_t accelerator) {
    // Another process cannot read the menu under Wine, but its window takes
    // the accelerator key as the user's.
    HWND menu = ClickTrayIcon(true, 1)
                    ? FindTopWindow(L"#32768", L"", kAnswerTimeoutMs, Until::Shown, processId)
                    : nullptr;
    return menu && PostMessageW(menu, WM_CHAR, accelerator, 0);
}

bool Resident::Start(const std::wstring& exe) {
    process = StartProgram(exe, exe.substr(exe.rfind(L'\\') + 1));
    form = process.Started()
               ? FindTopWindow(L"TovraneForm1", L"", kBoundMs, Until::Exists, process.id)
               : nullptr;
    return form != nullptr;
}

bool Resident::Settled() const {
    return WaitUntil([&] { return TrayIcon(form) && !IsWindowVisible(form); }, kBoundMs);
}

bool Resident::ShowFromTray() const {
    // The first double-click of a session, on a shell still starting on a
    // loaded machine, can go unseen: a user would double-click again.
    for (int tries = 0; tries < 3; ++tries) {
        if (ClickTrayIcon(false, 2) &&
            WaitUntil([&] { return IsWindowVisible(form) != FALSE; }, kBoundMs / 3)) {
            return true;
        }
    }
    return false;
}

bool Resident::End() {
    if (!process.Started() || process.WaitForExit(0)) {
        return true;
    }
    // A popup sliding up over the taskbar would take the tray click; and a
    // click still on its way to the popup would end the tray menu (the
    // button takes the mouse capture from the menu): it is waited out.
    CloseBoxes();
    if (HWND popup = FindTopWindow(L"TovraneForm2", L"", 0, Until::Exists, process.id)) {
        Click(GetDlgItem(popup, 102));  // 否(&N)
        Gone(popup);
    }
    if (ChooseFromTrayMenu(process.id, L'u') && Ended()) {
        return true;
    }
    TerminateProcess(process.handle.get(), 1);
    process.WaitForExit(kBoundMs);
    return false;
}

int Resident::Count(const wchar_t* className) const {
    int count = 0;
    FindTop(className, process.id, 0, [&](HWND) { return ++count, false; });
    return count;
}

HWND Resident::Box(DWORD timeoutMs) const {
    // The box is listed before its dialog procedure has set the text.
    return FindTop(L"#32770", process.id, timeoutMs,
                   [](HWND box) { return IsWindowVisible(box) && !MessageBoxText(box).empty(); });
}

void Resident::CloseBoxes() const {
    while (HWND box = Box(0)) {
        PressOk(box);
        Gone(box);
    }
}

bool Resident::Answers() const {
    return SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs, nullptr) != 0;
}

}  // namespace tovrane::driver

namespace tovrane::probe {

std::string Ask(HWND window, Question question, LPARAM about) {
    HMODULE dll = LoadLibraryW((driver::ProgramFolder() + L"\\probe.dll").c_str());
    auto hook =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeHook")));
    HHOOK installed = hook ? SetWindowsHookExW(WH_CALLWNDPROC, hook, dll,
                                               GetWindowThreadProcessId(window, nullptr))
                           : nullptr;
    DeleteFileW(kAnswerFile);
    std::wstring answer(512, L'\0');
    DWORD read = 0;
    if (installed && SendMessageTimeoutW(window, RegisterWindowMessageW(kMessage), question, about,
                                         SMTO_NORMAL, driver::kBoundMs, nullptr)) {
        HANDLE file = CreateFileW(kAnswerFile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ReadFile(file, &answer[0], static_cast<DWORD>(answer.size() * 2), &read, nullptr);
        CloseHandle(file);
    }
    if (installed) {
        UnhookWindowsHookEx(installed);
    }
    FreeLibrary(dll);
    return driver::Utf8(answer.substr(0, read / 2));
}

}  // namespace tovrane::probe
