#include "driver/Resident.h"

namespace tovrane::driver {

namespace {

constexpr DWORD kBoundMs = 10000;

}  // namespace

bool Resident::Start(const std::wstring& exe, const std::wstring& currentDir) {
    process = StartProgram(exe, exe.substr(exe.rfind(L'\\') + 1), currentDir);
    form = process.Started()
               ? FindTopWindow(L"TovraneForm1", L"", kBoundMs, Until::Exists, process.Id())
               : nullptr;
    return form != nullptr;
}

std::wstring Resident::AnswerReminder() {
    HWND box = nullptr;
    WaitUntil([&] { return (box = Box(0)) != nullptr || HasTrayIcon(form); }, kBoundMs);
    const std::wstring text = box ? MessageBoxText(box) : L"";
    CloseBoxes();
    return text;
}

bool Resident::Settled() const {
    return WaitUntil([&] { return HasTrayIcon(form) && !IsWindowVisible(form); }, kBoundMs);
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

bool Resident::Quit() {
    return ChooseFromTrayMenu(process.Id(), L'u') && process.WaitForExit(kBoundMs) &&
           process.ExitCode() == 0;
}

bool Resident::End() {
    if (!process.Started() || process.WaitForExit(0)) {
        return true;
    }
    Dismiss();  // a popup sliding up over the taskbar would take the tray click
    if (Quit()) {
        return true;
    }
    TerminateProcess(process.handle.get(), 1);
    process.WaitForExit(kBoundMs);
    return false;
}

int Resident::Count(const wchar_t* className) const {
    int count = 0;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        count += owner == process.Id();
    }
    return count;
}

void Resident::CloseBoxes() const {
    while (HWND box = Box(0)) {
        PressOk(box);
        WaitUntil([&] { return !IsWindow(box); }, kBoundMs);
    }
}

void Resident::Dismiss() const {
    CloseBoxes();
    if (HWND popup = FindTopWindow(L"TovraneForm2", L"", 0, Until::Exists, process.Id())) {
        Click(GetDlgItem(popup, 102));  // 否(&N)
        WaitUntil([&] { return !IsWindow(popup); }, kBoundMs);
    }
}

bool Resident::Answers() const {
    return SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr) != 0;
}

}  // namespace tovrane::driver
