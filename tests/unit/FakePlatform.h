// A platform that answers from a table of drives and paths and records, in
// order, every call that asks the system to change or start something.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovrane::testing {

struct FakeDrive {
    DriveType type = DriveType::Fixed;
    bool hasMedium = true;
};

class FakePlatform : public Platform {
public:
    // -- what the fake system holds --------------------------------------
    std::map<wchar_t, FakeDrive> drives;               // by upper-case letter
    std::map<std::wstring, PathKind> paths;            // anything else is Missing
    std::map<std::wstring, std::uint32_t> attributes;  // what SetAttributes left
    std::set<std::wstring> undeletable;                // DeleteFile fails on these
    std::set<std::wstring> uncopyable;                 // CopyFile fails onto these
    bool startFails = false;
    std::wstring commonStartupFolder = L"C:\\ProgramData\\Startup";  // empty: no answer
    std::wstring executablePath = L"D:\\tools\\Tovrane.exe";
    // A started command line that makes a folder, as "md" would: the
    // command line and the folder it makes where nothing stands yet.
    std::map<std::wstring, std::wstring> folderMadeBy;

    // -- what the code asked of it -----------------------------------------
    std::vector<std::wstring> calls;     // one line per changing call, in order
    std::vector<std::wstring> queried;   // roots asked for their type
    std::vector<std::uint32_t> waits;    // timeouts given to WaitForExit
    std::vector<std::wstring> messages;  // "title|icon|text" of each message box

    void AddDrive(wchar_t letter, DriveType type, bool hasMedium = true) {
        drives[letter] = FakeDrive{type, hasMedium};
    }

    std::wstring LogicalDriveStrings() override;
    DriveType DriveTypeOf(const std::wstring& root) override;
    bool HasMedium(const std::wstring& root) override;
    PathKind GetPathKind(const std::wstring& path) override;
    OsResult SetAttributes(const std::wstring& path, std::uint32_t mask) override;
    OsResult RemoveFile(const std::wstring& path) override;
    OsResult CopyFileTo(const std::wstring& from, const std::wstring& to) override;
    std::unique_ptr<StartedProcess> StartProgram(const std::wstring& application,
                                                 const std::wstring& commandLine,
                                                 ShowStyle style) override;
    std::wstring WindowsFolder() override { return L"C:\\WINDOWS"; }
    std::wstring SystemFolder() override { return L"C:\\WINDOWS\\system32"; }
    std::wstring CommonStartupFolder() override { return commonStartupFolder; }
    std::wstring ExecutablePath() override { return executablePath; }
    // Paths are spelt one way here, so equal text means the same file.
    bool IsSameFile(const std::wstring& a, const std::wstring& b) override {
        return a == b && GetPathKind(a) == PathKind::File;
    }
    void ShowMessage(const std::wstring& text, MessageIcon icon,
                     const std::wstring& title) override {
        messages.push_back(title + L"|" + std::to_wstring(static_cast<unsigned>(icon)) + L"|" +
                           text);
    }
    TwipsPerPixel ScreenTwipsPerPixel() override { return {}; }
};

}  // namespace tovrane::testing
