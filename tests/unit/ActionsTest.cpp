// What the core asks of the system, against a fake that records it: reading
// drive letters, the sticks that are in or arrive, the guard's actions on a
// drive, and the startup copy.
#include <gtest/gtest.h>

#include "core/AutorunGuard.h"
#include "core/DriveList.h"
#include "core/RememberedCommands.h"
#include "core/Startup.h"
#include "tests/unit/FakePlatform.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::wstring>;

const std::wstring kAutorunE = L"E:\\autorun.inf";
const std::wstring kDeleteE = L"delete " + kAutorunE, kClearE = L"attrib 0 " + kAutorunE;
const std::wstring kCmd = L"start C:\\WINDOWS\\system32\\cmd.exe [cmd /c ";
const std::wstring kMdE = kCmd + L"md E:\\autorun.inf\\tirmola..] style 2";
const std::wstring kOpenE = kCmd + L"start E:] style 2";
const std::wstring kWait = L"wait 10000", kMarkE = L"attrib 7 " + kAutorunE;

// One delete of X:\autorun.inf for each drive X in `letters`.
Calls Deleted(const std::wstring& letters) {
    Calls calls;
    for (wchar_t letter : letters) {
        calls.push_back(L"delete " + std::wstring(1, letter) + L":\\autorun.inf");
    }
    return calls;
}

// A text typed or picked by the user names a drive only once ParseDriveLetter
// has read it: the drive actions do nothing with any other text.
TEST(DriveLetters, ReadFromOneLetterWithAnOptionalColonOrRootAndOnlyThenUsed) {
    // '@' and '[' border on 'A' and 'Z'; U+FF25 is a full-width E, U+3000 an
    // ideographic space.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"A", L"A"},      {L"e", L"E"},  {L"e:", L"E"},    {L"E:\\", L"E"},     {L"  c  ", L"C"},
        {L" z:\\ ", L"Z"}, {L"", L""},    {L"   ", L""},    {L"请选择", L""},    {L"EF", L""},
        {L"E:F", L""},     {L"E:/", L""}, {L"E::", L""},    {L"E:\\\\", L""},    {L":", L""},
        {L"@", L""},       {L"[", L""},   {L"\"E\"", L""},  {L"C & del x", L""}, {L"E|", L""},
        {L"E:\\..", L""},  {L"\tE", L""}, {L"\uFF25", L""}, {L"é", L""},         {L"E\u3000", L""},
    };
    for (const auto& [text, letter] : cases) {
        const std::string shown = ::testing::PrintToString(std::wstring(text));
        EXPECT_EQ(ParseDriveLetter(text), letter) << shown;
        if (text == std::wstring(letter)) {
            continue;
        }
        FakePlatform os;
        os.paths[std::wstring(text) + L":\\autorun.inf"] = PathKind::File;
        EXPECT_FALSE(RemoveAutorun(os, text)) << shown;
        SafeOpenDrive(os, text);
        EXPECT_FALSE(GuardDrive(os, text)) << shown;
        EXPECT_FALSE(OpenDriveSafely(os, text)) << shown;
        EXPECT_EQ(os.calls, Calls{}) << shown;
    }
}

