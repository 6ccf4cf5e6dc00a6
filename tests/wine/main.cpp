// The Wine suites' entry point. The same exe serves as the helper process
// that its tests start, to look at a path from a new process.
#include <gtest/gtest.h>

#include "probe.h"
#include "wine_tests.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace tovrane::wine {

std::wstring ThisExe() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring SuiteSetting(const wchar_t* name) {
    wchar_t value[256] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 256);
    return length < 256 ? std::wstring(value, length) : std::wstring();
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

}  // namespace tovrane::wine

namespace tovrane::probe {

std::string Ask(HWND window, Question question, LPARAM about) {
    using wine::FolderOf;
    using wine::ThisExe;
    HMODULE dll = LoadLibraryW((FolderOf(ThisExe()) + L"\\probe.dll").c_str());
    auto hook =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeHook")));
    HHOOK installed = hook ? SetWindowsHookExW(WH_CALLWNDPROC, hook, dll,
                                               GetWindowThreadProcessId(window, nullptr))
                           : nullptr;
    DeleteFileW(kAnswerFile);
    std::string answer;
    if (installed && SendMessageTimeoutW(window, RegisterWindowMessageW(kMessage), question, about,
                                         SMTO_NORMAL, 10000, nullptr)) {
        HANDLE file = CreateFileW(kAnswerFile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        char text[1024];
        DWORD read = 0;
        if (file != INVALID_HANDLE_VALUE && ReadFile(file, text, sizeof text, &read, nullptr)) {
            answer.assign(text, read);
        }
        CloseHandle(file);
    }
    if (installed) {
        UnhookWindowsHookEx(installed);
    }
    FreeLibrary(dll);
    return answer;
}

}  // namespace tovrane::probe

int main(int argc, char** argv) {
    using namespace tovrane::wine;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args && count == 3 && std::wcscmp(args[1], kAttributesMode) == 0) {
        return static_cast<int>(GetFileAttributesW(args[2]));
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
