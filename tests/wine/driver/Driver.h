// Drives another process's windows from outside, the way a user would, for
// the tests that run under Wine. Every wait is bounded: lookups poll until a
// deadline and give up with an empty answer rather than hang a suite.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tovrane::driver {

constexpr DWORD kBoundMs = 10000;  // how long what must happen is waited for
constexpr DWORD kQuietMs = 800;    // how long what must not happen is watched for

// Asks `done` every 20 ms until it answers true or `timeoutMs` has passed
// (at least once); returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
// True once `window` is destroyed, within `timeoutMs`.
bool Gone(HWND window, DWORD timeoutMs = kBoundMs);
std::wstring ProgramFolder();  // the folder of this test program
// For failure messages: "0x16", and wide text as UTF-8.
std::string Hex(DWORD value);
std::string Utf8(const std::wstring& text);

// A started program; the last copy to go lets go of it without ending it.
struct Process {
    bool Started() const { return handle != nullptr; }
    bool WaitForExit(DWORD timeoutMs) const;  // true once it has ended
    DWORD ExitCode() const;                   // STILL_ACTIVE while it runs
    std::shared_ptr<void> handle;
    DWORD id = 0;
};
// `application` (empty: the first word of `commandLine`, searched for as
// CreateProcess searches) with exactly `commandLine`, in the caller's folder.
Process StartProgram(const std::wstring& application, const std::wstring& commandLine);

// A window exists before its creator has made its controls or set its
// texts: only a shown one is ready to be read or worked. Mere existence is
// what a check that no window opened needs.
enum class Until { Exists, Shown };
// A top-level window of `className` whose title contains `titlePart`, of
// process `processId` (0: any), that reached `until` within `timeoutMs`.
HWND FindTopWindow(const std::wstring& className, const std::wstring& titlePart, DWORD timeoutMs,
                   Until until, DWORD processId = 0);
std::wstring TextOf(HWND window);  // WM_GETTEXT; a drop-down combo's edit text

struct Control {
    HWND hwnd;
    std::wstring text;
    int id;
    RECT rect;  // in the parent's client area
};
std::vector<Control> ListControls(HWND parent);  // top of the Z order first

// Posted, not sent: a click that opens a modal box would otherwise keep the
// caller waiting until somebody closed it. The owner gets BN_CLICKED.
void Click(HWND button);
bool IsChecked(HWND checkBox);
std::string ComboItems(HWND combo);  // each item quoted, then a space: "\"C\" \"D\" "
// Typed key by key, so that the owner gets CBN_EDITCHANGE as from the
// keyboard; true once the field shows `text`.
bool SetComboText(HWND combo, const std::wstring& text);
// Selected, and the owner told with CBN_SELCHANGE as a choice in the list
// would; false when there is no such item.
bool ChooseComboItem(HWND combo, int index);

std::wstring MessageBoxText(HWND box);
void PressOk(HWND box);

HWND FocusOf(HWND window);  // the focused control of the window's thread

// Icon 1 of `owner`, from any process: with NIM_MODIFY, true while the shell
// holds it; NIM_DELETE takes it away, as a shell that restarts loses it.
bool TrayIcon(HWND owner, DWORD message = NIM_MODIFY);
// Clicks the first icon in the taskbar of Wine's virtual desktop with the
// real mouse, so that the shell tells the icon's owner as it would of a
// user's clicks; 2 `clicks` make a double-click. False when there is no
// taskbar, or the icon stayed covered.
bool ClickTrayIcon(bool rightButton, int clicks);
// Right-clicks the icon and chooses the item that `accelerator` picks in the
// menu of process `processId`; false when no menu showed.
bool ChooseFromTrayMenu(DWORD processId, wchar_t accelerator);

// One Tovrane.exe driven as a user meets it: started, shown from the tray by
// a real double-click on its icon, and quit from its tray menu. Needs Wine's
// virtual desktop.
class Resident {
public:
    // Starts `exe` (named as its file) in the caller's folder; true once its
    // main window exists. A second Start forgets the first process.
    bool Start(const std::wstring& exe = ProgramFolder() + L"\\Tovrane.exe");
    // True once the icon is in the tray and the window hidden.
    bool Settled() const;
    // Double-clicks the icon; true once the window is shown.
    bool ShowFromTray() const;
    // Closes its boxes and its popup, then chooses "退    出(&U)" from the
    // tray menu; a program that does not end with status 0 is ended by force,
    // so that it cannot disturb the next test. True when it quit, or had
    // ended already.
    bool End();
    // True once the process ended with status 0, within the bound.
    bool Ended() const { return process.WaitForExit(kBoundMs) && process.ExitCode() == 0; }
    // A shown window of class `className` of this process, or null.
    HWND Window(const wchar_t* className, DWORD timeoutMs) const {
        return FindTopWindow(className, L"", timeoutMs, Until::Shown, process.id);
    }
    HWND Popup(DWORD timeoutMs) const { return Window(L"TovraneForm2", timeoutMs); }
    // A message box (#32770) of this process shown with its text, or null.
    HWND Box(DWORD timeoutMs) const;
    // Any message box of this process, shown or not yet, within `timeoutMs`.
    HWND AnyBox(DWORD timeoutMs) const {
        return FindTopWindow(L"#32770", L"", timeoutMs, Until::Exists, process.id);
    }
    int Count(const wchar_t* className) const;  // its top-level windows of that class
    // Presses OK on each of this process's boxes, newest first.
    void CloseBoxes() const;
    // True while the program answers a message within 5 s.
    bool Answers() const;
    // True once the main window is enabled again (it is disabled while it guards).
    bool Enabled(DWORD timeoutMs = kBoundMs) const {
        return WaitUntil([&] { return IsWindowEnabled(form) != FALSE; }, timeoutMs);
    }

    Process process;
    HWND form = nullptr;
};

}  // namespace tovrane::driver

// The questions probe.dll answers inside Tovrane's process; see probe.cpp.
namespace tovrane::probe {

constexpr wchar_t kMessage[] = L"TovraneProbe";
constexpr wchar_t kAnswerFile[] = L"C:\\probe-answer.txt";

// wParam of the question; lParam names what it is about.
enum Question : WPARAM {
    kFontOf = 1,            // a control: "face|height|charset" of its font
    kMenuCaptions = 2,      // a menu: its items' captions, a line each
    kNullDeviceRecord = 3,  // a window: sends it a volume arrival with lParam 0
    kProcedureModule = 4,   // a window: the file of the module its window procedure is in
};

// Installs probe.dll into the thread of `window`, asks, and removes it again.
// Empty when the probe could not be installed or gave no answer.
std::string Ask(HWND window, Question question, LPARAM about);

}  // namespace tovrane::probe
