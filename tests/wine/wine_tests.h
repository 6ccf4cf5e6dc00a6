// Shared by the programs of the Wine suites: where they run, the drives'
// autorun.inf as the tests plant and read it, what they send Tovrane's
// window, and failure messages that print readably.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <string>

namespace tovrane::wine {

constexpr DWORD kBoundMs = 10000;  // how long what must happen is waited for
constexpr DWORD kQuietMs = 800;    // how long what must not happen is watched for

std::wstring ThisExe();
std::wstring FolderOf(const std::wstring& path);
std::wstring CurrentFolder();
// An environment value set by run-suite.sh; empty when unset.
std::wstring SuiteSetting(const wchar_t* name);
// The Linux folder behind drive `letter`, mapped or not, for the stick tool.
std::string DriveFolder(wchar_t letter);

std::wstring AutorunOn(wchar_t letter);
// An autorun.inf file as a virus leaves it: read-only, hidden and system.
bool PlantAutorun(wchar_t letter);
// The autorun.inf of those of `letters` that hold one: "E:file" (with its
// read-only, hidden and system bits when any is set: "E:file 0x7"),
// "E:immunised" (a folder marked hidden and system, its sub-folder in) or
// "E:folder 0x10"; "" when none does.
std::string Autoruns(const std::wstring& letters);
// Takes away whatever autorun.inf, file or folder, stands on `letters`.
void ClearAutoruns(const std::wstring& letters);

// Whether "cmd /c start X:" opened an explorer window for drive `letter`
// (0: for any drive) within `timeoutMs`; the window is closed again.
bool DriveOpened(wchar_t letter, DWORD timeoutMs);

// WM_DEVICECHANGE with a record naming the drives of `mask`, sent from this
// process as Windows sends it to each top-level window (Wine copies the
// record into the target). True when the window's procedure returned within
// `timeoutMs`: a removal box keeps it from returning until it is closed.
bool SendDeviceChange(HWND window, WPARAM event, DWORD mask, DWORD timeoutMs = kBoundMs,
                      DWORD type = DBT_DEVTYP_VOLUME, DWORD size = sizeof(DEV_BROADCAST_VOLUME));
constexpr DWORD MaskOf(wchar_t letter) {
    return 1u << (letter - L'A');
}

// For failure messages: "0x16", and wide text as UTF-8.
std::string Hex(DWORD value);
std::string Utf8(const std::wstring& text);

}  // namespace tovrane::wine

// The questions probe.dll answers inside Tovrane's process; see probe.cpp.
namespace tovrane::probe {

constexpr wchar_t kMessage[] = L"TovraneProbe";
constexpr wchar_t kAnswerFile[] = L"C:\\probe-answer.txt";

// wParam of the question; lParam names what it is about.
enum Question : WPARAM {
    kFontOf = 1,            // a control: "face|height|charset" of its font
    kMenuCaptions = 2,      // a menu: its items' captions, a line each
    kNullDeviceRecord = 3,  // a window: sends it a volume arrival with lParam 0
};

// Installs probe.dll into the thread of `window`, asks, and removes it again.
// Empty when the probe could not be installed or gave no answer.
std::string Ask(HWND window, Question question, LPARAM about);

}  // namespace tovrane::probe
