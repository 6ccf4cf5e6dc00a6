// The drive core against the real Win32Platform, the real cmd and real
// mapped drives under Wine. suites.cmake maps, for this suite:
//   B: floppy that cannot be written, holding a stale autorun.inf file
//   D: hard disk   E: floppy (the stick)   F: CD-ROM
//   G: floppy whose folder is missing (an empty card-reader slot)
//   N: network drive
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AutorunGuard.h"
#include "core/DriveList.h"
#include "driver/Driver.h"
#include "platform/Win32Platform.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;

const DriveLetter kStick = L"E";
const DriveLetter kEmptySlot = L"G";
const DriveLetter kUnwritable = L"B";
const wchar_t kDecoyMarker[] = L"C:\\decoy-ran.txt";

// What Wine keeps of the marks on an immunised folder: hidden and system
// (Windows keeps read-only too).
constexpr DWORD kImmunisedBits =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::wstring AutorunOn(const DriveLetter& letter) {
    return letter + L":\\autorun.inf";
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the decoy cmd.exe recorded: one command line per run.
std::string DecoyRecord() {
    HANDLE file = CreateFileW(kDecoyMarker, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    char text[4096] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    return std::string(text, read);
}

// GetFileAttributesW(path) as a new process sees it.
DWORD AttributesSeenByNewProcess(const std::wstring& path) {
    Process probe =
        StartProgram(ThisExe(), L"probe " + std::wstring(kAttributesMode) + L" " + path);
    if (!probe.Started() || !probe.WaitForExit(10000)) {
        ADD_FAILURE() << "the attribute probe did not run to its end for " << Utf8(path);
        return INVALID_FILE_ATTRIBUTES;
    }
    return probe.ExitCode();
}

bool WriteAutorunFile(const DriveLetter& letter, DWORD attributes) {
    HANDLE file = CreateFileW(AutorunOn(letter).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const char text[] = "[autorun]\r\nopen=stale.exe\r\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
    return SetFileAttributesW(AutorunOn(letter).c_str(), attributes) != FALSE;
}

// Takes away whatever autorun.inf a test left, file or immunised folder.
void ClearAutorun(const DriveLetter& letter) {
    const std::wstring path = AutorunOn(letter);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW((path + L"\\tirmola").c_str());
    RemoveDirectoryW(path.c_str());
    DeleteFileW(path.c_str());
}

// ---------------------------------------------------------------------------
// The suite's own set-up, on which every other answer depends.

TEST(Harness, RunsUnderTheRequestedLocale) {
    const std::wstring locale = SuiteSetting(L"TOVRANE_LOCALE");
    ASSERT_TRUE(locale == L"zh_CN" || locale == L"C") << "TOVRANE_LOCALE=" << Utf8(locale);
    EXPECT_EQ(GetACP(), locale == L"zh_CN" ? 936u : 1252u);
    if (locale == L"zh_CN") {
        EXPECT_EQ(Hex(GetUserDefaultLCID()), "0x804");
    }
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* face) {
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

TEST(Harness, HasTheFontsForCaptionButtonsAndChineseText) {
    EXPECT_TRUE(FontInstalled(L"Marlett")) << "caption buttons would draw as letters";

    wchar_t face[64] = {};
    DWORD size = sizeof face;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    const LONG read = RegQueryValueExW(key, L"楷体_GB2312", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(face), &size);
    RegCloseKey(key);
    ASSERT_EQ(read, ERROR_SUCCESS);
    EXPECT_EQ(Utf8(face), "AR PL UKai CN");
}

// ---------------------------------------------------------------------------
// Which drive is the stick.

TEST(DrivesOnWine, ListsExactlyTheMappedDrives) {
    Win32Platform os;
    // No Z: mapping the machine's root, where protecting "every drive" would write.
    EXPECT_EQ(Utf8(ListDriveRoots(os)), "B:\\C:\\D:\\E:\\F:\\G:\\N:\\");
}

TEST(DrivesOnWine, ReportsTheTypeAndMediumOfEachDrive) {
    struct Case {
        const wchar_t* root;
        DriveType type;
        bool hasMedium;
    };
    const Case cases[] = {
        {L"B:\\", DriveType::Removable, true}, {L"C:\\", DriveType::Fixed, true},
        {L"D:\\", DriveType::Fixed, true},     {L"E:\\", DriveType::Removable, true},
        {L"F:\\", DriveType::CdRom, true},     {L"G:\\", DriveType::Removable, false},
        {L"N:\\", DriveType::Remote, true},
    };
    Win32Platform os;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.root));
        EXPECT_EQ(static_cast<int>(os.DriveTypeOf(c.root)), static_cast<int>(c.type));
        EXPECT_EQ(os.HasMedium(c.root), c.hasMedium);
    }
}

TEST(DrivesOnWine, FindsTheHighestRemovableDriveThatHoldsAMedium) {
    Win32Platform os;
    // Above E: stand a CD-ROM, an empty slot and a network drive; B: is lower.
    EXPECT_EQ(Utf8(FindRemovableDrive(os)), "E");
}

// ---------------------------------------------------------------------------
// Removing and immunising on the stick.

class OnTheStick : public ::testing::Test {
protected:
    void SetUp() override {
        ClearAutorun(kStick);
        ASSERT_FALSE(Exists(AutorunOn(kStick))) << "a previous test left E:\\autorun.inf";
    }
    void TearDown() override { ClearAutorun(kStick); }

    // Checks, from a new process, that E: is immunised.
    void ExpectImmunised() {
        const DWORD seen = AttributesSeenByNewProcess(AutorunOn(kStick));
        EXPECT_EQ(Hex(seen & kImmunisedBits), Hex(kImmunisedBits)) << "read " << Hex(seen);
        EXPECT_TRUE(IsFolder(AutorunOn(kStick) + L"\\tirmola"));
    }

    Win32Platform os_;
};

TEST_F(OnTheStick, RemoveAutorunDeletesAReadOnlyHiddenSystemFile) {
    ASSERT_TRUE(WriteAutorunFile(
        kStick, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_EQ(Hex(GetFileAttributesW(AutorunOn(kStick).c_str())), "0x27");
    ASSERT_FALSE(DeleteFileW(AutorunOn(kStick).c_str())) << "read-only should stop a plain delete";

    RemoveAutorun(os_, kStick);
    EXPECT_FALSE(Exists(AutorunOn(kStick)));
}

TEST_F(OnTheStick, RemoveAutorunLeavesAFolderAndItsAttributesAsTheyWere) {
    for (DWORD marks : {DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                        DWORD(FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_NORMAL)}) {
        SCOPED_TRACE("folder marked " + Hex(marks));
        ASSERT_TRUE(GuardDrive(os_, kStick));
        ASSERT_TRUE(SetFileAttributesW(AutorunOn(kStick).c_str(), marks));
        const DWORD before = GetFileAttributesW(AutorunOn(kStick).c_str());

        RemoveAutorun(os_, kStick);
        EXPECT_EQ(Hex(AttributesSeenByNewProcess(AutorunOn(kStick))), Hex(before));
        EXPECT_TRUE(IsFolder(AutorunOn(kStick) + L"\\tirmola"));
    }
}

TEST_F(OnTheStick, GuardDriveImmunisesACleanDrive) {
    EXPECT_TRUE(GuardDrive(os_, kStick));
    ExpectImmunised();
}

TEST_F(OnTheStick, GuardDriveReplacesAnAutorunFile) {
    ASSERT_TRUE(WriteAutorunFile(
        kStick, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(GuardDrive(os_, kStick));
    ExpectImmunised();
}

TEST_F(OnTheStick, GuardDriveTwiceLeavesTheDriveImmunised) {
    EXPECT_TRUE(GuardDrive(os_, kStick));
    EXPECT_TRUE(GuardDrive(os_, kStick)) << "md fails on the existing folder; still protected";
    ExpectImmunised();
}

TEST_F(OnTheStick, GuardDriveMarksAgainAFolderWhoseAttributesWereCleared) {
    ASSERT_TRUE(GuardDrive(os_, kStick));
    ASSERT_TRUE(SetFileAttributesW(AutorunOn(kStick).c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(Hex(AttributesSeenByNewProcess(AutorunOn(kStick))), "0x10");

    EXPECT_TRUE(GuardDrive(os_, kStick));
    ExpectImmunised();
}

TEST_F(OnTheStick, InvalidLettersTouchNothing) {
    const std::vector<DriveLetter> invalid = {L"", L"e", L"EE", L"E:", L"E:\\", L"1", L"?"};
    for (const DriveLetter& letter : invalid) {
        SCOPED_TRACE("letter \"" + Utf8(letter) + "\"");
        EXPECT_FALSE(GuardDrive(os_, letter));
        SafeOpenDrive(os_, letter);
    }
    for (const wchar_t* letter : {L"C", L"D", L"E", L"F", L"N"}) {
        EXPECT_FALSE(Exists(AutorunOn(letter))) << Utf8(AutorunOn(letter)) << " was made";
    }
    HWND opened = FindTopWindow(L"ExplorerWClass", L"", 1500);
    EXPECT_EQ(opened, nullptr) << "a window was opened: " << Utf8(TextOf(opened));
}

// ---------------------------------------------------------------------------
// Drives where immunising cannot succeed.

TEST(GuardDriveOnWine, GivesUpQuietlyOnADriveThatCannotBeWritten) {
    const std::wstring unwritable = SuiteSetting(L"TOVRANE_UNWRITABLE_DRIVES");
    if (unwritable.find(kUnwritable) == std::wstring::npos) {
        GTEST_SKIP() << "run-suite.sh could not make B: unwritable here (chattr +i unavailable)";
    }
    // Nothing can be created or deleted in B:'s root, but the stale file's
    // attributes can still be changed: marking it would show.
    const std::wstring path = AutorunOn(kUnwritable);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN))
        << "B: should hold a stale autorun.inf file, error " << GetLastError();
    ASSERT_FALSE(IsFolder(path));
    HANDLE probe = CreateFileW(L"B:\\probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "B: can be written after all";

    Win32Platform os;
    EXPECT_FALSE(GuardDrive(os, kUnwritable));
    const DWORD after = AttributesSeenByNewProcess(path);
    EXPECT_FALSE(after & FILE_ATTRIBUTE_DIRECTORY) << "read " << Hex(after);
    EXPECT_EQ(Hex(after & 7), "0x0") << "cleared for the delete that failed, and never marked";
    EXPECT_EQ(FindMessageBox(GetCurrentProcessId(), 0), nullptr) << "GuardDrive showed a box";
}

TEST(GuardDriveOnWine, GivesUpOnAnEmptySlot) {
    Win32Platform os;
    EXPECT_FALSE(GuardDrive(os, kEmptySlot));
    EXPECT_FALSE(Exists(AutorunOn(kEmptySlot)));
}

// ---------------------------------------------------------------------------
// A cmd.exe planted beside the program and in its current folder.

class WithDecoyCmd : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        const std::wstring decoy = FolderOf(ThisExe()) + L"\\decoy_cmd.exe";
        besideExe_ = FolderOf(ThisExe()) + L"\\cmd.exe";
        inCurrent_ = std::wstring(current) + L"\\cmd.exe";
        ASSERT_NE(Utf8(besideExe_), Utf8(inCurrent_)) << "run-suite.sh runs from another folder";
        ASSERT_TRUE(CopyFileW(decoy.c_str(), besideExe_.c_str(), FALSE)) << Utf8(decoy);
        ASSERT_TRUE(CopyFileW(decoy.c_str(), inCurrent_.c_str(), FALSE));
        DeleteFileW(kDecoyMarker);
        ClearAutorun(kStick);
    }

    void TearDown() override {
        DeleteFileW(besideExe_.c_str());
        DeleteFileW(inCurrent_.c_str());
        DeleteFileW(kDecoyMarker);
        ClearAutorun(kStick);
    }

    // Runs "cmd /c exit" the way a program that searched for cmd would.
    static bool RunSearchedCmd() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        wchar_t line[] = L"cmd /c exit";
        if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            return false;
        }
        const bool ended = WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return ended;
    }

    std::wstring besideExe_;
    std::wstring inCurrent_;
    Win32Platform os_;
};

TEST_F(WithDecoyCmd, EachDecoyIsWhatASearchForCmdFinds) {
    // Without this, the decoy's silence in the tests below would prove nothing.
    ASSERT_TRUE(RunSearchedCmd());
    EXPECT_EQ(DecoyRecord(), "cmd /c exit\r\n") << "the decoy beside the exe did not run";
    DeleteFileW(kDecoyMarker);
    DeleteFileW(besideExe_.c_str());
    ASSERT_TRUE(RunSearchedCmd());
    EXPECT_EQ(DecoyRecord(), "cmd /c exit\r\n") << "the decoy in the current folder did not run";
}

TEST_F(WithDecoyCmd, GuardDriveRunsTheSystemCmd) {
    EXPECT_TRUE(GuardDrive(os_, kStick));
    EXPECT_TRUE(IsFolder(AutorunOn(kStick) + L"\\tirmola")) << "the real md did not run";
    EXPECT_EQ(DecoyRecord(), "") << "a planted cmd.exe ran";
}

TEST_F(WithDecoyCmd, SafeOpenDriveRunsTheSystemCmd) {
    // Wine's explorer titles the window of an unlabelled drive " (E:)".
    ASSERT_EQ(FindTopWindow(L"ExplorerWClass", L"(E:)", 0), nullptr);
    SafeOpenDrive(os_, kStick);
    HWND opened = FindTopWindow(L"ExplorerWClass", L"(E:)", 10000);
    EXPECT_NE(opened, nullptr) << "no window for E: within 10 s: the real start did not run";
    EXPECT_EQ(DecoyRecord(), "") << "a planted cmd.exe ran";
    if (opened) {
        PostMessageW(opened, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(opened); }, 5000));
    }
}

}  // namespace
}  // namespace tovrane::wine
