// A platform that answers from a table of drives and paths and records, in
// order, every call that asks the system to change, start or wait for
// something.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovrane::testing {

class FakePlatform : public Platform {
public:
    // -- what the fake system holds --------------------------------------
    struct Drive {
        DriveType type;
        bool hasMedium;
    };
    std::map<wchar_t, Drive> drives;         // by upper-case letter
    std::map<std::wstring, PathKind> paths;  // anything else is Missing
    std::set<std::wstring> undeletable;      // RemoveFile fails on these
    bool startFails = false;
    std::wstring commonStartupFolder = L"C:\\ProgramData\\Startup";  // empty: no answer
    std::wstring executablePath = L"D:\\tools\\Tovrane.exe";
    // A started command line that makes a folder, as "md" would: the
    // command line and the folder it makes where nothing stands yet.
    std::map<std::wstring, std::wstring> folderMadeBy;

    // -- what the code asked of it -----------------------------------------
    std::vector<std::wstring> calls;     // one line per changing call or wait, in order
    std::vector<std::wstring> queried;   // roots asked for their type
    std::vector<std::wstring> messages;  // "title|icon|text" of each message box

    void AddDrives(const std::wstring& letters, DriveType type, bool hasMedium = true) {
        for (wchar_t letter : letters) {
            drives[letter] = {type, hasMedium};
        }
    }

    std::wstring LogicalDriveStrings() override {
        std::wstring buffer;
        for (const auto& drive : drives) {
            buffer += std::wstring(1, drive.first) + L":\\" + L'\0';
        }
        buffer.resize(1024, L'\0');
        return buffer;
    }
    DriveType DriveTypeOf(const std::wstring& root) override {
        queried.push_back(root);
        const Drive* drive = DriveAt(root);
        return drive ? drive->type : DriveType::NoRootDir;
    }
    bool HasMedium(const std::wstring& root) override {
        const Drive* drive = DriveAt(root);
        return drive && drive->hasMedium;
    }
    PathKind GetPathKind(const std::wstring& path) override {
        const auto found = paths.find(path);
        return found == paths.end() ? PathKind::Missing : found->second;
    }
    OsResult SetAttributes(const std::wstring& path, std::uint32_t mask) override {
        calls.push_back(L"attrib " + std::to_wstring(mask) + L" " + path);
        return GetPathKind(path) == PathKind::Missing ? OsResult::Failed(2) : OsResult::Ok();
    }
    OsResult RemoveFile(const std::wstring& path) override {
        calls.push_back(L"delete " + path);
        if (GetPathKind(path) != PathKind::File || undeletable.count(path)) {
            return OsResult::Failed(5);
        }
        paths.erase(path);
        return OsResult::Ok();
    }
    OsResult CopyFileTo(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"copy " + from + L" -> " + to);
        if (GetPathKind(from) != PathKind::File || GetPathKind(to) == PathKind::Folder) {
            return OsResult::Failed(5);
        }
        paths[to] = PathKind::File;
        return OsResult::Ok();
    }
    std::unique_ptr<StartedProcess> StartProgram(const std::wstring& application,
                                                 const std::wstring& commandLine,
                                                 ShowStyle style) override {
        calls.push_back(L"start " + application + L" [" + commandLine + L"] style " +
                        std::to_wstring(static_cast<int>(style)));
        if (startFails) {
            return nullptr;
        }
        const auto made = folderMadeBy.find(commandLine);
        if (made != folderMadeBy.end() && GetPathKind(made->second) == PathKind::Missing) {
            paths[made->second] = PathKind::Folder;
        }
        return std::make_unique<Process>(calls);
    }
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

private:
    struct Process : StartedProcess {
        explicit Process(std::vector<std::wstring>& log) : calls(log) {}
        bool WaitForExit(std::uint32_t timeoutMs) override {
            calls.push_back(L"wait " + std::to_wstring(timeoutMs));
            return true;
        }
        std::vector<std::wstring>& calls;
    };
    const Drive* DriveAt(const std::wstring& root) const {
        const auto drive = drives.find(root.size() == 3 && root.substr(1) == L":\\" ? root[0] : 0);
        return drive == drives.end() ? nullptr : &drive->second;
    }
};

}  // namespace tovrane::testing
