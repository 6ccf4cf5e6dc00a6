// benchdrv.exe: the Windows side of scripts/bench.sh. It starts, drives and
// times Tovrane.exe and its baseline bare.exe (both in C:\tovrane) in the
// running Wine session, and prints one line per sample: FIGURE PROGRAM VALUE.
//   benchdrv hold                      keeps a tray icon of its own until ended
//   benchdrv start RUNS                process start to settled in the tray
//   benchdrv launch                    starts both, to stay resident
//   benchdrv plug L FOLDER             drive L: becomes a stick on FOLDER, unannounced
//   benchdrv arrivals COUNT L          COUNT arrivals sent to each resident's window
//   benchdrv quit                      ends both residents
//   benchdrv latency RUNS L FOLDER LOG Tovrane|bare
//                                      arrival broadcast to L:\autorun.inf gone
//   benchdrv immunise RUNS             every drive immunised, and Tovrane's answer time
//   benchdrv worm RUNS L FOLDER        a worm stick of 2,000 root entries and 50
//                                      launchers: the slide, 否(&N), the repair
// The programs are measured in turns, ABBA (Tovrane, bare, bare, Tovrane, ...),
// so that both meet the same machine load and whatever drifts during a run
// falls on both alike.
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/unit/LinkBytes.h"
#include "tools/stick/Stick.h"

namespace {

struct Program {
    const char* name;
    const wchar_t* path;
    const wchar_t* windowClass;
    UINT quitMessage;
    WPARAM quitWParam;
};

// Tovrane quits through its tray menu's 退出 item (603); WM_CLOSE only hides it.
const Program kTovrane = {"Tovrane", L"C:\\tovrane\\Tovrane.exe", L"TovraneForm1", WM_COMMAND, 603};
const Program kBare = {"bare", L"C:\\tovrane\\bare.exe", L"BareResident", WM_CLOSE, 0};
const Program* const kPrograms[] = {&kTovrane, &kBare};

// Both programs, in the order of round `round`.
std::array<const Program*, 2> InTurn(int round) {
    if (round % 2 == 0) {
        return {&kTovrane, &kBare};
    }
    return {&kBare, &kTovrane};
}

constexpr wchar_t kPopupClass[] = L"TovraneForm2";
constexpr int kPopupNoButton = 102;   // 否(&N)
constexpr int kGuardAllButton = 104;  // 防御本地所有盘符
constexpr DWORD kBoundMs = 20000;     // any single wait; beyond it the run has failed
// A pause after each arrival, so that the next one meets a program at rest.
constexpr DWORD kRestMs = 100;

[[noreturn]] void Fail(const char* what, const char* name = "") {
    std::fprintf(stderr, "benchdrv: %s %s (error %lu)\n", what, name, GetLastError());
    std::fflush(stdout);
    ExitProcess(1);
}

// Wine's QueryPerformanceCounter reads the host's CLOCK_MONOTONIC_RAW: the
// clock the host watcher (watch.c) stamps its events with.
long long NowNs() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const long long f = frequency.QuadPart;
    return count.QuadPart / f * 1000000000LL + count.QuadPart % f * 1000000000LL / f;
}

double Ms(long long ns) {
    return ns / 1e6;
}

void Report(const char* figure, const Program& program, double value) {
    std::printf("%s %s %.3f\n", figure, program.name, value);
    std::fflush(stdout);
}

// The top-level window of `windowClass` that process `processId` owns
// (0: any process's).
HWND FindWindowOf(const wchar_t* windowClass, DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, windowClass, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (processId == 0 || owner == processId) {
            return window;
        }
    }
    return nullptr;
}

// Asked as any other process can: the shell answers TRUE to NIM_MODIFY
// (changing nothing) exactly while the icon of that window and id exists.
bool HasTrayIcon(HWND window) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

// Started as from the shell: no console, shown as the system shows a program.
// The command line begins with the program's path, which Wine also gives the
// Linux process as its name: scripts/bench.sh finds the process by it.
PROCESS_INFORMATION Start(const Program& program, const wchar_t* arguments = L"") {
    std::wstring line = program.path + std::wstring(L" ") + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.path, &line[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        L"C:\\tovrane\\work", &startup, &process)) {
        Fail("could not start", program.name);
    }
    return process;
}

