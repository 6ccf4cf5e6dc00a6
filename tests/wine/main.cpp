// The Wine suites' entry point, and what their tests share.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver/Driver.h"
#include "wine_tests.h"

namespace tovrane::wine {

std::wstring ThisExe() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

std::wstring SuiteSetting(const wchar_t* name) {
    wchar_t value[256] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 256);
    return length < 256 ? std::wstring(value, length) : std::wstring();
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
    HWND opened = driver::FindTopWindow(L"ExplorerWClass", title, timeoutMs, driver::Until::Exists);
    if (opened) {
        PostMessageW(opened, WM_CLOSE, 0, 0);
        driver::WaitUntil([&] { return !IsWindow(opened); }, kBoundMs);
    }
    return opened != nullptr;
}

bool SendDeviceChange(HWND window, WPARAM event, DWORD mask, DWORD timeoutMs, DWORD type,
                      DWORD size) {
    DEV_BROADCAST_VOLUME record = {size, type, 0, mask, 0};
    return SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                               SMTO_NORMAL, timeoutMs, nullptr) != 0;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

}  // namespace tovrane::wine

namespace tovrane::probe {

std::string Ask(HWND window, Question question, LPARAM about) {
    HMODULE dll = LoadLibraryW((wine::FolderOf(wine::ThisExe()) + L"\\probe.dll").c_str());
    auto hook =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeHook")));
    HHOOK installed = hook ? SetWindowsHookExW(WH_CALLWNDPROC, hook, dll,
                                               GetWindowThreadProcessId(window, nullptr))
                           : nullptr;
    DeleteFileW(kAnswerFile);
    std::wstring answer(512, L'\0');
    DWORD read = 0;
    if (installed && SendMessageTimeoutW(window, RegisterWindowMessageW(kMessage), question, about,
                                         SMTO_NORMAL, 10000, nullptr)) {
        HANDLE file = CreateFileW(kAnswerFile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ReadFile(file, &answer[0], static_cast<DWORD>(answer.size() * 2), &read, nullptr);
        CloseHandle(file);
    }
    if (installed) {
        UnhookWindowsHookEx(installed);
    }
    FreeLibrary(dll);
    return wine::Utf8(answer.substr(0, read / 2));
}

}  // namespace tovrane::probe

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
