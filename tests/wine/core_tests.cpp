// The drive core where only real Wine can answer: the real Win32Platform on
// real mapped drives, the real cmd, and the harness's locale and fonts. What
// the core decides is covered against the fake in tests/unit. suites.cmake
// maps, for this suite:
//   B: floppy that cannot be written, holding a stale autorun.inf file
//   D: hard disk   E: floppy (the stick)   F: CD-ROM
//   G: floppy whose folder is missing (an empty card-reader slot)
//   N: network drive
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>

#include "core/AutorunGuard.h"
#include "core/DriveList.h"
#include "driver/Driver.h"
#include "platform/Win32Platform.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;

const std::wstring kAutorun = L"E:\\autorun.inf";  // on the stick
const wchar_t kDecoyMarker[] = L"C:\\decoy-ran.txt";
constexpr DWORD kReadOnlyHiddenSystem = 7;

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the decoy cmd.exe recorded: one command line per run.
std::string DecoyRecord() {
    std::ifstream record(Utf8(kDecoyMarker), std::ios::binary);
    return {std::istreambuf_iterator<char>(record), {}};
}

// GetFileAttributesW(path) as a new process sees it, not as this process may
// have cached it.
DWORD AttributesSeenByNewProcess(const std::wstring& path) {
    Process probe =
        StartProgram(ThisExe(), L"probe " + std::wstring(kAttributesMode) + L" " + path);
    EXPECT_TRUE(probe.WaitForExit(10000)) << "the attribute probe did not end for " << Utf8(path);
    return probe.ExitCode();
}

bool WriteStaleAutorun(DWORD attributes) {
    const bool wrote = !!(std::ofstream(Utf8(kAutorun)) << "[autorun]\nopen=stale.exe\n");
    return wrote && SetFileAttributesW(kAutorun.c_str(), attributes);
}

