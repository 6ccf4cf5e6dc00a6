// Drives another process's windows from outside, the way a user would, for
// the tests that run under Wine. Every wait is bounded: lookups poll until a
// deadline and give up with an empty answer rather than hang a suite.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tovrane::driver {

// Asks `done` every 20 ms until it answers true or `timeoutMs` has passed;
// returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A started program; the last copy to go lets go of it without ending it.
struct Process {
    bool Started() const { return handle != nullptr; }
    DWORD Id() const { return id; }
    bool WaitForExit(DWORD timeoutMs) const;  // true once it has ended
    DWORD ExitCode() const;                   // STILL_ACTIVE while it runs
    std::shared_ptr<void> handle;
    DWORD id = 0;
};
// `application` (empty: the first word of `commandLine`, searched for as
// CreateProcess searches) with exactly `commandLine`, in `currentDir`
// (empty: the caller's).
Process StartProgram(const std::wstring& application, const std::wstring& commandLine,
                     const std::wstring& currentDir = L"");

// A window exists before its creator has made its controls or set its
// texts: only a shown one is ready to be read or worked. Mere existence is
// what a check that no window opened needs.
enum class Until { Exists, Shown };
// A top-level window of `className` whose title contains `titlePart`, of
// process `processId` (0: any), that reached `until` within `timeoutMs`.
HWND FindTopWindow(const std::wstring& className, const std::wstring& titlePart, DWORD timeoutMs,
                   Until until, DWORD processId = 0);
std::wstring ClassOf(HWND window);
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
void SetChecked(HWND checkBox, bool checked);
std::vector<std::wstring> ComboItems(HWND combo);
// Typed key by key, so that the owner gets CBN_EDITCHANGE as from the
// keyboard; true once the field shows `text`.
bool SetComboText(HWND combo, const std::wstring& text);
// Selected, and the owner told with CBN_SELCHANGE as a choice in the list
// would; false when there is no such item.
bool ChooseComboItem(HWND combo, int index);

// A message box (#32770) of process `processId` (0: any) shown with its
// text within `timeoutMs`.
HWND FindMessageBox(DWORD processId, DWORD timeoutMs);
std::wstring MessageBoxText(HWND box);
void PressOk(HWND box);

HWND FocusOf(HWND window);  // the focused control of the window's thread
bool PostTab(HWND window);  // Tab on it: a dialog loop moves the focus on

// True while the shell holds icon 1 of `owner`: it answers NIM_MODIFY for an
// icon it has, from any process.
bool HasTrayIcon(HWND owner);
// Clicks the first icon in the taskbar of Wine's virtual desktop with the
// real mouse, so that the shell tells the icon's owner as it would of a
// user's clicks; 2 `clicks` make a double-click. False when there is no
// taskbar, or the icon stayed covered.
bool ClickTrayIcon(bool rightButton, int clicks);
// Right-clicks the icon and chooses the item that `accelerator` picks in the
// menu of process `processId`; false when no menu showed.
bool ChooseFromTrayMenu(DWORD processId, wchar_t accelerator);

}  // namespace tovrane::driver