// Waits until the program rests in the tray: its main window hidden and its
// icon there. Polls every millisecond, the same for every program.
HWND WaitSettled(const Program& program, const PROCESS_INFORMATION& process) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowOf(program.windowClass, process.dwProcessId);
        if (window && !IsWindowVisible(window) && HasTrayIcon(window)) {
            return window;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            Fail("ended before it settled:", program.name);
        }
        if (GetTickCount() - start > kBoundMs) {
            Fail("never settled in the tray:", program.name);
        }
    }
}

void WaitGone(HANDLE process, const Program& program) {
    if (WaitForSingleObject(process, kBoundMs) != WAIT_OBJECT_0) {
        Fail("did not quit:", program.name);
    }
}

void Quit(const Program& program, PROCESS_INFORMATION& process) {
    PostMessageW(FindWindowOf(program.windowClass, process.dwProcessId), program.quitMessage,
                 program.quitWParam, 0);
    WaitGone(process.hProcess, program);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// Tovrane's popup after an arrival, seen and closed as a user would with
// 否(&N): every arrival then meets Tovrane at rest and makes, paints and
// destroys its popup. The handler made it before answering the arrival, so it
// is there already. Painted first, and before the click, which would
// otherwise overtake the popup's WM_PAINT: whether a popup got painted would
// be a race, and the first one painted (which maps the pages of its fonts'
// files, some 5 MB) would fall on whichever arrival won it.
void ClosePopup(DWORD processId) {
    HWND popup = FindWindowOf(kPopupClass, processId);
    if (!popup) {
        return;
    }
    RedrawWindow(popup, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PostMessageW(GetDlgItem(popup, kPopupNoButton), BM_CLICK, 0, 0);
    const DWORD start = GetTickCount();
    while (IsWindow(popup)) {
        if (GetTickCount() - start > kBoundMs) {
            Fail("the popup did not close");
        }
        Sleep(1);
    }
}

std::wstring AutorunPath(char letter) {
    return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\autorun.inf";
}

// Puts a fresh autorun.inf file on the stick; answers the time just before.
long long PutAutorun(char letter) {
    const long long before = NowNs();
    HANDLE file = CreateFileW(AutorunPath(letter).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("could not write autorun.inf");
    }
    const char text[] = "[autorun]\r\nopen=virus.exe\r\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
    return before;
}

bool AutorunIsThere(char letter) {
    return GetFileAttributesW(AutorunPath(letter).c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD UnitMask(char letter) {
    return 1u << (letter - 'A');
}

void SendArrival(HWND window, char letter) {
    DEV_BROADCAST_VOLUME record = {};
    record.dbcv_size = sizeof record;
    record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    record.dbcv_unitmask = UnitMask(letter);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                             reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, kBoundMs, &answer)) {
        Fail("an arrival went unanswered");
    }
}

// The host watcher's log, read as it grows: lines "C NS" (autorun.inf
// created) and "D NS" (deleted), NS on CLOCK_MONOTONIC_RAW.
class WatchLog {
public:
    explicit WatchLog(const char* path)
        : file_(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr)) {
        if (file_ == INVALID_HANDLE_VALUE) {
            Fail("cannot read the watcher's log", path);
        }
        SetFilePointer(file_, 0, nullptr, FILE_END);  // what it saw before is not ours
    }

    // The next event, which must be of `kind`; waits for it.
    long long Expect(char kind) {
        const DWORD start = GetTickCount();
        for (;;) {
            const std::size_t end = text_.find('\n');
            if (end != std::string::npos) {
                const std::string line = text_.substr(0, end);
                text_.erase(0, end + 1);
                if (line.size() < 3 || line[0] != kind) {
                    Fail("the watcher saw something else:", line.c_str());
                }
                return std::atoll(line.c_str() + 2);
            }
            char buffer[256];
            DWORD got = 0;
            if (ReadFile(file_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
                text_.append(buffer, got);
            } else if (GetTickCount() - start > kBoundMs) {
                Fail("the watcher saw nothing");
            } else {
                Sleep(1);
            }
        }
    }

private:
    HANDLE file_;
    std::string text_;
};

// -- commands -----------------------------------------------------------------

// A helper that owns one tray icon while the benchmark runs: removing the last
// icon of a tray can stall the remover (~2 s under a bare Xvfb), and the
// programs measured remove theirs when they quit. A message-only window: it gets no
// broadcasts, so every program measured meets the same set of windows.
int Hold() {
    HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON;
    icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));  // IDI_INFORMATION
    if (!window || !Shell_NotifyIconW(NIM_ADD, &icon)) {
        Fail("could not hold an icon");
    }
    std::printf("holding\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

int StartToTray(int runs) {
    for (int run = 0; run < runs; ++run) {
        for (const Program* program : InTurn(run)) {
            const long long start = NowNs();
            PROCESS_INFORMATION process = Start(*program);
            WaitSettled(*program, process);
            Report("start", *program, Ms(NowNs() - start));
            Quit(*program, process);
            Sleep(kRestMs);
        }
    }
    return 0;
}

int Launch() {
    for (const Program* program : kPrograms) {
        PROCESS_INFORMATION process = Start(*program);
        WaitSettled(*program, process);
        std::printf("resident %s %lu\n", program->name, process.dwProcessId);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return 0;
}

int QuitResidents() {
    for (const Program* program : kPrograms) {
        HWND window = FindWindowOf(program->windowClass, 0);
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        if (!window || !process) {
            Fail("is not resident:", program->name);
        }
        PostMessageW(window, program->quitMessage, program->quitWParam, 0);
        WaitGone(process, *program);
        CloseHandle(process);
    }
    return 0;
}

// Straight to each resident's main window, not broadcast: each program hears
// only its own arrivals, and Tovrane makes and destroys its popup each time.
int Arrivals(int count, char letter) {
    for (int i = 0; i < count; ++i) {
        for (const Program* program : kPrograms) {
            HWND window = FindWindowOf(program->windowClass, 0);
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            PutAutorun(letter);
            SendArrival(window, letter);
            if (AutorunIsThere(letter)) {
                Fail("left autorun.inf:", program->name);
            }
            ClosePopup(processId);
        }
    }
    return 0;
}

// The time from the start of the arrival broadcast to autorun.inf's deletion
// as the host sees it, `runs` times for one program. The watcher on the host
// stamps the deletion on CLOCK_MONOTONIC_RAW, the clock QueryPerformanceCounter
// reads here, so the two stamps compare directly; each run also reports how
// long after this process's stamp the watcher saw the file's creation
// ("clock"), which is small and positive only if the two clocks are one.
// One program is resident at a time: both would hear every broadcast and race
// for the one file. It starts with the stick's slot empty (a stick already in
// would bring up Tovrane's reminder), then the stick goes in unannounced; the
// first arrival warms up and is not counted. Each popup is closed before the
// next arrival, so that every arrival meets Tovrane at rest, as one stick
// after another does; an open popup would slide on a 10 ms timer meanwhile.
int Latency(int runs, char letter, const std::string& folder, const char* logPath,
            const Program& program) {
    WatchLog log(logPath);
    if (!tovrane::stick::DefineStick(letter, folder + ".empty")) {
        Fail("could not empty the stick's slot");
    }
    PROCESS_INFORMATION process = Start(program);
    WaitSettled(program, process);
    if (!tovrane::stick::DefineStick(letter, folder)) {
        Fail("could not put the stick in");
    }
    for (int run = 0; run <= runs; ++run) {
        const long long made = PutAutorun(letter);
        const long long seenMade = log.Expect('C');
        Sleep(kRestMs);
        const long long sent = NowNs();
        tovrane::stick::SendVolumeBroadcast(true, UnitMask(letter));
        const long long seenGone = log.Expect('D');
        if (run > 0) {
            Report("latency", program, Ms(seenGone - sent));
            Report("clock", program, Ms(seenMade - made));
        }
        ClosePopup(process.dwProcessId);
        Sleep(kRestMs);
    }
    Quit(program, process);
    return 0;
}

std::vector<std::wstring> DriveRoots() {
    wchar_t roots[105] = {};
    GetLogicalDriveStringsW(105, roots);
    std::vector<std::wstring> found;
    for (const wchar_t* root = roots; *root; root += lstrlenW(root) + 1) {
        found.push_back(root);
    }
    return found;
}

bool AllImmunised(const std::vector<std::wstring>& roots) {
    for (const std::wstring& root : roots) {
        const DWORD attributes = GetFileAttributesW((root + L"autorun.inf").c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
    }
    return true;
}

void Unimmunise(const std::vector<std::wstring>& roots) {
    for (const std::wstring& root : roots) {
        const std::wstring folder = root + L"autorun.inf";
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW((folder + L"\\tirmola").c_str());
        RemoveDirectoryW(folder.c_str());
    }
}

// Tovrane's "防御本地所有盘符", clicked in its window shown as from the tray, timed
// until every drive has its autorun.inf folder; meanwhile Tovrane is asked to
// answer WM_NULL every 20 ms (often enough to see it answer throughout, seldom
// enough not to slow it) and the slowest answer is reported.
double ImmuniseWithTovrane(HWND form, const std::vector<std::wstring>& roots) {
    const long long start = NowNs();
    PostMessageW(GetDlgItem(form, kGuardAllButton), BM_CLICK, 0, 0);
    long long slowest = 0;
    while (!AllImmunised(roots)) {
        const long long asked = NowNs();
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &answer)) {
            Fail("Tovrane did not answer within 2 s");
        }
        slowest = std::max(slowest, NowNs() - asked);
        if (NowNs() - start > kBoundMs * 1000000LL * 6) {
            Fail("Tovrane did not immunise every drive");
        }
        Sleep(20);
    }
    Report("answer", kTovrane, Ms(slowest));
    const long long done = NowNs();
    // The command goes on to mark the last folder, then enables the window again.
    while (!IsWindowEnabled(form)) {
        Sleep(20);
    }
    return Ms(done - start);
}

// The baseline, "bare md", times its own run of the same cmd commands.
double ImmuniseWithBare(const std::vector<std::wstring>& roots) {
    PROCESS_INFORMATION bare = Start(kBare, L"md");
    WaitGone(bare.hProcess, kBare);
    DWORD microseconds = 0;
    GetExitCodeProcess(bare.hProcess, &microseconds);
    CloseHandle(bare.hProcess);
    CloseHandle(bare.hThread);
    if (!AllImmunised(roots)) {
        Fail("bare md did not immunise every drive");
    }
    return microseconds / 1000.0;
}

int Immunise(int runs) {
    const std::vector<std::wstring> roots = DriveRoots();
    std::printf("drives %u\n", static_cast<unsigned>(roots.size()));
    PROCESS_INFORMATION tovrane = Start(kTovrane);
    HWND form = WaitSettled(kTovrane, tovrane);
    // Its controls are made as the window first shows, as a double-click on
    // the icon shows it.
    ShowWindow(form, SW_SHOWNORMAL);
    if (!GetDlgItem(form, kGuardAllButton)) {
        Fail("Tovrane's window showed without its buttons");
    }
    for (int run = 0; run < runs; ++run) {
        for (const Program* program : InTurn(run)) {
            Unimmunise(roots);
            const double ms =
                program == &kTovrane ? ImmuniseWithTovrane(form, roots) : ImmuniseWithBare(roots);
            Report("immunise", *program, ms);
            Sleep(kRestMs);
        }
    }
    Quit(kTovrane, tovrane);
    return 0;
}

// -- a worm stick ---------------------------------------------------------------

constexpr int kWormLaunchers = 50;
constexpr int kWormEntries = 2000;  // in the root: the worm's and the user's
const std::wstring kQuarantine = L"已隔离的可疑文件";

std::wstring Numbered(const wchar_t* stem, int n, const wchar_t* tail = L"") {
    return stem + std::to_wstring(n) + tail;
}

void WriteFileOf(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        Fail("could not lay the worm stick");
    }
    CloseHandle(file);
    SetFileAttributesW(path.c_str(), attributes);
}

// The worm's work, 50 times over among the user's files: a hidden folder, a
// shortcut named like it that runs a hidden script and then opens the folder.
void LayWormStick(const std::wstring& root) {
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (int n = 0; n < kWormLaunchers; ++n) {
        const std::wstring folder = root + Numbered(L"Folder", n);
        CreateDirectoryW(folder.c_str(), nullptr);
        SetFileAttributesW(folder.c_str(), hidden);
        const std::wstring script = Numbered(L"x", n, L".vbs");
        WriteFileOf(root + script, "WScript.Quit", hidden);
        WriteFileOf(root + Numbered(L"Folder", n, L".lnk"),
                    tovrane::testing::ShortcutTo(L"C:\\Windows\\System32\\cmd.exe",
                                                 L"/c start wscript " + script +
                                                     L" & start explorer " + Numbered(L"Folder", n)),
                    FILE_ATTRIBUTE_NORMAL);
    }
    for (int n = 3 * kWormLaunchers; n < kWormEntries; ++n) {
        WriteFileOf(root + Numbered(L"photo", n, L".jpg"), "jpeg", FILE_ATTRIBUTE_NORMAL);
    }
}

// Empties the stick for the next run, the quarantine folder and all.
void ClearStick(const std::wstring& root) {
    for (const std::wstring& folder : {root + kQuarantine + L"\\", root}) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
        while (find != INVALID_HANDLE_VALUE) {
            const std::wstring path = folder + found.cFileName;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(path.c_str());
            } else {
                DeleteFileW(path.c_str());
            }
            if (!FindNextFileW(find, &found)) {
                FindClose(find);
                break;
            }
        }
    }
}

