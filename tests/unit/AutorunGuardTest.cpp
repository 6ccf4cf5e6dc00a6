#include <gtest/gtest.h>

#include "core/AutorunGuard.h"
#include "tests/unit/FakePlatform.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::wstring>;

const std::wstring kCmd = L"C:\\WINDOWS\\system32\\cmd.exe";
const std::wstring kAutorunE = L"E:\\autorun.inf";
const std::wstring kMdE = L"cmd /c md E:\\autorun.inf\\tirmola..";
const std::wstring kClear = L"attrib 0 E:\\autorun.inf", kDelete = L"delete E:\\autorun.inf";
const std::wstring kStartMd = L"start " + kCmd + L" [" + kMdE + L"] style 2";
const std::wstring kWait = L"wait 10000", kMark = L"attrib 7 E:\\autorun.inf";

// Only a file is removed, cleared only if the delete leaves it; a folder (the
// immunisation) just fails the delete. md is started by the system cmd's full
// path and waited for, boundedly, before the folder is marked; no box shows.
TEST(GuardDrive, RemovesTheFileMakesTheFolderWaitsThenMarksOnlyAFolder) {
    struct Case {
        const char* what;
        PathKind before;
        bool undeletable, mdMakesFolder, startFails, guarded;
        Calls calls;
    };
    // clang-format off
    const Case cases[] = {
        {"a file", PathKind::File, false, true, false, true,
         {kDelete, kStartMd, kWait, kMark}},
        {"a folder md finds there", PathKind::Folder, false, false, false, true,
         {kDelete, kStartMd, kWait, kMark}},
        {"a file that cannot go", PathKind::File, true, true, false, false,
         {kDelete, kClear, kDelete, kStartMd, kWait}},
        {"nothing, and md makes nothing", PathKind::Missing, false, false, false, false,
         {kDelete, kStartMd, kWait}},
        {"a folder, and cmd does not start", PathKind::Folder, false, false, true, false,
         {kDelete, kStartMd}},
    };
    // clang-format on
    for (const Case& c : cases) {
        FakePlatform os;
        os.paths[kAutorunE] = c.before;
        if (c.undeletable) {
            os.undeletable.insert(kAutorunE);
        }
        if (c.mdMakesFolder) {
            os.folderMadeBy[kMdE] = kAutorunE;
        }
        os.startFails = c.startFails;
        EXPECT_EQ(GuardDrive(os, L"E"), c.guarded) << c.what;
        EXPECT_EQ(os.calls, c.calls) << c.what;
        EXPECT_TRUE(os.messages.empty()) << c.what;
    }
}

TEST(DriveActions, DoNothingWithoutAValidLetter) {
    for (const wchar_t* text :
         {L"", L"C & del x", L"e", L"EF", L"E:", L"E:\\", L":", L"1", L"?", L"请选择"}) {
        FakePlatform os;
        os.paths[std::wstring(text) + L":\\autorun.inf"] = PathKind::File;
        RemoveAutorun(os, text);
        EXPECT_FALSE(GuardDrive(os, text));
        SafeOpenDrive(os, text);
        EXPECT_EQ(os.calls, Calls{}) << ::testing::PrintToString(std::wstring(text));
    }
}

}  // namespace
}  // namespace tovrane
