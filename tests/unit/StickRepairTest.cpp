// A stick repair carried out against the fake's file system: what the stick
// holds afterwards, what 说明.txt says, and that the work is the same however
// it is cut into steps.
#include <gtest/gtest.h>

#include "core/AutorunGuard.h"
#include "core/StickRepair.h"
#include "tests/unit/FakePlatform.h"
#include "tests/unit/LinkBytes.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using testing::ShortcutTo;

constexpr std::uint32_t kHS = attr::kHidden | attr::kSystem, kDir = attr::kDirectory;
const std::wstring kRoot = L"\\\\?\\E:\\";
const std::wstring kJail = L"已隔离的可疑文件";

// The worm's work: Photos hidden, a shortcut named like it that runs the
// hidden x.vbs and then opens the folder, and the user's notes beside them.
FakePlatform WormStick() {
    FakePlatform os;
    os.AddDrives(L"E", DriveType::Removable);
    os.volumes[L'E'] = {true, 0x1234ABCD, L"KINGSTON"};
    os.files = {
        {kRoot + L"Photos", {kDir | kHS, "", 40}},
        {kRoot + L"Photos\\a.jpg", {0x20, "jpeg", 40}},
        {kRoot + L"Photos.lnk",
         {0x20,
          ShortcutTo(L"..\\..\\..\\Windows\\System32\\cmd.exe",
                     L"/c start wscript x.vbs & start explorer Photos & exit"),
          70}},
        {kRoot + L"x.vbs", {kHS | attr::kReadOnly, "WScript.Echo 1", 71}},
        {kRoot + L"notes.txt", {0x20, "mine", 72}},
    };
    return os;
}

// Each character here is below U+10000: one byte, or a lead byte and one or two more.
std::string Utf8(const std::wstring& text) {
    std::string out;
    for (const unsigned u : text) {
        const int more = u < 0x80 ? 0 : u < 0x800 ? 1 : 2;
        out += static_cast<char>(more ? (0xFF00 >> (more + 1) & 0xFF) | u >> 6 * more : u);
        for (int i = more; i-- > 0;) {
            out += static_cast<char>(0x80 | (u >> 6 * i & 0x3F));
        }
    }
    return out;
}

// Each path of the stick with its attributes but the folder bit: "Photos/ 6".
std::string Listing(const FakePlatform& os) {
    std::string out;
    for (const auto& [path, file] : os.files) {
        if (path.compare(0, kRoot.size(), kRoot) == 0) {
            out += Utf8(path.substr(kRoot.size())) +
                   (file.attributes & kDir ? "/" : "") + " " +
                   std::to_string(file.attributes & ~kDir) + "\n";
        }
    }
    return out;
}

