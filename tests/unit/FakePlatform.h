// A platform that answers from a table of drives and paths and records, in
// order, every call that asks the system to change, start or wait for
// something. Asking about anything but the root of a drive letter ("E:\")
// fails the test: the core must never ask about ":\".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovrane::testing {

class FakePlatform : public Platform {
public:
    // -- what the fake system holds --------------------------------------
    std::map<wchar_t, DriveType> drives;     // by upper-case letter
    std::wstring withoutMedium;              // letters of empty card-reader slots
    std::map<std::wstring, PathKind> paths;  // anything else is Missing
    std::wstring undeletable;                // RemoveFile fails on this path
    bool startFails = false;
    std::wstring folderMadeByStart;  // made by a started program where nothing stands, as by "md"
    std::wstring commonStartupFolder = L"C:\\ProgramData\\Startup";  // empty: no answer
    std::wstring executablePath = L"D:\\tools\\Tovrane.exe";
    std::map<wchar_t, std::wstring> volumeNames;  // by letter; none: the query fails
    // The current user's registry: each key by its path, with its default
    // value when that is text; the keys on the way to one exist too.
    std::map<std::wstring, RegistryText> registry;
    std::wstring undeletableKey;  // DeleteUserKey fails on this key

    // -- what the code asked of it -----------------------------------------
    std::vector<std::wstring> calls;     // one line per changing call or wait, in order
    std::vector<std::wstring> messages;  // "title|icon|text" of each message box

    void AddDrives(const std::wstring& letters, DriveType type) {
        for (wchar_t letter : letters) {
            drives[letter] = type;
        }
    }
    // Puts an autorun.inf of the given kind on each drive of `letters`.
    void AddAutorun(const std::wstring& letters, PathKind kind = PathKind::File) {
        for (wchar_t letter : letters) {
            paths[std::wstring(1, letter) + L":\\autorun.inf"] = kind;
        }
    }
    // True when exactly one box was shown: a warning titled Tovrane naming `what`.
    bool WarnedOnceAbout(const std::wstring& what) const {
        return messages.size() == 1 && messages[0].rfind(L"Tovrane|48|", 0) == 0 &&
               messages[0].find(what) != std::wstring::npos;
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
        const auto drive = drives.find(LetterOf(root));
        return drive == drives.end() ? DriveType::NoRootDir : drive->second;
    }
    bool HasMedium(const std::wstring& root) override {
        const wchar_t letter = LetterOf(root);
        return drives.count(letter) && withoutMedium.find(letter) == std::wstring::npos;
    }
    std::wstring VolumeNameOf(const std::wstring& root) override {
        const auto found = volumeNames.find(LetterOf(root));
        return found == volumeNames.end() ? L"" : found->second;
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
        if (GetPathKind(path) != PathKind::File || path == undeletable) {
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
        if (!folderMadeByStart.empty() && GetPathKind(folderMadeByStart) == PathKind::Missing) {
            paths[folderMadeByStart] = PathKind::Folder;
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
    std::vector<std::wstring> UserSubkeys(const std::wstring& key) override {
        std::vector<std::wstring> names;
        const std::wstring prefix = key + L"\\";
        for (auto it = registry.lower_bound(prefix);
             it != registry.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
            const std::wstring below = it->first.substr(prefix.size());
            const std::wstring name = below.substr(0, below.find(L'\\'));
            if (names.empty() || names.back() != name) {
                names.push_back(name);
            }
        }
        return names;
    }
    RegistryText UserDefaultText(const std::wstring& key) override {
        const auto found = registry.find(key);
        return found == registry.end() ? RegistryText{} : found->second;
    }
    OsResult DeleteUserKey(const std::wstring& key) override {
        calls.push_back(L"regdelete " + key);
        const std::wstring prefix = key + L"\\";
        auto within = [&](const auto& entry) {
            return entry.first == key || entry.first.compare(0, prefix.size(), prefix) == 0;
        };
        if (key == undeletableKey || std::none_of(registry.begin(), registry.end(), within)) {
            return OsResult::Failed(5);
        }
        for (auto it = registry.begin(); it != registry.end();) {
            it = within(*it) ? registry.erase(it) : std::next(it);
        }
        return OsResult::Ok();
    }
    OsResult DeleteUserDefaultValue(const std::wstring& key) override {
        calls.push_back(L"regdefault " + key);
        const auto found = registry.find(key);
        if (found == registry.end() || !found->second.present) {
            return OsResult::Failed(2);
        }
        found->second = {};
        return OsResult::Ok();
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
    static wchar_t LetterOf(const std::wstring& root) {
        if (root.size() != 3 || root[0] < L'A' || root[0] > L'Z' || root.substr(1) != L":\\") {
            ADD_FAILURE() << "asked about " << ::testing::PrintToString(root);
            return 0;
        }
        return root[0];
    }
};

}  // namespace tovrane::testing
