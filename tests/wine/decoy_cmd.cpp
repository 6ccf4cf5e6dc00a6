// Planted as cmd.exe where a program that searched for "cmd" would find it
// first. It only records that it ran, and how, so that a test can prove the
// program under test started the system's own cmd.exe instead.
#include <windows.h>

#include <string>

int main() {
    const std::string line = std::string(GetCommandLineA()) + "\r\n";
    HANDLE marker = CreateFileW(L"C:\\decoy-ran.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    return WriteFile(marker, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0
                                                                                              : 2;
}
