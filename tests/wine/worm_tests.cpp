// A running Tovrane.exe meets sticks that a shortcut worm has been at: it
// gives back the folders the worm hid and moves its launchers and payload
// into 已隔离的可疑文件 on the stick, and it leaves alone sticks whose
// layouts only come close. suites.cmake maps:
//   E: a floppy's folder, not mapped: the worm stick the test plugs in
//   F: floppy with layouts that come close   H: floppy   D: hard disk
//   G: floppy that the harness freezes on request (chattr +i on each item)
// and has the harness watch the prefix's drive_c for writes (inotify).
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/unit/LinkBytes.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

constexpr DWORD kHS = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const std::wstring kJail = L"已隔离的可疑文件";
const std::wstring kCmd = L"C:\\windows\\system32\\cmd.exe";

std::wstring Root(wchar_t letter) {
    return L"\\\\?\\" + std::wstring(1, letter) + L":\\";
}

// A folder (no content) or a file, with its attributes.
struct Item {
    std::wstring path;  // below the root
    DWORD attributes;
    const char* content;  // null: a folder
};

bool Lay(wchar_t letter, const std::vector<Item>& items) {
    for (const Item& item : items) {
        const std::wstring path = Root(letter) + item.path;
        bool made;
        if (!item.content) {
            made = CreateDirectoryW(path.c_str(), nullptr) != FALSE;
        } else {
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            const DWORD size = static_cast<DWORD>(std::strlen(item.content));
            made = file != INVALID_HANDLE_VALUE &&
                   WriteFile(file, item.content, size, &written, nullptr) && written == size;
            CloseHandle(file);
        }
        if (!made || !SetFileAttributesW(path.c_str(), item.attributes)) {
            ADD_FAILURE() << "could not lay " << Utf8(path);
            return false;
        }
    }
    return true;
}

// A shortcut as Windows' shell writes one, through IShellLinkW.
bool ShellShortcut(const std::wstring& path, const std::wstring& target,
                   const std::wstring& arguments) {
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    const bool saved =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->SetArguments(arguments.c_str())) &&
        SUCCEEDED(link->SetIconLocation(L"%SystemRoot%\\system32\\SHELL32.dll", 3)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Save(path.c_str(), TRUE));
    if (file) {
        file->Release();
    }
    if (link) {
        link->Release();
    }
    CoUninitialize();
    return saved;
}

// A shortcut built byte by byte from the public format, as a worm may write
// one: a relative path and arguments, nothing else.
bool HandBuiltShortcut(const std::wstring& path, const std::wstring& target,
                       const std::wstring& arguments) {
    const std::string bytes = testing::ShortcutTo(target, arguments);
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool wrote =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return CloseHandle(file) && wrote && written == bytes.size();
}

// The worm's work on a stick: Photos and Docs hidden, x.vbs hidden, and a
// launcher for each folder that runs x.vbs and then opens the folder.
bool LayWorm(wchar_t letter) {
    const std::wstring root = Root(letter);
    return Lay(letter, {{L"Photos", kHS, nullptr},
                        {L"Photos\\a.jpg", 0, "jpeg"},
                        {L"Docs", kHS, nullptr},
                        {L"Docs\\b.doc", 0, "doc"},
                        {L"x.vbs", kHS, "CreateObject(\"WScript.Shell\")"},
                        {L"notes.txt", 0, "mine"}}) &&
           ShellShortcut(root + L"Photos.lnk", kCmd,
                         L"/c start wscript x.vbs & start explorer Photos & exit") &&
           HandBuiltShortcut(root + L"Docs.lnk", L"..\\..\\..\\Windows\\System32\\cmd.exe",
                             L"/c start wscript.exe \"%cd%\\x.vbs\" & start explorer Docs");
}

// The entries of `folder`, "." and ".." left out.
std::vector<WIN32_FIND_DATAW> Entries(const std::wstring& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..") {
            entries.push_back(found);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return entries;
}