std::wstring RecordOf(const FakePlatform& os) {
    const auto found = os.files.find(kRoot + kJail + L"\\" + kRecordFile);
    if (found == os.files.end() || found->second.content.size() < 2) {
        return L"";
    }
    const std::string& bytes = found->second.content;
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "no UTF-16LE byte-order mark";
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

// Steps of `budgetMs` until the job is over; the number of steps it took.
int RunWhole(FakePlatform& os, StickRepair& repair, std::uint32_t budgetMs,
             StickRepair::Progress& end) {
    int steps = 0;
    do {
        end = repair.Step(os, budgetMs);
    } while (++steps < 10000 && end == StickRepair::Progress::Working);
    return steps;
}

std::size_t Count(const std::wstring& text, const std::wstring& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The repair of each stick ends the same whether it runs whole (as safe open
// runs it) or in steps of a few units (as the timer runs it).
TEST(StickRepair, MovesLaunchersAndPayloadGivesBackWhatTheyHidAndWritesItDown) {
    enum { kEarlierRepair = 1, kWriteProtected = 2, kJailIsFile = 4, kJailIsLink = 8, kBlank = 16 };
    struct Case {
        const char* what;
        int setup;
        std::string after;
        std::vector<std::wstring> recorded, left;
    };
    const std::string jail = "已隔离的可疑文件/ 0\n";
    const std::string worm = "Photos/ 0\nPhotos.lnk 32\nPhotos\\a.jpg 32\nnotes.txt 32\nx.vbs 7\n";
    // clang-format off
    const Case cases[] = {
        {"a worm stick", 0,
         "Photos/ 0\nPhotos\\a.jpg 32\nnotes.txt 32\n" + jail +
             "已隔离的可疑文件\\Photos.lnk.txt 0\n已隔离的可疑文件\\x.vbs.txt 0\n已隔离的可疑文件\\说明.txt 0\n",
         {L"这个文件夹是 Tovrane 建立的", L"E: 盘（卷标 “KINGSTON”）",
          L"病毒的启动器 “Photos.lnk”（指向命令程序的快捷方式）",
          L"已移到这里：Photos.lnk → Photos.lnk.txt（原属性：存档；修改时间：2026-03-09 08:00:00）",
          L"已移到这里：x.vbs → x.vbs.txt（原属性：只读、隐藏、系统；",
          L"已恢复显示：“Photos”（原属性：隐藏、系统、文件夹）", L"如何放回"},
         {}},
        {"names taken by an earlier repair", kEarlierRepair,
         "Photos/ 0\nPhotos\\a.jpg 32\nnotes.txt 32\n" + jail +
             "已隔离的可疑文件\\Photos.lnk-2.txt 0\n已隔离的可疑文件\\Photos.lnk.txt 0\n"
             "已隔离的可疑文件\\x.vbs-2.txt 0\n已隔离的可疑文件\\x.vbs.txt 0\n已隔离的可疑文件\\说明.txt 0\n",
         {L"earlier", L"Photos.lnk → Photos.lnk-2.txt", L"x.vbs → x.vbs-2.txt"}, {}},
        {"a write-protected stick", kWriteProtected, "Photos/ 6\n" + worm.substr(10), {},
         {L"Photos.lnk"}},
        {"the quarantine's name taken by a file", kJailIsFile,
         worm + "已隔离的可疑文件 32\n", {}, {L"Photos.lnk"}},
        {"the quarantine's name taken by a link", kJailIsLink,
         worm + "已隔离的可疑文件/ 1024\n", {}, {L"Photos.lnk"}},
        {"a blank folder and a launcher named like the label", kBlank,
         "notes.txt 32\n已恢复的文件夹/ 0\n已恢复的文件夹\\b.jpg 32\n" + jail +
             "已隔离的可疑文件\\KINGSTON.lnk.txt 0\n已隔离的可疑文件\\说明.txt 0\n",
         {L"已恢复显示并改名：“ ” → “已恢复的文件夹”"}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        for (const std::uint32_t budget : {100000u, 20u}) {
            FakePlatform os = WormStick();
            os.clockStep = 7;  // each look at the clock: 7 ms of work
            if (c.setup & kEarlierRepair) {
                os.files[kRoot + kJail] = {kDir, "", 0};
                os.files[kRoot + kJail + L"\\Photos.lnk.txt"] = {0, "", 0};
                os.files[kRoot + kJail + L"\\x.vbs.txt"] = {0, "", 0};
                os.AppendText(kRoot + kJail + L"\\" + kRecordFile, L"earlier\r\n");
            }
            os.writeProtected = c.setup & kWriteProtected ? L"E" : L"";
            if (c.setup & (kJailIsFile | kJailIsLink)) {
                os.files[kRoot + kJail] = {c.setup & kJailIsFile ? 0x20u : kDir | 0x400u, "", 0};
            }
            if (c.setup & kBlank) {  // the worm's folder named by a space, its launcher by the label
                os.files = {
                    {kRoot + L" ", {kDir | kHS, "", 40}},
                    {kRoot + L" \\b.jpg", {0x20, "jpeg", 40}},
                    {kRoot + L"KINGSTON.lnk",
                     {0x20, ShortcutTo(L"C:\\WINDOWS\\system32\\cmd.exe",
                                       L"/c start \"\" \"%cd%\\ \\\" & exit"), 70}},
                    {kRoot + L"notes.txt", {0x20, "mine", 72}},
                };
            }
            const std::string what = std::string(c.what) + ", budget " + std::to_string(budget);
            os.calls.clear();

            StickRepair repair(L"E");
            StickRepair::Progress end;
            const int steps = RunWhole(os, repair, budget, end);
            EXPECT_EQ(end, StickRepair::Progress::Done) << what;
            EXPECT_EQ(budget == 20u, steps > 1) << what << ": " << steps << " steps";
            EXPECT_EQ(Listing(os), c.after) << what;
            EXPECT_EQ(repair.LaunchersLeft(), c.left) << what;
            const std::wstring record = RecordOf(os);
            for (const std::wstring& part : c.recorded) {
                EXPECT_NE(record.find(part), std::wstring::npos)
                    << what << ": 说明.txt lacks " << ::testing::PrintToString(part) << " in\n"
                    << ::testing::PrintToString(record);
            }
            EXPECT_EQ(Count(record, L"这个文件夹是 Tovrane 建立的"), c.setup & kEarlierRepair ? 0u : !record.empty())
                << what << ": the introduction is written once, with the file";
            EXPECT_EQ(record.find(L'\n'), record.find(L"\r\n") + (record.empty() ? 0 : 1))
                << what << ": lines end in CRLF";
            for (const std::wstring& call : os.calls) {
                // Nothing is deleted, nothing is copied, every path is a \\?\ path.
                EXPECT_TRUE(call.rfind(L"delete", 0) != 0 && call.rfind(L"copy", 0) != 0) << what;
                EXPECT_NE(call.find(L"\\\\?\\E:\\"), std::wstring::npos) << what;
            }
        }
    }
}

// A job belongs to the volume it began on: with another medium in the drive,
// or none, it stops and changes nothing more. A drive that is not there, or
// unreadable, has no job at all.
TEST(StickRepair, IsDroppedWhenTheVolumeChangesOrCannotBeRead) {
    const std::pair<const char*, void (*)(FakePlatform&)> changes[] = {
        {"serial", [](FakePlatform& os) { os.volumes[L'E'].serial ^= 1; }},
        {"label", [](FakePlatform& os) { os.volumes[L'E'].label = L"KINGSTON2"; }},
        {"medium", [](FakePlatform& os) { os.volumes.erase(L'E'); }},
    };
    for (const auto& [change, make] : changes) {
        FakePlatform os = WormStick();
        os.clockStep = 15;
        StickRepair repair(L"E");
        EXPECT_EQ(repair.Step(os, 20), StickRepair::Progress::Working) << change;
        const std::string before = Listing(os);
        make(os);
        StickRepair::Progress end;
        RunWhole(os, repair, 20, end);
        EXPECT_EQ(end, StickRepair::Progress::Dropped) << change;
        EXPECT_EQ(Listing(os), before) << change;
    }
    FakePlatform none;
    EXPECT_EQ(StickRepair(L"E").Step(none, 20), StickRepair::Progress::Dropped);
    EXPECT_EQ(StickRepair(L"").Step(none, 20), StickRepair::Progress::Dropped);
    EXPECT_EQ(none.calls, std::vector<std::wstring>{});
}

// Safe open repairs a stick before it opens it. Launchers it could not move
// are named, ten at most, with a word against double-clicking them, and the
// drive opens after. Fixed drives are repaired only on a USB bus, and never
// the Windows drive.
TEST(StickRepair, RunsWholeInSafeOpenWhichWarnsOfLaunchersLeft) {
    struct Case {
        const char* what;
        std::wstring writeProtected;
        int extraLaunchers;
        DriveType type;
        std::wstring usb, warned;
    };
    const std::wstring open = L"start C:\\WINDOWS\\system32\\cmd.exe [cmd /c start E:] style 2";
    const Case cases[] = {
        {"a worm stick", L"", 0, DriveType::Removable, L"", L""},
        {"write-protected", L"E", 0, DriveType::Removable, L"", L"    Photos.lnk\n\n请不要双击它们"},
        {"twelve launchers left", L"E", 11, DriveType::Removable, L"", L"    P8.exe\n    还有 2 个\n"},
        {"a USB disk", L"", 0, DriveType::Fixed, L"E", L""},
        {"a fixed disk", L"", 0, DriveType::Fixed, L"", L""},
    };
    for (const Case& c : cases) {
        FakePlatform os = WormStick();
        os.drives[L'E'] = c.type;
        os.usbDisks = c.usb;
        os.writeProtected = c.writeProtected;
        for (int i = 0; i < c.extraLaunchers; ++i) {  // programs named like hidden folders
            const std::wstring name = L"P" + std::to_wstring(i);
            os.files[kRoot + name] = {kDir | kHS, "", 1};
            os.files[kRoot + name + L".exe"] = {0x20, "MZ", 1};
        }
        const bool repaired = c.type == DriveType::Removable || !c.usb.empty();
        EXPECT_TRUE(OpenDriveSafely(os, L"E")) << c.what;
        EXPECT_EQ(os.calls.back(), open) << c.what;
        EXPECT_EQ(os.files.count(kRoot + L"Photos.lnk") == 0, repaired && c.writeProtected.empty())
            << c.what;
        EXPECT_TRUE(c.warned.empty() ? os.messages.empty() : os.WarnedOnceAbout(c.warned))
            << c.what << ": " << ::testing::PrintToString(os.messages);
    }
    FakePlatform windows = WormStick();
    windows.drives[L'E'] = DriveType::Fixed;
    windows.usbDisks = L"C";
    EXPECT_FALSE(IsStickDrive(windows, L"C")) << "the drive of C:\\WINDOWS is never repaired";
}

}  // namespace
}  // namespace tovrane
