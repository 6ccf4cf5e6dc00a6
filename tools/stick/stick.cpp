// stick.exe: plugs a demo USB stick into the running Wine session, or pulls
// it out, for the demo (scripts/stick.sh) and by hand.
//   stick plug E /unix/folder    drive E: becomes a removable drive on the folder
//   stick pull E                 drive E: is removed
// Exit status: 0 done, 1 failed, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>

#include "tools/stick/Stick.h"

namespace {

int Usage() {
    std::fputs("usage: stick plug LETTER /absolute/unix/folder | stick pull LETTER\n", stderr);
    return 2;
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
