#include <gtest/gtest.h>

#include "core/AutorunGuard.h"
#include "tests/unit/FakePlatform.h"
#include "tests/unit/TestText.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::wstring>;

const std::wstring kCmd = L"C:\\WINDOWS\\system32\\cmd.exe";
const std::wstring kAutorunE = L"E:\\autorun.inf";
const std::wstring kMdE = L"cmd /c md E:\\autorun.inf\\tirmola..";

TEST(RemoveAutorun, ClearsAndDeletesOnlyAFile) {
    const std::pair<PathKind, Calls> cases[] = {
        {PathKind::File, {L"attrib 0 E:\\autorun.inf", L"delete E:\\autorun.inf"}},
        {PathKind::Folder, {}},  // an immunised drive keeps its folder's attributes
        {PathKind::Missing, {}},
    };
    for (const auto& [kind, calls] : cases) {
        FakePlatform os;
        os.paths[kAutorunE] = kind;
        RemoveAutorun(os, L"E");
        EXPECT_EQ(os.calls, calls) << "kind " << static_cast<int>(kind);
        EXPECT_NE(os.GetPathKind(kAutorunE), PathKind::File);
    }
}

TEST(GuardDrive, RemovesTheFileStartsMdWaitsThenMarksTheFolder) {
    FakePlatform os;
    os.paths[L"E:\\autorun.inf"] = PathKind::File;
    os.folderMadeBy[kMdE] = L"E:\\autorun.inf";
    EXPECT_TRUE(GuardDrive(os, L"E"));
    EXPECT_EQ(os.calls, (Calls{
                            L"attrib 0 E:\\autorun.inf",
                            L"delete E:\\autorun.inf",
                            L"start " + kCmd + L" [" + kMdE + L"] style 2",
                            L"attrib 7 E:\\autorun.inf",
                        }));
    EXPECT_EQ(os.waits, std::vector<std::uint32_t>{10000u}) << "one bounded wait for md";
}

TEST(GuardDrive, MarksAnExistingFolderEvenThoughMdFindsItThere) {
    FakePlatform os;
    os.paths[L"G:\\autorun.inf"] = PathKind::Folder;
    EXPECT_TRUE(GuardDrive(os, L"G"));
    EXPECT_EQ(os.calls, (Calls{
                            L"start " + kCmd + L" [cmd /c md G:\\autorun.inf\\tirmola..] style 2",
                            L"attrib 7 G:\\autorun.inf",
                        }));
}

TEST(GuardDrive, NeverMarksAFileThatCouldNotBeDeleted) {
    FakePlatform os;
    os.paths[L"E:\\autorun.inf"] = PathKind::File;
    os.undeletable.insert(L"E:\\autorun.inf");
    EXPECT_FALSE(GuardDrive(os, L"E"));
    EXPECT_TRUE(os.messages.empty()) << "GuardDrive never shows a box";
    EXPECT_EQ(os.attributes[L"E:\\autorun.inf"], 0u);
    EXPECT_EQ(os.calls.back(), L"start " + kCmd + L" [" + kMdE + L"] style 2");
}

TEST(GuardDrive, FailsQuietlyWhenNothingCouldBeMade) {
    FakePlatform os;
    EXPECT_FALSE(GuardDrive(os, L"E")) << "md made no folder";
    EXPECT_EQ(os.calls.size(), 1u);
    EXPECT_TRUE(os.messages.empty()) << "GuardDrive never shows a box";

    FakePlatform cannotStart;
    cannotStart.startFails = true;
    cannotStart.paths[L"E:\\autorun.inf"] = PathKind::Folder;
    EXPECT_FALSE(GuardDrive(cannotStart, L"E"));
    EXPECT_EQ(cannotStart.calls.size(), 1u) << "nothing is marked when cmd did not start";
}

TEST(SafeOpenDrive, StartsCmdStartWithTheDrive) {
    FakePlatform os;
    SafeOpenDrive(os, L"E");
    EXPECT_EQ(os.calls, Calls{L"start " + kCmd + L" [cmd /c start E:] style 2"});
    EXPECT_TRUE(os.waits.empty()) << "opening a drive does not wait for the file manager";
}

TEST(DriveActions, DoNothingWithoutAValidLetter) {
    for (const wchar_t* text :
         {L"", L"C & del x", L"e", L"EF", L"E:", L"E:\\", L":", L"1", L"?", L"请选择"}) {
        FakePlatform os;
        os.paths[std::wstring(text) + L":\\autorun.inf"] = PathKind::File;
        RemoveAutorun(os, text);
        EXPECT_FALSE(GuardDrive(os, text));
        SafeOpenDrive(os, text);
        EXPECT_EQ(os.calls, Calls{}) << testing::Narrow(text);
    }
}

}  // namespace
}  // namespace tovrane
