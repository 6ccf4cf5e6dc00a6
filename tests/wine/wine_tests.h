// Shared by the programs of the Wine suites: the drives' autorun.inf as the
// tests plant and read it, what they send Tovrane's window, the controls they
// work, and the fixture that starts and ends one Tovrane.exe per test.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <string>

#include "driver/Driver.h"
#include "tools/stick/Stick.h"

namespace tovrane::wine {

using namespace driver;

// Control ids: the main window's, and the arrival popup's.
enum : int { kCommand1 = 101, kCommand2, kCommand3, kCommand4, kCommand5 };
enum : int { kCheck1 = 201, kCombo1 = 301, kCombo2 = 302 };
enum : int { kYes = 101, kNo = 102, kLabel1 = 401, kLabel2 = 402 };

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

// Explorer's memory of a volume's autorun.inf, under HKEY_CURRENT_USER's
// MountPoints2: the entry named by the volume's GUID ("{...}", as
// GetVolumeNameForVolumeMountPointW gives it; empty when it gives none) or
// by its letter ("E").
std::wstring VolumeGuid(wchar_t letter);
// Plants an entry as a stick's autorun.inf and Explorer leave it: Shell's
// default "AutoRun", Shell\AutoRun\command "virus.exe", Explorer's own
// Shell\Autoplay\DropTarget and _Autorun\DefaultIcon.
bool PlantRemembered(const std::wstring& entry);
// What an entry holds: "Shell=AutoRun AutoRun:virus.exe Autoplay _Autorun"
// as planted, "Autoplay _Autorun" once its commands are forgotten.
std::string Remembered(const std::wstring& entry);

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

// Each test has a Tovrane.exe of its own, which ends with the test: quit from
// its tray menu, or ended by force so that it cannot disturb the next test.
class WineTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(tovrane_.End()) << "退    出(&U) did not end Tovrane"; }
    // Starts Tovrane.exe and answers its reminder, which must name `stick`
    // (the highest stick in); true once it has settled into the tray.
    bool StartSettled(wchar_t stick);
    // The arrival of drive `letter` sent to the main window; its popup, or null.
    HWND Arrive(wchar_t letter) const;
    HWND Item(int id) const { return GetDlgItem(form_, id); }  // a control of the main window

    Resident tovrane_;
    HWND form_ = nullptr;
};

}  // namespace tovrane::wine
