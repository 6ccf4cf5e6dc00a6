#include <gtest/gtest.h>

#include "core/Startup.h"
#include "tests/unit/FakePlatform.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::wstring>;

const std::wstring kCopy = L"C:\\ProgramData\\Startup\\kelvo.exe";
const std::wstring kSelf = L"D:\\tools\\Tovrane.exe";

class StartupChoice : public ::testing::Test {
protected:
    StartupChoice() { os.paths[kSelf] = PathKind::File; }
    FakePlatform os;
};

TEST_F(StartupChoice, CopyGoesToTheFolderTheShellNames) {
    EXPECT_EQ(StartupCopyPath(os), kCopy);
    os.commonStartupFolder = L"C:\\Startup\\";
    EXPECT_EQ(StartupCopyPath(os), L"C:\\Startup\\kelvo.exe") << "no doubled backslash";
    os.commonStartupFolder.clear();
    EXPECT_EQ(StartupCopyPath(os),
              L"C:\\Documents and Settings\\All Users\\「开始」菜单\\程序\\启动\\kelvo.exe");
}

TEST_F(StartupChoice, TickCopiesTheRunningExecutableByFullPathAndUntickRemovesIt) {
    EXPECT_FALSE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 0), 0) << "unticking without a copy is no failure";
    EXPECT_EQ(ApplyStartupChoice(os, 1), 1);
    EXPECT_TRUE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 0), 0);
    EXPECT_FALSE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 1), 1);
    EXPECT_EQ(os.calls, (Calls{L"copy " + kSelf + L" -> " + kCopy, L"delete " + kCopy,
                               L"copy " + kSelf + L" -> " + kCopy}));
    EXPECT_TRUE(os.messages.empty());
}

TEST_F(StartupChoice, AFolderInTheCopysPlaceIsNoCopyAndTheFailedCopyIsReported) {
    os.paths[kCopy] = PathKind::Folder;
    EXPECT_FALSE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 1), 0);
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].rfind(L"Tovrane|48|", 0), 0u);
    EXPECT_NE(os.messages[0].find(kCopy), std::wstring::npos) << "names the path it tried";
}

TEST_F(StartupChoice, FailedDeleteTellsTheUserAndLeavesTheBoxTicked) {
    os.paths[kCopy] = PathKind::File;
    os.undeletable.insert(kCopy);
    EXPECT_TRUE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 0), 1);
    EXPECT_EQ(os.messages.size(), 1u);
    EXPECT_TRUE(IsInStartup(os));
}

TEST_F(StartupChoice, TheStartupCopyItselfTicksAtOnceAndCannotRemoveItself) {
    os.executablePath = kCopy;
    os.paths[kCopy] = PathKind::File;
    EXPECT_TRUE(IsInStartup(os));
    EXPECT_EQ(ApplyStartupChoice(os, 1), 1);
    EXPECT_TRUE(os.messages.empty());
    EXPECT_EQ(ApplyStartupChoice(os, 0), 1);
    EXPECT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.calls, Calls{}) << "never copies onto or deletes the running file";
}

}  // namespace
}  // namespace tovrane
