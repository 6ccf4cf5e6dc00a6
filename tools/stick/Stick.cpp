#include "tools/stick/Stick.h"

#include <windows.h>
#include <dbt.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace tovrane::stick {

namespace {

// Wine's own extension of the mount manager, which winecfg uses to change
// drives while the wineserver runs; no Windows header declares it, so it is
// copied here from Wine 8's include/ddk/mountmgr.h.
struct MountmgrUnixDrive {
    ULONG size;
    ULONG type;  // a DRIVE_* value; DRIVE_NO_ROOT_DIR removes the drive
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;  // from the record's start to a NUL-ended Unix path; 0: none
    USHORT deviceOffset;
    USHORT labelOffset;
};
static_assert(sizeof(MountmgrUnixDrive) == 32, "Wine's layout: the 64-bit field aligned to 8");

constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// How long one busy window may hold the broadcast up: a handler that shows a
// message box answers only when the box is closed. It still gets the message.
constexpr UINT kAnswerTimeoutMs = 2000;

wchar_t Upper(wchar_t letter) {
    return letter >= L'a' && letter <= L'z' ? letter - L'a' + L'A' : letter;
}

// A drive letter, and not the one Windows runs from: the mount manager would
// repoint or remove even that.
bool IsStickLetter(wchar_t letter) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return letter >= L'A' && letter <= L'Z' && letter != Upper(system[0]);
}

// Defines (type and folder) or removes (DRIVE_NO_ROOT_DIR, no folder) a
// drive. The mount manager writes the dosdevices link and the drive's type
// itself, and every running process sees the change at once.
bool DefineDrive(wchar_t letter, ULONG type, const std::string& unixFolder) {
    MountmgrUnixDrive head = {};
    std::vector<char> request(sizeof head + (unixFolder.empty() ? 0 : unixFolder.size() + 1));
    head.size = static_cast<ULONG>(request.size());
    head.type = type;
    head.letter = letter;
    if (!unixFolder.empty()) {
        head.mountPointOffset = sizeof head;
        std::memcpy(request.data() + sizeof head, unixFolder.c_str(), unixFolder.size() + 1);
    }
    std::memcpy(request.data(), &head, sizeof head);

    const HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD returned = 0;
    const bool done = DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                                      static_cast<DWORD>(request.size()), nullptr, 0, &returned,
                                      nullptr) != FALSE;
    CloseHandle(manager);
    return done;
}

struct Broadcast {
    WPARAM event;
    DEV_BROADCAST_VOLUME record;
};

BOOL CALLBACK SendToWindow(HWND window, LPARAM lParam) {
    auto& broadcast = *reinterpret_cast<Broadcast*>(lParam);
    // Sent window by window, not with BroadcastSystemMessageW: without
    // BSF_QUERY Wine hands that to SendNotifyMessageW, which drops a message
    // carrying a pointer yet reports success; with it, one window answering
    // BROADCAST_QUERY_DENY would stop the rest. A sent message has its record
    // copied into the receiving process. A hung window is passed over.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_DEVICECHANGE, broadcast.event,
                        reinterpret_cast<LPARAM>(&broadcast.record), SMTO_ABORTIFHUNG,
                        kAnswerTimeoutMs, &answer);
    return TRUE;
}

// Every desktop, not just this process's: the demo runs Tovrane on a Wine
// virtual desktop of its own, and stick.exe starts on the default one.
BOOL CALLBACK SendOnDesktop(LPWSTR name, LPARAM lParam) {
    const HDESK desktop = OpenDesktopW(name, 0, FALSE, DESKTOP_ENUMERATE | DESKTOP_READOBJECTS);
    if (desktop) {
        EnumDesktopWindows(desktop, SendToWindow, lParam);
        CloseDesktop(desktop);
    }
    return TRUE;
}

}  // namespace

bool SendVolumeBroadcast(bool arrival, std::uint32_t unitMask) {
    Broadcast broadcast = {};
    broadcast.event = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    broadcast.record.dbcv_size = sizeof broadcast.record;
    broadcast.record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    broadcast.record.dbcv_unitmask = unitMask;
    broadcast.record.dbcv_flags = 0;  // a stick, not media changed in a drive
    return EnumDesktopsW(GetProcessWindowStation(), SendOnDesktop,
                         reinterpret_cast<LPARAM>(&broadcast)) != FALSE;
}

bool DefineStick(wchar_t letter, const std::string& unixFolder) {
    letter = Upper(letter);
    // A relative path would be taken relative to the prefix's dosdevices folder.
    if (!IsStickLetter(letter) || unixFolder.empty() || unixFolder[0] != '/') {
        return false;
    }
    const wchar_t root[] = {letter, L':', L'\\', 0};
    return DefineDrive(letter, DRIVE_REMOVABLE, unixFolder) &&
           GetDriveTypeW(root) == DRIVE_REMOVABLE;
}

bool PlugStick(wchar_t letter, const std::string& unixFolder) {
    return DefineStick(letter, unixFolder) &&
           SendVolumeBroadcast(true, 1u << (Upper(letter) - L'A'));
}

bool PullStick(wchar_t letter) {
    letter = Upper(letter);
    if (!IsStickLetter(letter)) {
        return false;
    }
    // Gone first, then announced: a window that looks at the drive when it
    // hears of the removal finds it gone, as on Windows. A letter the mount
    // manager does not know is not announced.
    return DefineDrive(letter, DRIVE_NO_ROOT_DIR, "") &&
           SendVolumeBroadcast(false, 1u << (letter - L'A'));
}

}  // namespace tovrane::stick