// Of the drives a volume arrival names, each removable or fixed one (a USB
// disk reports fixed) loses its autorun.inf file. Of the drives present,
// every removable one but A: that holds a medium is a stick and loses it;
// the highest is the one the user is reminded of.
TEST(Sticks, ArrivedOrPresentOnesAreCleaned) {
    FakePlatform drives;
    drives.AddDrives(L"ABEHK", DriveType::Removable);
    drives.withoutMedium = L"K";  // an empty card-reader slot
    drives.AddDrives(L"CD", DriveType::Fixed);
    drives.AddDrives(L"F", DriveType::CdRom);
    drives.AddDrives(L"N", DriveType::Remote);
    drives.AddAutorun(L"ABCDEFKN");
    drives.AddAutorun(L"H", PathKind::Folder);  // immunised
    struct Case {
        const char* what;
        std::uint32_t mask;
        const wchar_t* cleaned;
    };
    const Case cases[] = {
        {"stick E: below stick H:", 1u << 4, L"E"},
        {"USB disk D:", 1u << 3, L"D"},
        {"D: and E: at once", (1u << 3) | (1u << 4), L"DE"},
        {"disc F: with stick E:", (1u << 4) | (1u << 5), L"E"},
        {"disc in F:, and no such drive Q:", (1u << 5) | (1u << 16), L""},
    };
    for (const Case& c : cases) {
        FakePlatform os = drives;
        EXPECT_EQ(CleanArrivedDrives(os, c.mask), c.cleaned) << c.what;
        EXPECT_EQ(os.calls, Deleted(c.cleaned)) << c.what;
    }
    EXPECT_EQ(FindRemovableDrive(drives), L"H");
    EXPECT_EQ(CleanRemovableDrives(drives), L"BEH");
    EXPECT_EQ(drives.calls, Deleted(L"BEH")) << "not A:, fixed C: or the empty slot";
    // The roots split as Form1 lists them: A: dropped, empty tokens kept.
    EXPECT_EQ(SplitDriveLetters(L"A:\\C:\\D:\\"), (std::vector<DriveLetter>{L"", L"C", L"D", L""}));
    EXPECT_TRUE(SplitDriveLetters(L"").empty());

    FakePlatform none;
    EXPECT_EQ(FindRemovableDrive(none), L"");
    EXPECT_EQ(CleanRemovableDrives(none), L"");
}

