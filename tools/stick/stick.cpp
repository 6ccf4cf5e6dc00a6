// stick.exe: plugs a demo USB stick into the running Wine session, or pulls
// it out, for the demo (scripts/stick.sh) and by hand.
//   stick plug E /unix/folder    drive E: becomes a removable drive on the folder
//   stick worm E /unix/folder    the same, with a shortcut worm's work on it first
//   stick pull E                 drive E: is removed
// Exit status: 0 done, 1 failed, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>

#include "tools/stick/Stick.h"

namespace {

int Usage() {
    std::fputs("usage: stick plug|worm LETTER /absolute/unix/folder | stick pull LETTER\n", stderr);
    return 2;
}

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}

// A shortcut as the public Shell Link format lays it out, with only a
// relative path and arguments, in UTF-16: as a worm may write one.
std::string Shortcut(const std::wstring& target, const std::wstring& arguments) {
    std::string link = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0,
                        static_cast<char>(0xC0), 0, 0, 0, 0, 0, 0, 0x46,
                        static_cast<char>(0xA8), 0, 0, 0};  // relative path, arguments, Unicode
    link.resize(0x4C, '\0');
    for (const std::wstring* text : {&target, &arguments}) {
        Put16(link, static_cast<unsigned>(text->size()));
        for (wchar_t c : *text) {
            Put16(link, c);
        }
    }
    return link + std::string(4, '\0');  // no extra data
}

bool Put(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool wrote =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return CloseHandle(file) && wrote && SetFileAttributesW(path.c_str(), attributes);
}

// What a shortcut worm leaves on a stick: the user's folders hidden, a
// launcher named like each that runs the worm's script and then opens the
// folder, and the script hidden too.
bool LayWorm(wchar_t letter) {
    const std::wstring root = std::wstring(1, letter) + L":\\";
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    bool laid = Put(root + L"x.vbs", "WScript.Quit", hidden) &&
                Put(root + L"笔记.txt", "mine", FILE_ATTRIBUTE_NORMAL);
    for (const wchar_t* folder : {L"Photos", L"作业"}) {
        const std::wstring name = folder;
        laid = laid && CreateDirectoryW((root + name).c_str(), nullptr) &&
               Put(root + name + L"\\readme.txt", "mine", FILE_ATTRIBUTE_NORMAL) &&
               SetFileAttributesW((root + name).c_str(), hidden) &&
               Put(root + name + L".lnk",
                   Shortcut(L"..\\..\\..\\Windows\\System32\\cmd.exe",
                            L"/c start wscript x.vbs & start explorer " + name),
                   FILE_ATTRIBUTE_NORMAL);
    }
    return laid;
}

// The folder is handed to Wine's Unix side as it was typed: UTF-8 bytes.
std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argv[2][0] == 0 || argv[2][1] != 0) {
        return Usage();
    }
    const std::wstring command = argv[1];
    const wchar_t letter = static_cast<wchar_t>(std::towupper(argv[2][0]));
    if (letter < L'A' || letter > L'Z') {
        return Usage();
    }
    const char shown = static_cast<char>(letter);
    if (command == L"worm" && argc == 4 && argv[3][0] == L'/') {
        const std::string folder = Utf8(argv[3]);
        if (!tovrane::stick::DefineStick(letter, folder) || !LayWorm(letter) ||
            !tovrane::stick::SendVolumeBroadcast(true, 1u << (letter - L'A'))) {
            std::printf("could not plug a worm stick %c: on %s\n", shown, folder.c_str());
            return 1;
        }
        std::printf("plugged removable drive %c: on %s with a shortcut worm's work on it\n",
                    shown, folder.c_str());
        return 0;
    }
    if (command == L"plug" && argc == 4 && argv[3][0] == L'/') {
        const std::string folder = Utf8(argv[3]);
        if (!tovrane::stick::PlugStick(letter, folder)) {
            std::printf("could not plug %c: on %s\n", shown, folder.c_str());
            return 1;
        }
        std::printf("plugged removable drive %c: on %s and told every window\n", shown,
                    folder.c_str());
        return 0;
    }
    if (command == L"pull" && argc == 3) {
        if (!tovrane::stick::PullStick(letter)) {
            std::printf("could not pull %c:\n", shown);
            return 1;
        }
        std::printf("pulled drive %c: and told every window\n", shown);
        return 0;
    }
    return Usage();
}