int CountIn(const std::wstring& folder, const wchar_t* pattern) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
    int count = 0;
    while (find != INVALID_HANDLE_VALUE) {
        ++count;
        if (!FindNextFileW(find, &found)) {
            FindClose(find);
            break;
        }
    }
    return count;
}

// Tovrane meets a worm stick, `runs` times: how many steps its popup's slide
// takes to rest (each step a new place, watched every millisecond), how long
// a click on 否(&N) at rest takes to close it while the repair goes on, and
// the time from the arrival to the last launcher and script moved.
int Worm(int runs, char letter, const std::string& folder) {
    const std::wstring root = std::wstring(L"\\\\?\\") + static_cast<wchar_t>(letter) + L":\\";
    // Started with the slot empty: a stick already in would bring up the reminder.
    if (!tovrane::stick::DefineStick(letter, folder + ".empty")) {
        Fail("could not empty the stick's slot");
    }
    PROCESS_INFORMATION process = Start(kTovrane);
    HWND form = WaitSettled(kTovrane, process);
    if (!tovrane::stick::DefineStick(letter, folder)) {
        Fail("could not put the stick in");
    }
    ClearStick(root);
    for (int run = 0; run < runs; ++run) {
        LayWormStick(root);
        const long long sent = NowNs();
        SendArrival(form, letter);
        HWND popup = FindWindowOf(kPopupClass, process.dwProcessId);
        if (!popup) {
            Fail("no popup");
        }
        RECT at = {};
        GetWindowRect(popup, &at);
        LONG top = at.top;
        int steps = 0;
        long long still = NowNs();
        // At rest once no step came for 200 ms: ten steps' time.
        while (NowNs() - still < 200000000LL) {
            GetWindowRect(popup, &at);
            if (at.top != top) {
                top = at.top;
                ++steps;
                still = NowNs();
            }
            Sleep(1);
        }
        Report("worm_steps", kTovrane, steps);
        const long long clicked = NowNs();
        PostMessageW(GetDlgItem(popup, kPopupNoButton), BM_CLICK, 0, 0);
        while (IsWindow(popup)) {
            if (NowNs() - clicked > kBoundMs * 1000000LL) {
                Fail("the popup did not close");
            }
            Sleep(1);
        }
        Report("worm_close", kTovrane, Ms(NowNs() - clicked));
        while (CountIn(root + kQuarantine + L"\\", L"*.txt") < 2 * kWormLaunchers + 1) {
            if (NowNs() - sent > 6 * kBoundMs * 1000000LL) {
                Fail("the worm stick was not repaired");
            }
            Sleep(1);
        }
        Report("worm_repair", kTovrane, Ms(NowNs() - sent));
        if (CountIn(root, L"Folder*.lnk") != 0) {
            Fail("launchers were left");
        }
        ClearStick(root);
        Sleep(kRestMs);
    }
    Quit(kTovrane, process);
    return 0;
}

