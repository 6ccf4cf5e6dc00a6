// Program entry: one copy per session, the platform object, the main window
// settled into the tray, and the message loop.
#include <windows.h>
#include <commctrl.h>

#include "platform/Win32Platform.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"

namespace {

// One copy per session, whatever the executable is called: the startup copy
// kelvo.exe and Tovrane.exe are the same program. The mutex lives as long
// as the process.
bool AnotherCopyRuns() {
    CreateMutexW(nullptr, FALSE, L"Local\\Tovrane.SingleInstance");
    return GetLastError() == ERROR_ALREADY_EXISTS;
}

// The windows are plain windows with dialog keyboard handling: Tab, arrows,
// Enter and Alt+letter work as in a dialog box.
bool IsFormKeyboardMessage(MSG& message) {
    for (HWND form :
         {tovrane::Form1::Window(), tovrane::Form2::Window(), tovrane::Form3::Window()}) {
        if (form && IsDialogMessageW(form, &message)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // A drive without a medium must fail quietly, never with the system's
    // "no disk" box: the program looks at every drive.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // The manifest asks for version 6 of the common controls, which must be
    // loaded before the first window is made.
    InitCommonControls();

    const bool anotherCopyRuns = AnotherCopyRuns();
    tovrane::Win32Platform os;
    HWND main = tovrane::Form1::Create(instance, os, anotherCopyRuns);
    if (!main) {
        return 1;
    }
    os.SetMainWindow(main);
    if (!tovrane::Form1::Settle()) {
        return 0;
    }

    // The program ends through Form1::Quit, never by leaving this loop.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsFormKeyboardMessage(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
