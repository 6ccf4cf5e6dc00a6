// The questions probe.dll answers inside Tovrane's process; see probe.cpp.
#pragma once

#include <windows.h>

#include <string>

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
