// What the Wine suites' tests share (gtest_main runs them).
#include "wine_tests.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

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

namespace {

const std::wstring kMountPoints2 =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MountPoints2\\";

bool SetDefault(const std::wstring& key, const std::wstring& value) {
    return RegSetValueW(HKEY_CURRENT_USER, key.c_str(), REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The default value of a key below HKEY_CURRENT_USER; "-" when it has none.
std::wstring DefaultOf(const std::wstring& key) {
    wchar_t value[MAX_PATH] = L"-";
    LONG size = sizeof value;
    return RegQueryValueW(HKEY_CURRENT_USER, key.c_str(), value, &size) == ERROR_SUCCESS && value[0]
               ? value
               : L"-";
}

}  // namespace

std::wstring VolumeGuid(wchar_t letter) {
    wchar_t name[MAX_PATH] = {};
    const std::wstring root = std::wstring(1, letter) + L":\\";
    if (!GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH)) {
        return L"";
    }
    const std::wstring volume = name;  // "\\?\Volume{...}\"
    const size_t open = volume.find(L'{'), close = volume.rfind(L'}');
    return open == std::wstring::npos || close == std::wstring::npos
               ? L""
               : volume.substr(open, close - open + 1);
}

bool PlantRemembered(const std::wstring& entry) {
    const std::wstring at = kMountPoints2 + entry;
    HKEY drop = nullptr;
    const bool dropped = RegCreateKeyW(HKEY_CURRENT_USER, (at + L"\\Shell\\Autoplay\\DropTarget").c_str(),
                                       &drop) == ERROR_SUCCESS;
    RegCloseKey(drop);
    return dropped && SetDefault(at + L"\\Shell", L"AutoRun") &&
           SetDefault(at + L"\\Shell\\AutoRun\\command", L"virus.exe") &&
           SetDefault(at + L"\\_Autorun\\DefaultIcon", L"virus.exe,0");
}

std::string Remembered(const std::wstring& entry) {
    const std::wstring at = kMountPoints2 + entry;
    std::wstring held;
    if (DefaultOf(at + L"\\Shell") != L"-") {
        held += L" Shell=" + DefaultOf(at + L"\\Shell");
    }
    HKEY shell = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (at + L"\\Shell").c_str(), 0, KEY_READ, &shell) ==
        ERROR_SUCCESS) {
        std::vector<std::wstring> verbs;  // in a fixed order, whatever the registry's
        wchar_t verb[256];
        for (DWORD i = 0; RegEnumKeyW(shell, i, verb, 256) == ERROR_SUCCESS; ++i) {
            verbs.push_back(verb);
        }
        RegCloseKey(shell);
        std::sort(verbs.begin(), verbs.end());
        for (const std::wstring& name : verbs) {
            const std::wstring command = DefaultOf(at + L"\\Shell\\" + name + L"\\command");
            held += L" " + name + (command == L"-" ? L"" : L":" + command);
        }
    }
    if (DefaultOf(at + L"\\_Autorun\\DefaultIcon") != L"-") {
        held += L" _Autorun";
    }
    return held.empty() ? "" : Utf8(held.substr(1));
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
