#include <gtest/gtest.h>

#include "core/DriveList.h"
#include "tests/unit/FakePlatform.h"

namespace tovrane {
namespace {

using testing::FakePlatform;
using Tokens = std::vector<DriveLetter>;

TEST(SplitDriveLetters, KeepsEmptyTokensWhereSeparatorsLeaveNothing) {
    EXPECT_EQ(SplitDriveLetters(L"A:\\C:\\D:\\"), (Tokens{L"", L"C", L"D", L""}));
    EXPECT_EQ(SplitDriveLetters(L"C:\\E:\\"), (Tokens{L"C", L"E", L""}));
    EXPECT_EQ(SplitDriveLetters(L"A:\\C:\\"), (Tokens{L"", L"C", L""}));
    EXPECT_EQ(SplitDriveLetters(L"B:\\C:\\"), (Tokens{L"B", L"C", L""}));
    EXPECT_EQ(SplitDriveLetters(L""), Tokens{});
}

TEST(FindRemovableDrive, HighestRemovableLetterWithAMediumWins) {
    FakePlatform os;
    os.AddDrives(L"A", DriveType::Removable);
    os.AddDrives(L"C", DriveType::Fixed);
    EXPECT_EQ(FindRemovableDrive(os), L"") << "A: is never the removable drive";
    os.AddDrives(L"B", DriveType::Removable);
    EXPECT_EQ(FindRemovableDrive(os), L"B") << "B: is a candidate";
    os.AddDrives(L"EFH", DriveType::Removable);
    os.AddDrives(L"I", DriveType::CdRom);
    os.AddDrives(L"K", DriveType::Removable, /*hasMedium=*/false);  // an empty card-reader slot
    EXPECT_EQ(FindRemovableDrive(os), L"H");
}

TEST(FindRemovableDrive, AsksEachDriveButAInOrderAndNoneIsFoundAmongTheRest) {
    FakePlatform os;
    os.AddDrives(L"A", DriveType::Removable);
    os.AddDrives(L"C", DriveType::Fixed);
    os.AddDrives(L"D", DriveType::CdRom);
    os.AddDrives(L"N", DriveType::Remote);
    EXPECT_EQ(FindRemovableDrive(os), L"");
    // Not A:, and never ":\" for the empty tokens that A: and the end leave.
    EXPECT_EQ(os.queried, (Tokens{L"C:\\", L"D:\\", L"N:\\"}));
}

TEST(ParseDriveLetter, AcceptsOneLetterWithAnOptionalColonOrRoot) {
    const std::pair<const wchar_t*, const wchar_t*> accepted[] = {
        {L"E", L"E"},     {L"e", L"E"},      {L"e:", L"E"}, {L"E:\\", L"E"},
        {L"  c  ", L"C"}, {L" z:\\ ", L"Z"}, {L"A", L"A"},
    };
    for (const auto& [text, letter] : accepted) {
        EXPECT_EQ(ParseDriveLetter(text), letter) << ::testing::PrintToString(std::wstring(text));
    }
}

TEST(ParseDriveLetter, RejectsEverythingElse) {
    // U+FF25 is a full-width E, U+3000 an ideographic space.
    const wchar_t* rejected[] = {
        L"",       L"   ", L"请选择", L"EF",        L"E:F", L"E:/",     L"E::", L"E:\\\\",
        L":",      L":\\", L"\"E\"",  L"C & del x", L"E&",  L"E|",      L"%E%", L"..",
        L"E:\\..", L"1",   L"\tE",    L"\uFF25",    L"é",   L"E\u3000",
    };
    for (const wchar_t* text : rejected) {
        EXPECT_EQ(ParseDriveLetter(text), L"") << ::testing::PrintToString(std::wstring(text));
    }
}

}  // namespace
}  // namespace tovrane
