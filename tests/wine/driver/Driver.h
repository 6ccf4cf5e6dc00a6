// Drives another process's windows from outside, the way a user would, for
// the tests that run under Wine. Every wait is bounded: lookups poll until a
// deadline and give up with an empty answer rather than hang a suite.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tovrane::driver {

// Asks `done` every few milliseconds until it answers true or `timeoutMs`
// has passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A started program. Destroying it lets go of the process without ending it.
class Process {
public:
    Process() = default;
    Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;

    bool Started() const { return handle_ != nullptr; }
    DWORD Id() const { return id_; }
    // True when the process has ended within `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs);
    // STILL_ACTIVE while the process runs.
    DWORD ExitCode() const;

private:
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

// Starts `application` (a full path; empty: the first word of `commandLine`,
// searched for as CreateProcess searches) with exactly `commandLine`, in
// `currentDir` (empty: the caller's own). Not started when it could not be.
Process StartProgram(const std::wstring& application, const std::wstring& commandLine,
                     const std::wstring& currentDir = L"");

// What a lookup waits for. A window exists before its creator has made its
// controls or set its texts; only a shown one is ready to be read or worked.
// Mere existence is what a check that no window opened needs.
enum class Until { Exists, Shown };

// A top-level window whose class is `className` and whose title contains
// `titlePart` (an empty value matches anything), owned by process
// `processId` (0: any), in the state `until` within `timeoutMs`; null when
// none reached it.
HWND FindTopWindow(const std::wstring& className, const std::wstring& titlePart, DWORD timeoutMs,
                   Until until, DWORD processId = 0);

std::wstring ClassOf(HWND window);
// The text as WM_GETTEXT gives it; for a drop-down combo box, its edit text.
std::wstring TextOf(HWND window);

struct Control {
    HWND hwnd;
    std::wstring className;
    std::wstring text;
    int id;
    RECT rect;  // in the parent's client coordinates
};

// The direct children of `parent`, in Z order (creation order, unless moved).
std::vector<Control> ListControls(HWND parent);

// A button click as the user makes it: the owner gets BN_CLICKED.
void Click(HWND button);
bool IsChecked(HWND checkBox);
// Clicks the box when it is not already in the wanted state.
void SetChecked(HWND checkBox, bool checked);

std::vector<std::wstring> ComboItems(HWND combo);
// Types `text` into a drop-down combo's edit field over what it held, key by
// key, so that the owner gets CBN_EDITCHANGE as from the keyboard. True once
// the field shows `text`.
bool SetComboText(HWND combo, const std::wstring& text);
// Selects item `index` and tells the owner (CBN_SELCHANGE), as a choice in
// the list would. False when there is no such item.
bool ChooseComboItem(HWND combo, int index);

// A message box (#32770) of process `processId` (0: any process) once it is
// shown with its text set, within `timeoutMs`; null when none got there.
// To check that no box opened, look for any #32770 with Until::Exists.
HWND FindMessageBox(DWORD processId, DWORD timeoutMs);
std::wstring MessageBoxText(HWND box);
void PressOk(HWND box);

// The control that has the keyboard focus in the thread owning `window`.
HWND FocusOf(HWND window);
// Presses Tab on that control; a dialog loop moves the focus on.
bool PostTab(HWND window);

// True while the shell holds the notification icon `id` of `owner`: the
// shell answers NIM_MODIFY for an icon it has, from any process.
bool HasTrayIcon(HWND owner, UINT id = 1);

// Clicks the first icon in the taskbar of Wine's virtual desktop with the
// real mouse (SendInput): the shell sees the clicks and tells the icon's
// owner, as it would of a user's. `clicks` 2 is a double-click. False when
// there is no taskbar, or the icon stayed covered by another window.
bool ClickTrayIcon(bool rightButton, int clicks);

// Right-clicks the tray icon and chooses the item of the menu of process
// `processId` that `accelerator` picks. False when no menu showed.
bool ChooseFromTrayMenu(DWORD processId, wchar_t accelerator);

}  // namespace tovrane::driver
