// Program entry: the one platform object, the main window and the message
// loop.
#include <windows.h>
#include <commctrl.h>

#include "platform/Win32Platform.h"
#include "ui/Form1.h"
#include "ui/Form3.h"

namespace {

// The windows are plain windows with dialog keyboard handling: Tab, arrows,
// Enter and Alt+letter work as in a dialog box.
bool IsFormKeyboardMessage(MSG& message) {
    for (HWND form : {tovrane::Form1::Window(), tovrane::Form3::Window()}) {
        if (form && IsDialogMessageW(form, &message)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // A drive without a medium must fail quietly, never with the system's
    // "no disk" box: the program looks at every drive.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // The manifest asks for version 6 of the common controls, which must be
    // loaded before the first window is made.
    InitCommonControls();

    tovrane::Win32Platform os;
    if (!tovrane::Form1::Show(instance, os, show)) {
        return 1;
    }

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
