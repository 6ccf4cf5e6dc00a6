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
    // The sticks' files, by their "\\?\E:\..." paths; a folder's attributes
    // hold attr::kDirectory.
    struct File {
        std::uint32_t attributes = 0;
        std::string content;
        std::uint64_t writeTime = 0;
    };
    std::map<std::wstring, File> files;
    std::wstring writeProtected;  // letters of drives where nothing can change
    std::map<wchar_t, VolumeIdentity> volumes;  // by letter; none: unknown
    std::wstring usbDisks;                      // letters of fixed drives on a USB bus
    std::uint32_t clock = 0;                    // Milliseconds(); each call moves it on
    std::uint32_t clockStep = 1;

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
    VolumeIdentity IdentityOf(const std::wstring& root) override {
        const auto found = volumes.find(LetterOf(root));
        return found == volumes.end() ? VolumeIdentity{} : found->second;
    }
    bool IsUsbDisk(const std::wstring& root) override {
        return usbDisks.find(LetterOf(root)) != std::wstring::npos;
    }
    PathKind GetPathKind(const std::wstring& path) override {
        const auto found = paths.find(path);
        return found == paths.end() ? PathKind::Missing : found->second;
    }
    OsResult SetAttributes(const std::wstring& path, std::uint32_t mask) override {
        calls.push_back(L"attrib " + std::to_wstring(mask) + L" " + path);
        const auto file = files.find(path);
        if (file != files.end()) {
            if (Protected(path)) {
                return OsResult::Failed(19);
            }
            file->second.attributes = (file->second.attributes & attr::kDirectory) | mask;
            return OsResult::Ok();
        }
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
    std::unique_ptr<FolderListing> ListFolder(const std::wstring& folder) override {
        calls.push_back(L"list " + folder);
        if (folder.size() != 7 && !files.count(folder)) {  // "\\?\E:\" is the root
            return nullptr;
        }
        auto listing = std::make_unique<Listing>();
        const std::wstring prefix = folder.back() == L'\\' ? folder : folder + L"\\";
        for (const auto& [path, file] : files) {
            if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                path.find(L'\\', prefix.size()) == std::wstring::npos) {
                listing->entries.push_back(EntryOf(path, file));
            }
        }
        return listing;
    }
    bool LookUp(const std::wstring& path, FileEntry& entry) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return false;
        }
        entry = EntryOf(path, found->second);
        return true;
    }
    bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes,
                       std::vector<std::uint8_t>& bytes) override {
        calls.push_back(L"read " + path);
        const auto found = files.find(path);
        if (found == files.end() || found->second.content.size() > maxBytes) {
            return false;
        }
        bytes.assign(found->second.content.begin(), found->second.content.end());
        return true;
    }
    OsResult MakeFolder(const std::wstring& path) override {
        calls.push_back(L"mkdir " + path);
        if (Protected(path) || files.count(path)) {
            return OsResult::Failed(Protected(path) ? 19 : 183);
        }
        files[path] = {attr::kDirectory, "", 0};
        return OsResult::Ok();
    }
    OsResult MovePath(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"move " + from + L" -> " + to);
        if (Protected(from) || !files.count(from)) {
            return OsResult::Failed(Protected(from) ? 19 : 2);
        }
        if (files.count(to)) {
            return OsResult::Failed(183);  // ERROR_ALREADY_EXISTS
        }
        std::map<std::wstring, File> moved;
        for (auto it = files.begin(); it != files.end();) {
            if (it->first == from || it->first.compare(0, from.size() + 1, from + L"\\") == 0) {
                moved[to + it->first.substr(from.size())] = it->second;
                it = files.erase(it);
            } else {
                ++it;
            }
        }
        files.merge(moved);
        return OsResult::Ok();
    }
    OsResult AppendText(const std::wstring& path, const std::wstring& text) override {
        calls.push_back(L"append " + path);
        if (Protected(path)) {
            return OsResult::Failed(19);
        }
        File& file = files[path];
        if (file.content.empty()) {
            file.content = "\xFF\xFE";
        }
        for (wchar_t c : text) {
            file.content += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8 & 0xFF)};
        }
        return OsResult::Ok();
    }
    // Latin-1, which is enough to tell an ANSI string from a Unicode one.
    std::wstring FromAnsi(const std::string& bytes) override {
        std::wstring text;
        for (unsigned char c : bytes) {
            text += static_cast<wchar_t>(c);
        }
        return text;
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
    std::uint32_t Milliseconds() override { return clock += clockStep; }
    LocalTime Now() override { return {2026, 12, 7, 21, 30, 5}; }
    LocalTime LocalTimeOf(std::uint64_t fileTime) override {
        // Whole days since 2026-01-01 in the fake's files: enough to tell them apart.
        return {2026, 1 + static_cast<int>(fileTime / 31 % 12), 1 + static_cast<int>(fileTime % 31),
                8, 0, 0};
    }

private:
    struct Process : StartedProcess {
        explicit Process(std::vector<std::wstring>& log) : calls(log) {}
        bool WaitForExit(std::uint32_t timeoutMs) override {
            calls.push_back(L"wait " + std::to_wstring(timeoutMs));
            return true;
        }
        std::vector<std::wstring>& calls;
    };
    struct Listing : FolderListing {
        bool Next(FileEntry& entry) override {
            return next < entries.size() && (entry = entries[next++], true);
        }
        std::vector<FileEntry> entries;
        std::size_t next = 0;
    };
    static FileEntry EntryOf(const std::wstring& path, const File& file) {
        return {path.substr(path.find_last_of(L'\\') + 1), file.attributes, file.content.size(),
                file.writeTime};
    }
    bool Protected(const std::wstring& path) const {
        return path.size() > 4 && writeProtected.find(path[4]) != std::wstring::npos;
    }
    static wchar_t LetterOf(const std::wstring& root) {
        if (root.size() != 3 || root[0] < L'A' || root[0] > L'Z' || root.substr(1) != L":\\") {
            ADD_FAILURE() << "asked about " << ::testing::PrintToString(root);
            return 0;
        }
        return root[0];
    }
};

}  // namespace tovrane::testing
