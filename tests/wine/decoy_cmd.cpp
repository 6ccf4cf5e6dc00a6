// Planted as cmd.exe where a program that searched for "cmd" would find it
// first. It only records that it ran, and how, so that a test can prove the
// program under test started the system's own cmd.exe instead.
#include <windows.h>

#include <string>

int main() {
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], size,
                        nullptr, nullptr);

    HANDLE marker = CreateFileW(L"C:\\decoy-ran.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    WriteFile(marker, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(marker);
    return 0;
}
