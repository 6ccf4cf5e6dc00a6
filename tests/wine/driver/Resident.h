// One Tovrane.exe driven as a user meets it: started, its reminder of a
// stick already in answered, shown from the tray by a real double-click on
// its icon, and quit from its tray menu. Needs Wine's virtual desktop.
#pragma once

#include "driver/Driver.h"

namespace tovrane::driver {

class Resident {
public:
    // Starts `exe` (named as its file) in `currentDir`; true once its main
    // window exists. A second Start forgets the first process.
    bool Start(const std::wstring& exe, const std::wstring& currentDir);
    // Waits for the start to end: with the reminder, which is answered (its
    // text is returned), or with the icon in the tray and no reminder ("").
    std::wstring AnswerReminder();
    // True once the icon is in the tray and the window hidden.
    bool Settled() const;
    // Double-clicks the icon; true once the window is shown.
    bool ShowFromTray() const;
    // Chooses "退    出(&U)" from the tray menu; true once the process ended
    // with status 0.
    bool Quit();
    // Closes its boxes and its popup, then quits; a program that does not
    // quit is ended by force, so that it cannot disturb the next test. True
    // when it quit, or had ended already.
    bool End();
    // A shown window of class `className` of this process, or null.
    HWND Window(const wchar_t* className, DWORD timeoutMs) const {
        return FindTopWindow(className, L"", timeoutMs, Until::Shown, process.Id());
    }
    // A message box of this process, shown with its text, or null.
    HWND Box(DWORD timeoutMs) const { return FindMessageBox(process.Id(), timeoutMs); }
    int Count(const wchar_t* className) const;  // its top-level windows of that class
    // Presses OK on each of this process's boxes, newest first.
    void CloseBoxes() const;
    // Closes the boxes and the arrival popup, and waits until they are gone:
    // a click still on its way to the popup would end a tray menu opened
    // meanwhile (the button takes the mouse capture from the menu).
    void Dismiss() const;
    // True while the program answers a message within 5 s.
    bool Answers() const;

    Process process;
    HWND form = nullptr;
};

}  // namespace tovrane::driver