// Every item below the root, a line each: its path, attributes, creation
// and last-write times, size.
std::string Snapshot(const std::wstring& folder, const std::wstring& below = L"") {
    std::ostringstream out;
    for (const WIN32_FIND_DATAW& found : Entries(folder + below)) {
        const std::wstring path = below + found.cFileName;
        out << Utf8(path) << ' ' << Hex(found.dwFileAttributes) << ' '
            << found.ftCreationTime.dwLowDateTime << ' ' << found.ftLastWriteTime.dwLowDateTime
            << ' ' << found.nFileSizeLow << '\n';
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out << Snapshot(folder, path + L"\\");
        }
    }
    return out.str();
}

// What the root holds, names and the hidden and system bits only: "Docs/HS".
std::string Names(wchar_t letter, const std::wstring& below = L"") {
    std::vector<std::string> listed;
    for (const WIN32_FIND_DATAW& found : Entries(Root(letter) + below)) {
        const DWORD a = found.dwFileAttributes;
        listed.push_back(Utf8(found.cFileName) + (a & FILE_ATTRIBUTE_DIRECTORY ? "/" : "") +
                         (a & FILE_ATTRIBUTE_HIDDEN ? "H" : "") +
                         (a & FILE_ATTRIBUTE_SYSTEM ? "S" : ""));
    }
    std::sort(listed.begin(), listed.end());
    std::string names;
    for (const std::string& name : listed) {
        names += name + " ";
    }
    return names;
}

// 说明.txt of the stick as text; checks that it is UTF-16LE with its mark.
std::wstring RecordOn(wchar_t letter) {
    const std::wstring path = Root(letter) + kJail + L"\\说明.txt";
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return L"";
    }
    std::vector<char> bytes(GetFileSize(handle, nullptr));
    DWORD read = 0;
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(handle);
    if (read < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') {
        ADD_FAILURE() << "说明.txt is not UTF-16LE with a byte-order mark";
        return L"";
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (read - 2) / 2);
}