int Usage() {
    std::fputs(
        "usage: benchdrv hold | start RUNS | launch | plug L FOLDER | arrivals COUNT L |"
        " quit | latency RUNS L FOLDER LOG Tovrane|bare | immunise RUNS | worm RUNS L FOLDER\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    auto number = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };
    auto letter = [&](int i) { return i < argc ? static_cast<char>(argv[i][0] & ~0x20) : 'X'; };
    if (command == "hold" && argc == 2) {
        return Hold();
    }
    if (command == "start" && argc == 3) {
        return StartToTray(number(2));
    }
    if (command == "launch" && argc == 2) {
        return Launch();
    }
    if (command == "plug" && argc == 4) {
        return tovrane::stick::DefineStick(letter(2), argv[3]) ? 0 : 1;
    }
    if (command == "arrivals" && argc == 4) {
        return Arrivals(number(2), letter(3));
    }
    if (command == "quit" && argc == 2) {
        return QuitResidents();
    }
    if (command == "latency" && argc == 7) {
        const Program& program = std::string(argv[6]) == "bare" ? kBare : kTovrane;
        return Latency(number(2), letter(3), argv[4], argv[5], program);
    }
    if (command == "immunise" && argc == 3) {
        return Immunise(number(2));
    }
    if (command == "worm" && argc == 5) {
        return Worm(number(2), letter(3), argv[4]);
    }
    return Usage();
}
