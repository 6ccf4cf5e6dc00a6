// What the Wine suites' tests share (gtest_main runs them).
#include "wine_tests.h"

#include <cstdlib>

namespace tovrane::wine {

std::wstring SuiteSetting(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

std::string DriveFolder(wchar_t letter) {
    return Utf8(SuiteSetting(L"TOVRANE_DRIVES_DIR")) + "/" + static_cast<char>(letter - L'A' + 'a');
}

std::wstring AutorunOn(wchar_t letter) {
    return std::wstring(1, letter) + L":\\autorun.inf";
}

bool PlantAutorun(wchar_t letter) {
    const std::wstring path = AutorunOn(letter);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // or a file left there stays
    HANDLE file = CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
    DWORD written = 0;
    const bool wrote = WriteFile(file, "[autorun]\r\nopen=virus.exe\r\n", 27, &written, nullptr);
    return CloseHandle(file) && wrote;
}

std::string Autoruns(const std::wstring& letters) {
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    std::string states;
    for (wchar_t letter : letters) {
        const std::wstring path = AutorunOn(letter);
        const DWORD a = GetFileAttributesW(path.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        const bool immunised =
            (a & marks) == marks &&
            GetFileAttributesW((path + L"\\tirmola").c_str()) != INVALID_FILE_ATTRIBUTES;
        states += " " + Utf8({letter, L':'}) +
                  (!(a & FILE_ATTRIBUTE_DIRECTORY) ? (a & 7 ? "file " + Hex(a & 7) : "file")
                   : immunised                     ? "immunised"
                                                   : "folder " + Hex(a));
    }
    return states.empty() ? states : states.substr(1);
}

void ClearAutoruns(const std::wstring& letters) {
    for (wchar_t letter : letters) {
        const std::wstring path = AutorunOn(letter);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW((path + L"\\tirmola").c_str());
        RemoveDirectoryW(path.c_str());
        DeleteFileW(path.c_str());
    }
}

bool DriveOpened(wchar_t letter, DWORD timeoutMs) {
    // Wine's explorer titles the window of an unlabelled drive " (E:)".
    const std::wstring title = letter ? L"(" + std::wstring(1, letter) + L":)" : L"";
    HWND opened = FindTopWindow(L"ExplorerWClass", title, timeoutMs, Until::Exists);
    if (opened) {
        PostMessageW(opened, WM_CLOSE, 0, 0);
        Gone(opened);
    }
    return opened != nullptr;
}

bool SendDeviceChange(HWND window, WPARAM event, DWORD mask, DWORD timeoutMs, DWORD type,
                      DWORD size) {
    DEV_BROADCAST_VOLUME record = {size, type, 0, mask, 0};
    return SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                               SMTO_NORMAL, timeoutMs, nullptr) != 0;
}

bool WineTest::StartSettled(wchar_t stick) {
    const bool started = tovrane_.Start();
    form_ = tovrane_.form;
    HWND reminder = started ? tovrane_.Box(kBoundMs) : nullptr;
    EXPECT_EQ(Utf8(reminder ? MessageBoxText(reminder) : L"no reminder"),
              "移动设备已存在,移动设备的盘符为" + std::string(1, static_cast<char>(stick)) +
                  ": ,建议您使用安全方式打开");
    tovrane_.CloseBoxes();
    return started && tovrane_.Settled();
}

HWND WineTest::Arrive(wchar_t letter) const {
    return SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(letter)) ? tovrane_.Popup(kBoundMs)
                                                                      : nullptr;
}

}  // namespace tovrane::wine