int Count(const std::wstring& text, const std::wstring& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// What the harness's inotify watch saw written in the prefix's drive_c, less
// Wine's own files and the tests' own: a line each.
std::string WritesOnC() {
    const std::wstring log = SuiteSetting(L"TOVRANE_C_WRITES");
    std::ifstream in(Utf8(L"\\\\?\\unix" + log).c_str());
    if (log.empty() || !in) {
        return "no watch on drive_c";
    }
    std::string line, writes;
    while (std::getline(in, line)) {
        const bool wines = line.find("/drive_c/windows/") != std::string::npos ||
                           line.find("/drive_c/users/") != std::string::npos ||
                           line.find("/drive_c/tovrane/") != std::string::npos ||
                           line.find("/drive_c/probe-answer.txt") != std::string::npos;
        if (!wines) {
            writes += line + "\n";
        }
    }
    return writes;
}

class Worm : public WineTest {
protected:
    bool Repaired(wchar_t letter) const {
        return Names(letter).find("Photos/ ") != std::string::npos &&
               Names(letter).find("Docs/ ") != std::string::npos &&
               Names(letter, kJail + L"\\") ==
                   "Docs.lnk.txt Photos.lnk.txt x.vbs.txt 说明.txt ";
    }
};

TEST_F(Worm, APluggedWormStickGetsItsFoldersBackAndItsLaunchersOutOfReachOnTheStick) {
    ASSERT_TRUE(StartSettled(L'H'));
    // The watch sees what is written on C:, this test's own mark first.
    ASSERT_TRUE(Lay(L'C', {{L"watch-mark.txt", 0, "mark"}}));
    ASSERT_TRUE(WaitUntil([] { return WritesOnC().find("watch-mark.txt") != std::string::npos; },
                          kBoundMs))
        << WritesOnC();
    const std::string writesBefore = WritesOnC();
    ASSERT_TRUE(stick::DefineStick(L'E', DriveFolder(L'E'))) << "E: could not be plugged in";
    ASSERT_TRUE(LayWorm(L'E'));
    ASSERT_EQ(Names(L'E'), "Docs.lnk Docs/HS Photos.lnk Photos/HS notes.txt x.vbsHS ");
    // Plugged in, and a burst of arrivals of the same stick meanwhile: the
    // repair begins afresh each time, and each launcher is handled once.
    ASSERT_TRUE(stick::SendVolumeBroadcast(true, MaskOf(L'E')));
    HWND popup = tovrane_.Popup(kBoundMs);
    ASSERT_NE(popup, nullptr);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(SendDeviceChange(form_, DBT_DEVICEARRIVAL, MaskOf(L'E')));
    }
    EXPECT_TRUE(WaitUntil([&] { return Repaired(L'E'); }, 2 * kBoundMs))
        << "E: holds " << Names(L'E') << "| " << Names(L'E', kJail + L"\\");
    EXPECT_EQ(Names(L'E'), "Docs/ Photos/ notes.txt 已隔离的可疑文件/ ");
    EXPECT_EQ(Names(L'E', L"Photos\\") + Names(L'E', L"Docs\\"), "a.jpg b.doc ");

    const std::wstring record = RecordOn(L'E');
    for (const wchar_t* part :
         {L"这个文件夹是 Tovrane 建立的", L"Photos.lnk → Photos.lnk.txt", L"Docs.lnk → Docs.lnk.txt",
          L"x.vbs → x.vbs.txt", L"已恢复显示：“Photos”", L"已恢复显示：“Docs”", L"如何放回"}) {
        EXPECT_EQ(Count(record, part), 1) << Utf8(part) << " in\n" << Utf8(record);
    }
    EXPECT_EQ(Count(record, L"病毒的启动器"), 2) << Utf8(record);
    EXPECT_EQ(WritesOnC(), writesBefore) << "something was written on the PC";
    EXPECT_EQ(tovrane_.Count(L"#32770"), 0) << "the repair said something";
    EXPECT_TRUE(stick::PullStick(L'E'));
}

// Layouts that come close: none of them is a worm's, and nothing on the
// stick changes, neither on arrival nor when 安全打开 repairs it whole.
TEST_F(Worm, AStickWithLayoutsThatComeCloseIsLeftExactlyAsItWas) {
    ASSERT_TRUE(StartSettled(L'H'));
    const wchar_t f = L'F';
    ASSERT_TRUE(Lay(f, {
        // a user's folder hidden by Explorer's Properties, and a shortcut to cmd named like it
        {L"Tools", FILE_ATTRIBUTE_HIDDEN, nullptr},
        // a PortableApps stick
        {L"PortableApps", 0, nullptr}, {L"Start.exe", 0, "MZ"},
        // an encrypted container with its visible program
        {L"vault.tc", FILE_ATTRIBUTE_HIDDEN, "data"}, {L"TrueCrypt.exe", 0, "MZ"},
        // a camera card
        {L"DCIM", 0, nullptr}, {L"DCIM\\100CANON", 0, nullptr},
        // a music player's hidden system folder that nothing imitates
        {L".rockbox", kHS, nullptr},
        // a Windows installer and a boot stick
        {L"sources", 0, nullptr}, {L"setup.exe", 0, "MZ"},
        {L"bootmgr", kHS | FILE_ATTRIBUTE_READONLY, "boot"},
        {L"ldlinux.sys", kHS | FILE_ATTRIBUTE_READONLY, "boot"}, {L"syslinux.cfg", 0, "x"},
        {L"FOUND.000", kHS, nullptr}, {L"FOUND.000\\FILE0000.CHK", 0, "x"},
        // macOS
        {L"._Tools", FILE_ATTRIBUTE_HIDDEN, "x"}, {L".Trashes", kHS, nullptr},
        {L".fseventsd", FILE_ATTRIBUTE_HIDDEN, nullptr},
        // an immunised autorun.inf
        {L"autorun.inf", kHS | FILE_ATTRIBUTE_READONLY, nullptr},
        {L"autorun.inf\\tirmola", 0, nullptr},
    }));
    ASSERT_TRUE(ShellShortcut(Root(f) + L"Tools.lnk", kCmd, L"/k cd Tools"));
    ASSERT_TRUE(ShellShortcut(Root(f) + L"Firefox.lnk", L"F:\\PortableApps\\Firefox.exe", L""));
    ASSERT_TRUE(HandBuiltShortcut(Root(f) + L"setup.lnk", L".\\setup.exe", L"/auto"));
    const std::string before = Snapshot(Root(f));

    ASSERT_NE(Arrive(f), nullptr);
    ASSERT_TRUE(tovrane_.ShowFromTray());
    ASSERT_TRUE(SetComboText(Item(kCombo1), L"F"));
    Click(Item(kCommand2));  // the repair runs whole before the drive opens
    EXPECT_TRUE(DriveOpened(f, kBoundMs)) << "安全打开 opened no window for F:";
    EXPECT_EQ(tovrane_.Count(L"#32770"), 0) << "安全打开 warned of a launcher";
    EXPECT_EQ(Snapshot(Root(f)), before);
}