// Takes away whatever autorun.inf a test left on the stick, file or folder.
void ClearStick() {
    SetFileAttributesW(kAutorun.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW((kAutorun + L"\\tirmola").c_str());
    RemoveDirectoryW(kAutorun.c_str());
    DeleteFileW(kAutorun.c_str());
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The suite's own set-up, on which every other answer depends.
TEST(Harness, RunsUnderTheRequestedLocaleWithTheFontsTheWindowsNeed) {
    const std::wstring locale = SuiteSetting(L"TOVRANE_LOCALE");
    ASSERT_TRUE(locale == L"zh_CN" || locale == L"C") << "TOVRANE_LOCALE=" << Utf8(locale);
    EXPECT_EQ(GetACP(), locale == L"zh_CN" ? 936u : 1252u);
    if (locale == L"zh_CN") {
        EXPECT_EQ(Hex(GetUserDefaultLCID()), "0x804");
    }

    LOGFONTW marlett = {};
    marlett.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(marlett.lfFaceName, L"Marlett", LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &marlett, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(found) << "caption buttons would draw as letters";

    wchar_t face[64] = {};
    DWORD size = sizeof face;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
                           L"楷体_GB2312", RRF_RT_REG_SZ, nullptr, face, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(Utf8(face), "AR PL UKai CN");
}

TEST(DrivesOnWine, EachMappedDriveHasItsTypeAndMediumAndEIsTheStick) {
    Win32Platform os;
    const std::wstring roots = ListDriveRoots(os);
    std::string seen;  // "letter:type", type 2 removable, 3 fixed, 4 network, 5 CD-ROM
    for (size_t at = 0; at < roots.size(); at += 3) {
        const std::wstring root = roots.substr(at, 3);
        seen += Utf8(root.substr(0, 2)) + std::to_string(static_cast<int>(os.DriveTypeOf(root))) +
                (os.HasMedium(root) ? " " : "(no medium) ");
    }
    // No Z: mapping the machine's root, where protecting "every drive" would write.
    EXPECT_EQ(seen, "B:2 C:3 D:3 E:2 F:5 G:2(no medium) N:4 ");
    // Above E: stand a CD-ROM, the empty slot and a network drive; B: is lower.
    EXPECT_EQ(Utf8(FindRemovableDrive(os)), "E");
}

TEST(OnTheStick, RemoveTakesOnlyAFileAndGuardImmunisesOverWhateverStoodThere) {
    Win32Platform os;
    ClearStick();
    ASSERT_TRUE(WriteStaleAutorun(kReadOnlyHiddenSystem));
    ASSERT_EQ(Hex(GetFileAttributesW(kAutorun.c_str())), "0x27");
    ASSERT_FALSE(DeleteFileW(kAutorun.c_str())) << "read-only should stop a plain delete";
    RemoveAutorun(os, L"E");
    EXPECT_EQ(GetFileAttributesW(kAutorun.c_str()), INVALID_FILE_ATTRIBUTES) << "the file stayed";

    struct Case {
        const char* before;
        std::function<bool()> arrange;
        DWORD marks;  // given to the immunised folder before RemoveAutorun, which keeps them
    };
    const Case cases[] = {
        {"nothing", [] { return true; }, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"a read-only hidden system file", [] { return WriteStaleAutorun(kReadOnlyHiddenSystem); },
         FILE_ATTRIBUTE_HIDDEN},
        // md then fails on the folder it finds, and the drive stays protected.
        {"an immunised folder", [&] { return GuardDrive(os, L"E"); }, FILE_ATTRIBUTE_NORMAL},
        {"a folder whose marks were cleared",
         [&] {
             return GuardDrive(os, L"E") && SetFileAttributesW(kAutorun.c_str(), 0) &&
                    AttributesSeenByNewProcess(kAutorun) == FILE_ATTRIBUTE_DIRECTORY;
         },
         kReadOnlyHiddenSystem},
    };
    // What Wine keeps of the marks on a folder: hidden and system (Windows
    // keeps read-only too).
    const DWORD immunised =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("over ") + c.before);
        ClearStick();
        ASSERT_EQ(GetFileAttributesW(kAutorun.c_str()), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(c.arrange());
        EXPECT_TRUE(GuardDrive(os, L"E"));
        const DWORD seen = AttributesSeenByNewProcess(kAutorun);
        EXPECT_EQ(Hex(seen & immunised), Hex(immunised)) << "read " << Hex(seen);
        EXPECT_TRUE(IsFolder(kAutorun + L"\\tirmola"));

        ASSERT_TRUE(SetFileAttributesW(kAutorun.c_str(), c.marks));
        const DWORD before = GetFileAttributesW(kAutorun.c_str());
        RemoveAutorun(os, L"E");
        EXPECT_EQ(Hex(AttributesSeenByNewProcess(kAutorun)), Hex(before)) << "a folder was changed";
        EXPECT_TRUE(IsFolder(kAutorun + L"\\tirmola"));
    }
    ClearStick();
}

TEST(GuardDriveOnWine, GivesUpOnAnEmptySlotAndOnADriveThatCannotBeWritten) {
    Win32Platform os;
    EXPECT_FALSE(GuardDrive(os, L"G"));
    EXPECT_EQ(GetFileAttributesW(L"G:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);

    if (SuiteSetting(L"TOVRANE_UNWRITABLE_DRIVES").find(L'B') == std::wstring::npos) {
        GTEST_SKIP() << "run-suite.sh could not make B: unwritable here (chattr +i unavailable)";
    }
    // Nothing can be created or deleted in B:'s root, but the stale file's
    // attributes can still be changed: marking it would show.
    const std::wstring stale = L"B:\\autorun.inf";
    ASSERT_TRUE(SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_HIDDEN))
        << "B: should hold a stale autorun.inf file, error " << GetLastError();
    ASSERT_FALSE(IsFolder(stale));
    ASSERT_EQ(CreateFileW(L"B:\\probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE)
        << "B: can be written after all";
    EXPECT_FALSE(GuardDrive(os, L"B"));
    const DWORD after = AttributesSeenByNewProcess(stale);
    EXPECT_FALSE(after & FILE_ATTRIBUTE_DIRECTORY) << "read " << Hex(after);
    EXPECT_EQ(Hex(after & 7), "0x0") << "cleared for the delete that failed, and never marked";
}

// A decoy cmd.exe planted beside the program and in its current folder, the
// two places a search for cmd looks first.
TEST(WithDecoyCmd, GuardAndOpenRunTheSystemCmdWhereASearchWouldFindADecoy) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring decoy = FolderOf(ThisExe()) + L"\\decoy_cmd.exe";
    const std::wstring planted[] = {FolderOf(ThisExe()) + L"\\cmd.exe",
                                    std::wstring(current) + L"\\cmd.exe"};
    ASSERT_NE(Utf8(planted[0]), Utf8(planted[1])) << "run-suite.sh runs from another folder";
    for (const std::wstring& place : planted) {
        ASSERT_TRUE(CopyFileW(decoy.c_str(), place.c_str(), FALSE)) << Utf8(place);
    }
    DeleteFileW(kDecoyMarker);
    ClearStick();

    Win32Platform os;
    EXPECT_TRUE(GuardDrive(os, L"E"));
    EXPECT_TRUE(IsFolder(kAutorun + L"\\tirmola")) << "the real md did not run";
    // Wine's explorer titles the window of an unlabelled drive " (E:)".
    ASSERT_EQ(FindTopWindow(L"ExplorerWClass", L"(E:)", 0, Until::Exists), nullptr);
    SafeOpenDrive(os, L"E");
    HWND opened = FindTopWindow(L"ExplorerWClass", L"(E:)", 10000, Until::Shown);
    EXPECT_NE(opened, nullptr) << "no window for E: within 10 s: the real start did not run";
    EXPECT_EQ(DecoyRecord(), "") << "a planted cmd.exe ran";
    if (opened) {  // tests that follow may look for windows of their own
        PostMessageW(opened, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(opened); }, 10000)) << "the window stayed";
    }
    ClearStick();

    // Without this, the decoys' silence above would prove nothing: each is
    // what a search finds, the one beside the exe first.
    for (const std::wstring& place : planted) {
        SCOPED_TRACE("the decoy at " + Utf8(place));
        DeleteFileW(kDecoyMarker);
        EXPECT_TRUE(StartProgram(L"", L"cmd /c exit").WaitForExit(10000));
        EXPECT_EQ(DecoyRecord(), "cmd /c exit\r\n");
        DeleteFileW(place.c_str());
    }
    DeleteFileW(kDecoyMarker);
}

}  // namespace
}  // namespace tovrane::wine
