// bare.exe: the baseline of scripts/bench.sh, the least Win32 code that does
// the jobs the benchmark times Tovrane doing.
//   bare       one hidden window and one tray icon; an arrival broadcast
//              deletes autorun.inf from the drives it names (a file only: a
//              folder of that name is an immunisation); WM_CLOSE removes the
//              icon and quits
//   bare md    runs "cmd /c md L:\autorun.inf\tirmola.." for every drive, one
//              after another, and exits with the microseconds that took
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kClassName[] = L"BareResident";

NOTIFYICONDATAW g_icon = {};

void DeleteAutorun(DWORD unitMask) {
    wchar_t path[] = L"A:\\autorun.inf";
    for (int drive = 0; drive < 26; ++drive) {
        if (!(unitMask & (1u << drive))) {
            continue;
        }
        path[0] = static_cast<wchar_t>(L'A' + drive);
        const DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);  // a read-only file resists deletion
            DeleteFileW(path);
        }
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DEVICECHANGE: {
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
            if (wParam == DBT_DEVICEARRIVAL && header &&
                header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
                DeleteAutorun(reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam)->dbcv_unitmask);
            }
            return TRUE;
        }
        case WM_CLOSE:
            Shell_NotifyIconW(NIM_DELETE, &g_icon);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Resident(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    // Never shown: it lives in the tray.
    HWND window = CreateWindowW(kClassName, L"bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);

    g_icon.cbSize = NOTIFYICONDATAW_V2_SIZE;  // Tovrane's size: the one XP's shell reads
    g_icon.hWnd = window;
    g_icon.uID = 1;
    g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_icon.uCallbackMessage = WM_APP;
    g_icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    lstrcpyW(g_icon.szTip, L"bare");
    Shell_NotifyIconW(NIM_ADD, &g_icon);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

// Started as Tovrane starts it: cmd by its full path, shown minimized, and
// from a process without a console, so that each cmd gets a console of its own.
int ImmuniseAll() {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    wchar_t cmd[MAX_PATH];
    lstrcpyW(cmd + GetSystemDirectoryW(cmd, MAX_PATH), L"\\cmd.exe");
    wchar_t roots[105];  // 26 roots of four characters and the closing NUL
    GetLogicalDriveStringsW(105, roots);
    for (const wchar_t* root = roots; *root; root += lstrlenW(root) + 1) {
        wchar_t line[] = L"cmd /c md ?:\\autorun.inf\\tirmola..";
        line[10] = root[0];
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINIMIZED;
        PROCESS_INFORMATION process;
        if (CreateProcessW(cmd, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }

    QueryPerformanceCounter(&end);
    return static_cast<int>((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    return lstrcmpW(commandLine, L"md") == 0 ? ImmuniseAll() : Resident(instance);
}
