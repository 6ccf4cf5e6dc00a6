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
    if (!box) {
        return {};
    }
    const std::wstring text = MessageBoxText(box);
    PressOk(box);
    WaitUntil([&] { return !IsWindow(box); }, kBoundMs);
    return text;
}

bool Resident::Settled() const {
    return WaitUntil([&] { return HasTrayIcon(form) && !IsWindowVisible(form); }, kBoundMs);
}

bool Resident::ShowFromTray() const {
    return ClickTrayIcon(false, 2) &&
           WaitUntil([&] { return IsWindowVisible(form) != FALSE; }, kBoundMs);
}

bool Resident::Quit() {
    return ChooseFromTrayMenu(process.Id(), L'u') && process.WaitForExit(kBoundMs) &&
           process.ExitCode() == 0;
}

void Resident::CloseBoxes() const {
    while (HWND box = Box(0)) {
        PressOk(box);
        WaitUntil([&] { return !IsWindow(box); }, kBoundMs);
    }
}

bool Resident::Answers() const {
    return SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr) != 0;
}

}  // namespace tovrane::driver