// The file is deleted at once, then cleared and deleted again if it is still
// there; a folder (the immunisation) just fails the delete. GuardDrive starts
// md by the system cmd's full path and waits for it, boundedly, before it marks
// the folder. A drive opens only once the file is gone; else a box names it.
TEST(DriveActions, GuardAndOpenOnlyOnceTheAutorunFileIsGone) {
    enum { kUndeletable = 1, kMdMakesFolder = 2, kStartFails = 4, kNoDrive = 8 };
    struct Case {
        const char* what;
        bool (*action)(Platform&, const DriveLetter&);
        PathKind before;
        int setup;
        bool done, warns;
        Calls calls;
    };
    const Calls guarded = {kDeleteE, kMdE, kWait, kMarkE};
    // clang-format off
    const Case cases[] = {
        {"guard a file", GuardDrive, PathKind::File, kMdMakesFolder, true, false, guarded},
        {"guard a folder", GuardDrive, PathKind::Folder, 0, true, false, guarded},
        {"guard a file that cannot go", GuardDrive, PathKind::File, kUndeletable | kMdMakesFolder,
         false, false, {kDeleteE, kClearE, kDeleteE, kMdE, kWait}},
        {"no folder made", GuardDrive, PathKind::Missing, 0, false, false, {kDeleteE, kMdE, kWait}},
        {"cmd fails", GuardDrive, PathKind::Folder, kStartFails, false, false, {kDeleteE, kMdE}},
        {"open a file", OpenDriveSafely, PathKind::File, 0, true, false, {kDeleteE, kOpenE}},
        {"open a file that cannot go", OpenDriveSafely, PathKind::File, kUndeletable, false, true,
         {kDeleteE, kClearE, kDeleteE}},
        {"open a drive that is gone", OpenDriveSafely, PathKind::File, kNoDrive, false, false, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        FakePlatform os;
        os.AddDrives(c.setup & kNoDrive ? L"" : L"E", DriveType::Removable);
        os.paths[kAutorunE] = c.before;
        os.undeletable = c.setup & kUndeletable ? kAutorunE : L"";
        os.folderMadeByStart = c.setup & kMdMakesFolder ? kAutorunE : L"";
        os.startFails = c.setup & kStartFails;
        EXPECT_EQ(c.action(os, L"E"), c.done) << c.what;
        EXPECT_EQ(os.calls, c.calls) << c.what;
        EXPECT_TRUE(c.warns ? os.WarnedOnceAbout(kAutorunE) : os.messages.empty()) << c.what;
    }
}

// Explorer's memory of E:'s autorun.inf, in the entry named by the volume's
// GUID and in the one named by its letter: before safe open starts anything,
// each verb holding a command goes, and Shell's default with it when it names
// such a verb or none at all; Explorer's own keys and other volumes' entries
// stay. A command that will not go refuses the open, naming its key.
TEST(RememberedCommands, GoBeforeSafeOpenAndOnlyTheyGo) {
    const std::wstring root = std::wstring(kMountPoints2) + L"\\";
    const std::wstring guid = L"{6f3b2a10-0000-4c1e-9a7d-5e0d3c2b1a09}";  // nothing of E in it
    const RegistryText none, virus = {true, L"E:\\virus.exe -run"};
    auto text = [](const wchar_t* value) { return RegistryText{true, value}; };
    // An entry as a stick's autorun.inf and Explorer leave it.
    auto entry = [&](const std::wstring& name) {
        const std::wstring at = root + name;
        return std::map<std::wstring, RegistryText>{
            {at + L"\\Shell", text(L"AutoRun")},
            {at + L"\\Shell\\AutoRun\\command", virus},
            {at + L"\\Shell\\Autoplay\\DropTarget", none},
            {at + L"\\_Autorun\\DefaultIcon", text(L"E:\\stick.ico")},
            {at + L"\\BaseClass", text(L"Drive")},
        };
    };
    auto regdelete = [&](const std::wstring& key) { return L"regdelete " + root + key; };
    auto regdefault = [&](const std::wstring& key) { return L"regdefault " + root + key; };
    enum { kGuidKnown = 1, kUndeletable = 2, kShellNamesAutoplay = 4, kPlainVerbs = 8 };
    struct Case {
        const char* what;
        int setup;
        std::wstring volumeName;
        Calls calls;
        bool opens;
    };
    const std::wstring volume = L"\\\\?\\Volume" + guid + L"\\";
    const Calls both = {regdelete(guid + L"\\Shell\\AutoRun"), regdefault(guid + L"\\Shell"),
                        regdelete(L"E\\Shell\\AutoRun"), regdefault(L"E\\Shell")};
    // clang-format off
    const Case cases[] = {
        {"both entries", kGuidKnown, volume, both, true},
        {"no volume name: the letter's entry alone", kGuidKnown, L"",
         {regdelete(L"E\\Shell\\AutoRun"), regdefault(L"E\\Shell")}, true},
        {"a volume name cut short", kGuidKnown, volume.substr(0, volume.size() - 1),
         {regdelete(L"E\\Shell\\AutoRun"), regdefault(L"E\\Shell")}, true},
        {"Shell's default names Explorer's Autoplay", kGuidKnown | kShellNamesAutoplay, volume,
         {regdelete(guid + L"\\Shell\\AutoRun"), regdelete(L"E\\Shell\\AutoRun")}, true},
        {"verbs without a command, a default naming none", kPlainVerbs, volume,
         {regdefault(L"E\\Shell")}, true},
        {"a verb that will not go", kGuidKnown | kUndeletable, volume, both, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        FakePlatform os;
        os.AddDrives(L"EF", DriveType::Removable);
        os.volumeNames[L'E'] = c.volumeName;
        os.registry = entry(L"E");
        if (c.setup & kGuidKnown) {
            os.registry.merge(entry(guid));
        }
        os.registry.merge(entry(L"F"));  // another volume's
        if (c.setup & kShellNamesAutoplay) {
            os.registry[root + guid + L"\\Shell"] = text(L"autoplay");
            os.registry[root + L"E\\Shell"] = text(L"Autoplay");
        }
        if (c.setup & kPlainVerbs) {
            os.registry.erase(root + L"E\\Shell\\AutoRun\\command");
            os.registry[root + L"E\\Shell\\open\\command"] = text(L"");
            os.registry[root + L"E\\Shell"] = text(L"explore");
        }
        os.undeletableKey = c.setup & kUndeletable ? root + guid + L"\\Shell\\AutoRun" : L"";
        const auto before = os.registry;

        EXPECT_EQ(OpenDriveSafely(os, L"E"), c.opens) << c.what;
        Calls expected = {kDeleteE};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        if (c.opens) {
            expected.push_back(kOpenE);
        }
        EXPECT_EQ(os.calls, expected) << c.what;
        EXPECT_TRUE(c.opens ? os.messages.empty()
                            : os.WarnedOnceAbout(L"HKEY_CURRENT_USER\\" + root + guid +
                                                 L"\\Shell\\AutoRun"))
            << c.what;
        // Nothing else changed: every key and value either stayed as it was
        // or went with the calls above.
        for (const auto& [key, value] : before) {
            const auto now = os.registry.find(key);
            const bool kept = now != os.registry.end() && now->second.present == value.present &&
                              now->second.text == value.text;
            const bool meant = std::any_of(c.calls.begin(), c.calls.end(), [&](const auto& call) {
                const std::wstring target = call.substr(call.find(L' ') + 1);
                return key == target || key.rfind(target + L"\\", 0) == 0;
            });
            EXPECT_TRUE(kept || meant) << c.what << ": " << ::testing::PrintToString(key);
        }
    }
}

const std::wstring kCopy = L"C:\\ProgramData\\Startup\\kelvo.exe";
const std::wstring kSelf = L"D:\\tools\\Tovrane.exe";

TEST(StartupCopyPath, IsKelvoInTheFolderTheShellNamesOrInTheFallback) {
    FakePlatform os;
    EXPECT_EQ(StartupCopyPath(os), kCopy);
    os.commonStartupFolder = L"C:\\Startup\\";
    EXPECT_EQ(StartupCopyPath(os), L"C:\\Startup\\kelvo.exe") << "no doubled backslash";
    os.commonStartupFolder.clear();
    EXPECT_EQ(StartupCopyPath(os),
              L"C:\\Documents and Settings\\All Users\\「开始」菜单\\程序\\启动\\kelvo.exe");
}

// Ticking copies the running executable by its full path, unticking deletes
// the copy. The box then shows the new value, or the previous one after a
// warning that names the copy; either way it agrees with IsInStartup. The
// startup copy itself neither copies onto nor deletes itself.
TEST(ApplyStartupChoice, CopiesOrDeletesAndAnswersWhatTheBoxMustShow) {
    enum { kUndeletable = 1, kRunningCopy = 2 };
    struct Case {
        const char* what;
        PathKind before;  // what stands where the copy goes
        int setup, value, shown;
        Calls calls;
    };
    const std::wstring copy = L"copy " + kSelf + L" -> " + kCopy, remove = L"delete " + kCopy;
    const Case cases[] = {
        {"tick", PathKind::Missing, 0, 1, 1, {copy}},
        {"tick where a folder stands", PathKind::Folder, 0, 1, 0, {copy}},
        {"tick in the startup copy", PathKind::File, kRunningCopy, 1, 1, {}},
        {"untick", PathKind::File, 0, 0, 0, {remove}},
        {"untick without a copy", PathKind::Missing, 0, 0, 0, {}},
        {"untick an undeletable copy", PathKind::File, kUndeletable, 0, 1, {remove}},
        {"untick in the startup copy", PathKind::File, kRunningCopy, 0, 1, {}},
    };
    for (const Case& c : cases) {
        FakePlatform os;
        os.paths = {{kSelf, PathKind::File}, {kCopy, c.before}};
        os.undeletable = c.setup & kUndeletable ? kCopy : L"";
        os.executablePath = c.setup & kRunningCopy ? kCopy : kSelf;
        EXPECT_EQ(IsInStartup(os), c.before == PathKind::File) << c.what;
        EXPECT_EQ(ApplyStartupChoice(os, c.value), c.shown) << c.what;
        EXPECT_EQ(IsInStartup(os), c.shown == 1) << c.what;
        EXPECT_EQ(os.calls, c.calls) << c.what;
        EXPECT_TRUE(c.shown == c.value ? os.messages.empty() : os.WarnedOnceAbout(kCopy)) << c.what;
    }
}

}  // namespace
}  // namespace tovrane