// A write-protected worm stick: nothing can change on it, and 安全打开 says
// which launchers are still there before it opens the drive.
TEST_F(Worm, AWriteProtectedWormStickStaysAsItIsAndSafeOpenWarnsThenOpens) {
    const wchar_t g = L'G';
    ASSERT_TRUE(LayWorm(g));
    // The harness freezes the drive's items, then its root, when asked; it
    // takes the mark away just before it freezes the root.
    ASSERT_TRUE(Lay(g, {{L".freeze", 0, ""}}));
    const std::wstring mark = Root(g) + L".freeze", probe = Root(g) + L"probe.txt";
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES) {
                return false;
            }
            HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                return true;
            }
            CloseHandle(file);
            DeleteFileW(probe.c_str());
            return false;
        },
        kBoundMs))
        << "the harness did not freeze G:";
    const std::string before = Snapshot(Root(g));
    ASSERT_TRUE(StartSettled(L'H'));

    ASSERT_TRUE(tovrane_.ShowFromTray());
    ASSERT_TRUE(SetComboText(Item(kCombo1), L"G"));
    Click(Item(kCommand2));
    HWND box = tovrane_.Box(kBoundMs);
    const std::string warned = Utf8(box ? MessageBoxText(box) : L"no box");
    EXPECT_NE(warned.find("    Docs.lnk\n    Photos.lnk\n"), std::string::npos) << warned;
    EXPECT_NE(warned.find("请不要双击它们"), std::string::npos) << warned;
    EXPECT_FALSE(DriveOpened(g, kQuietMs)) << "G: opened before the warning was answered";
    PressOk(box);
    EXPECT_TRUE(DriveOpened(g, kBoundMs)) << "G: did not open after the warning";
    EXPECT_EQ(Snapshot(Root(g)), before);
}

// A worm stick already in when Tovrane starts is repaired once it settles.
TEST_F(Worm, AWormStickInAtStartIsRepairedOnceTheProgramIsInTheTray) {
    ASSERT_TRUE(LayWorm(L'H'));
    ASSERT_TRUE(StartSettled(L'H'));
    EXPECT_TRUE(WaitUntil([&] { return Repaired(L'H'); }, 2 * kBoundMs))
        << "H: holds " << Names(L'H') << "| " << Names(L'H', kJail + L"\\");
    EXPECT_EQ(Count(RecordOn(L'H'), L"病毒的启动器"), 2);
}

}  // namespace
}  // namespace tovrane::wine
